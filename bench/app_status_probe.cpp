// Watches the running program on the session bus, for the figures script
// (app_figures.py). Times are steady-clock nanoseconds (CLOCK_MONOTONIC, as
// Python's time.monotonic_ns), taken as each message arrives here.
//   app_status_probe first-title SECONDS
//       prints "ready", then polls the Title property until it is not empty and prints
//       the time it was first seen.
//   app_status_probe watch
//       stands in for the panel (a StatusNotifierWatcher, so the program serves its item)
//       and prints, until killed, one line per event:
//         registered NS SERVICE      an item registered with the watcher
//         label NS TEXT              the item's XAyatanaNewLabel signal
//         property NS NAME VALUE     PropertiesChanged of the status interface (Title,
//                                    InternalAddress)
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const QString kStatusService = QStringLiteral("com.kestrune.OrbalenStatus");
const QString kStatusPath = QStringLiteral("/com/kestrune/OrbalenStatus");
const QString kStatusInterface = QStringLiteral("com.kestrune.OrbalenStatus1");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

long long Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

void Print(const char* kind, const QString& first, const QString& second = {}) {
    const QByteArray text = (first + (second.isNull() ? QString() : ' ' + second)).toUtf8();
    std::printf("%s %lld %s\n", kind, Now(), text.constData());
    std::fflush(stdout);
}

// The title, or nothing while the program is not there yet.
std::optional<QString> Title(QDBusConnection& bus) {
    QDBusMessage call = QDBusMessage::createMethodCall(kStatusService, kStatusPath, kProperties,
                                                       QStringLiteral("Get"));
    call << kStatusInterface << QStringLiteral("Title");
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return std::nullopt;
    }
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toString();
}

int FirstTitle(QDBusConnection& bus, Clock::duration limit) {
    std::puts("ready");
    std::fflush(stdout);
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        const auto title = Title(bus);
        const long long seen = Now();
        if (title && !title->isEmpty()) {
            std::printf("%lld\n", seen);
            return 0;
        }
        std::this_thread::sleep_for(500us);
    }
    return 1;
}

// Stands in for the panel's watcher and prints what the program sends.
class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")

public:
    explicit Watcher(QDBusConnection bus) : bus_(std::move(bus)) {}

    bool start() {
        return bus_.connect({}, {}, QStringLiteral("org.kde.StatusNotifierItem"),
                            QStringLiteral("XAyatanaNewLabel"), this,
                            SLOT(onLabel(QDBusMessage))) &&
               bus_.connect(kStatusService, kStatusPath, kProperties,
                            QStringLiteral("PropertiesChanged"), this,
                            SLOT(onProperties(QDBusMessage))) &&
               bus_.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                   QDBusConnection::ExportAllSlots) &&
               bus_.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    }

public slots:
    void RegisterStatusNotifierItem(const QString& service) { Print("registered", service); }
    void onLabel(const QDBusMessage& message) {
        Print("label", message.arguments().value(0).toString());
    }
    void onProperties(const QDBusMessage& message) {
        if (message.arguments().value(0).toString() != kStatusInterface) {
            return;
        }
        const QVariantMap changed = qdbus_cast<QVariantMap>(message.arguments().value(1));
        for (const char* name : {"Title", "InternalAddress"}) {
            const auto found = changed.constFind(QString::fromLatin1(name));
            if (found != changed.constEnd()) {
                Print("property", QString::fromLatin1(name), found->toString());
            }
        }
    }

private:
    QDBusConnection bus_;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "";
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (mode == "first-title" && argc == 3) {
        return FirstTitle(bus, std::chrono::seconds(std::stoi(argv[2])));
    }
    if (mode == "watch" && argc == 2) {
        Watcher watcher(bus);
        if (!watcher.start()) {
            std::fputs("app_status_probe: cannot watch the session bus\n", stderr);
            return 1;
        }
        std::puts("ready");
        std::fflush(stdout);
        return QCoreApplication::exec();
    }
    std::fputs("usage: app_status_probe first-title SECONDS | watch\n", stderr);
    return 2;
}

#include "app_status_probe.moc"
