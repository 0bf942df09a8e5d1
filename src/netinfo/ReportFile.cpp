#include "netinfo/ReportFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/UniqueFd.h"

namespace netinfo {
namespace {

using base::UniqueFd;

constexpr const char* kFolderName = "orbalen";
constexpr const char* kFileName = "systemDump_forOrbalen.txt";
constexpr const char* kPartFileName = "systemDump_forOrbalen.txt.part";
constexpr std::size_t kMaxReportBytes = 1024 * 1024;

// Opens (making it if missing) the private folder; nothing when it cannot
// be had safely.
UniqueFd OpenPrivateFolder(const std::filesystem::path& temporaryFolder) {
    const UniqueFd parent(open(temporaryFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent) {
        return {};
    }
    if (mkdirat(parent.get(), kFolderName, 0700) != 0 && errno != EEXIST) {
        return {};
    }
    UniqueFd folder(
        openat(parent.get(), kFolderName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!folder || fstat(folder.get(), &info) != 0 || info.st_uid != geteuid() ||
        ((info.st_mode & 077) != 0 && fchmod(folder.get(), 0700) != 0)) {
        return {};
    }
    return folder;
}

}  // namespace

bool WriteReportFile(const std::filesystem::path& temporaryFolder, std::string_view report) {
    const UniqueFd folder = OpenPrivateFolder(temporaryFolder);
    if (!folder) {
        return false;
    }
    unlinkat(folder.get(), kPartFileName, 0);
    UniqueFd part(openat(folder.get(), kPartFileName,
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!part) {
        return false;
    }
    if (base::WriteAll(part.get(), report) != 0 || fsync(part.get()) != 0 || part.close() != 0) {
        unlinkat(folder.get(), kPartFileName, 0);
        return false;
    }
    return renameat(folder.get(), kPartFileName, folder.get(), kFileName) == 0;
}

std::optional<std::string> ReadReportFile(const std::filesystem::path& temporaryFolder) {
    const UniqueFd folder = OpenPrivateFolder(temporaryFolder);
    if (!folder) {
        return std::nullopt;
    }
    // Non-blocking, so a FIFO in the report's place cannot stall the caller
    // before the check below turns it away.
    const UniqueFd file(
        openat(folder.get(), kFileName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!file || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return base::ReadAll(file.get(), kMaxReportBytes);
}

}  // namespace netinfo
