#include "app/FrontEndSwitch.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/HeadlessFrontEnd.h"
#include "app/ShellLabelFrontEnd.h"
#include "app/TrayFrontEnd.h"
#include "app/panel/PanelFrontEnd.h"
#include "app/panel/StatusNotifierItem.h"

namespace app {

namespace {

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

xcb_atom_t Atom(xcb_connection_t* connection, const std::string& name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.c_str()),
        nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// The X screen the display names (":0.1" is screen 1), whose tray we use.
std::string ScreenNumber() {
    const char* display = std::getenv("DISPLAY");
    const std::string name = display ? display : "";
    const auto colon = name.rfind(':');
    const auto dot = name.find('.', colon == std::string::npos ? 0 : colon);
    return dot == std::string::npos ? "0" : name.substr(dot + 1);
}

// Tells when an XEmbed system tray comes or goes. A tray manager that takes
// the selection _NET_SYSTEM_TRAY_S<n> announces itself with a MANAGER
// message to the root window (which Qt's X11 platform already listens to);
// when it ends, its window is destroyed, which we ask to be told of.
class XEmbedTrayWatch : public QAbstractNativeEventFilter {
public:
    XEmbedTrayWatch(xcb_connection_t* connection, std::function<void()> changed)
        : connection_(connection),
          manager_(Atom(connection, "MANAGER")),
          selection_(Atom(connection, "_NET_SYSTEM_TRAY_S" + ScreenNumber())),
          changed_(std::move(changed)) {
        watchOwner();
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~XEmbedTrayWatch() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

    // Events pass on to Qt either way.
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const auto kind = event->response_type & 0x7f;
        if (kind == XCB_CLIENT_MESSAGE) {
            const auto* client = reinterpret_cast<const xcb_client_message_event_t*>(event);
            if (client->type == manager_ && client->data.data32[1] == selection_) {
                watchOwner();
                changed_();
            }
        } else if (kind == XCB_DESTROY_NOTIFY) {
            const auto* destroyed = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
            if (owner_ != XCB_WINDOW_NONE && destroyed->window == owner_) {
                owner_ = XCB_WINDOW_NONE;
                changed_();
            }
        }
        return false;
    }

private:
    void watchOwner() {
        xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
            connection_, xcb_get_selection_owner(connection_, selection_), nullptr);
        owner_ = reply ? reply->owner : xcb_window_t{XCB_WINDOW_NONE};
        std::free(reply);
        if (owner_ != XCB_WINDOW_NONE) {
            const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
            xcb_change_window_attributes(connection_, owner_, XCB_CW_EVENT_MASK, &mask);
            xcb_flush(connection_);
        }
    }

    xcb_connection_t* connection_;
    const xcb_atom_t manager_;
    const xcb_atom_t selection_;
    xcb_window_t owner_ = XCB_WINDOW_NONE;
    std::function<void()> changed_;
};

std::unique_ptr<QAbstractNativeEventFilter> WatchXEmbedTray(std::function<void()> changed) {
    const auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    const auto* x11 = gui ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) {
        return nullptr;  // no X display: no XEmbed tray either
    }
    return std::make_unique<XEmbedTrayWatch>(x11->connection(), std::move(changed));
}

}  // namespace

FrontEndSwitch::FrontEndSwitch(UserActions actions, QDBusConnection bus)
    : actions_(std::move(actions)),
      bus_(std::move(bus)),
      watcher_(QString::fromLatin1(panel::kStatusNotifierWatcher), bus_,
               QDBusServiceWatcher::WatchForOwnerChange),
      labelOwner_(bus_, [this] { follow(); }) {
    connect(&watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                watcherPresent_ = !newOwner.isEmpty();
                follow();
            });
    trayWatch_ = WatchXEmbedTray([this] { followSoon(); });
    watcherPresent_ = bus_.isConnected() && WatcherOnBus(bus_);
    follow();
}

FrontEndSwitch::Kind FrontEndSwitch::wanted() const {
    if (labelOwner_.shown()) {
        return Kind::ShellLabel;
    }
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
        case Kind::ShellLabel:
            current_ = std::make_unique<ShellLabelFrontEnd>();
            break;
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

void FrontEndSwitch::followSoon() {
    // Not from inside the X event being handled: Qt's own tray tracking sees
    // the same event, and a new tray icon talks to the X server.
    QTimer::singleShot(0, this, &FrontEndSwitch::follow);
}

void FrontEndSwitch::showStatus(const StatusSnapshot& status) {
    last_ = status;
    current_->showStatus(status);
}

void FrontEndSwitch::withdraw() {
    withdrawn_ = true;
    trayWatch_.reset();
    current_->withdraw();
}

}  // namespace app
