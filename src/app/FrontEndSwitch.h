#pragma once

#include <QAbstractNativeEventFilter>
#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <memory>
#include <optional>

#include "app/FrontEnd.h"
#include "app/LabelOwnerWatch.h"

namespace app {

// Picks the front end the desktop offers and follows it while the program
// runs: no item while the desktop shows the title itself (LabelOwnerWatch),
// our panel item when a StatusNotifierWatcher is on the bus, a tray icon on
// a plain system tray, nothing when neither is there. A new one is
// shown the last status at once. Nothing here waits long on the bus, and
// nothing polls: changes are followed as the bus and the X server tell of
// them (the watcher's name changing owner, a tray manager appearing or its
// window going).
class FrontEndSwitch : public QObject, public FrontEnd {
public:
    enum class Kind { ShellLabel, Panel, Tray, Headless };

    FrontEndSwitch(UserActions actions, QDBusConnection bus);

    Kind kind() const { return kind_; }

    void showStatus(const StatusSnapshot& status) override;
    void withdraw() override;

private:
    Kind wanted() const;
    void follow();
    // One re-check once the event being handled is done.
    void followSoon();

    UserActions actions_;
    QDBusConnection bus_;
    QDBusServiceWatcher watcher_;
    LabelOwnerWatch labelOwner_;
    std::unique_ptr<QAbstractNativeEventFilter> trayWatch_;  // on X11 only
    bool watcherPresent_ = false;
    bool withdrawn_ = false;
    Kind kind_ = Kind::Headless;
    std::unique_ptr<FrontEnd> current_;
    std::optional<StatusSnapshot> last_;
};

}  // namespace app
