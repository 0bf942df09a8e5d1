#include "platform/Autostart.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>

#include "foundation/UniqueFd.h"
#include "platform/Folders.h"

namespace platform {

namespace {

constexpr std::string_view kGroup = "[Desktop Entry]";
constexpr std::string_view kHidden = "Hidden";
constexpr std::string_view kGnomeEnabled = "X-GNOME-Autostart-enabled";

std::optional<std::string> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The key of a "Key=value" line (blanks around it allowed), else empty.
std::string_view KeyOf(std::string_view line) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos || line.starts_with('#')) {
        return {};
    }
    std::string_view key = line.substr(0, equals);
    while (!key.empty() && key.back() == ' ') {
        key.remove_suffix(1);
    }
    return key;
}

std::string_view ValueOf(std::string_view line) {
    std::string_view value = line.substr(line.find('=') + 1);
    while (!value.empty() && value.front() == ' ') {
        value.remove_prefix(1);
    }
    while (!value.empty() && (value.back() == ' ' || value.back() == '\r')) {
        value.remove_suffix(1);
    }
    return value;
}

// Calls each(line, inGroup) for every line, inGroup while in [Desktop Entry].
template <typename Each>
void ForEachLine(const std::vector<std::string>& lines, Each each) {
    bool inGroup = false;
    for (const std::string& line : lines) {
        if (line.starts_with('[')) {
            inGroup = line.starts_with(kGroup);
        }
        each(line, inGroup);
    }
}

bool SaysOn(const std::string& entry) {
    bool on = true;
    ForEachLine(Lines(entry), [&on](std::string_view line, bool inGroup) {
        const std::string_view key = KeyOf(line);
        if (inGroup && ((key == kHidden && ValueOf(line) == "true") ||
                        (key == kGnomeEnabled && ValueOf(line) == "false"))) {
            on = false;
        }
    });
    return on;
}

// The entry without its on/off keys, and with `added` at the end of the
// [Desktop Entry] group.
std::string WithSwitch(const std::string& entry, const std::string& added) {
    std::string result;
    bool inGroup = false;
    const auto close = [&] {
        if (inGroup && !added.empty()) {
            result += added + "\n";
        }
    };
    for (const std::string& line : Lines(entry)) {
        if (line.starts_with('[')) {
            close();
            inGroup = line.starts_with(kGroup);
        }
        const std::string_view key = KeyOf(line);
        if (!(inGroup && (key == kHidden || key == kGnomeEnabled))) {
            result += line + "\n";
        }
    }
    close();
    return result;
}

// Written beside the file and renamed over it: readers see the old entry or
// the new one, never a part.
std::optional<std::string> WriteWhole(const std::filesystem::path& path, const std::string& text) {
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    std::string temporary = path.string() + ".XXXXXX";
    foundation::UniqueFd fd(mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd) {
        return "cannot write in " + path.parent_path().string() + ": " + std::strerror(errno);
    }
    int failure = foundation::WriteAll(fd.get(), text);
    if (failure == 0 && (fchmod(fd.get(), 0644) != 0 || fsync(fd.get()) != 0)) {
        failure = errno;
    }
    if (const int closed = fd.close(); failure == 0) {
        failure = closed;
    }
    if (failure == 0 && rename(temporary.c_str(), path.c_str()) != 0) {
        failure = errno;
    }
    if (failure != 0) {
        unlink(temporary.c_str());
        return "cannot write " + path.string() + ": " + std::strerror(failure);
    }
    return std::nullopt;
}

}  // namespace

AutostartFolders DefaultAutostartFolders() {
    AutostartFolders folders{UserConfigFolder() / "autostart", {}};
    const char* dirs = std::getenv("XDG_CONFIG_DIRS");
    std::istringstream list(dirs && dirs[0] ? dirs : "/etc/xdg");
    for (std::string dir; std::getline(list, dir, ':');) {
        if (dir.starts_with('/')) {  // relative entries are to be ignored
            folders.system.push_back(std::filesystem::path(dir) / "autostart");
        }
    }
    return folders;
}

std::optional<std::string> AutostartExec(const std::filesystem::path& program) {
    const std::string path = program.string();
    if (path.find_first_of("\n\r") != std::string::npos || !program.is_absolute()) {
        return std::nullopt;
    }
    if (program.parent_path() == "/usr/bin") {
        return program.filename().string();
    }
    if (path.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                               "/._+-") == std::string::npos) {
        return path;
    }
    // Quoted, with the characters special inside quotes escaped by a
    // backslash; then, for the entry's own string escapes, every backslash
    // written twice; and % (a field code) as %%.
    std::string exec = "\"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            exec += "\\\\";  // one escaping backslash, doubled
        }
        if (c == '\\') {
            exec += "\\\\";  // the backslash itself, doubled
        } else {
            exec += c == '%' ? std::string("%%") : std::string(1, c);
        }
    }
    return exec + "\"";
}

AutostartEntry::AutostartEntry(AutostartFolders folders, std::string fileName, std::string ourEntry)
    : folders_(std::move(folders)),
      fileName_(std::move(fileName)),
      ourEntry_(std::move(ourEntry)) {}

std::filesystem::path AutostartEntry::userFile() const {
    return folders_.user / fileName_;
}

std::optional<std::filesystem::path> AutostartEntry::systemFile() const {
    for (const auto& folder : folders_.system) {
        std::error_code error;
        if (std::filesystem::is_regular_file(folder / fileName_, error)) {
            return folder / fileName_;
        }
    }
    return std::nullopt;
}

bool AutostartEntry::enabled() const {
    if (const auto user = ReadFile(userFile())) {
        return SaysOn(*user);
    }
    const auto system = systemFile();
    const auto entry = system ? ReadFile(*system) : std::nullopt;
    return entry && SaysOn(*entry);
}

std::optional<std::string> AutostartEntry::setEnabled(bool on) const {
    if (enabled() == on) {
        return std::nullopt;
    }
    const auto user = ReadFile(userFile());
    // Ours: what we write, give or take the on/off keys.
    const bool ours = user && WithSwitch(*user, "") == WithSwitch(ourEntry_, "");
    const std::string& base = user && !ours ? *user : ourEntry_;
    if (on) {
        // A user entry of the user's own keeps its lines; over a system entry
        // that says off, ours stands.
        return WriteWhole(userFile(), WithSwitch(base, std::string(kGnomeEnabled) + "=true"));
    }
    if (ours && !systemFile()) {
        std::error_code error;
        std::filesystem::remove(userFile(), error);
        return error
                   ? std::optional("cannot remove " + userFile().string() + ": " + error.message())
                   : std::nullopt;
    }
    // Over a system entry, or in the user's own entry.
    return WriteWhole(userFile(), WithSwitch(base, std::string(kHidden) + "=true"));
}

}  // namespace platform
