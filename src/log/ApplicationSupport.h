#pragma once

#include <filesystem>
#include <string_view>

namespace eventlog {

// The program's folder for its own files, "OrbalenStatus" inside
// "Kestrune Software" inside the user's data folder ($XDG_DATA_HOME), and the
// file-system helpers that find and make it.

// True, with folder set, once the folder exists (missing levels are made).
// False when either of the two levels of our own is a link or not a folder.
bool GetOurApplicationSupportFolder(std::filesystem::path& folder);

// item becomes parent/name. True unless the name is certainly not there: any
// look-up problem other than "not found" counts as existing.
bool FSObjectExists(const std::filesystem::path& parent, std::string_view name,
                    std::filesystem::path& item);
// Makes the folder parent/name unless something exists there; 0 or the
// file-system error code.
short FSCreateDirectory(const std::filesystem::path& parent, std::string_view name,
                        std::filesystem::path& item);

// Opens the item with the desktop's default application: 0 when the opener
// was started, else an error code.
int LaunchFSRef(const std::filesystem::path& item);

// Shows the private log file in the default viewer, if the file exists.
void OpenConsole();

inline constexpr std::string_view kLogFileName = "OrbalenStatus.log";

}  // namespace eventlog
