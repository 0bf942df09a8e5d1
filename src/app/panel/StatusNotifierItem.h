#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QObject>

#include "app/panel/DBusTypes.h"

namespace app::panel {

// Our item on panels of the StatusNotifierItem family, with the title as
// the text label (XAyatanaLabel) beside the icon where the panel shows one,
// and as the tooltip everywhere. It registers with the watcher, and again
// whenever a watcher takes the name (the panel restarted).
class StatusNotifierItem : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ iconThemePath)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(app::panel::DBusImageList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ emptyName)
    Q_PROPERTY(app::panel::DBusImageList OverlayIconPixmap READ noPixmap)
    Q_PROPERTY(QString AttentionIconName READ emptyName)
    Q_PROPERTY(app::panel::DBusImageList AttentionIconPixmap READ noPixmap)
    Q_PROPERTY(QString AttentionMovieName READ emptyName)
    Q_PROPERTY(app::panel::DBusToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    Q_PROPERTY(QString XAyatanaLabel READ label)
    Q_PROPERTY(QString XAyatanaLabelGuide READ labelGuide)

public:
    static constexpr const char* kPath = "/StatusNotifierItem";
    static constexpr const char* kMenuPath = "/MenuBar";

    explicit StatusNotifierItem(QDBusConnection bus);
    ~StatusNotifierItem() override;

    // label: the text beside the icon (empty in icon-only mode);
    // toolTip: the full title; iconName: one of the panel icons.
    void show(const QString& label, const QString& toolTip, const QString& iconName);
    // Off the panel: the host drops an item whose name has gone.
    void withdraw();

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("orbalenstatus"); }
    QString title() const;
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString iconThemePath() const;
    QString iconName() const { return iconName_; }
    DBusImageList iconPixmap() const;
    QString emptyName() const { return {}; }
    DBusImageList noPixmap() const { return {}; }
    DBusToolTip toolTip() const;
    bool itemIsMenu() const { return true; }
    QDBusObjectPath menu() const { return QDBusObjectPath(QString::fromLatin1(kMenuPath)); }
    QString label() const { return label_; }
    QString labelGuide() const { return label_; }

public slots:
    // The menu is the whole item: clicks need no answer of their own.
    Q_SCRIPTABLE void Activate(int, int) {}
    Q_SCRIPTABLE void SecondaryActivate(int, int) {}
    Q_SCRIPTABLE void ContextMenu(int, int) {}
    Q_SCRIPTABLE void Scroll(int, const QString&) {}

signals:
    Q_SCRIPTABLE void NewTitle();
    Q_SCRIPTABLE void NewIcon();
    Q_SCRIPTABLE void NewAttentionIcon();
    Q_SCRIPTABLE void NewOverlayIcon();
    Q_SCRIPTABLE void NewToolTip();
    Q_SCRIPTABLE void NewStatus(const QString& status);
    Q_SCRIPTABLE void XAyatanaNewLabel(const QString& label, const QString& guide);

private:
    void registerWithWatcher();

    QDBusConnection bus_;
    QString serviceName_;
    QDBusServiceWatcher watcher_;
    QString label_;
    QString toolTip_;
    QString iconName_;
};

// The bus name of the panel's item registry.
inline constexpr const char* kStatusNotifierWatcher = "org.kde.StatusNotifierWatcher";

}  // namespace app::panel
