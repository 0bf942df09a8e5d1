#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <functional>

#include "app/StatusSnapshot.h"
#include "controller/Desktop.h"
#include "controller/MenuModel.h"

namespace app {

// Beside the bus name the program claims; the notification centre's signal
// uses the same path under an interface of its own.
inline constexpr const char* kStatusPath = "/com/kestrune/OrbalenStatus";
inline constexpr const char* kStatusInterface = "com.kestrune.OrbalenStatus1";

// The program's status on the session bus, for scripts, status bars and a
// panel that reads it (see dbus/com.kestrune.OrbalenStatus1.xml). Served by
// the GUI thread from the latest snapshots, so an answer never waits for the
// controller; every change goes out as one PropertiesChanged signal.
class StatusService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.kestrune.OrbalenStatus1")
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString InternalAddress READ internalAddress)
    Q_PROPERTY(QStringList Addresses READ addresses)
    Q_PROPERTY(QString ExternalAddress READ externalAddress)
    Q_PROPERTY(QString WirelessNetwork READ wirelessNetwork)
    Q_PROPERTY(QString LastInternalChange READ lastInternalChange)
    Q_PROPERTY(QString LastExternalChange READ lastExternalChange)
    // What a shell extension's menu shows beside the title.
    Q_PROPERTY(QString InternalName READ internalName)
    Q_PROPERTY(QString ExternalName READ externalName)
    Q_PROPERTY(bool IconOnly READ iconOnly)
public:
    // What the methods ask for; each call returns at once.
    struct Requests {
        std::function<void()> refresh;
        std::function<void()> checkExternal;
        // The status menu's own items, done as if chosen there.
        std::function<void(controller::MenuAction)> choose;
        std::function<void()> menuWillOpen;
        std::function<void(const std::string&)> copy;
        // True when this instance agrees to end for the caller (see HandOver).
        std::function<bool()> handOver;
    };

    StatusService(QDBusConnection bus, Requests requests);
    ~StatusService() override;

    void setStatus(const StatusSnapshot& status);
    void setState(const controller::AddressState& state);

    QString title() const { return text("Title"); }
    QString internalAddress() const { return text("InternalAddress"); }
    QStringList addresses() const {
        return values_.value(QStringLiteral("Addresses")).toStringList();
    }
    QString externalAddress() const { return text("ExternalAddress"); }
    QString wirelessNetwork() const { return text("WirelessNetwork"); }
    QString lastInternalChange() const { return text("LastInternalChange"); }
    QString lastExternalChange() const { return text("LastExternalChange"); }
    QString internalName() const { return text("InternalName"); }
    QString externalName() const { return text("ExternalName"); }
    bool iconOnly() const { return values_.value(QStringLiteral("IconOnly")).toBool(); }

public slots:
    Q_SCRIPTABLE void Refresh();
    Q_SCRIPTABLE void CheckExternal();
    Q_SCRIPTABLE bool HandOver();

    // For a shell extension's menu: the status menu's items over the bus.
    Q_SCRIPTABLE void MenuWillOpen();
    Q_SCRIPTABLE void ShowPreferences();
    Q_SCRIPTABLE void OpenLog();
    Q_SCRIPTABLE void ShowAbout();
    Q_SCRIPTABLE void Quit();
    Q_SCRIPTABLE void CopyToClipboard(const QString& text);

private:
    QString text(const char* name) const { return values_.value(QLatin1String(name)).toString(); }
    // Records the value and, when it differs, adds it to changed.
    void update(const char* name, const QVariant& value, QVariantMap& changed);
    void announce(const QVariantMap& changed);
    // Runs request once the bus call being answered is done.
    void later(std::function<void()> request);

    QDBusConnection bus_;
    Requests requests_;
    bool registered_ = false;
    QVariantMap values_;
};

}  // namespace app
