#include "app/qt/status_notifier_item.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QImage>
#include <QTimer>
#include <QtEndian>

#include "app/qt/dbus_menu.h"
#include "app/qt/ui_common.h"

using namespace Qt::StringLiterals;

namespace tarvenix::qt {

namespace {

const QString kWatcher = u"org.kde.StatusNotifierWatcher"_s;
const QString kWatcherPath = u"/StatusNotifierWatcher"_s;
const QString kItemPath = u"/StatusNotifierItem"_s;
const QString kMenuPath = u"/MenuBar"_s;
// How long start-up waits for a watcher's answer before taking it as absent.
constexpr int kStartUpWaitMs = 1000;

SniPixmap pixmap_of(const QImage& image) {
    // ARGB32 lines have no padding: the pixels are one run of 32-bit words.
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    SniPixmap pixmap{argb.width(), argb.height(),
                     QByteArray(argb.sizeInBytes(), Qt::Uninitialized)};
    qToBigEndian<quint32>(argb.constBits(), argb.sizeInBytes() / 4, pixmap.argb.data());
    return pixmap;
}

}  // namespace

QDBusArgument& operator<<(QDBusArgument& out, const SniPixmap& pixmap) {
    out.beginStructure();
    out << pixmap.width << pixmap.height << pixmap.argb;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, SniPixmap& pixmap) {
    in.beginStructure();
    in >> pixmap.width >> pixmap.height >> pixmap.argb;
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const SniToolTip& tip) {
    out.beginStructure();
    out << tip.icon_name << tip.pixmaps << tip.title << tip.text;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, SniToolTip& tip) {
    in.beginStructure();
    in >> tip.icon_name >> tip.pixmaps >> tip.title >> tip.text;
    in.endStructure();
    return in;
}

StatusNotifierItem::StatusNotifierItem(QObject* parent)
    : QObject(parent) {
    qDBusRegisterMetaType<SniPixmap>();
    qDBusRegisterMetaType<SniPixmaps>();
    qDBusRegisterMetaType<SniToolTip>();
    for (const QSize size : {QSize(32, 32), QSize(64, 64)}) {
        pixmaps_ << pixmap_of(program_icon().pixmap(size).toImage());
    }
    new StatusNotifierItemAdaptor(this);
    // On Wayland no client places a window at a point of the screen of its
    // choosing, so our own menu cannot open at the icon.
    const bool pops_up_own_menu = !QGuiApplication::platformName().startsWith(u"wayland"_s);
    menu_ = new DBusMenu(face::published_tray_menu(pops_up_own_menu), this);

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;  // no session bus: only an XEmbed tray can hold the icon
    }
    watcher_ =
        new QDBusServiceWatcher(kWatcher, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& new_owner) {
                watcher_owner_changed(new_owner);
            });
    for (const QString& signal :
         {u"StatusNotifierHostRegistered"_s, u"StatusNotifierHostUnregistered"_s}) {
        bus.connect(kWatcher, kWatcherPath, kWatcher, signal, this, SLOT(host_changed()));
    }
    // At start-up the answer is waited for: a panel already up takes the
    // icon at once, and the window never flashes up as its stand-in.
    watcher_present_ = bus.interface()->isServiceRegistered(kWatcher);
    if (watcher_present_) {
        ask_for_host(true);
    }
}

StatusNotifierItem::~StatusNotifierItem() {
    hide();
}

void StatusNotifierItem::host_changed() {
    ask_for_host(false);
}

void StatusNotifierItem::watcher_owner_changed(const QString& new_owner) {
    watcher_present_ = !new_owner.isEmpty();
    host_present_ = false;
    if (watcher_present_) {
        // A watcher appeared or restarted: it knows nothing of the icon.
        if (shown_) {
            register_with_watcher();
        }
        ask_for_host(false);
    }
    if (on_change_) {
        on_change_();
    }
}

void StatusNotifierItem::ask_for_host(bool wait) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcher, kWatcherPath, u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
    get << kWatcher << u"IsStatusNotifierHostRegistered"_s;
    const auto take = [this](const QDBusMessage& reply) {
        const bool present =
            reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
            reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
        if (present != host_present_) {
            host_present_ = present;
            if (on_change_) {
                on_change_();
            }
        }
    };
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (wait) {
        take(bus.call(get, QDBus::Block, kStartUpWaitMs));
        return;
    }
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(get), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [take](QDBusPendingCallWatcher* call) {
                take(call->reply());
                call->deleteLater();
            });
}

bool StatusNotifierItem::show(const QString& tool_tip) {
    tip_ = tool_tip;
    if (shown_) {
        return true;
    }
    // A connection of its own, so that hiding the icon can leave the bus: the
    // watcher drops an item whose connection has gone.
    static int connections = 0;
    item_bus_ = u"tarvenix-tray-%1"_s.arg(++connections);
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, item_bus_);
    if (!bus.isConnected() ||
        !bus.registerObject(kItemPath, this, QDBusConnection::ExportAdaptors) ||
        !bus.registerObject(kMenuPath, menu_, QDBusConnection::ExportAdaptors)) {
        QDBusConnection::disconnectFromBus(item_bus_);
        return false;
    }
    shown_ = true;
    register_with_watcher();
    return true;
}

void StatusNotifierItem::hide() {
    if (!shown_) {
        return;
    }
    shown_ = false;
    QDBusConnection(item_bus_).unregisterObject(kMenuPath);
    QDBusConnection(item_bus_).unregisterObject(kItemPath);
    QDBusConnection::disconnectFromBus(item_bus_);
}

void StatusNotifierItem::set_tool_tip(const QString& tool_tip) {
    tip_ = tool_tip;
    emit tool_tip_changed();
}

void StatusNotifierItem::register_with_watcher() {
    QDBusConnection bus(item_bus_);
    QDBusMessage call = QDBusMessage::createMethodCall(kWatcher, kWatcherPath, kWatcher,
                                                       u"RegisterStatusNotifierItem"_s);
    call << bus.baseService();
    // Nothing waits for the answer: a watcher that refuses the item is one
    // with no room for it, which the host query has already told.
    bus.asyncCall(call);
}

void StatusNotifierItem::set_menu_click_handler(std::function<void(face::Action)> handler) {
    menu_->set_click_handler(std::move(handler));
}

void StatusNotifierItem::clicked(Click click) {
    // Handed on once the panel's call has been answered: the menu the click
    // opens runs an event loop of its own, and the panel would wait for it.
    QTimer::singleShot(0, this, [this, click] {
        if (on_click_) {
            on_click_(click);
        }
    });
}

StatusNotifierItemAdaptor::StatusNotifierItemAdaptor(StatusNotifierItem* item)
    : QDBusAbstractAdaptor(item)
    , item_(item) {
    connect(item, &StatusNotifierItem::tool_tip_changed, this,
            &StatusNotifierItemAdaptor::NewToolTip);
}

bool StatusNotifierItemAdaptor::item_is_menu() const {
    return item_->menu().shown_on_activation();
}

QDBusObjectPath StatusNotifierItemAdaptor::menu() const {
    return QDBusObjectPath(kMenuPath);
}

}  // namespace tarvenix::qt
