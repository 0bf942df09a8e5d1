#pragma once

#include <functional>

#include "app/StatusSnapshot.h"
#include "controller/MenuModel.h"

namespace app {

// What the user does with a front end, handed on to the controller.
struct UserActions {
    std::function<void()> menuWillOpen;
    std::function<void(const controller::MenuItem&)> itemChosen;
};

// How the program appears on the desktop: our own panel item, a tray icon,
// or nothing at all (headless). It shows the status and the menu; the
// dialogs the menu opens are the application's (DesktopDialogs).
// GUI thread only.
class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    virtual void showStatus(const StatusSnapshot& status) = 0;
    // The program is ending: take the item off the panel.
    virtual void withdraw() = 0;
};

}  // namespace app
