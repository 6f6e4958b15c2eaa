#pragma once

// `Menu`: the settings window built from its table, with the eleven pages in
// a multi-row tab control, the two menus the tray icon pops up, and Timer1.
// The window draws what the settings page model holds and hands every event
// to the AppController; it decides nothing itself.

#include <array>
#include <memory>
#include <string_view>
#include <vector>

#include "app/core/app_views.h"
#include "app/core/controller_command.h"
#include "app/win32/dialogs.h"
#include "settings/settings_page.h"

namespace tarvenix::win32 {

class TrayIcon;
class Win32Desktop;

class MainWindow final : public FaceWindow, public MainWindowView {
public:
    // The window is created hidden; Timer1 starts ticking at once. Clicks in
    // the progress dialog and About go to the controller through it too.
    MainWindow(SettingsPage& page, ProgressDialog& progress, TrayIcon& tray, Win32Desktop& desktop);
    ~MainWindow() override;

    // Events are handed to the controller from here on.
    void set_controller(AppController* controller) { controller_ = controller; }

    // MainWindowView
    void set_window_visible(bool visible) override;
    bool window_visible() const override;
    std::int32_t window_handle() const override;
    void popup_menu(PopupMenu menu) override;
    void stand_in_for_tray(bool standing_in) override;
    TrayIconPort& tray_icon() override;
    void show_splash(std::string_view product_text) override;
    void close_splash() override;
    void show_about(std::string_view version_text) override;
    void close_about() override;
    void close_progress() override;
    void close_main_window() override;
    void quit_immediately() override;

    HWND tabs() const { return tabs_; }
    HMENU menu(PopupMenu which) const { return menus_[static_cast<std::size_t>(which)]; }
    const AboutWindow& about() const { return about_; }

protected:
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    class TabPage;

    void build_tabs();
    void build_menus();
    void forward(const Command& command);
    void on_command(int id, int code, HWND from);
    void on_menu(int id);
    void on_left(int id);
    void on_timer();
    void show(const face::ControlSpec& c);
    void on_page_event(const PageEvent& event);
    void show_tab(int index);
    void end_program();

    SettingsPage& page_;
    ProgressDialog& progress_;
    TrayIcon& tray_;
    Win32Desktop& desktop_;
    AppController* controller_ = nullptr;

    HWND tabs_ = nullptr;
    std::vector<std::unique_ptr<TabPage>> pages_;
    HMENU menu_bar_ = nullptr;
    std::array<HMENU, 2> menus_{};
    SplashWindow splash_;
    AboutWindow about_;
    std::shared_ptr<bool> alive_;

    bool mirroring_ = false;
    bool standing_in_ = false;
    bool centred_ = false;
    bool closing_ = false;
};

}  // namespace tarvenix::win32
