#include "base/UniqueFd.h"

#include <unistd.h>

#include <cerrno>

namespace base {

void UniqueFd::reset(int fd) noexcept {
    if (fd_ >= 0 && fd_ != fd) {
        ::close(fd_);
    }
    fd_ = fd;
}

int UniqueFd::close() noexcept {
    const int fd = release();
    if (fd < 0) {
        return 0;
    }
    // Linux frees the descriptor even when close fails, so it is never retried.
    return ::close(fd) == 0 ? 0 : errno;
}

int WriteAll(int fd, std::string_view bytes) noexcept {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (n == 0) {
            return EIO;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

std::optional<std::string> ReadAll(int fd, std::size_t maxBytes, int* error) {
    auto fail = [error](int code) -> std::optional<std::string> {
        if (error) {
            *error = code;
        }
        return std::nullopt;
    };
    std::string bytes;
    char chunk[16 * 1024];
    for (;;) {
        // One byte past the cap tells an exactly full file from a larger one.
        const std::size_t room = maxBytes + 1 - bytes.size();
        const ssize_t n = ::read(fd, chunk, room < sizeof chunk ? room : sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(errno);
        }
        if (n == 0) {
            return bytes;
        }
        bytes.append(chunk, static_cast<std::size_t>(n));
        if (bytes.size() > maxBytes) {
            return fail(EFBIG);
        }
    }
}

}  // namespace base
