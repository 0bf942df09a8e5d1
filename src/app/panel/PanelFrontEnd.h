#pragma once

#include <QDBusConnection>

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
    void withdraw() override;

private:
    DBusMenuExporter menu_;
    StatusNotifierItem item_;
};

}  // namespace app::panel
