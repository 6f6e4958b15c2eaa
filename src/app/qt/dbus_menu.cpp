#include "app/qt/dbus_menu.h"

#include <QDBusMetaType>
#include <QTimer>

#include "app/qt/ui_common.h"

using namespace Qt::StringLiterals;

namespace tarvenix::qt {

QDBusArgument& operator<<(QDBusArgument& out, const DBusMenuItem& item) {
    out.beginStructure();
    out << item.id << item.properties;
    out.beginArray(QMetaType::fromType<QDBusVariant>());
    for (const DBusMenuItem& child : item.children) {
        out << QDBusVariant(QVariant::fromValue(child));
    }
    out.endArray();
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, DBusMenuItem& item) {
    in.beginStructure();
    in >> item.id >> item.properties;
    in.beginArray();
    item.children.clear();
    while (!in.atEnd()) {
        QDBusVariant child;
        in >> child;
        item.children << qdbus_cast<DBusMenuItem>(child.variant());
    }
    in.endArray();
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const DBusMenuProperties& item) {
    out.beginStructure();
    out << item.id << item.properties;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, DBusMenuProperties& item) {
    in.beginStructure();
    in >> item.id >> item.properties;
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const DBusMenuRemoved& item) {
    out.beginStructure();
    out << item.id << item.names;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, DBusMenuRemoved& item) {
    in.beginStructure();
    in >> item.id >> item.names;
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const DBusMenuEvent& event) {
    out.beginStructure();
    out << event.id << event.event_id << event.data << event.timestamp;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, DBusMenuEvent& event) {
    in.beginStructure();
    in >> event.id >> event.event_id >> event.data >> event.timestamp;
    in.endStructure();
    return in;
}

DBusMenu::DBusMenu(const face::PublishedTrayMenu& menu, QObject* parent)
    : QObject(parent)
    , shown_on_activation_(menu.shown_on_activation) {
    for (const face::MenuItem& row : menu.rows->items) {
        entries_.push_back({0, &row, nullptr});
    }
    if (menu.submenu != nullptr) {
        entries_.push_back({0, nullptr, menu.submenu});
        const int holder = static_cast<int>(entries_.size());
        for (const face::MenuItem& row : menu.submenu->items) {
            entries_.push_back({holder, &row, nullptr});
        }
    }
    qDBusRegisterMetaType<DBusMenuItem>();
    qDBusRegisterMetaType<DBusMenuProperties>();
    qDBusRegisterMetaType<DBusMenuPropertiesList>();
    qDBusRegisterMetaType<DBusMenuRemoved>();
    qDBusRegisterMetaType<DBusMenuRemovedList>();
    qDBusRegisterMetaType<DBusMenuEvent>();
    qDBusRegisterMetaType<DBusMenuEventList>();
    new DBusMenuAdaptor(this);
}

QVariantMap DBusMenu::item_properties(int id, const QStringList& names) const {
    QVariantMap all;
    const Entry* entry = id == 0 ? nullptr : &entries_[static_cast<std::size_t>(id - 1)];
    if (entry == nullptr || entry->submenu != nullptr) {
        all[u"children-display"_s] = u"submenu"_s;
    }
    if (entry != nullptr && entry->row != nullptr && entry->row->name.empty()) {
        all[u"type"_s] = u"separator"_s;
    } else if (entry != nullptr) {
        const std::string_view caption =
            entry->row != nullptr ? entry->row->caption : entry->submenu->caption;
        // An underscore would mark the next letter as the item's access key.
        all[u"label"_s] = to_qstring(caption).replace(u'_', u"__"_s);
        all[u"enabled"_s] = true;
        all[u"visible"_s] = true;
    }
    if (names.isEmpty()) {
        return all;
    }
    QVariantMap asked;
    for (const QString& name : names) {
        if (all.contains(name)) {
            asked[name] = all[name];
        }
    }
    return asked;
}

DBusMenuItem DBusMenu::layout(int parent, int depth, const QStringList& names) const {
    if (!known(parent)) {
        return {parent, {}, {}};
    }
    DBusMenuItem root{parent, item_properties(parent, names), {}};
    for (int id = 1; depth != 0 && id <= static_cast<int>(entries_.size()); ++id) {
        // Only the root and a submenu's item are ever parents.
        if (entries_[static_cast<std::size_t>(id - 1)].parent == parent) {
            root.children << layout(id, depth - 1, names);
        }
    }
    return root;
}

DBusMenuPropertiesList DBusMenu::properties(const QList<int>& ids, const QStringList& names) const {
    DBusMenuPropertiesList answer;
    for (const int id : ids) {
        if (known(id)) {
            answer << DBusMenuProperties{id, item_properties(id, names)};
        }
    }
    return answer;
}

QVariant DBusMenu::property_of(int id, const QString& name) const {
    return known(id) ? item_properties(id, {name}).value(name) : QVariant();
}

void DBusMenu::event(int id, const QString& event_id) {
    if (id <= 0 || !known(id) || event_id != u"clicked"_s) {
        return;
    }
    const face::MenuItem* row = entries_[static_cast<std::size_t>(id - 1)].row;
    const face::Action action = row != nullptr ? row->action : face::Action::kNone;
    // Run once the host has its answer: the action may open a box or run a
    // backup, and the panel would wait for it all that time.
    QTimer::singleShot(0, this, [this, action] {
        if (on_click_ && action != face::Action::kNone) {
            on_click_(action);
        }
    });
}

DBusMenuAdaptor::DBusMenuAdaptor(DBusMenu* menu)
    : QDBusAbstractAdaptor(menu)
    , menu_(menu) {}

uint DBusMenuAdaptor::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                DBusMenuItem& layout) {
    layout = menu_->layout(parentId, recursionDepth, propertyNames);
    return 1;
}

DBusMenuPropertiesList DBusMenuAdaptor::GetGroupProperties(const QList<int>& ids,
                                                           const QStringList& propertyNames) {
    return menu_->properties(ids, propertyNames);
}

QDBusVariant DBusMenuAdaptor::GetProperty(int id, const QString& name) {
    return QDBusVariant(menu_->property_of(id, name));
}

void DBusMenuAdaptor::Event(int id, const QString& eventId, const QDBusVariant& /*data*/,
                            uint /*timestamp*/) {
    menu_->event(id, eventId);
}

QList<int> DBusMenuAdaptor::EventGroup(const QList<DBusMenuEvent>& events) {
    QList<int> unknown;
    for (const DBusMenuEvent& event : events) {
        if (menu_->known(event.id)) {
            menu_->event(event.id, event.event_id);
        } else {
            unknown << event.id;
        }
    }
    return unknown;
}

bool DBusMenuAdaptor::AboutToShow(int /*id*/) {
    return false;  // the layout never changes
}

QList<int> DBusMenuAdaptor::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
    for (const int id : ids) {
        if (!menu_->known(id)) {
            idErrors << id;
        }
    }
    return {};
}

}  // namespace tarvenix::qt
