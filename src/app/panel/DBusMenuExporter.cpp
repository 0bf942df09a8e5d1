#include "app/panel/DBusMenuExporter.h"

#include "app/MenuRenderer.h"

namespace app::panel {

namespace {

using controller::Menu;
using controller::MenuItem;

QVariantMap Filtered(const QVariantMap& properties, const QStringList& names) {
    if (names.isEmpty()) {
        return properties;
    }
    QVariantMap kept;
    for (const QString& name : names) {
        if (properties.contains(name)) {
            kept.insert(name, properties.value(name));
        }
    }
    return kept;
}

}  // namespace

QString MenuLabel(const std::string& title) {
    QString label = PlainText(title);
    label.replace(QLatin1Char('_'), QLatin1String("__"));
    return label;
}

DBusMenuExporter::DBusMenuExporter(QDBusConnection bus, QString path, UserActions actions)
    : bus_(std::move(bus)), path_(std::move(path)), actions_(std::move(actions)) {
    RegisterDBusTypes();
    setMenu(nullptr);
    bus_.registerObject(path_, this, QDBusConnection::ExportScriptableContents);
}

DBusMenuExporter::~DBusMenuExporter() {
    bus_.unregisterObject(path_);
}

void DBusMenuExporter::setMenu(std::shared_ptr<const Menu> menu) {
    if (!menu) {
        menu = std::make_shared<const Menu>();
    }
    const bool sameShape = menu_ && SameShape(*menu_, *menu);
    std::vector<QVariantMap> before;
    if (sameShape) {
        for (std::size_t id = 1; id < entries_.size(); ++id) {
            before.push_back(propertiesOf(static_cast<int>(id)));
        }
    }
    menu_ = std::move(menu);
    entries_.assign(1, Entry{});
    number(*menu_, 0);
    if (!sameShape) {
        ++revision_;
        emit LayoutUpdated(revision_, 0);
        return;
    }
    DBusMenuItemList changed;
    for (std::size_t id = 1; id < entries_.size(); ++id) {
        QVariantMap now = propertiesOf(static_cast<int>(id));
        if (now != before[id - 1]) {
            changed.append({static_cast<int>(id), now});
        }
    }
    if (!changed.isEmpty()) {
        emit ItemsPropertiesUpdated(changed, {});
    }
}

void DBusMenuExporter::number(const Menu& items, int parent) {
    for (const MenuItem& item : items) {
        const int id = static_cast<int>(entries_.size());
        entries_.push_back(Entry{&item, {}});
        entries_[static_cast<std::size_t>(parent)].children.push_back(id);
        number(item.children, id);
    }
}

QVariantMap DBusMenuExporter::propertiesOf(int id) const {
    const MenuItem* item = entries_[static_cast<std::size_t>(id)].item;
    QVariantMap properties;
    if (!item) {
        properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
        return properties;
    }
    if (item->separator) {
        properties.insert(QStringLiteral("type"), QStringLiteral("separator"));
        return properties;
    }
    properties.insert(QStringLiteral("label"), MenuLabel(item->title));
    properties.insert(QStringLiteral("enabled"), ShowsEnabled(*item));
    if (!item->children.empty()) {
        properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    }
    return properties;
}

DBusMenuLayoutItem DBusMenuExporter::layoutOf(int id, int depth, const QStringList& names) const {
    DBusMenuLayoutItem layout{id, Filtered(propertiesOf(id), names), {}};
    if (depth != 0) {
        for (const int child : entries_[static_cast<std::size_t>(id)].children) {
            layout.children.append(layoutOf(child, depth - 1, names));
        }
    }
    return layout;
}

bool DBusMenuExporter::known(int id) const {
    return id >= 0 && static_cast<std::size_t>(id) < entries_.size();
}

uint DBusMenuExporter::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                 DBusMenuLayoutItem& layout) {
    if (!known(parentId)) {
        // The host's idea of the menu is out of date: it asks again after
        // the next LayoutUpdated rather than drawing the wrong submenu.
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("no menu entry %1").arg(parentId));
        return revision_;
    }
    layout = layoutOf(parentId, recursionDepth, propertyNames);
    return revision_;
}

DBusMenuItemList DBusMenuExporter::GetGroupProperties(const QList<int>& ids,
                                                      const QStringList& propertyNames) {
    DBusMenuItemList items;
    // No ids asks for every entry.
    const auto add = [&](int id) { items.append({id, Filtered(propertiesOf(id), propertyNames)}); };
    if (ids.isEmpty()) {
        for (std::size_t id = 0; id < entries_.size(); ++id) {
            add(static_cast<int>(id));
        }
    }
    for (const int id : ids) {
        if (known(id)) {
            add(id);
        }
    }
    return items;
}

QDBusVariant DBusMenuExporter::GetProperty(int id, const QString& name) {
    const QVariant value = known(id) ? propertiesOf(id).value(name) : QVariant();
    if (!value.isValid()) {
        // An empty variant cannot travel; the caller learns why instead.
        sendErrorReply(QDBusError::InvalidArgs,
                       QStringLiteral("entry %1 has no property %2").arg(id).arg(name));
        return QDBusVariant(QString());
    }
    return QDBusVariant(value);
}

bool DBusMenuExporter::handle(int id, const QString& eventId) {
    if (!known(id)) {
        return false;
    }
    // Hosts tell of the menu opening in one of three ways; each asks the
    // controller for fresh titles, which follow as signals.
    if (id == 0 && eventId == QLatin1String("opened")) {
        actions_.menuWillOpen();
    } else if (id != 0 && eventId == QLatin1String("clicked")) {
        const MenuItem& item = *entries_[static_cast<std::size_t>(id)].item;
        if (!item.separator && ShowsEnabled(item) && item.children.empty()) {
            actions_.itemChosen(item);
        }
    }
    return true;
}

void DBusMenuExporter::Event(int id, const QString& eventId, const QDBusVariant&, uint) {
    handle(id, eventId);
}

QList<int> DBusMenuExporter::EventGroup(const DBusMenuEventList& events) {
    QList<int> idErrors;
    for (const DBusMenuEvent& event : events) {
        if (!handle(event.id, event.eventId)) {
            idErrors.append(event.id);
        }
    }
    return idErrors;
}

bool DBusMenuExporter::AboutToShow(int id) {
    if (id == 0) {
        actions_.menuWillOpen();
    }
    // The host shows what it has; the new titles come by signal.
    return false;
}

QList<int> DBusMenuExporter::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
    for (const int id : ids) {
        if (!known(id)) {
            idErrors.append(id);
        }
    }
    if (ids.contains(0)) {
        actions_.menuWillOpen();
    }
    return {};
}

}  // namespace app::panel
