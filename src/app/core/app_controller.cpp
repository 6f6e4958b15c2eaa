#include "app/core/app_controller.h"

#include <utility>

#include "app/core/window_face.h"
#include "common/toolbox_ports.h"
#include "history/history_commands.h"

namespace tarvenix {
namespace {
constexpr std::string_view kUnsavedQuestion = "システムデータが変更されています\r更新しますか？";
}  // namespace

AppController::AppController(const ControllerParts& parts, MainWindowView& view)
    : p_(parts)
    , view_(view)
    , editor_(EditorServices{parts.settings, parts.store,
                             Boxes(parts.ports.boxes, parts.ports.sound), parts.ports.clock,
                             parts.ports.pump, parts.ports.folders, parts.reporter, parts.progress,
                             parts.engine, page_selector_})
    , scheduler_(SchedulerServices{parts.settings, parts.ports.clock, parts.ports.session,
                                   parts.history, parts.reporter, parts.engine, parts.boxes})
    , tray_(view.tray_icon(), view) {}

void AppController::start_up() {
    if (shut_down_) {
        return;  // asked to end before start-up began: the sequence has run
    }
    starting_ = true;
    view_.show_splash(" Tarvenix " + std::string(p_.version_text) + " ");
    wait_serving_events(p_.ports.clock, p_.ports.pump, 2.0F);
    view_.close_splash();
    starting_ = false;
    if (pending_exit_ != PendingExit::kNone) {
        // Asked to end during the splash: no icon, no backup at launch; the
        // sequence loads the stored settings and runs (a backup at close too).
        after_event();
        return;
    }
    page_selector_ = 1;
    if (!tray_.add_tray_icon(face::kTrayTip)) {
        // Without a notification area the program would run out of reach:
        // the main window stands in for the tray icon (TrayPresence).
        select_opening_tab();
        view_.set_window_visible(true);
    }
    p_.settings.caption_base = "Tarvenix";
    p_.reporter.report_if_failed(p_.store.load_settings());
    started_ = true;
    if (p_.settings.model.options.starts_at_launch()) {
        p_.engine.run_backup(run_trigger::kProgramStart);
    }
    after_event();
}

void AppController::on_tray_click(TrayClick click) {
    p_.ports.desktop.bring_to_front(view_.window_handle());
    p_.ports.pump.process_events();
    view_.popup_menu(click == TrayClick::kPrimary ? PopupMenu::mnumain : PopupMenu::help);
    after_event();
}

void AppController::select_opening_tab() {
    // Chosen as the window is opened, before it shows, and not at some later
    // activation: the window may already be the active one when it appears
    // (made foreground while hidden for the tray menu), and then the first
    // activation is the one that follows a box, which would move the user
    // away from the tab the box is about.
    if (page_selector_ >= 1 && page_selector_ <= kSetCount) {
        p_.settings.page.select_tab(page_selector_ - 1);
    }
}

void AppController::ok_bt() {
    editor_.save_settings();
}

void AppController::histclr_bt() {
    p_.reporter.report_if_failed(
        clear_history(Boxes(p_.ports.boxes, p_.ports.sound), p_.ports.busy, p_.history_file_path));
}

void AppController::recedit_bt() {
    p_.reporter.report_if_failed(
        show_history(p_.ports.shell, Boxes(p_.ports.boxes, p_.ports.sound), p_.history_file_path));
}

void AppController::mini_bt() {
    editor_.confirm_and_save();
    view_.set_window_visible(false);
}

void AppController::mnuset() {
    select_opening_tab();
    view_.set_window_visible(true);
    p_.ports.desktop.bring_to_front(view_.window_handle());
}

void AppController::bkup_bt() {
    // The run in progress is the backup asked for; once the program is
    // ending, no new run starts.
    if (p_.engine.running() || terminating()) {
        return;
    }
    editor_.confirm_and_save();
    p_.engine.run_backup(run_trigger::kManual);
    after_event();
}

void AppController::bkup_exitwin() {
    if (terminating()) {
        return;
    }
    if (p_.engine.running()) {
        // Let the run in progress finish, then back up and shut down.
        if (pending_exit_ == PendingExit::kNone) {
            pending_exit_ = PendingExit::kBackupThenShutDown;
        }
        return;
    }
    editor_.confirm_and_save();
    p_.engine.run_backup(run_trigger::kManual);
    wait_serving_events(p_.ports.clock, p_.ports.pump, 2.0F);
    p_.ports.session.request_session_end(SessionRequest::kPowerOff);
    shut_down_ = true;
    view_.quit_immediately();
}

void AppController::exit_win() {
    p_.ports.session.request_session_end(SessionRequest::kPowerOff);
}

void AppController::reboot_win() {
    p_.ports.session.request_session_end(SessionRequest::kReboot);
}

void AppController::log_off() {
    p_.ports.session.request_session_end(SessionRequest::kLogOff);
}

void AppController::close_bt() {
    if (p_.engine.running()) {
        on_close_request();
        return;
    }
    editor_.confirm_and_save();
    close_all_windows();
}

void AppController::mnuend() {
    if (p_.engine.running()) {
        // Stopped as a close stops it; afterwards this command's own question
        // (OK only, the edits are always saved), not the sequence's Yes/No.
        p_.engine.request_abort();
        pending_exit_ = PendingExit::kTrayExit;
        return;
    }
    if (p_.settings.settings_changed == 1) {
        p_.settings.settings_changed = 0;
        if (Boxes(p_.ports.boxes, p_.ports.sound).show(Boxes::kChk, kUnsavedQuestion) ==
            button::kOk) {
            editor_.save_settings();
        }
    }
    close_all_windows();
}

void AppController::help_show() {
    open_help_file(p_.ports.shell, Boxes(p_.ports.boxes, p_.ports.sound), p_.help_file_path);
}

void AppController::about_show() {
    view_.show_about(p_.version_text);
}

void AppController::on_termination_request() {
    if (shut_down_) {
        return;
    }
    // From now on no box waits for a click and no new run starts.
    p_.boxes.stop_waiting_for_clicks();
    close_request();
    after_event();
}

void AppController::on_close_request() {
    close_request();
    after_event();
}

void AppController::close_request() {
    if (shut_down_) {
        return;
    }
    if (p_.engine.running()) {
        // Never cut a copy off, never copy on after the windows are gone:
        // stop the run as the cancel button does and carry on when it ended.
        p_.engine.request_abort();
        if (pending_exit_ != PendingExit::kTrayExit) {
            pending_exit_ = PendingExit::kClose;
        }
        return;
    }
    if (starting_ || p_.boxes.box_open()) {
        // The splash is up, or a handler waits in a box (closed by now if the
        // system asked): the sequence runs when that has ended, so the
        // handler's own work (a save it was asked for) comes first.
        if (pending_exit_ != PendingExit::kTrayExit) {
            pending_exit_ = PendingExit::kClose;
        }
        return;
    }
    shutdown_sequence();
}

void AppController::close_all_windows() {
    // Closing the main window is what runs the shut-down sequence.
    close_request();
}

void AppController::shutdown_sequence() {
    if (in_sequence_) {
        return;
    }
    in_sequence_ = true;
    editor_.confirm_and_save();
    if (!started_) {
        // Asked to end before start-up loaded them.
        p_.reporter.report_if_failed(p_.store.load_settings());
    }
    if (p_.settings.model.options.backs_up_at_close()) {
        p_.engine.run_backup(run_trigger::kProgramClose);
    }
    view_.close_about();
    view_.close_progress();
    tray_.remove_tray_icon();
    shut_down_ = true;
    view_.close_main_window();
}

void AppController::run(face::Action action, int index) {
    using face::Action;
    switch (action) {
        case Action::kNone:
            break;
        case Action::kHide:
            mini_bt();
            break;
        case Action::kSave:
            ok_bt();
            break;
        case Action::kExit:
            close_bt();
            break;
        case Action::kTrayExit:
            mnuend();
            break;
        case Action::kBackup:
            bkup_bt();
            break;
        case Action::kBackupThenShutDown:
            bkup_exitwin();
            break;
        case Action::kBrowseFolder:
            refsrc_bt(index);
            break;
        case Action::kClearSet:
            set_clr_bt(index);
            break;
        case Action::kClearHistory:
            histclr_bt();
            break;
        case Action::kShowHistory:
            recedit_bt();
            break;
        case Action::kShutDown:
            exit_win();
            break;
        case Action::kRestart:
            reboot_win();
            break;
        case Action::kLogOff:
            log_off();
            break;
        case Action::kShowSettings:
            mnuset();
            break;
        case Action::kShowHelp:
            help_show();
            break;
        case Action::kShowAbout:
            about_show();
            break;
        case Action::kCancelRun:
            copyccl_bt();
            break;
        case Action::kCloseAbout:
            cmdOK();
            break;
    }
    after_event();
}

void AppController::after_event() {
    if (p_.engine.running() || shut_down_ || starting_ || p_.boxes.box_open()) {
        return;
    }
    switch (std::exchange(pending_exit_, PendingExit::kNone)) {
        case PendingExit::kClose:
            shutdown_sequence();
            break;
        case PendingExit::kTrayExit:
            mnuend();
            break;
        case PendingExit::kBackupThenShutDown:
            bkup_exitwin();
            break;
        case PendingExit::kNone:
            break;
    }
}

}  // namespace tarvenix
