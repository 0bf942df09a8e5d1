#include "platform/qt/PrettyHostname.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

#include "platform/MachineName.h"

namespace platform {

std::optional<std::string> QueryPrettyHostname(std::chrono::milliseconds timeout) {
    // Reading the property directly: a QDBusInterface would first introspect
    // the service, a second blocking round trip.
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        return std::nullopt;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.hostname1"), QStringLiteral("/org/freedesktop/hostname1"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.freedesktop.hostname1") << QStringLiteral("PrettyHostname");
    const QDBusMessage reply = bus.call(get, QDBus::Block, static_cast<int>(timeout.count()));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return std::nullopt;
    }
    const QVariant value = reply.arguments().constFirst().value<QDBusVariant>().variant();
    if (value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    const std::string name = value.toString().toStdString();
    return name.empty() ? std::nullopt : std::optional(name);
}

void InstallPrettyHostnameQuery() {
    SetPrettyHostnameQuery([] { return QueryPrettyHostname(); });
}

}  // namespace platform
