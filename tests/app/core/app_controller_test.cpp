#include <gtest/gtest.h>

#include <algorithm>

#include "app_harness.h"

namespace tarvenix {
namespace {

using namespace testing;

class AppControllerTest : public AppHarness, public ::testing::Test {
protected:
    void configure_set(bool backup_at_close = false, bool start_at_launch = false) {
        make_dirs(dir / "src");
        make_dirs(dir / "dst");
        write_file(dir / "src/file.txt", "x");
        auto& m = context.settings.model;
        m.sets[0] = BackupSet{dir / "src", dir / "dst", "1", "0"};
        for (int k = 1; k < kSetCount; ++k) {
            m.sets[static_cast<std::size_t>(k)] = BackupSet{"", "", "1", "0"};
        }
        m.options.copy_mode = "0";
        m.options.skip_open_files = "0";
        m.options.record_history = "1";
        m.options.start_at_time = "0";
        m.options.backup_at_close = backup_at_close ? "1" : "0";
        m.options.start_at_launch = start_at_launch ? "1" : "0";
        store_settings();
        context.store.load_settings();
    }
    bool logged(const std::string& entry) const {
        return std::find(window.log.begin(), window.log.end(), entry) != window.log.end();
    }
};

TEST_F(AppControllerTest, FirstStartShowsTheSplashAddsTheIconAndStartsNoBackup) {
    const double before = ui.monotonic_seconds();
    controller.start_up();
    EXPECT_GE(ui.monotonic_seconds() - before, 1.5);  // the splash stood for its two seconds
    EXPECT_EQ(window.log, (std::vector<std::string>{"splash  Tarvenix Ver7.00 ", "splash closed"}));
    // The icon is added through the main window's toolbox object, for the main window.
    const std::vector<UiEvent> tray{{"tray+", "", "左-Menu:右-Help", RecordingWindow::kHandle}};
    EXPECT_EQ(ui.events_of("tray+"), tray);
    EXPECT_FALSE(window.window_visible());
    EXPECT_FALSE(exists(context.history_file_path));
    EXPECT_EQ(context.settings.settings_changed, 0);
    EXPECT_TRUE(ui.box_texts().empty());
}

TEST_F(AppControllerTest, StartAtLaunchRunsABackup) {
    configure_set(false, true);
    controller.start_up();
    EXPECT_EQ(history_count("[Start] [Prg open]"), 1);
    EXPECT_EQ(history_count("[Success] [Prg open]"), 1);
    EXPECT_EQ(read_file(dir / "dst/file.txt"), "x");
}

TEST_F(AppControllerTest, WithoutANotificationAreaTheWindowIsShown) {
    ui.set_tray_available(false);
    controller.start_up();
    EXPECT_TRUE(window.window_visible());
    EXPECT_TRUE(logged("stand-in"));
}

TEST_F(AppControllerTest, TrayPressesOpenTheMenusAndNothingElseDoes) {
    const Vostrel& v = context.main_vostrel;
    for (auto m : {v.WM_MOUSEMOVE, v.WM_LBUTTONUP, v.WM_LBUTTONDBLCLK, v.WM_RBUTTONUP,
                   v.WM_RBUTTONDBLCLK, 0x207}) {
        controller.on_tray_message(m);
    }
    EXPECT_TRUE(window.log.empty());
    EXPECT_TRUE(ui.events_of("front").empty());
    const int pumps = ui.pump_count();
    controller.on_tray_message(v.WM_LBUTTONDOWN);
    EXPECT_EQ(ui.events_of("front").size(), 1u);  // the window first brought forward
    EXPECT_EQ(ui.events_of("front")[0].style, RecordingWindow::kHandle);
    EXPECT_EQ(window.log, (std::vector<std::string>{"popup mnumain"}));
    EXPECT_EQ(ui.pump_count(), pumps + 1);
    controller.on_tray_message(v.WM_RBUTTONDOWN);
    EXPECT_EQ(window.log.back(), "popup help");
}

TEST_F(AppControllerTest, OpeningTheWindowSelectsTheFirstSetOnce) {
    page().select_tab(7);
    controller.mnuset();
    controller.on_window_activated();
    EXPECT_TRUE(window.window_visible());
    EXPECT_EQ(page().selected_tab(), 0);
    page().select_tab(kHistoryTab);
    controller.on_window_activated();  // coming back from another window
    EXPECT_EQ(page().selected_tab(), kHistoryTab);
    // After browsing on the page of set 6 the window reopens there.
    controller.refsrc_bt(10);
    controller.mnuset();
    controller.on_window_activated();
    EXPECT_EQ(page().selected_tab(), 5);
}

TEST_F(AppControllerTest, HidingAsksAboutEditsAndSavesOnYes) {
    configure_set();
    controller.mnuset();
    page().set_text({Control::dstfld_txt, 1}, dir / "dst");
    page().set_text({Control::srcfld_txt, 1}, dir / "src");
    ui.answer_next(button::kYes);
    controller.mini_bt();
    EXPECT_EQ(ui.box_texts().front(), "システムデータが変更されています\r更新しますか？");
    EXPECT_FALSE(window.window_visible());
    SettingsState reread;
    SettingsStore(reread, context.settings_file_path, context.reporter).load_settings();
    EXPECT_EQ(reread.model.sets[1].src_folder, dir / "src");
}

TEST_F(AppControllerTest, ManualBackupAsksFirstAndNoKeepsTheStoredSettings) {
    configure_set();
    page().set_text({Control::srcfld_txt, 0}, "/unsaved/edit");
    ui.answer_next(button::kNo);
    controller.bkup_bt();
    EXPECT_EQ(history_count("[Success] [Manual]"), 1);
    EXPECT_EQ(page().text({Control::srcfld_txt, 0}), dir / "src");  // the run reloaded the page
}

TEST_F(AppControllerTest, CloseWithoutEditsOrCloseBackupJustCloses) {
    configure_set();
    controller.start_up();  // (adds the icon the sequence removes)
    window.log.clear();
    controller.close_bt();
    EXPECT_TRUE(ui.box_texts().empty());
    EXPECT_FALSE(exists(context.history_file_path));
    EXPECT_EQ(window.log, (std::vector<std::string>{"about closed", "progress closed", "main closed"}));
    EXPECT_EQ(ui.events_of("tray-").size(), 1u);
    EXPECT_TRUE(controller.shut_down());
}

TEST_F(AppControllerTest, CloseAnsweredNoRunsTheCloseBackupAndAsksOnce) {
    configure_set(true);
    page().set_text({Control::srcfld_txt, 0}, "/unsaved");
    ui.answer_next(button::kNo);
    controller.close_bt();
    EXPECT_EQ(ui.box_texts(), std::vector<std::string>{"システムデータが変更されています\r更新しますか？"});
    EXPECT_EQ(history_count("[Start] [Prg close]"), 1);
    EXPECT_TRUE(logged("main closed"));
    SettingsState reread;
    SettingsStore(reread, context.settings_file_path, context.reporter).load_settings();
    EXPECT_EQ(reread.model.sets[0].src_folder, dir / "src");
}

TEST_F(AppControllerTest, TheTrayExitSavesAfterAnOkOnlyQuestion) {
    configure_set();
    page().set_text({Control::srcfld_txt, 1}, dir / "src");
    page().set_text({Control::dstfld_txt, 1}, dir / "dst");
    controller.mnuend();
    const auto boxes = ui.events_of("box");
    ASSERT_EQ(boxes.size(), 1u);  // asked once, the sequence does not ask again
    EXPECT_EQ(boxes[0].style, 32);
    EXPECT_EQ(boxes[0].caption, "確認");
    SettingsState reread;
    SettingsStore(reread, context.settings_file_path, context.reporter).load_settings();
    EXPECT_EQ(reread.model.sets[1].src_folder, dir / "src");
    EXPECT_TRUE(logged("main closed"));
}

TEST_F(AppControllerTest, TheSessionEndRunsTheSequenceOnlyOnce) {
    configure_set(true);
    controller.on_close_request();
    controller.on_close_request();
    EXPECT_EQ(history_count("[Start] [Prg close]"), 1);
    EXPECT_EQ(std::count(window.log.begin(), window.log.end(), "main closed"), 1);
}

TEST_F(AppControllerTest, ClosingDuringARunStopsItThenShutsDown) {
    configure_set(true);
    write_file(dir / "src/second.txt", "2");
    bool asked = false;
    ui.at_pump(3, [&] {
        asked = true;
        controller.on_close_request();  // e.g. SIGTERM while a file is shown
    });
    controller.bkup_bt();
    EXPECT_TRUE(asked);
    EXPECT_EQ(history_count("[Cancel] [Manual]"), 1);
    EXPECT_EQ(ui.box_texts().front(), "バックアップが中止されました！");
    // The sequence ran after the run had ended, with its close-time backup.
    EXPECT_EQ(history_count("[Start] [Prg close]"), 1);
    EXPECT_TRUE(controller.shut_down());
    EXPECT_EQ(window.log.back(), "main closed");
}

TEST_F(AppControllerTest, BackupThenShutDownEndsWithoutTheSequence) {
    configure_set(true);
    page().set_text({Control::srcfld_txt, 1}, "/x");
    ui.answer_next(button::kNo);
    ui.at_pump(1, [&] { controller.copyccl_bt(); });  // the user cancels the backup
    const double before = ui.monotonic_seconds();
    controller.bkup_exitwin();
    EXPECT_EQ(ui.box_texts().front(), "システムデータが変更されています\r更新しますか？");
    EXPECT_EQ(history_count("[Cancel] [Manual]"), 1);
    EXPECT_GE(ui.monotonic_seconds() - before, 1.5);
    EXPECT_EQ(ui.session_requests(), std::vector<SessionRequest>{SessionRequest::kPowerOff});
    EXPECT_EQ(window.log, std::vector<std::string>{"quit"});  // no close backup
    EXPECT_TRUE(ui.events_of("tray-").empty());               // no tray removal
    EXPECT_EQ(history_count("[Prg close]"), 0);
}

TEST_F(AppControllerTest, ImmediateSessionCommandsOnlyRequest) {
    page().set_text({Control::srcfld_txt, 1}, "/x");
    controller.exit_win();
    controller.reboot_win();
    controller.log_off();
    EXPECT_EQ(ui.session_requests(),
              (std::vector<SessionRequest>{SessionRequest::kPowerOff, SessionRequest::kReboot,
                                           SessionRequest::kLogOff}));
    EXPECT_TRUE(ui.box_texts().empty());
    EXPECT_TRUE(window.log.empty());
}

TEST_F(AppControllerTest, HistoryCanBeClearedAndViewed) {
    write_file(context.history_file_path, "old line\r\n");
    ui.answer_next(button::kCancel);
    controller.histclr_bt();
    EXPECT_EQ(read_file(context.history_file_path), "old line\r\n");
    ui.answer_next(button::kOk);
    controller.histclr_bt();
    EXPECT_EQ(read_file(context.history_file_path), "\r\n");
    EXPECT_EQ(ui.box_texts().back(), "履歴を全てクリアしますか？");
    controller.History_Disp();
    EXPECT_EQ(ui.events_of("shell").back().text, context.history_file_path);
}

TEST_F(AppControllerTest, HelpAndAbout) {
    controller.help_show();
    EXPECT_EQ(ui.box_texts(), std::vector<std::string>{"Help File = " + context.program_folder +
                                                       platform::kPathSeparator +
                                                       "Tarvenix7.chm を開けませんでした！"});
    controller.on_window_double_click();
    EXPECT_EQ(window.log.back(), "about Ver7.00");
}

}  // namespace
}  // namespace tarvenix
