#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>

#include "platform/NotificationCenter.h"

namespace platform {

// The distributed notification centre over the D-Bus session bus: a post is
// delivered to this process's observers at once and sent as the signal
// com.kestrune.OrbalenStatus.Notifications.Posted(name, object) on
// /com/kestrune/OrbalenStatus; the same signal from other processes reaches
// the observers on the Qt event loop. Our own signal coming back from the bus
// is dropped, so each post reaches each observer once. Without a session bus
// it still delivers within the process.
class DBusNotificationCenter : public QObject, public NotificationCenter {
    Q_OBJECT
public:
    explicit DBusNotificationCenter(QDBusConnection bus = QDBusConnection::sessionBus());
    ~DBusNotificationCenter() override;

    bool connectedToBus() const { return listening_; }

    ObserverId addObserver(std::string name, std::string object, Observer observer) override;
    void removeObserver(ObserverId id) override;
    void post(std::string_view name, std::string_view object) override;

    // Returns once the bus has everything posted so far (a blocking round
    // trip), so a short-lived poster may exit without losing its signal.
    bool flush();

private slots:
    void onPosted(const QString& name, const QString& object, const QDBusMessage& message);

private:
    QDBusConnection bus_;
    ObserverList observers_;
    bool listening_ = false;
};

}  // namespace platform
