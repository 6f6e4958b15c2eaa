#pragma once

// The program's icon as a StatusNotifierItem: the tray of today's panels
// (KDE, and the StatusNotifier applets of Xfce, LXQt, GNOME and others),
// reached over the session bus. Qt's own StatusNotifier icon is chosen once,
// when the program first asks for a tray, so a panel that comes up after the
// program would never get the icon; this one follows the watcher (the panel's
// registry of items) as it comes, goes and restarts.

#include <QByteArray>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

#include "app/core/window_face.h"

class QDBusServiceWatcher;

namespace tarvenix::qt {

class DBusMenu;

// One picture of the icon: its size and its ARGB32 pixels, in network order.
struct SniPixmap {
    qint32 width = 0;
    qint32 height = 0;
    QByteArray argb;
};
using SniPixmaps = QList<SniPixmap>;
// The tool tip: icon name, pictures, title and text.
struct SniToolTip {
    QString icon_name;
    SniPixmaps pixmaps;
    QString title;
    QString text;
};

QDBusArgument& operator<<(QDBusArgument& out, const SniPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& in, SniPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& out, const SniToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& in, SniToolTip& tip);

class StatusNotifierItem final : public QObject {
    Q_OBJECT

public:
    enum class Click { kPrimary, kContext };

    explicit StatusNotifierItem(QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    // A watcher is on the session bus and a host (a panel) shows its items.
    bool tray_present() const { return watcher_present_ && host_present_; }
    // Shown: on a bus connection of its own, registered with the watcher,
    // and registered again whenever a watcher appears. Hidden: off the bus,
    // so the watcher drops it. False when the bus refused it.
    bool show(const QString& tool_tip);
    void hide();
    bool shown() const { return shown_; }
    void set_tool_tip(const QString& tool_tip);

    // The user clicked the icon in the panel.
    void set_click_handler(std::function<void(Click)> handler) { on_click_ = std::move(handler); }
    // An item of the published menu was chosen in the panel.
    void set_menu_click_handler(std::function<void(face::Action)> handler);
    // A watcher or host came or went.
    void set_change_handler(std::function<void()> handler) { on_change_ = std::move(handler); }

    // What the panel reads.
    const DBusMenu& menu() const { return *menu_; }
    SniPixmaps pixmaps() const { return pixmaps_; }
    SniToolTip tool_tip() const { return {{}, pixmaps_, tip_, {}}; }
    void clicked(Click click);

signals:
    void tool_tip_changed();

private slots:
    void host_changed();

private:
    void watcher_owner_changed(const QString& new_owner);
    void ask_for_host(bool wait);
    void register_with_watcher();

    QDBusServiceWatcher* watcher_ = nullptr;
    // The menu published for panels that show only a menu handed to them
    // (the Xfce panel, GNOME's tray), as the core chooses it.
    DBusMenu* menu_ = nullptr;
    QString item_bus_;  // the name of the item's own connection while shown
    SniPixmaps pixmaps_;
    QString tip_;
    bool watcher_present_ = false;
    bool host_present_ = false;
    bool shown_ = false;
    std::function<void(Click)> on_click_;
    std::function<void()> on_change_;
};

// The item's interface on the bus.
class StatusNotifierItemAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ window_id)
    Q_PROPERTY(bool ItemIsMenu READ item_is_menu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    Q_PROPERTY(QString IconName READ no_name)
    Q_PROPERTY(tarvenix::qt::SniPixmaps IconPixmap READ icon_pixmap)
    Q_PROPERTY(QString OverlayIconName READ no_name)
    Q_PROPERTY(tarvenix::qt::SniPixmaps OverlayIconPixmap READ no_pixmaps)
    Q_PROPERTY(QString AttentionIconName READ no_name)
    Q_PROPERTY(tarvenix::qt::SniPixmaps AttentionIconPixmap READ no_pixmaps)
    Q_PROPERTY(QString AttentionMovieName READ no_name)
    Q_PROPERTY(tarvenix::qt::SniToolTip ToolTip READ tool_tip)

public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem* item);

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("tarvenix"); }
    QString title() const { return QStringLiteral("Tarvenix"); }
    QString status() const { return QStringLiteral("Active"); }
    int window_id() const { return 0; }
    bool item_is_menu() const;
    QDBusObjectPath menu() const;
    QString no_name() const { return {}; }
    SniPixmaps icon_pixmap() const { return item_->pixmaps(); }
    SniPixmaps no_pixmaps() const { return {}; }
    SniToolTip tool_tip() const { return item_->tool_tip(); }

public slots:
    void Activate(int /*x*/, int /*y*/) { item_->clicked(StatusNotifierItem::Click::kPrimary); }
    void SecondaryActivate(int /*x*/, int /*y*/) {}
    void ContextMenu(int /*x*/, int /*y*/) { item_->clicked(StatusNotifierItem::Click::kContext); }
    void Scroll(int /*delta*/, const QString& /*orientation*/) {}

signals:
    void NewTitle();
    void NewIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    StatusNotifierItem* item_;
};

}  // namespace tarvenix::qt

Q_DECLARE_METATYPE(tarvenix::qt::SniPixmap)
Q_DECLARE_METATYPE(tarvenix::qt::SniToolTip)
