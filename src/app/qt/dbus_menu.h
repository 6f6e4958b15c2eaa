#pragma once

// A menu of the core's tables published on the session bus as panels that
// show only a menu handed to them expect it (the dbusmenu interface, which
// the StatusNotifierItem's `Menu` property names): the Xfce panel's and
// GNOME's trays draw it themselves and hand back the item chosen.

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <vector>

#include "app/core/window_face.h"

namespace tarvenix::qt {

// One item of the layout and the items below it (the root is id 0).
struct DBusMenuItem {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuItem> children;
};
// An item's properties, as GetGroupProperties answers them.
struct DBusMenuProperties {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuPropertiesList = QList<DBusMenuProperties>;
// A removed property list (ItemsPropertiesUpdated): never sent with content.
struct DBusMenuRemoved {
    int id = 0;
    QStringList names;
};
using DBusMenuRemovedList = QList<DBusMenuRemoved>;
// One event of EventGroup.
struct DBusMenuEvent {
    int id = 0;
    QString event_id;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

QDBusArgument& operator<<(QDBusArgument& out, const DBusMenuItem& item);
const QDBusArgument& operator>>(const QDBusArgument& in, DBusMenuItem& item);
QDBusArgument& operator<<(QDBusArgument& out, const DBusMenuProperties& item);
const QDBusArgument& operator>>(const QDBusArgument& in, DBusMenuProperties& item);
QDBusArgument& operator<<(QDBusArgument& out, const DBusMenuRemoved& item);
const QDBusArgument& operator>>(const QDBusArgument& in, DBusMenuRemoved& item);
QDBusArgument& operator<<(QDBusArgument& out, const DBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& in, DBusMenuEvent& event);

// The menu the core publishes: the rows of one table, then those of another
// as a submenu, numbered in that order from 1 (the submenu's own item comes
// before its rows). Its items never change (none is ever disabled, checked
// or hidden), so the layout's revision stays 1 and no update is signalled.
class DBusMenu final : public QObject {
    Q_OBJECT

public:
    explicit DBusMenu(const face::PublishedTrayMenu& menu, QObject* parent = nullptr);

    bool shown_on_activation() const { return shown_on_activation_; }

    // A click on an item: the action of its row, as a click on the same item
    // of the program's own menu runs it.
    void set_click_handler(std::function<void(face::Action)> handler) {
        on_click_ = std::move(handler);
    }

    DBusMenuItem layout(int parent, int depth, const QStringList& names) const;
    DBusMenuPropertiesList properties(const QList<int>& ids, const QStringList& names) const;
    QVariant property_of(int id, const QString& name) const;
    bool known(int id) const { return id >= 0 && id <= static_cast<int>(entries_.size()); }
    // "clicked" on an item: its action runs once the host has its answer.
    void event(int id, const QString& event_id);

private:
    QVariantMap item_properties(int id, const QStringList& names) const;

    // Item n is entries_[n - 1]: a row of a table, or the item that holds
    // a submenu's rows.
    struct Entry {
        int parent = 0;
        const face::MenuItem* row = nullptr;
        const face::MenuTable* submenu = nullptr;
    };
    std::vector<Entry> entries_;
    bool shown_on_activation_ = false;
    std::function<void(face::Action)> on_click_;
};

class DBusMenuAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ text_direction)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ icon_theme_path)

public:
    explicit DBusMenuAdaptor(DBusMenu* menu);

    uint version() const { return 3; }
    QString text_direction() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList icon_theme_path() const { return {}; }

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   tarvenix::qt::DBusMenuItem& layout);
    tarvenix::qt::DBusMenuPropertiesList GetGroupProperties(const QList<int>& ids,
                                                            const QStringList& propertyNames);
    QDBusVariant GetProperty(int id, const QString& name);
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    QList<int> EventGroup(const QList<tarvenix::qt::DBusMenuEvent>& events);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

signals:
    void ItemsPropertiesUpdated(const QList<tarvenix::qt::DBusMenuProperties>& updatedProps,
                                const QList<tarvenix::qt::DBusMenuRemoved>& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    DBusMenu* menu_;
};

}  // namespace tarvenix::qt

Q_DECLARE_METATYPE(tarvenix::qt::DBusMenuItem)
Q_DECLARE_METATYPE(tarvenix::qt::DBusMenuProperties)
Q_DECLARE_METATYPE(tarvenix::qt::DBusMenuRemoved)
Q_DECLARE_METATYPE(tarvenix::qt::DBusMenuEvent)
