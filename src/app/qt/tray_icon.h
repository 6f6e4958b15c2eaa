#pragma once

// The program's icon in the notification area, and the watch on the area
// itself. Two kinds of tray exist on Linux desktops: a StatusNotifier watcher
// on the session bus (most panels today) and an XEmbed tray on the X server
// (older panels, trayer, stalonetray). The icon goes to whichever is there,
// the StatusNotifier one first; every second (the "tray_retry" timer, and at
// once when a watcher comes or goes) a tray that appeared takes the icon, an
// icon whose tray went away moves to the other kind when there is one, and a
// tray that stays away for two checks is reported, so the main window can
// stand in for it.

#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>

#include "app/qt/qt_desktop.h"

class QTimer;

namespace tarvenix::qt {

class StatusNotifierItem;

class TrayIcon final : public QObject, public TrayHost {
    Q_OBJECT

public:
    // Where the icon is.
    enum class Holder { kNone, kStatusNotifier, kXEmbed };

    explicit TrayIcon(QObject* parent = nullptr);

    // The icon was clicked.
    void set_activation_handler(std::function<void(QSystemTrayIcon::ActivationReason)> handler) {
        on_activated_ = std::move(handler);
    }
    // The tray went away with the icon: the window is to stand in for it.
    void set_lost_handler(std::function<void()> handler) { on_lost_ = std::move(handler); }

    // TrayHost: false when the desktop has no notification area.
    bool add_tray_icon(std::string_view tool_tip) override;
    bool modify_tray_tip(std::string_view tool_tip) override;
    void remove_tray_icon() override;

    // The window stands in for a missing tray from now on; a tray that
    // appears later takes the icon.
    void stand_in();
    // True while there is no tray and the window stands in for it.
    bool missing() const { return missing_; }
    Holder holder() const { return holder_; }
    // No more checks (the program is closing).
    void stop_watching();

private:
    bool place_icon();
    bool holder_present();
    bool xembed_tray_present();
    void show_in_xembed_tray();
    void check();

    StatusNotifierItem* item_ = nullptr;
    QSystemTrayIcon* xembed_icon_ = nullptr;
    QTimer* retry_ = nullptr;
    QString tip_;
    Holder holder_ = Holder::kNone;
    bool missing_ = false;
    bool qt_tray_asked_ = false;
    int missing_checks_ = 0;
    std::function<void(QSystemTrayIcon::ActivationReason)> on_activated_;
    std::function<void()> on_lost_;
};

}  // namespace tarvenix::qt
