#pragma once

#include <string>

#include "app/DesktopDialogs.h"
#include "app/FrontEnd.h"

namespace app {

// A front end on a display: however it shows the item, the clipboard, the
// About box and the preferences are the desktop's. Subclasses close the
// dialogs when they withdraw.
class DisplayFrontEnd : public FrontEnd {
public:
    void putOnClipboard(const std::string& text) override { dialogs_.putOnClipboard(text); }
    void bringToFront() override { dialogs_.bringToFront(); }
    void showAboutPanel() override { dialogs_.showAboutPanel(); }
    void showPreferences() override { dialogs_.showPreferences(); }

protected:
    DesktopDialogs dialogs_;
};

}  // namespace app
