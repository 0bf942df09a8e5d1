#pragma once

#include <QDBusConnection>
#include <QString>

namespace app {

// Shows notifications through the desktop's notification service
// (org.freedesktop.Notifications). The request is sent without waiting for
// an answer: where no service runs, nothing is shown and nothing waits.
class DesktopNotifier {
public:
    explicit DesktopNotifier(QDBusConnection bus);

    void notify(const QString& summary, const QString& body);

private:
    QDBusConnection bus_;
};

}  // namespace app
