// A desktop notification service: prints "ready", then one line per
// notification (name, icon, desktop-entry hint, summary, body; tab separated).
#include <QCoreApplication>
#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <cstdio>

namespace {

class Notifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public slots:
    uint Notify(const QString& appName, uint, const QString& icon, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap& hints, int) {
        std::printf("%s\t%s\t%s\t%s\t%s\n", qPrintable(appName), qPrintable(icon),
                    qPrintable(hints.value(QStringLiteral("desktop-entry")).toString()),
                    qPrintable(summary), qPrintable(body));
        std::fflush(stdout);
        static uint lastId = 0;
        return ++lastId;
    }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    Notifications notifications;
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &notifications,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
        std::fputs("cannot serve org.freedesktop.Notifications\n", stderr);
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

#include "NotificationServer.moc"
