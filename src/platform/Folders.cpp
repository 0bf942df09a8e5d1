#include "platform/Folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <system_error>

namespace platform {

namespace fs = std::filesystem;

namespace {

// The XDG rules ignore relative paths in these variables.
std::optional<fs::path> AbsoluteFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (!value || value[0] != '/') {
        return std::nullopt;
    }
    return fs::path(value);
}

fs::path HomeFolder() {
    if (auto home = AbsoluteFromEnvironment("HOME")) {
        return *home;
    }
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) {
        return entry->pw_dir;
    }
    return "/";
}

// A folder is private when it is a real folder (not a link), ours, and closed
// to group and others.
bool IsPrivateFolder(const fs::path& folder) {
    struct stat info {};
    return lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
           (info.st_mode & 077) == 0;
}

}  // namespace

fs::path UserConfigFolder() {
    return AbsoluteFromEnvironment("XDG_CONFIG_HOME").value_or(HomeFolder() / ".config");
}

fs::path UserDataFolder() {
    return AbsoluteFromEnvironment("XDG_DATA_HOME").value_or(HomeFolder() / ".local" / "share");
}

fs::path SystemConfigFolder() {
    if (const char* dirs = std::getenv("XDG_CONFIG_DIRS")) {
        std::string_view list(dirs);
        while (!list.empty()) {
            const auto colon = list.find(':');
            const std::string_view entry = list.substr(0, colon);
            if (!entry.empty() && entry.front() == '/') {
                return fs::path(std::string(entry));
            }
            list = colon == std::string_view::npos ? std::string_view{} : list.substr(colon + 1);
        }
    }
    return "/etc/xdg";
}

std::optional<fs::path> UserTemporaryFolder() {
    if (auto runtime = AbsoluteFromEnvironment("XDG_RUNTIME_DIR");
        runtime && IsPrivateFolder(*runtime)) {
        return runtime;
    }
    std::error_code error;
    fs::path base = fs::temp_directory_path(error);
    if (error) {
        base = "/tmp";
    }
    // A fixed name per user, so every run finds the same folder. mkdir fails
    // on anything already there, links included; what is there is then only
    // accepted when it passes the private-folder test.
    const fs::path folder = base / ("orbalenstatus-" + std::to_string(getuid()));
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return std::nullopt;
    }
    if (!IsPrivateFolder(folder)) {
        return std::nullopt;
    }
    return folder;
}

}  // namespace platform
