#pragma once

#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// The structures the StatusNotifierItem and com.canonical.dbusmenu
// interfaces carry, with their D-Bus marshalling.
namespace app::panel {

// One size of an icon: ARGB32 pixels in network byte order, (iiay).
struct DBusImage {
    int width = 0;
    int height = 0;
    QByteArray pixels;
};
using DBusImageList = QList<DBusImage>;

// (sa(iiay)ss): icon name, icon, title, text.
struct DBusToolTip {
    QString iconName;
    DBusImageList image;
    QString title;
    QString text;
};

// A menu entry with its children, as GetLayout answers: (ia{sv}av).
struct DBusMenuLayoutItem {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayoutItem> children;
};

// An entry's properties, as GetGroupProperties and ItemsPropertiesUpdated
// carry them: (ia{sv}).
struct DBusMenuItem {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemList = QList<DBusMenuItem>;

// Names of an entry's properties that went back to their defaults: (ias).
struct DBusMenuItemKeys {
    int id = 0;
    QStringList names;
};
using DBusMenuItemKeysList = QList<DBusMenuItemKeys>;

// One event of EventGroup: (isvu).
struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

// Makes the types above known to QtDBus; idempotent.
void RegisterDBusTypes();

QDBusArgument& operator<<(QDBusArgument& arg, const DBusImage& image);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusImage& image);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusToolTip& tip);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuLayoutItem& item);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuLayoutItem& item);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuItem& item);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuItem& item);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuItemKeys& keys);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuItemKeys& keys);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuEvent& event);

}  // namespace app::panel

Q_DECLARE_METATYPE(app::panel::DBusImage)
Q_DECLARE_METATYPE(app::panel::DBusToolTip)
Q_DECLARE_METATYPE(app::panel::DBusMenuLayoutItem)
Q_DECLARE_METATYPE(app::panel::DBusMenuItem)
Q_DECLARE_METATYPE(app::panel::DBusMenuItemKeys)
Q_DECLARE_METATYPE(app::panel::DBusMenuEvent)
