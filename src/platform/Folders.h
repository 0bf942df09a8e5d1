#pragma once

#include <filesystem>
#include <optional>

namespace platform {

// Per-user folders after the XDG base-directory rules.
// $XDG_CONFIG_HOME, else ~/.config
std::filesystem::path UserConfigFolder();
// $XDG_DATA_HOME, else ~/.local/share (stands in for Application Support)
std::filesystem::path UserDataFolder();
// The first entry of $XDG_CONFIG_DIRS, else /etc/xdg (settings for all users)
std::filesystem::path SystemConfigFolder();
// $XDG_RUNTIME_DIR when it is a private (0700, ours) folder; otherwise a
// private 0700 folder made safely under the system temporary folder.
// Nothing when neither can be had.
std::optional<std::filesystem::path> UserTemporaryFolder();

}  // namespace platform
