#pragma once

#include <QMenu>
#include <QSystemTrayIcon>
#include <optional>

#include "app/FrontEnd.h"
#include "app/MenuRenderer.h"

namespace app {

// A QSystemTrayIcon for panels with a system tray: the title as its
// tooltip, the icon by resource name, the controller's menu rendered from
// the model. Opening the menu asks the controller to refresh it.
class TrayFrontEnd : public FrontEnd {
public:
    explicit TrayFrontEnd(UserActions actions);

    void showStatus(const StatusSnapshot& status) override;
    void withdraw() override;

private:
    UserActions actions_;
    QMenu menu_;
    MenuRenderer renderer_;
    QSystemTrayIcon tray_;
    std::optional<std::string> image_;
};

}  // namespace app
