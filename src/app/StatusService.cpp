#include "app/StatusService.h"

#include <QDBusMessage>
#include <QDateTime>
#include <QTimer>

#include "controller/ControllerTexts.h"

namespace app {

namespace {

QString Text(const std::optional<std::string>& value) {
    return QString::fromStdString(value.value_or(""));
}

// ISO 8601 in UTC, or empty when the change has not happened yet.
QString Timestamp(const std::optional<std::chrono::system_clock::time_point>& when) {
    if (!when) {
        return {};
    }
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(when->time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms).toUTC().toString(Qt::ISODate);
}

// A menu line's text, or empty where it says there is no name.
QString NameLine(const StatusSnapshot& status, std::size_t position, std::string_view none) {
    if (!status.menu || position >= status.menu->size() || (*status.menu)[position].title == none) {
        return {};
    }
    return QString::fromStdString((*status.menu)[position].title);
}

}  // namespace

StatusService::StatusService(QDBusConnection bus, Requests requests)
    : bus_(std::move(bus)), requests_(std::move(requests)) {
    for (const char* name :
         {"Title", "InternalAddress", "ExternalAddress", "WirelessNetwork", "LastInternalChange",
          "LastExternalChange", "InternalName", "ExternalName"}) {
        values_.insert(QLatin1String(name), QString());
    }
    values_.insert(QStringLiteral("Addresses"), QStringList());
    values_.insert(QStringLiteral("IconOnly"), false);
    registered_ =
        bus_.isConnected() && bus_.registerObject(QString::fromLatin1(kStatusPath), this,
                                                  QDBusConnection::ExportScriptableSlots |
                                                      QDBusConnection::ExportAllProperties);
}

StatusService::~StatusService() {
    if (registered_) {
        bus_.unregisterObject(QString::fromLatin1(kStatusPath));
    }
}

void StatusService::setStatus(const StatusSnapshot& status) {
    QVariantMap changed;
    update("Title", QString::fromStdString(status.title), changed);
    // The item shows no text exactly when the title is an icon alone.
    update("IconOnly", status.title.empty() && status.image.has_value(), changed);
    update("InternalName",
           NameLine(status, controller::texts::kDNSNamePosition,
                    controller::texts::kDNSNameUnavailable),
           changed);
    update("ExternalName",
           NameLine(status, controller::texts::kExternalDNSNamePosition,
                    controller::texts::kExternalDNSNameUnavailable),
           changed);
    announce(changed);
}

void StatusService::setState(const controller::AddressState& state) {
    QStringList addresses;
    for (const std::string& address : state.addresses) {
        addresses.append(QString::fromStdString(address));
    }
    QVariantMap changed;
    update("InternalAddress", addresses.value(0), changed);
    update("Addresses", addresses, changed);
    update("ExternalAddress", Text(state.externalAddress), changed);
    update("WirelessNetwork", Text(state.wirelessNetwork), changed);
    update("LastInternalChange", Timestamp(state.lastInternalChange), changed);
    update("LastExternalChange", Timestamp(state.lastExternalChange), changed);
    announce(changed);
}

void StatusService::Refresh() {
    requests_.refresh();
}

void StatusService::CheckExternal() {
    requests_.checkExternal();
}

void StatusService::MenuWillOpen() {
    later(requests_.menuWillOpen);
}

void StatusService::ShowPreferences() {
    later([this] { requests_.choose(controller::MenuAction::Preferences); });
}

void StatusService::OpenLog() {
    later([this] { requests_.choose(controller::MenuAction::OpenConsoleLog); });
}

void StatusService::ShowAbout() {
    later([this] { requests_.choose(controller::MenuAction::About); });
}

void StatusService::Quit() {
    later([this] { requests_.choose(controller::MenuAction::Quit); });
}

void StatusService::CopyToClipboard(const QString& text) {
    later([this, text = text.toStdString()] { requests_.copy(text); });
}

void StatusService::later(std::function<void()> request) {
    // Queued, so the caller has its answer before a window opens or the
    // program starts to end.
    QTimer::singleShot(0, this, std::move(request));
}

bool StatusService::HandOver() {
    return requests_.handOver && requests_.handOver();
}

void StatusService::update(const char* name, const QVariant& value, QVariantMap& changed) {
    QVariant& stored = values_[QLatin1String(name)];
    if (stored != value) {
        stored = value;
        changed.insert(QLatin1String(name), value);
    }
}

void StatusService::announce(const QVariantMap& changed) {
    if (!registered_ || changed.isEmpty()) {
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kStatusPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(kStatusInterface) << changed << QStringList();
    bus_.send(signal);
}

}  // namespace app
