#pragma once

// `Menu`: the settings tabs with the window's buttons, the two menus the tray
// icon pops up, and Timer1, built from the core's window tables. The window
// draws what the settings page model holds and hands every event to the
// AppController; it decides nothing itself.

#include <QMainWindow>
#include <QPointer>
#include <QSystemTrayIcon>
#include <functional>
#include <map>

#include "app/core/app_views.h"
#include "app/core/controller_command.h"
#include "app/qt/face_widgets.h"
#include "app/qt/tray_icon.h"
#include "settings/settings_page.h"

class QMenu;
class QTimer;

namespace tarvenix {
class AppController;
}

namespace tarvenix::qt {

class ProgressDialog;
class QtDesktop;
class SettingsTabWidget;

class MainWindow final : public QMainWindow, public MainWindowView {
public:
    // The window is created hidden; Timer1 starts ticking at once.
    // desktop: where the window gets its handle from.
    MainWindow(SettingsPage& page, ProgressDialog& progress, QtDesktop& desktop,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // Events are handed to the controller from here on.
    void set_controller(AppController* controller) { controller_ = controller; }
    // What ends the program (QCoreApplication::exit by default).
    void set_quit_handler(std::function<void()> quit) { quit_ = std::move(quit); }

    // MainWindowView
    void set_window_visible(bool visible) override;
    bool window_visible() const override;
    std::int32_t window_handle() const override { return handle_; }
    void popup_menu(PopupMenu menu) override;
    void stand_in_for_tray(bool standing_in) override;
    TrayIcon& tray_icon() override { return *tray_; }
    void show_splash(std::string_view product_text) override;
    void close_splash() override;
    void show_about(std::string_view version_text) override;
    void close_about() override;
    void close_progress() override;
    void close_main_window() override;
    void quit_immediately() override;

    // Hands an event to the controller once there is one.
    void forward(const Command& event);
    QMenu* menu(PopupMenu which) const { return which == PopupMenu::mnumain ? mnumain_ : help_; }
    SettingsTabWidget* settings_tabs() const { return tabs_; }
    // True while the window stands in for a missing tray icon (menu bar
    // shown, "hidden" = minimised).
    bool standing_in_for_tray() const { return standing_in_; }
    QTimer* timer1() const { return timer1_; }
    FaceWindow* splash() const { return splash_.data(); }
    FaceWindow* about() const { return about_.data(); }

    // The tray icon was clicked.
    void on_tray_activated(QSystemTrayIcon::ActivationReason reason);

protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* control(ControlId id) const;
    void show_control(ControlId id);
    void on_page_event(const PageEvent& event);
    void redraw_title_bar();
    // Turns the settings pages by a Ctrl key of the core's page keys.
    void turn_page(const face::PageKey& key);

    SettingsPage& page_;
    ProgressDialog& progress_;
    Click click_;
    const std::int32_t handle_;  // the desktop's handle of this window
    AppController* controller_ = nullptr;
    std::function<void()> quit_;

    SettingsTabWidget* tabs_ = nullptr;
    TrayIcon* tray_ = nullptr;
    QMenu* mnumain_ = nullptr;
    QMenu* help_ = nullptr;
    QTimer* timer1_ = nullptr;
    // The start-time boxes, whose value is checked when the focus leaves them.
    std::map<const QObject*, ControlId> leave_checked_;
    bool standing_in_ = false;
    bool centred_ = false;
    bool closing_ = false;

    QPointer<FaceWindow> splash_;
    QPointer<FaceWindow> about_;
};

}  // namespace tarvenix::qt
