#include "app/FrontEndSwitch.h"

#include <QDBusMessage>
#include <QSystemTrayIcon>
#include <chrono>

#include "app/HeadlessFrontEnd.h"
#include "app/TrayFrontEnd.h"
#include "app/panel/PanelFrontEnd.h"
#include "app/panel/StatusNotifierItem.h"

namespace app {

namespace {

using namespace std::chrono_literals;

// Qt tells of no tray appearing, so one is looked for this often while
// there is no panel item.
constexpr auto kTrayCheckInterval = 3s;
// The one question asked and waited for: is a watcher there at the start.
constexpr int kWatcherQueryMs = 1000;

bool WatcherOnBus(const QDBusConnection& bus) {
    QDBusMessage query = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    query << QString::fromLatin1(panel::kStatusNotifierWatcher);
    const QDBusMessage reply = bus.call(query, QDBus::Block, kWatcherQueryMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toBool();
}

}  // namespace

FrontEndSwitch::FrontEndSwitch(UserActions actions, QDBusConnection bus)
    : actions_(std::move(actions)),
      bus_(std::move(bus)),
      watcher_(QString::fromLatin1(panel::kStatusNotifierWatcher), bus_,
               QDBusServiceWatcher::WatchForOwnerChange) {
    connect(&watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                watcherPresent_ = !newOwner.isEmpty();
                follow();
            });
    connect(&trayCheck_, &QTimer::timeout, this, &FrontEndSwitch::follow);
    trayCheck_.start(kTrayCheckInterval);
    watcherPresent_ = bus_.isConnected() && WatcherOnBus(bus_);
    follow();
}

FrontEndSwitch::Kind FrontEndSwitch::wanted() const {
    if (watcherPresent_) {
        return Kind::Panel;
    }
    return QSystemTrayIcon::isSystemTrayAvailable() ? Kind::Tray : Kind::Headless;
}

void FrontEndSwitch::follow() {
    const Kind kind = wanted();
    if (withdrawn_ || (current_ && kind == kind_)) {
        return;
    }
    if (current_) {
        current_->withdraw();
        current_.reset();
    }
    kind_ = kind;
    switch (kind) {
        case Kind::Panel:
            current_ = std::make_unique<panel::PanelFrontEnd>(actions_, bus_);
            break;
        case Kind::Tray:
            current_ = std::make_unique<TrayFrontEnd>(actions_);
            break;
        case Kind::Headless:
            current_ = std::make_unique<HeadlessFrontEnd>("no panel item host or system tray");
            break;
    }
    if (last_) {
        current_->showStatus(*last_);
    }
}

void FrontEndSwitch::showStatus(const StatusSnapshot& status) {
    last_ = status;
    current_->showStatus(status);
}

void FrontEndSwitch::putOnClipboard(const std::string& text) {
    current_->putOnClipboard(text);
}

void FrontEndSwitch::bringToFront() {
    current_->bringToFront();
}

void FrontEndSwitch::showAboutPanel() {
    current_->showAboutPanel();
}

void FrontEndSwitch::showPreferences() {
    current_->showPreferences();
}

void FrontEndSwitch::withdraw() {
    withdrawn_ = true;
    trayCheck_.stop();
    current_->withdraw();
}

}  // namespace app
