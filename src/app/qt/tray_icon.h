#pragma once

// The program's icon in the notification area, without any policy (the
// core's TrayPresence decides when to add it, look again or stand in). Two
// kinds of tray exist on Linux desktops: a StatusNotifier watcher on the
// session bus (most panels today) and an XEmbed tray on the X server (older
// panels, trayer, stalonetray). The icon goes to whichever is there, the
// StatusNotifier one first.

#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>

#include "app/core/tray_presence.h"
#include "app/core/window_face.h"

namespace tarvenix::qt {

class StatusNotifierItem;

class TrayIcon final : public QObject, public TrayIconPort {
public:
    // Where the icon is.
    enum class Holder { kNone, kStatusNotifier, kXEmbed };

    explicit TrayIcon(QObject* parent = nullptr);

    // The icon was clicked.
    void set_activation_handler(std::function<void(QSystemTrayIcon::ActivationReason)> handler) {
        on_activated_ = std::move(handler);
    }
    // An item of the menu published for the panel was chosen.
    void set_menu_click_handler(std::function<void(face::Action)> handler);
    // A StatusNotifier watcher or its host came or went: the tray is to be
    // looked at again (TrayPresence::check).
    void set_change_handler(std::function<void()> handler);

    // TrayIconPort: false when the desktop has no notification area.
    bool add_tray_icon(std::string_view tool_tip) override;
    bool modify_tray_tip(std::string_view tool_tip) override;
    void remove_tray_icon() override;
    // An icon whose tray went away moves to the other kind at once when
    // there is one; false when it found none.
    bool tray_present() override;

    Holder holder() const { return holder_; }

private:
    bool place_icon();
    bool xembed_tray_present();

    StatusNotifierItem* item_ = nullptr;
    QSystemTrayIcon* xembed_icon_ = nullptr;
    QString tip_;
    Holder holder_ = Holder::kNone;
    bool qt_tray_asked_ = false;
    std::function<void(QSystemTrayIcon::ActivationReason)> on_activated_;
};

}  // namespace tarvenix::qt
