#include "app/core/app_controller.h"

#include <utility>

#include "app/core/window_face.h"
#include "history/history_commands.h"

namespace tarvenix {
namespace {
constexpr std::int32_t kProgramIcon = 1;
constexpr std::string_view kUnsavedQuestion = "システムデータが変更されています\r更新しますか？";
}  // namespace

AppController::AppController(ProgramContext& context, MainWindowView& view)
    : c_(context)
    , view_(view)
    , editor_(EditorServices{context.settings, context.store,
                             Boxes(context.ports.boxes, context.ports.sound), context.ports.clock,
                             context.ports.pump, context.ports.folders, context.reporter,
                             context.progress, context.engine, context.page_selector})
    , scheduler_(SchedulerServices{context.settings, context.ports.clock, context.ports.session,
                                   context.history, context.reporter, context.engine,
                                   context.boxes})
    , tray_(view.tray_icon(), view) {}

void AppController::start_up() {
    if (shut_down_) {
        return;  // asked to end before start-up began: the sequence has run
    }
    starting_ = true;
    view_.show_splash(" Tarvenix " + c_.version_text + " ");
    c_.main_vostrel.Wait(2.0F);
    view_.close_splash();
    starting_ = false;
    if (pending_exit_ != PendingExit::kNone) {
        // Asked to end during the splash: no icon, no backup at launch; the
        // sequence loads the stored settings and runs (a backup at close too).
        after_event();
        return;
    }
    c_.page_selector = 1;
    if (!c_.main_vostrel.TrayAddIcon(view_.window_handle(), kProgramIcon, face::kTrayTip)) {
        // Without a notification area the program would run out of reach:
        // the main window stands in for the tray icon (TrayPresence).
        select_opening_tab();
        view_.set_window_visible(true);
    }
    c_.settings.caption_base = "Tarvenix";
    c_.reporter.report_if_failed(c_.store.load_settings());
    started_ = true;
    if (c_.settings.model.options.starts_at_launch()) {
        c_.engine.run_backup(run_trigger::kProgramStart);
    }
    after_event();
}

void AppController::on_tray_message(std::int32_t message) {
    const Vostrel& v = c_.main_vostrel;
    if (message == v.WM_LBUTTONDOWN || message == v.WM_RBUTTONDOWN) {
        c_.main_vostrel.WindowTop(view_.window_handle());
        c_.ports.pump.process_events();
        view_.popup_menu(message == v.WM_LBUTTONDOWN ? PopupMenu::mnumain : PopupMenu::help);
    }
    after_event();
}

void AppController::select_opening_tab() {
    // Chosen as the window is opened, before it shows, and not at some later
    // activation: the window may already be the active one when it appears
    // (made foreground while hidden for the tray menu), and then the first
    // activation is the one that follows a box, which would move the user
    // away from the tab the box is about.
    if (c_.page_selector >= 1 && c_.page_selector <= kSetCount) {
        c_.settings.page.select_tab(c_.page_selector - 1);
    }
}

void AppController::ok_bt() {
    editor_.save_settings();
}

void AppController::histclr_bt() {
    c_.reporter.report_if_failed(
        clear_history(Boxes(c_.ports.boxes, c_.ports.sound), c_.ports.busy, c_.history_file_path));
}

void AppController::recedit_bt() {
    c_.reporter.report_if_failed(
        show_history(c_.ports.shell, Boxes(c_.ports.boxes, c_.ports.sound), c_.history_file_path));
}

void AppController::mini_bt() {
    editor_.confirm_and_save();
    view_.set_window_visible(false);
}

void AppController::mnuset() {
    select_opening_tab();
    view_.set_window_visible(true);
    c_.main_vostrel.WindowTop(view_.window_handle());
}

void AppController::bkup_bt() {
    // The run in progress is the backup asked for; once the program is
    // ending, no new run starts.
    if (c_.engine.running() || c_.terminating()) {
        return;
    }
    editor_.confirm_and_save();
    c_.engine.run_backup(run_trigger::kManual);
    after_event();
}

void AppController::bkup_exitwin() {
    if (c_.terminating()) {
        return;
    }
    if (c_.engine.running()) {
        // Let the run in progress finish, then back up and shut down.
        if (pending_exit_ == PendingExit::kNone) {
            pending_exit_ = PendingExit::kBackupThenShutDown;
        }
        return;
    }
    editor_.confirm_and_save();
    c_.engine.run_backup(run_trigger::kManual);
    c_.main_vostrel.Wait(2.0F);
    c_.main_vostrel.ExitWindows(c_.main_vostrel.ExwShutdown);
    shut_down_ = true;
    view_.quit_immediately();
}

void AppController::exit_win() {
    c_.main_vostrel.ExitWindows(c_.main_vostrel.ExwShutdown);
}

void AppController::reboot_win() {
    c_.main_vostrel.ExitWindows(c_.main_vostrel.ExwReboot);
}

void AppController::log_off() {
    c_.main_vostrel.ExitWindows(c_.main_vostrel.ExwLogOff);
}

void AppController::close_bt() {
    if (c_.engine.running()) {
        on_close_request();
        return;
    }
    editor_.confirm_and_save();
    close_all_windows();
}

void AppController::mnuend() {
    if (c_.engine.running()) {
        // Stopped as a close stops it; afterwards this command's own question
        // (OK only, the edits are always saved), not the sequence's Yes/No.
        c_.engine.request_abort();
        pending_exit_ = PendingExit::kTrayExit;
        return;
    }
    if (c_.settings.settings_changed == 1) {
        c_.settings.settings_changed = 0;
        Vostrel& v = c_.main_vostrel;
        if (v.Msg_Box(v.KindChk, kUnsavedQuestion) == button::kOk) {
            editor_.save_settings();
        }
    }
    close_all_windows();
}

void AppController::help_show() {
    Vostrel& v = c_.main_vostrel;
    v.HtmlHelp_open(0, c_.help_file_path, v.HH_DISPLAY_TREE, 0);
}

void AppController::about_show() {
    view_.show_about(c_.version_text);
}

void AppController::on_termination_request() {
    if (shut_down_) {
        return;
    }
    c_.begin_termination();
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
    if (c_.engine.running()) {
        // Never cut a copy off, never copy on after the windows are gone:
        // stop the run as the cancel button does and carry on when it ended.
        c_.engine.request_abort();
        if (pending_exit_ != PendingExit::kTrayExit) {
            pending_exit_ = PendingExit::kClose;
        }
        return;
    }
    if (starting_ || c_.boxes.box_open()) {
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
        c_.reporter.report_if_failed(c_.store.load_settings());
    }
    if (c_.settings.model.options.backs_up_at_close()) {
        c_.engine.run_backup(run_trigger::kProgramClose);
    }
    view_.close_about();
    view_.close_progress();
    c_.main_vostrel.TrayDelIcon();
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
    if (c_.engine.running() || shut_down_ || starting_ || c_.boxes.box_open()) {
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
