#pragma once

// `Menu`: the settings page with its buttons, the two menus the tray icon pops
// up, and Timer1. The window draws what the settings page model holds and
// hands every event to the AppController; it decides nothing itself. Its tabs
// are page classes (settings_pages.h) over one ControlMap, and the tray icon
// is its own class (TrayIcon).

#include <QMainWindow>
#include <QPointer>
#include <QSystemTrayIcon>
#include <functional>

#include "app/core/app_views.h"
#include "app/qt/qt_desktop.h"
#include "app/qt/settings_pages.h"
#include "app/qt/tray_icon.h"
#include "settings/settings_model.h"
#include "settings/settings_page.h"

class QMenu;
class QTimer;

namespace tarvenix {
class AppController;
}

namespace tarvenix::qt {

class AboutWindow;
class ProgressDialog;
class SettingsTabWidget;
class SplashWindow;

class MainWindow final : public QMainWindow, public MainWindowView {
    Q_OBJECT

public:
    // The window is created hidden; Timer1 starts ticking at once.
    MainWindow(SettingsPage& page, ProgressDialog* progress, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Events are handed to the controller from here on.
    void set_controller(AppController* controller) { controller_ = controller; }
    // Where the window gets its handle from.
    void set_desktop(QtDesktop* desktop);
    // What ends the program (QCoreApplication::exit by default).
    void set_quit_handler(std::function<void()> quit) { quit_ = std::move(quit); }

    // MainWindowView
    void set_window_visible(bool visible) override;
    bool window_visible() const override;
    std::int32_t window_handle() const override;
    void popup_menu(PopupMenu menu) override;
    void stand_in_for_tray() override;
    void show_splash(std::string_view product_text) override;
    void close_splash() override;
    void show_about(std::string_view version_text) override;
    void close_about() override;
    void close_progress() override;
    void close_main_window() override;
    void quit_immediately() override;

    // The tray icon, and the desktop's TrayHost.
    TrayIcon& tray() { return *tray_; }
    // The controls of the settings pages that mirror the page model.
    const ControlMap& controls() const { return controls_; }
    QMenu* menu(PopupMenu which) const;
    SettingsTabWidget* settings_tabs() const { return tabs_; }
    // True while the desktop has no notification area and the window stands
    // in for the tray icon (menu bar shown, "hidden" = minimised).
    bool standing_in_for_tray() const;
    QTimer* timer1() const { return timer1_; }
    SplashWindow* splash() const;
    AboutWindow* about() const;

    // The tray icon was clicked.
    void on_tray_activated(QSystemTrayIcon::ActivationReason reason);

protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build_buttons(QWidget* client);
    void build_tabs(QWidget* client);
    void build_menus();
    void forward(const Command& action);

    void on_page_event(const PageEvent& event);
    void show_control(ControlId id);
    void show_all_controls();
    void redraw_title_bar();

    SettingsPage& page_;
    ProgressDialog* progress_;
    std::int32_t handle_ = 0;  // the desktop's handle of this window
    AppController* controller_ = nullptr;
    std::function<void()> quit_;

    SettingsTabWidget* tabs_ = nullptr;
    ControlMap controls_;
    TrayIcon* tray_ = nullptr;

    QMenu* mnumain_ = nullptr;
    QMenu* help_ = nullptr;
    QTimer* timer1_ = nullptr;
    // The lost-focus command of the box the focus has just left, run once the
    // focus has settled.
    QTimer* leave_check_ = nullptr;
    QPointer<QWidget> leave_check_box_;
    Command leave_check_command_;
    bool centred_ = false;
    bool closing_ = false;

    QPointer<SplashWindow> splash_;
    QPointer<AboutWindow> about_;
};

}  // namespace tarvenix::qt
