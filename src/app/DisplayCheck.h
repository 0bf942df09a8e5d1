#pragma once

#include "app/CommandLine.h"

namespace app {

// Whether to start with a display (Qt Widgets, a tray icon, dialogs) or
// headless. Decided from the environment before any Qt application exists,
// because the choice decides which application class to make.
bool WantsDisplay(const CommandLine& line);

}  // namespace app
