// orbalenstatus-query: prints the running OrbalenStatus's state for scripts
// and status bars, read from its interface on the session bus.
//   orbalenstatus-query            the title, on one line
//   orbalenstatus-query --json     every property as one JSON object (with
//                                  "text" and "tooltip" for status bars)
//   --follow                       one line (or object) now and one per change,
//                                  an empty one while the program is not running
//   --next [--since LINE]          one line (or object) for the next change, or
//                                  at once when the state's differs from LINE
//   --call METHOD [ARG]            calls one of the program's methods
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
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
#include <utility>

#include "platform/qt/PlainText.h"

namespace {

const QString kService = QStringLiteral("com.kestrune.OrbalenStatus");
const QString kPath = QStringLiteral("/com/kestrune/OrbalenStatus");
const QString kInterface = QStringLiteral("com.kestrune.OrbalenStatus1");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
// Owned while a label of ours shows the title, so the program withdraws its
// own panel item meanwhile.
const QString kLabelName = QStringLiteral("com.kestrune.OrbalenStatus.Label");
constexpr int kTimeoutMs = 5000;

constexpr const char* kUsage =
    "usage: orbalenstatus-query [--json] [--follow | --next [--since LINE]]\n"
    "       orbalenstatus-query --call METHOD [ARG]\n"
    "Prints the running OrbalenStatus's title (--json: all its properties as JSON);\n"
    "--follow prints again on every change, and an empty line (or empty values)\n"
    "while the program is not running, waiting for it to start again.\n"
    "--next waits for the next change, prints it and exits; with --since it prints\n"
    "at once when what it would print differs from LINE.\n"
    "--call calls METHOD (with ARG, a string, if given) on the running program.\n";

struct Options {
    bool json = false;
    bool follow = false;
    bool next = false;
    std::optional<std::string> since;
    const char* method = nullptr;
    std::optional<QString> argument;
    bool help = false;
    bool version = false;
    const char* unknown = nullptr;
    const char* lacksValue = nullptr;  // an option given without its value
};

// The argument after argv[i], taken whatever it is; null at the end.
const char* Value(int argc, char** argv, int& i) {
    return i + 1 < argc ? argv[++i] : nullptr;
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) {
            options.json = true;
        } else if (std::strcmp(argv[i], "--follow") == 0) {
            options.follow = true;
        } else if (std::strcmp(argv[i], "--next") == 0) {
            options.next = true;
        } else if (std::strcmp(argv[i], "--since") == 0) {
            const char* line = Value(argc, argv, i);
            options.since = line ? std::string(line) : std::string();
            options.lacksValue = line ? options.lacksValue : argv[i];
        } else if (std::strcmp(argv[i], "--call") == 0) {
            options.method = Value(argc, argv, i);
            if (!options.method) {
                options.lacksValue = argv[i];
            } else if (i + 1 < argc) {
                options.argument = QString::fromLocal8Bit(argv[++i]);
            }
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            options.help = true;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            options.version = true;
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

// Every text in the properties printable; lists stay lists.
QVariantMap Sanitized(const QVariantMap& properties) {
    QVariantMap clean;
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        if (it.value().metaType() == QMetaType::fromType<QStringList>()) {
            QStringList entries = it.value().toStringList();
            for (QString& entry : entries) {
                entry = platform::PlainText(entry);
            }
            clean.insert(platform::PlainText(it.key()), entries);
        } else {
            clean.insert(platform::PlainText(it.key()), platform::PlainText(it.value().toString()));
        }
    }
    return clean;
}

std::optional<QVariantMap> ReadProperties(QDBusConnection& bus) {
    QDBusMessage ask =
        QDBusMessage::createMethodCall(kService, kPath, kProperties, QStringLiteral("GetAll"));
    ask << kInterface;
    const QDBusMessage reply = bus.call(ask, QDBus::Block, kTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return std::nullopt;
    }
    return Sanitized(qdbus_cast<QVariantMap>(reply.arguments().constFirst()));
}

std::string Utf8(const QString& text) {
    return text.toStdString();
}

// A status bar shows "text" and, on hovering, "tooltip"; the properties
// follow under their own names.
nlohmann::json AsJson(const QVariantMap& properties) {
    nlohmann::json object;
    object["text"] = Utf8(properties.value(QStringLiteral("Title")).toString());
    QStringList tooltip;
    const QStringList addresses = properties.value(QStringLiteral("Addresses")).toStringList();
    if (!addresses.isEmpty()) {
        tooltip << QStringLiteral("Internal: ") + addresses.join(QStringLiteral(", "));
    }
    const QString external = properties.value(QStringLiteral("ExternalAddress")).toString();
    if (!external.isEmpty()) {
        tooltip << QStringLiteral("External: ") + external;
    }
    object["tooltip"] = Utf8(tooltip.join(QLatin1Char('\n')));
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

// What is printed while no instance runs: every property, empty.
QVariantMap EmptyState() {
    QVariantMap state;
    for (const char* name :
         {"Title", "InternalAddress", "ExternalAddress", "WirelessNetwork", "LastInternalChange",
          "LastExternalChange", "InternalName", "ExternalName", "IconOnly"}) {
        state.insert(QLatin1String(name), QString());
    }
    state.insert(QStringLiteral("Addresses"), QStringList());
    return state;
}

std::string Line(const QVariantMap& properties, bool json) {
    return (json ? AsJson(properties).dump()
                 : Utf8(properties.value(QStringLiteral("Title")).toString())) +
           "\n";
}

// Prints the state in the form asked for; false once no one reads it.
bool Print(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    return std::fflush(stdout) == 0;
}

// Prints the state whenever it differs from the one printed last: the
// program's own on each PropertiesChanged, the empty one while it is gone.
// With `once`, it ends after its first line.
class Follower : public QObject {
    Q_OBJECT
public:
    // `printed`: the line counted as printed already (with its line break);
    // none: the first state seen is counted so, without printing it.
    Follower(QDBusConnection bus, bool json, std::optional<std::string> printed, bool once)
        : bus_(std::move(bus)), printed_(std::move(printed)), json_(json), once_(once) {}

    bool done() const { return done_; }

public slots:
    void appeared() {
        auto properties = ReadProperties(bus_);
        if (!properties) {
            std::fputs("orbalenstatus-query: OrbalenStatus did not answer\n", stderr);
        }
        show(properties.value_or(EmptyState()));
    }

    void vanished() { show(EmptyState()); }

    // The bus itself ended (the session is over): nothing will change again.
    void busLost() {
        std::fputs("orbalenstatus-query: the session bus went away\n", stderr);
        done_ = true;
        QCoreApplication::exit(1);
    }

    void changed(const QString& interface, const QVariantMap& changes, const QStringList&) {
        if (interface != kInterface) {
            return;
        }
        QVariantMap properties = properties_;
        const QVariantMap clean = Sanitized(changes);
        for (auto it = clean.cbegin(); it != clean.cend(); ++it) {
            properties.insert(it.key(), it.value());
        }
        show(properties);
    }

private:
    void show(const QVariantMap& properties) {
        // The loop ends after this call returns, yet signals read with the
        // one that ended it may still be delivered: nothing more is printed.
        if (done_) {
            return;
        }
        properties_ = properties;
        std::string line = Line(properties_, json_);
        if (!printed_) {
            printed_ = std::move(line);
            return;
        }
        if (line == *printed_) {
            return;
        }
        printed_ = std::move(line);
        // Ends once no one reads any more, or after the one line asked for.
        if (!Print(*printed_) || once_) {
            done_ = true;
            QCoreApplication::exit(0);
        }
    }

    QDBusConnection bus_;
    QVariantMap properties_;
    std::optional<std::string> printed_;
    bool json_;
    bool once_;
    bool done_ = false;
};

int NotRunning() {
    return Fail(
        QStringLiteral("OrbalenStatus is not running (no %1 on the session bus)").arg(kService));
}

// Follows the program across its ends and starts: until no one reads, or
// (once) until the first line printed.
int Follow(QDBusConnection& bus, bool json, std::optional<std::string> printed, bool once) {
    Follower follower(bus, json, std::move(printed), once);
    bus.connect(kService, kPath, kProperties, QStringLiteral("PropertiesChanged"), &follower,
                SLOT(changed(QString, QVariantMap, QStringList)));
    bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"),
                &follower, SLOT(busLost()));
    QDBusServiceWatcher watcher(kService, bus, QDBusServiceWatcher::WatchForOwnerChange);
    QObject::connect(&watcher, &QDBusServiceWatcher::serviceRegistered, &follower,
                     &Follower::appeared);
    QObject::connect(&watcher, &QDBusServiceWatcher::serviceUnregistered, &follower,
                     &Follower::vanished);
    // Subscribed before the first look, so neither a change nor an end or
    // start right after it is missed (a repeated state is not printed).
    if (InstanceRuns(bus)) {
        follower.appeared();
    } else {
        follower.vanished();
    }
    return follower.done() ? 0 : QCoreApplication::exec();
}

// One line for the next change. A label re-arms it with the line it shows as
// `since`, so a change between one run's end and the next one's start is
// printed at once instead of lost. While it waits the label name is held (in
// the queue, so several labels may show at once).
int Next(QDBusConnection& bus, bool json, const std::optional<std::string>& since) {
    const auto held =
        bus.interface()->registerService(kLabelName, QDBusConnectionInterface::QueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (!held.isValid()) {
        std::fprintf(stderr, "orbalenstatus-query: cannot ask for %s (%s)\n",
                     kLabelName.toLocal8Bit().constData(),
                     held.error().message().toLocal8Bit().constData());
    }
    return Follow(bus, json, since ? std::optional(*since + "\n") : std::nullopt, true);
}

int Call(QDBusConnection& bus, const char* method, const std::optional<QString>& argument) {
    if (!InstanceRuns(bus)) {
        return NotRunning();
    }
    QDBusMessage ask =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QString::fromLatin1(method));
    if (argument) {
        ask << *argument;
    }
    const QDBusMessage reply = bus.call(ask, QDBus::Block, kTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return Fail(
            QStringLiteral("%1 failed: %2").arg(QString::fromLatin1(method), reply.errorMessage()));
    }
    return 0;
}

// Why these options cannot go together; empty when they can.
const char* Conflict(const Options& options) {
    if (options.lacksValue) {
        return std::strcmp(options.lacksValue, "--call") == 0 ? "--call needs a method name"
                                                              : "--since needs a line";
    }
    if (options.since && !options.next) {
        return "--since goes with --next";
    }
    if (options.next && options.follow) {
        return "--next and --follow exclude each other";
    }
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (options.version) {
        std::puts("orbalenstatus-query (OrbalenStatus) " ORBALEN_VERSION);
        return 0;
    }
    if (options.unknown) {
        std::fprintf(stderr, "orbalenstatus-query: unknown option %s\n%s", options.unknown, kUsage);
        return 2;
    }
    if (*Conflict(options)) {
        std::fprintf(stderr, "orbalenstatus-query: %s\n%s", Conflict(options), kUsage);
        return 2;
    }
    QCoreApplication application(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return Fail(
            QStringLiteral("cannot reach the session bus (%1)").arg(bus.lastError().message()));
    }
    if (options.method) {
        return Call(bus, options.method, options.argument);
    }
    if (options.follow || options.next) {
        return options.next ? Next(bus, options.json, options.since)
                            : Follow(bus, options.json, std::string(), false);
    }
    if (!InstanceRuns(bus)) {
        return NotRunning();
    }
    const auto properties = ReadProperties(bus);
    if (!properties) {
        return Fail(QStringLiteral("OrbalenStatus did not answer"));
    }
    return Print(Line(*properties, options.json)) ? 0 : 1;
}

#include "QueryTool.moc"
