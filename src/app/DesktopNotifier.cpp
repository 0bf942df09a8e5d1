#include "app/DesktopNotifier.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

#include "app/AppInfo.h"

namespace app {

namespace {

// The server picks how long the notification stays.
constexpr int kServerChosenTimeout = -1;

}  // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection bus) : bus_(std::move(bus)) {}

void DesktopNotifier::notify(const QString& summary, const QString& body) {
    if (!bus_.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The icon and the desktop entry let the service show (and group) the
    // notification as ours.
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QString::fromLatin1(kDesktopId)}};
    call << QString::fromLatin1(kName) << 0u << QString::fromLatin1(kIconName) << summary << body
         << QStringList() << hints << kServerChosenTimeout;
    // Sent as a call that wants no reply: an error from a missing service
    // would be of no use here.
    bus_.send(call);
}

}  // namespace app
