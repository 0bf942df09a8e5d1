#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusVariant>
#include <QObject>
#include <functional>
#include <memory>
#include <vector>

#include "app/FrontEnd.h"
#include "app/panel/DBusTypes.h"
#include "controller/MenuModel.h"

namespace app::panel {

// The controller's menu served over com.canonical.dbusmenu, for panels that
// draw the menu of a StatusNotifierItem themselves. Entries are numbered in
// order from 1 (0 is the root), so the numbers stay while the menu keeps its
// shape and only titles change: such a change goes out as
// ItemsPropertiesUpdated, any other as LayoutUpdated.
class DBusMenuExporter : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    DBusMenuExporter(QDBusConnection bus, QString path, UserActions actions);
    ~DBusMenuExporter() override;

    void setMenu(std::shared_ptr<const controller::Menu> menu);

    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public slots:
    Q_SCRIPTABLE uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                app::panel::DBusMenuLayoutItem& layout);
    Q_SCRIPTABLE app::panel::DBusMenuItemList GetGroupProperties(const QList<int>& ids,
                                                                 const QStringList& propertyNames);
    Q_SCRIPTABLE QDBusVariant GetProperty(int id, const QString& name);
    Q_SCRIPTABLE void Event(int id, const QString& eventId, const QDBusVariant& data,
                            uint timestamp);
    Q_SCRIPTABLE QList<int> EventGroup(const app::panel::DBusMenuEventList& events);
    Q_SCRIPTABLE bool AboutToShow(int id);
    Q_SCRIPTABLE QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

signals:
    Q_SCRIPTABLE void ItemsPropertiesUpdated(const app::panel::DBusMenuItemList& updatedProps,
                                             const app::panel::DBusMenuItemKeysList& removedProps);
    Q_SCRIPTABLE void LayoutUpdated(uint revision, int parent);
    Q_SCRIPTABLE void ItemActivationRequested(int id, uint timestamp);

private:
    struct Entry {
        const controller::MenuItem* item = nullptr;  // none for the root
        std::vector<int> children;
    };

    void number(const controller::Menu& items, int parent);
    QVariantMap propertiesOf(int id) const;
    DBusMenuLayoutItem layoutOf(int id, int depth, const QStringList& names) const;
    bool known(int id) const;
    // Handles one event; false when the entry is unknown.
    bool handle(int id, const QString& eventId);

    QDBusConnection bus_;
    QString path_;
    UserActions actions_;
    std::shared_ptr<const controller::Menu> menu_;
    std::vector<Entry> entries_;
    uint revision_ = 1;
};

// The label as dbusmenu shows it: a lone underscore marks a mnemonic there,
// so each one is doubled.
QString MenuLabel(const std::string& title);

}  // namespace app::panel
