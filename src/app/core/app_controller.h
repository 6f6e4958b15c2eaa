#pragma once

// The main window's behaviour, free of any window toolkit: start-up, the tray
// icon's clicks, every button and menu command, the session commands
// and the one shut-down sequence. Both front ends forward their events here.

#include <string>
#include <string_view>

#include "app/core/app_views.h"
#include "app/core/leave_checks.h"
#include "app/core/no_click_boxes.h"
#include "app/core/scheduler.h"
#include "app/core/settings_editor.h"
#include "app/core/tray_presence.h"
#include "app/core/window_face.h"

namespace tarvenix {

// What the controller works with: the program's parts and the ports it calls
// (ports.boxes is `boxes`, which also tells whether a box is open and whether
// the program is ending).
struct ControllerParts {
    const Ports& ports;
    NoClickBoxes& boxes;
    SettingsState& settings;
    SettingsStore& store;
    HistoryLog& history;
    BackupEngine& engine;
    SystemErrorReporter& reporter;
    ProgressView& progress;
    const std::string& history_file_path;
    const std::string& help_file_path;
    std::string_view version_text;
};

class AppController {
public:
    AppController(const ControllerParts& parts, MainWindowView& view);

    // Start-up after the main window was created (hidden): splash, tray icon,
    // settings, and the backup at launch when configured.
    void start_up();

    // The events the front ends hand over. Each ends with after_event(), so
    // no front end follows them with anything.
    void on_timer_tick() {
        scheduler_.tick();
        tray_.check();
        after_event();
    }
    // A click on the tray icon: its menu pops up over the program's window.
    void on_tray_click(TrayClick click);
    void on_window_double_click() {
        about_show();
        after_event();
    }
    // A notification area came or went, or the shell restarted without the
    // icons it held.
    void on_tray_changed() {
        tray_.check();
        after_event();
    }
    void on_tray_restarted() {
        tray_.tray_restarted();
        after_event();
    }

    // A click on a button or menu item: what its action asks for; `index` is
    // the control's index in its array (the set, or the folder box).
    void run(face::Action action, int index);

    // Settings page.
    void ok_bt();
    void set_clr_bt(int k) { editor_.clear_set(k); }
    void refsrc_bt(int i) { editor_.browse(i); }
    void hour_lost_focus(int k) { editor_.check_hour(k); }
    void min_lost_focus(int k) { editor_.check_minute(k); }
    void histclr_bt();
    void recedit_bt();

    // Window buttons and tray menu items.
    void mini_bt();
    void close_bt();
    void bkup_bt();
    void mnuset();
    void bkup_exitwin();
    void exit_win();
    void reboot_win();
    void log_off();
    void mnuend();
    void help_show();
    void about_show();
    // The About window's "OK".
    void cmdOK() { view_.close_about(); }
    // The progress dialog's "中　止".
    void copyccl_bt() { p_.engine.request_abort(); }

    // The icon's presence in the notification area, told when a tray comes
    // or goes.
    TrayPresence& tray() { return tray_; }
    // The focus moving between the settings controls (see LeaveChecks).
    LeaveChecks& leave_checks() { return leave_checks_; }

    // The main window is asked to close: by the window's close button, by the
    // end of the desktop session or by a termination signal. Runs the
    // shut-down sequence once; during a run it first stops the run as the
    // cancel button does and carries on when the run has ended.
    void on_close_request();
    // The system asks the program to end (SIGTERM, SIGINT, SIGHUP, the
    // session ending): nothing may wait for a click from now on, no new run
    // starts, and the shut-down sequence runs as for on_close_request, its
    // close-time backup included. A second request stops that backup too.
    void on_termination_request();
    // True once the shut-down sequence has run: the window may close.
    bool shut_down() const { return shut_down_; }

    SettingsEditor& editor() { return editor_; }

    // Every event ends here: a close asked for during a run, or while a
    // handler waited in a box, is carried out once that run or handler has
    // ended.
    void after_event();

private:
    // on_close_request without the after-event work, for the commands that
    // close the windows (after_event itself runs some of them).
    void close_request();
    void shutdown_sequence();
    void close_all_windows();
    // The tab page_selector_ names, for the window being opened.
    void select_opening_tab();
    bool terminating() const { return p_.boxes.no_click(); }

    const ControllerParts p_;
    MainWindowView& view_;
    // Which tab the main window opens on, as tab number + 1 (1 = "フォルダ１").
    int page_selector_ = 1;
    SettingsEditor editor_;
    Scheduler scheduler_;
    TrayPresence tray_;
    LeaveChecks leave_checks_;
    // Start-up is showing the splash: a close asked for now waits for it.
    bool starting_ = false;
    // Start-up has loaded the settings.
    bool started_ = false;
    // An exit asked for during a run, the splash or a box, carried out (with
    // its own question) once that has ended.
    enum class PendingExit { kNone, kClose, kTrayExit, kBackupThenShutDown };
    PendingExit pending_exit_ = PendingExit::kNone;
    bool in_sequence_ = false;
    bool shut_down_ = false;
};

}  // namespace tarvenix
