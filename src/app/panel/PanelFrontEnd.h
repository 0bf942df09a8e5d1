#pragma once

#include <QDBusConnection>

#include "app/DesktopDialogs.h"
#include "app/FrontEnd.h"
#include "app/panel/DBusMenuExporter.h"
#include "app/panel/StatusNotifierItem.h"

namespace app::panel {

// The program on panels with a StatusNotifierWatcher: our own item with the
// title as its label, and the controller's menu over dbusmenu.
class PanelFrontEnd : public FrontEnd {
public:
    PanelFrontEnd(UserActions actions, QDBusConnection bus);

    void showStatus(const StatusSnapshot& status) override;
    void putOnClipboard(const std::string& text) override;
    void bringToFront() override;
    void showAboutPanel() override;
    void showPreferences() override;
    void withdraw() override;

private:
    DBusMenuExporter menu_;
    StatusNotifierItem item_;
    DesktopDialogs dialogs_;
};

}  // namespace app::panel
