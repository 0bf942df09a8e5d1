#include "log/ApplicationSupport.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "log/FileErrors.h"
#include "platform/Folders.h"
#include "platform/Launcher.h"

namespace eventlog {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kCompanyFolder = "Kestrune Software";
constexpr std::string_view kProductFolder = "OrbalenStatus";
constexpr int kLaunchFailed = -10810;  // the launch services' "unknown error"

}  // namespace

bool FSObjectExists(const fs::path& parent, std::string_view name, fs::path& item) {
    item = parent / std::string(name);
    struct stat info {};
    // lstat: a dangling link still exists, and is not made over.
    return lstat(item.c_str(), &info) == 0 || errno != ENOENT;
}

namespace {

// Our folders must be real ones: a link planted in their place would send
// the log to a file of someone else's choosing.
bool IsOwnFolder(const fs::path& folder) {
    struct stat info {};
    return lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

short FSCreateDirectory(const fs::path& parent, std::string_view name, fs::path& item) {
    if (FSObjectExists(parent, name, item)) {
        return kNoErr;
    }
    return mkdir(item.c_str(), 0700) == 0 ? kNoErr : FileErrorFromErrno(errno);
}

bool GetOurApplicationSupportFolder(fs::path& folder) {
    const fs::path dataFolder = platform::UserDataFolder();
    std::error_code error;
    fs::create_directories(dataFolder, error);
    if (error || !fs::is_directory(dataFolder, error)) {
        return false;
    }
    fs::path company;
    if (FSCreateDirectory(dataFolder, kCompanyFolder, company) != kNoErr || !IsOwnFolder(company)) {
        return false;
    }
    return FSCreateDirectory(company, kProductFolder, folder) == kNoErr && IsOwnFolder(folder);
}

int LaunchFSRef(const fs::path& item) {
    return platform::OpenWithDefaultApplication(item) ? 0 : kLaunchFailed;
}

void OpenConsole() {
    fs::path folder;
    if (!GetOurApplicationSupportFolder(folder)) {
        return;
    }
    fs::path logFile;
    if (!FSObjectExists(folder, kLogFileName, logFile)) {
        return;
    }
    LaunchFSRef(logFile);
}

}  // namespace eventlog
