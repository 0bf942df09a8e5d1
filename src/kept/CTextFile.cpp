#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "base/UniqueFd.h"
#include "kept/CText.h"

namespace kept {

using namespace base;

namespace {

// Reads up to size bytes; answers how many arrived, or -1 on a read error.
ssize_t readFully(int fd, char* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t got = ::read(fd, buffer + done, size - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

}  // namespace

int CText::init_from_fsref(const std::filesystem::path& file) {
    // Non-blocking, so that a FIFO without a writer cannot hold us up; it reads as empty.
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    int status = 0;
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) {
        status = errno;
    } else if (S_ISREG(info.st_mode) && info.st_size >= INT32_MAX - quantum) {
        status = EFBIG;
    }
    if (status != 0) {
        setBytes("", 0);
        return status;
    }
    // Only regular files have a size; anything else reads as empty rather than endlessly.
    std::size_t size = S_ISREG(info.st_mode) ? static_cast<std::size_t>(info.st_size) : 0;
    if (!allocateFor(size) || size == 0) {
        return text == nullptr ? ENOMEM : 0;
    }
    ssize_t got = readFully(fd.get(), text, size);
    if (got < 0) {
        status = errno;
        got = 0;
    }
    length = static_cast<int32_t>(got);
    text[length] = '\0';
    replace_nil_chars_by_space();
    return status;
}

CText& CText::operator=(const std::filesystem::path& file) {
    init_from_fsref(file);
    return *this;
}

int CText::operator<<(const std::filesystem::path& file) {
    return init_from_fsref(file);
}

int CText::operator<<(const char* path) {
    if (path == nullptr || *path == '\0') {
        return ENOENT;
    }
    struct stat info {};
    if (::stat(path, &info) != 0) {
        return errno;
    }
    return init_from_fsref(path);
}

int CText::operator>>(const std::filesystem::path& file) const {
    if (text == nullptr) {
        return EINVAL;
    }
    UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        return errno;
    }
    if (int status = WriteAll(fd.get(), std::string_view(text, static_cast<std::size_t>(length)));
        status != 0) {
        return status;
    }
    // Cut off whatever a longer earlier content left behind, so the file holds the text.
    struct stat info {};
    if (::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode) &&
        ::ftruncate(fd.get(), length) != 0) {
        return errno;
    }
    return 0;
}

int CText::operator>>(const char* path) const {
    if (text == nullptr || path == nullptr || *path == '\0') {
        return EINVAL;
    }
    if (::unlink(path) != 0 && errno != ENOENT) {
        return errno;
    }
    UniqueFd fd(::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() < 0) {
        return errno;
    }
    return WriteAll(fd.get(), std::string_view(text, static_cast<std::size_t>(length)));
}

}  // namespace kept
