#pragma once

// What the program says about itself: in --help, --version, the About box
// and its notifications.
namespace app {

inline constexpr const char* kName = "OrbalenStatus";
inline constexpr const char* kVersion = ORBALEN_VERSION;
// The installed icon's name and the desktop entry's id (without .desktop).
inline constexpr const char* kIconName = "orbalenstatus-panel";
inline constexpr const char* kDesktopId = "com.kestrune.OrbalenStatus";
inline constexpr const char* kLicence = "MIT";
inline constexpr const char* kSummary =
    "Shows this machine's IPv4 address in the panel and tells you when it changes.";

}  // namespace app
