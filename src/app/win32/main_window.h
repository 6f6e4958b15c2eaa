#pragma once

// `Menu`: the settings window built from its table, with the eleven pages in
// a multi-row tab control, the two menus the tray icon pops up, and Timer1.
// The window draws what the settings page model holds and hands every event
// to the AppController; it decides nothing itself.

#include <array>
#include <memory>
#include <string_view>
#include <vector>

#include "app/core/app_controller.h"
#include "app/core/app_views.h"
#include "app/core/controller_command.h"
#include "app/core/tray_presence.h"
#include "app/win32/face_window.h"
#include "app/win32/win32_ports.h"
#include "settings/settings_page.h"

namespace tarvenix::win32 {

// The program's icon in the notification area: added, modified and removed
// with Shell_NotifyIconW, nothing more (when to try again, and what stands in
// while there is none, is the core's TrayPresence). Its mouse messages reach
// the owner window as kCallbackMessage with the mouse message in lParam.
class TrayIcon final : public TrayIconPort {
public:
    static constexpr UINT kCallbackMessage = WM_APP + 1;

    ~TrayIcon() override { remove_tray_icon(); }

    // owner: the window that gets the icon's mouse messages.
    void set_owner(HWND owner) { owner_ = owner; }

    // False when the shell has no notification area (yet).
    bool add_tray_icon(std::string_view tool_tip) override;
    bool modify_tray_tip(std::string_view tool_tip) override;
    void remove_tray_icon() override;
    // Windows does not say when a notification area goes away; a new one
    // says it came (taskbar_created_message).
    bool tray_present() override { return true; }

    // The message the shell broadcasts when its taskbar is created.
    static UINT taskbar_created_message();

private:
    bool notify(DWORD what, std::string_view tool_tip);

    HWND owner_ = nullptr;
};

class MainWindow final : public FaceWindow, public MainWindowView {
public:
    // The window is created hidden; Timer1 starts ticking at once. Clicks in
    // the progress dialog and About go to the controller through it too.
    MainWindow(SettingsPage& page, ProgressDialog& progress, TrayIcon& tray);
    ~MainWindow() override;

    // Events are handed to the controller from here on.
    void set_controller(AppController* controller) { controller_ = controller; }

    // MainWindowView
    void set_window_visible(bool visible) override;
    bool window_visible() const override {
        return IsWindowVisible(hwnd()) != FALSE && IsIconic(hwnd()) == FALSE;
    }
    std::int32_t window_handle() const override { return handle_of(hwnd()); }
    void popup_menu(PopupMenu menu) override;
    void stand_in_for_tray(bool standing_in) override;
    TrayIconPort& tray_icon() override { return tray_; }
    void show_splash(std::string_view product_text) override { splash_.present(product_text); }
    void close_splash() override { splash_.close(); }
    void show_about(std::string_view version_text) override { about_.show(version_text); }
    void close_about() override { about_.close(); }
    void close_progress() override { progress_.view().hide(); }
    void close_main_window() override { end_program(); }
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
    // Hands an event to the controller once there is one.
    void forward(const Command& command);
    void on_command(int id, int code, HWND from);
    void on_menu(int id);
    void on_left(int id);
    void on_timer();
    void show(const face::ControlRow& c);
    void on_page_event(const PageEvent& event);
    void show_tab(int index);
    // A key press the window takes before the dialog keyboard: the core's
    // page keys, and Tab where it stops on the tab strip.
    bool on_key(WPARAM key);
    bool tab_by_strip(bool back);
    void end_program();

    SettingsPage& page_;
    ProgressDialog& progress_;
    TrayIcon& tray_;
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
