#include "app/DisplayCheck.h"

#include <cstdlib>
#include <string_view>

namespace app {

namespace {

std::string_view Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

bool WantsDisplay(const CommandLine& line) {
    if (line.headless) {
        return false;
    }
    const std::string_view platform = Env("QT_QPA_PLATFORM");
    if (platform.starts_with("offscreen") || platform.starts_with("minimal")) {
        return false;
    }
    if (!Env("DISPLAY").empty() || !Env("WAYLAND_DISPLAY").empty()) {
        return true;
    }
    // Platforms that draw without a display server (eglfs, linuxfb, vnc).
    return !platform.empty();
}

}  // namespace app
