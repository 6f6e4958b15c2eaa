#pragma once

// `Menu`: the settings window with its multi-row tab control and buttons, the
// two menus the tray icon pops up, and Timer1. The window draws what the
// settings page model holds and hands every event to the AppController; it
// decides nothing itself. The tray icon is its own class (TrayIcon).

#include <memory>
#include <string_view>
#include <vector>

#include "app/core/app_views.h"
#include "app/win32/about.h"
#include "app/win32/settings_pages.h"
#include "app/win32/splash.h"
#include "app/win32/win_util.h"
#include "settings/settings_page.h"

namespace tarvenix::win32 {

class ProgressDialog;
class TrayIcon;
class Win32Desktop;
class Win32EventPump;

class MainWindow final : public Window, public MainWindowView {
public:
    // The window is created hidden; Timer1 starts ticking at once.
    MainWindow(SettingsPage& page, ProgressDialog& progress, TrayIcon& tray, Win32Desktop& desktop,
               Win32EventPump& pump);
    ~MainWindow() override;

    // Events are handed to the controller from here on.
    void set_controller(AppController* controller) { controller_ = controller; }

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

    // A control of the window by identifier or name (nullptr for none).
    HWND control(int id) const;
    HWND control(std::string_view name) const { return controls_.window(name); }
    HMENU menu(PopupMenu which) const;
    bool standing_in_for_tray() const { return no_tray_; }
    const AboutWindow& about() const { return about_; }

protected:
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    void build_buttons();
    void build_tabs();
    void build_menus();
    void add_tool_tip(HWND control, const wchar_t* text);

    void forward(const Command& command);
    void on_command(int id, int code, HWND control);
    void on_lost_focus(int id);
    void on_page_event(const PageEvent& event);
    void show_control(ControlId id);
    void show_all_controls();
    void show_tab(int index);
    void leave_stand_in();
    void end_program();

    SettingsPage& page_;
    ProgressDialog& progress_;
    TrayIcon& tray_;
    Win32Desktop& desktop_;
    Win32EventPump& pump_;
    AppController* controller_ = nullptr;

    ControlMap controls_;
    std::vector<std::unique_ptr<TabPage>> pages_;
    HWND tabs_ = nullptr;
    HWND tool_tips_ = nullptr;
    HMENU menu_bar_ = nullptr;
    HMENU mnumain_ = nullptr;
    HMENU help_ = nullptr;
    SplashWindow splash_;
    AboutWindow about_;
    std::shared_ptr<bool> alive_;

    bool mirroring_ = false;
    bool no_tray_ = false;
    bool centred_ = false;
    bool closing_ = false;
};

}  // namespace tarvenix::win32
