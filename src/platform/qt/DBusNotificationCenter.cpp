#include "platform/qt/DBusNotificationCenter.h"

#include <QDBusConnectionInterface>

namespace platform {

namespace {

const QString kPath = QStringLiteral("/com/kestrune/OrbalenStatus");
const QString kInterface = QStringLiteral("com.kestrune.OrbalenStatus.Notifications");
const QString kSignal = QStringLiteral("Posted");

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

DBusNotificationCenter::DBusNotificationCenter(QDBusConnection bus) : bus_(std::move(bus)) {
    listening_ = bus_.isConnected() && bus_.connect(QString(), kPath, kInterface, kSignal, this,
                                                    SLOT(onPosted(QString, QString, QDBusMessage)));
}

DBusNotificationCenter::~DBusNotificationCenter() {
    if (listening_) {
        bus_.disconnect(QString(), kPath, kInterface, kSignal, this,
                        SLOT(onPosted(QString, QString, QDBusMessage)));
    }
}

NotificationCenter::ObserverId DBusNotificationCenter::addObserver(std::string name,
                                                                   std::string object,
                                                                   Observer observer) {
    return observers_.add(std::move(name), std::move(object), std::move(observer));
}

void DBusNotificationCenter::removeObserver(ObserverId id) {
    observers_.remove(id);
}

void DBusNotificationCenter::post(std::string_view name, std::string_view object) {
    if (bus_.isConnected()) {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, kSignal);
        signal << ToQString(name) << ToQString(object);
        bus_.send(signal);
    }
    observers_.deliver(name, object);
}

bool DBusNotificationCenter::flush() {
    if (!bus_.isConnected()) {
        return false;
    }
    // Messages leave a connection in order, so the reply to this call means
    // every earlier signal has reached the bus.
    const QDBusMessage reply = bus_.call(QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")));
    return reply.type() == QDBusMessage::ReplyMessage;
}

void DBusNotificationCenter::onPosted(const QString& name, const QString& object,
                                      const QDBusMessage& message) {
    if (message.service() == bus_.baseService()) {
        return;  // our own post, already delivered here
    }
    observers_.deliver(name.toStdString(), object.toStdString());
}

}  // namespace platform
