#pragma once

// What the program says about itself: in --help, --version and the About box.
namespace app {

inline constexpr const char* kName = "OrbalenStatus";
inline constexpr const char* kVersion = ORBALEN_VERSION;
inline constexpr const char* kSummary =
    "Shows this machine's IPv4 address in the panel and tells you when it changes.";

}  // namespace app
