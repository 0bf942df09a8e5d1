#pragma once

#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>

#include "app/FrontEnd.h"
#include "app/MenuRenderer.h"

class QMessageBox;

namespace app {

// A QSystemTrayIcon for panels with a system tray: the title as its
// tooltip, the icon by resource name, the controller's menu rendered from
// the model. Opening the menu asks the controller to refresh it.
class TrayFrontEnd : public FrontEnd {
public:
    explicit TrayFrontEnd(UserActions actions);
    ~TrayFrontEnd() override;

    void showStatus(const StatusSnapshot& status) override;
    void putOnClipboard(const std::string& text) override;
    void bringToFront() override;
    void showAboutPanel() override;
    void showPreferences() override;
    void withdraw() override;

private:
    void showNote(const QString& title, const QString& text);

    UserActions actions_;
    QMenu menu_;
    MenuRenderer renderer_;
    QSystemTrayIcon tray_;
    std::optional<std::string> image_;
    QPointer<QMessageBox> note_;  // the About box or a note, one at a time
};

}  // namespace app
