#include "app/StatusService.h"

namespace app {

StatusService::StatusService(QDBusConnection bus) : bus_(std::move(bus)) {
    registered_ = bus_.isConnected() && bus_.registerObject(QString::fromLatin1(kStatusPath), this,
                                                            QDBusConnection::ExportAllSlots |
                                                                QDBusConnection::ExportAllSignals);
}

StatusService::~StatusService() {
    if (registered_) {
        bus_.unregisterObject(QString::fromLatin1(kStatusPath));
    }
}

void StatusService::setStatus(const StatusSnapshot& status) {
    image_ = QString::fromStdString(status.image.value_or(""));
    const QString title = QString::fromStdString(status.title);
    if (title != title_) {
        title_ = title;
        emit TitleChanged(title_);
    }
}

void StatusService::setState(const controller::AddressState& state) {
    addresses_.clear();
    for (const std::string& address : state.addresses) {
        addresses_.append(QString::fromStdString(address));
    }
    externalAddress_ = QString::fromStdString(state.externalAddress.value_or(""));
}

}  // namespace app
