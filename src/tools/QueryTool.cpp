// orbalenstatus-query: prints the running OrbalenStatus's state for scripts
// and status bars, read from its interface on the session bus.
//   orbalenstatus-query            the title, on one line
//   orbalenstatus-query --json     every property as one JSON object (with
//                                  "text" and "tooltip" for status bars)
//   --follow                       one line (or object) now and one per change,
//                                  until the program quits
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QStringList>
#include <QVariantMap>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace {

const QString kService = QStringLiteral("com.kestrune.OrbalenStatus");
const QString kPath = QStringLiteral("/com/kestrune/OrbalenStatus");
const QString kInterface = QStringLiteral("com.kestrune.OrbalenStatus1");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr int kTimeoutMs = 5000;

constexpr const char* kUsage =
    "usage: orbalenstatus-query [--json] [--follow]\n"
    "Prints the running OrbalenStatus's title (--json: all its properties as JSON);\n"
    "--follow prints again on every change until the program quits.\n";

struct Options {
    bool json = false;
    bool follow = false;
    bool help = false;
    const char* unknown = nullptr;
};

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) {
            options.json = true;
        } else if (std::strcmp(argv[i], "--follow") == 0) {
            options.follow = true;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            options.help = true;
        } else if (!options.unknown) {
            options.unknown = argv[i];
        }
    }
    return options;
}

int Fail(const QString& why) {
    std::fprintf(stderr, "orbalenstatus-query: %s\n", why.toLocal8Bit().constData());
    return 1;
}

bool InstanceRuns(QDBusConnection& bus) {
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << kService;
    const QDBusMessage reply = bus.call(ask, QDBus::Block, kTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toBool();
}

std::optional<QVariantMap> ReadProperties(QDBusConnection& bus) {
    QDBusMessage ask =
        QDBusMessage::createMethodCall(kService, kPath, kProperties, QStringLiteral("GetAll"));
    ask << kInterface;
    const QDBusMessage reply = bus.call(ask, QDBus::Block, kTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return std::nullopt;
    }
    return qdbus_cast<QVariantMap>(reply.arguments().constFirst());
}

std::string Utf8(const QString& text) {
    return text.toStdString();
}

// A status bar shows "text" and, on hovering, "tooltip"; the properties
// follow under their own names.
nlohmann::json AsJson(const QVariantMap& properties) {
    nlohmann::json object;
    object["text"] = Utf8(properties.value(QStringLiteral("Title")).toString());
    QString tooltip =
        QStringLiteral("Internal: ") +
        properties.value(QStringLiteral("Addresses")).toStringList().join(QStringLiteral(", "));
    const QString external = properties.value(QStringLiteral("ExternalAddress")).toString();
    if (!external.isEmpty()) {
        tooltip += QStringLiteral("\nExternal: ") + external;
    }
    object["tooltip"] = Utf8(tooltip);
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        if (it.value().metaType() == QMetaType::fromType<QStringList>()) {
            nlohmann::json list = nlohmann::json::array();
            for (const QString& entry : it.value().toStringList()) {
                list.push_back(Utf8(entry));
            }
            object[Utf8(it.key())] = list;
        } else {
            object[Utf8(it.key())] = Utf8(it.value().toString());
        }
    }
    return object;
}

// Prints the state in the form asked for; false once no one reads it.
bool Print(const QVariantMap& properties, bool json) {
    const std::string line = json ? AsJson(properties).dump()
                                  : Utf8(properties.value(QStringLiteral("Title")).toString());
    std::fputs((line + "\n").c_str(), stdout);
    return std::fflush(stdout) == 0;
}

// Prints the state again on every PropertiesChanged signal.
class Follower : public QObject {
    Q_OBJECT
public:
    explicit Follower(bool json) : json_(json) {}

    bool start(const QVariantMap& properties) {
        properties_ = properties;
        return Print(properties_, json_);
    }

public slots:
    void changed(const QString& interface, const QVariantMap& changes, const QStringList&) {
        if (interface != kInterface) {
            return;
        }
        for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
            properties_.insert(it.key(), it.value());
        }
        if (!Print(properties_, json_)) {
            QCoreApplication::exit(0);  // the reader has gone
        }
    }

private:
    QVariantMap properties_;
    bool json_;
};

int NotRunning() {
    return Fail(
        QStringLiteral("OrbalenStatus is not running (no %1 on the session bus)").arg(kService));
}

int Follow(QDBusConnection& bus, bool json) {
    Follower follower(json);
    bus.connect(kService, kPath, kProperties, QStringLiteral("PropertiesChanged"), &follower,
                SLOT(changed(QString, QVariantMap, QStringList)));
    QDBusServiceWatcher watcher(kService, bus, QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(&watcher, &QDBusServiceWatcher::serviceUnregistered,
                     [] { QCoreApplication::exit(0); });
    // Subscribed before the first look, so neither a change nor the end
    // right after it is missed.
    if (!InstanceRuns(bus)) {
        return NotRunning();
    }
    const auto properties = ReadProperties(bus);
    if (!properties) {
        return Fail(QStringLiteral("OrbalenStatus did not answer"));
    }
    if (!follower.start(*properties)) {
        return 0;
    }
    return QCoreApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (options.unknown) {
        std::fprintf(stderr, "orbalenstatus-query: unknown option %s\n%s", options.unknown, kUsage);
        return 2;
    }
    QCoreApplication application(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return Fail(
            QStringLiteral("cannot reach the session bus (%1)").arg(bus.lastError().message()));
    }
    if (options.follow) {
        return Follow(bus, options.json);
    }
    if (!InstanceRuns(bus)) {
        return NotRunning();
    }
    const auto properties = ReadProperties(bus);
    if (!properties) {
        return Fail(QStringLiteral("OrbalenStatus did not answer"));
    }
    return Print(*properties, options.json) ? 0 : 1;
}

#include "QueryTool.moc"
