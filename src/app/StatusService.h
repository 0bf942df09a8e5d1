#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>

#include "app/StatusSnapshot.h"
#include "controller/Desktop.h"

namespace app {

inline constexpr const char* kStatusPath = "/com/kestrune/OrbalenStatus/Status";

// The program's status on the session bus, for scripts and for a panel
// that reads it: the title, the icon's resource name, the local and the
// external addresses. Served by the GUI thread from the latest snapshots,
// so an answer never waits for the controller.
class StatusService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.kestrune.OrbalenStatus.Status")
public:
    explicit StatusService(QDBusConnection bus);
    ~StatusService() override;

    void setStatus(const StatusSnapshot& status);
    void setState(const controller::AddressState& state);

public slots:
    QString Title() const { return title_; }
    QString Image() const { return image_; }
    QStringList Addresses() const { return addresses_; }
    QString ExternalAddress() const { return externalAddress_; }

signals:
    void TitleChanged(const QString& title);

private:
    QDBusConnection bus_;
    bool registered_ = false;
    QString title_;
    QString image_;
    QStringList addresses_;
    QString externalAddress_;
};

}  // namespace app
