#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Where the session looks for autostart entries: the user's folder
// ($XDG_CONFIG_HOME/autostart) and the system's ($XDG_CONFIG_DIRS, each with
// /autostart; /etc/xdg/autostart by default), the user's first.
struct AutostartFolders {
    std::filesystem::path user;
    std::vector<std::filesystem::path> system;
};
AutostartFolders DefaultAutostartFolders();

// The Exec value that starts `program`: its plain name when it lives in
// /usr/bin (found on every session's PATH), else its absolute path, quoted
// when it needs it. Nothing for a path an entry cannot hold (a newline).
std::optional<std::string> AutostartExec(const std::filesystem::path& program);

// One program's autostart entry, after the XDG autostart rules: a user entry
// of the same file name stands for a system one; Hidden=true or
// X-GNOME-Autostart-enabled=false turns an entry off.
//
// Turning it on writes our entry, or, over a user entry of the user's own
// making, only takes its "off" keys out. Turning it off removes a user entry
// that is ours, and writes Hidden=true otherwise: over a system entry, and
// into a user entry of the user's own making, whose other lines stay for
// when it is turned on again. Files are replaced whole (written beside, then
// renamed), never left half written.
class AutostartEntry {
public:
    // ourEntry: the whole entry this program writes, "[Desktop Entry]" first.
    AutostartEntry(AutostartFolders folders, std::string fileName, std::string ourEntry);

    bool enabled() const;
    // An error message, or nothing when the entry now says `on`.
    std::optional<std::string> setEnabled(bool on) const;

private:
    std::filesystem::path userFile() const;
    std::optional<std::filesystem::path> systemFile() const;

    AutostartFolders folders_;
    std::string fileName_;
    std::string ourEntry_;
};

}  // namespace platform
