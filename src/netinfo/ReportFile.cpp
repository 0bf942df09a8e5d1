#include "netinfo/ReportFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace netinfo {
namespace {

constexpr const char* kFolderName = "orbalen";
constexpr const char* kFileName = "systemDump_forOrbalen.txt";
constexpr const char* kPartFileName = "systemDump_forOrbalen.txt.part";
constexpr std::size_t kMaxReportBytes = 1024 * 1024;

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

// Opens (making it if missing) the private folder; -1 when it cannot be had
// safely.
int OpenPrivateFolder(const std::filesystem::path& temporaryFolder) {
    Descriptor parent(open(temporaryFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent.valid()) {
        return -1;
    }
    if (mkdirat(parent.get(), kFolderName, 0700) != 0 && errno != EEXIST) {
        return -1;
    }
    const int folder =
        openat(parent.get(), kFolderName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
        return -1;
    }
    struct stat info {};
    if (fstat(folder, &info) != 0 || info.st_uid != geteuid() ||
        ((info.st_mode & 077) != 0 && fchmod(folder, 0700) != 0)) {
        close(folder);
        return -1;
    }
    return folder;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

bool WriteReportFile(const std::filesystem::path& temporaryFolder, std::string_view report) {
    Descriptor folder(OpenPrivateFolder(temporaryFolder));
    if (!folder.valid()) {
        return false;
    }
    unlinkat(folder.get(), kPartFileName, 0);
    Descriptor part(openat(folder.get(), kPartFileName,
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!part.valid()) {
        return false;
    }
    if (!WriteAll(part.get(), report) || fsync(part.get()) != 0) {
        unlinkat(folder.get(), kPartFileName, 0);
        return false;
    }
    return renameat(folder.get(), kPartFileName, folder.get(), kFileName) == 0;
}

std::optional<std::string> ReadReportFile(const std::filesystem::path& temporaryFolder) {
    Descriptor folder(OpenPrivateFolder(temporaryFolder));
    if (!folder.valid()) {
        return std::nullopt;
    }
    Descriptor file(openat(folder.get(), kFileName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!file.valid()) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[8192];
    for (;;) {
        const ssize_t n = read(file.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 || bytes.size() + static_cast<std::size_t>(n) > kMaxReportBytes) {
            return std::nullopt;
        }
        if (n == 0) {
            return bytes;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace netinfo
