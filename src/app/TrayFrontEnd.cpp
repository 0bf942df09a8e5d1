#include "app/TrayFrontEnd.h"

#include <QCursor>

#include "app/AppInfo.h"
#include "app/StatusIcons.h"

namespace app {

TrayFrontEnd::TrayFrontEnd(UserActions actions)
    : actions_(std::move(actions)), renderer_(menu_, actions_.itemChosen) {
    QObject::connect(&menu_, &QMenu::aboutToShow, &menu_, [this] { actions_.menuWillOpen(); });
    tray_.setIcon(StatusIcon(std::nullopt));
    tray_.setToolTip(QString::fromLatin1(kName));
    tray_.setContextMenu(&menu_);
    // The menu is all the icon offers, so the left button opens it too (an
    // XEmbed tray only opens the context menu on the right one).
    QObject::connect(&tray_, &QSystemTrayIcon::activated, &menu_,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Trigger) {
                             menu_.popup(QCursor::pos());
                         }
                     });
    tray_.show();
}

void TrayFrontEnd::showStatus(const StatusSnapshot& status) {
    tray_.setToolTip(QtToolTip(status.title));
    if (status.image != image_) {
        image_ = status.image;
        tray_.setIcon(StatusIcon(image_));
    }
    renderer_.render(status.menu);
}

void TrayFrontEnd::withdraw() {
    tray_.hide();
}

}  // namespace app
