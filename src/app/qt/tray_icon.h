#pragma once

// The program's icon in the notification area, and the watch on the area
// itself: every 5 seconds (the "tray_retry" timer) a tray that appeared takes
// the icon, and one that went away with it is reported, so the main window
// can stand in for it.

#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>

#include "app/qt/qt_desktop.h"

class QTimer;

namespace tarvenix::qt {

class TrayIcon final : public QObject, public TrayHost {
    Q_OBJECT

public:
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
    QSystemTrayIcon* icon() const { return icon_; }
    // No more checks (the program is closing).
    void stop_watching();

private:
    void show_icon();
    void check();

    QSystemTrayIcon* icon_ = nullptr;
    QTimer* retry_ = nullptr;
    QString tip_;
    bool missing_ = false;
    int missing_checks_ = 0;
    std::function<void(QSystemTrayIcon::ActivationReason)> on_activated_;
    std::function<void()> on_lost_;
};

}  // namespace tarvenix::qt
