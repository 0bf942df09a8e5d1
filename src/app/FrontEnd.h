#pragma once

#include <functional>
#include <string>

#include "app/StatusSnapshot.h"
#include "controller/MenuModel.h"

namespace app {

// What the user does with a front end, handed on to the controller.
struct UserActions {
    std::function<void()> menuWillOpen;
    std::function<void(const controller::MenuItem&)> itemChosen;
};

// How the program appears on the desktop: a tray icon, or nothing at all.
// GUI thread only.
class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    virtual void showStatus(const StatusSnapshot& status) = 0;
    virtual void putOnClipboard(const std::string& text) = 0;
    virtual void bringToFront() = 0;
    virtual void showAboutPanel() = 0;
    virtual void showPreferences() = 0;
    // The program is ending: take the item off the panel.
    virtual void withdraw() = 0;
};

}  // namespace app
