#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "app_harness.h"

namespace tarvenix {
namespace {

using namespace testing;

class AppControllerTest : public AppHarness, public ::testing::Test {};

const std::string kQuestion = "システムデータが変更されています\r更新しますか？";
const std::string kStopped = "バックアップが中止されました！";

// The splash stands for its two seconds, then the icon is added for the main
// window, or without a notification area the window itself is shown; only a
// backup at launch starts a run, and nothing asks.
TEST_F(AppControllerTest, StartUpShowsTheSplashThenTheIconOrTheWindow) {
    for (const auto& [tray, at_launch] : {std::pair{true, false}, {false, false}, {true, true}}) {
        AppHarness t;
        t.configure_set(false, at_launch);
        t.ui.set_tray_available(tray);
        t.controller.start_up();
        EXPECT_GE(t.ui.monotonic_seconds(), 1.5) << tray;
        const std::vector<std::string> splash{"splash  Tarvenix Ver7.00 ", "splash closed"};
        EXPECT_TRUE(std::equal(splash.begin(), splash.end(), t.window.log.begin())) << tray;
        EXPECT_EQ(
            t.ui.events_of("tray+"),
            (std::vector<UiEvent>{{"tray+", "", "左-Menu:右-Help", RecordingWindow::kHandle}}))
            << tray;
        EXPECT_EQ(t.window.window_visible(), !tray);
        EXPECT_EQ(t.logged("stand-in"), !tray);
        EXPECT_EQ(joined(t.entries(), ", "),
                  at_launch ? "[Start] [Prg open], [Success] [Prg open]" : "");
        EXPECT_EQ(exists(t.dir / "dst/file.txt"), at_launch);
        EXPECT_EQ(t.context.settings.settings_changed, 0);
        EXPECT_TRUE(t.ui.box_texts().empty());
    }
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

TEST_F(AppControllerTest, ManualBackupAsksFirstAndNoKeepsTheStoredSettings) {
    configure_set();
    page().set_text({Control::srcfld_txt, 0}, "/unsaved/edit");
    ui.answer_next(button::kNo);
    controller.bkup_bt();
    EXPECT_EQ(ui.box_texts(), std::vector<std::string>{kQuestion});
    EXPECT_EQ(entries(), (std::vector<std::string>{"[Start] [Manual]", "[Success] [Manual]"}));
    EXPECT_EQ(page().text({Control::srcfld_txt, 0}), dir / "src");  // the run reloaded the page
}

void close_twice(AppController& a) {
    a.on_close_request();
    a.on_close_request();
}

// Every way out of the window or the program, with or without edits on the
// page (set 2 filled in), before or during a manual run: the questions asked
// (the last box's style: 32 OK only, 36 Yes/No), whether the edits are saved,
// the history, and the last call to the windows.
TEST_F(AppControllerTest, EachWayOutAsksItsOwnQuestionAndEndsItsOwnWay) {
    using C = AppController;
    const std::string q = kQuestion;
    const std::string run = "[Start] [Manual], [Success] [Manual]";
    const std::string stopped = "[Start] [Manual], [Cancel] [Manual]";
    const std::string at_close = "[Start] [Prg close], [Success] [Prg close]";
    const struct {
        const char* name;
        std::function<void(C&)> command;
        bool during_run, cancel, edits, backup_at_close;
        std::int16_t answer;  // to the question about the edits, 0: unscripted
        std::string boxes;    // joined by " | "
        std::int32_t style;
        bool saved;
        std::string history;  // without the times, joined by ", "
        std::string last_call;
    } cases[] = {
        {"hide, Yes", &C::mini_bt, false, false, true, false, button::kYes, q, 36, true, "",
         "hide"},
        {"close, nothing edited", &C::close_bt, false, false, false, false, 0, "", 0, false, "",
         "main closed"},
        {"close, No", &C::close_bt, false, false, true, true, button::kNo, q, 36, false, at_close,
         "main closed"},
        {"tray exit", &C::mnuend, false, false, true, false, 0, q, 32, true, "", "main closed"},
        {"session end twice", close_twice, false, false, false, true, 0, "", 0, false, at_close,
         "main closed"},
        {"backup then shut down, No, cancelled", &C::bkup_exitwin, false, true, true, true,
         button::kNo, q + " | " + kStopped, 16, false, stopped, "quit"},
        {"close during a run", &C::on_close_request, true, false, false, true, 0, kStopped, 16,
         false, stopped + ", " + at_close, "main closed"},
        {"tray exit during a run", &C::mnuend, true, false, true, false, 0, kStopped + " | " + q,
         32, true, stopped, "main closed"},
        {"backup then shut down during a run", &C::bkup_exitwin, true, false, true, false,
         button::kYes, q, 36, true, run + ", " + run, "quit"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppHarness t;
        t.configure_set(c.backup_at_close);
        write_file(t.dir / "src/second.txt", "2");  // a run of two files, to act during it
        t.controller.start_up();
        t.controller.mnuset();
        t.window.log.clear();
        if (c.answer != 0) {
            t.ui.answer_next(c.answer);
        }
        if (c.cancel) {
            t.ui.at_pump(t.ui.pump_count() + 1, [&t] { t.controller.copyccl_bt(); });
        }
        const auto act = [&] {
            if (c.edits) {
                t.fill(1, t.dir / "src", t.dir / "dst");
            }
            c.command(t.controller);
        };
        const double before = t.ui.monotonic_seconds();
        if (c.during_run) {
            t.ui.at_pump(t.ui.pump_count() + 3, act);
            t.controller.bkup_bt();
        } else {
            act();
        }
        EXPECT_EQ(joined(t.ui.box_texts(), " | "), c.boxes);
        if (!c.boxes.empty()) {
            EXPECT_EQ(t.ui.events_of("box").back().style, c.style);
        }
        EXPECT_EQ(t.stored().sets[1].src_folder, c.saved ? t.dir / "src" : "");
        EXPECT_EQ(joined(t.entries(), ", "), c.history);
        const auto& log = t.window.log;
        EXPECT_EQ(std::count(log.begin(), log.end(), c.last_call), 1);
        EXPECT_EQ(log.back(), c.last_call);
        // The sequence closes every window and removes the icon; the
        // shut-down ends the program without it, two seconds after its backup.
        const bool closed = c.last_call == "main closed";
        const bool quit = c.last_call == "quit";
        EXPECT_EQ(t.logged("progress closed"), closed);
        EXPECT_EQ(t.ui.events_of("tray-").size(), closed ? 1u : 0u);
        EXPECT_EQ(t.ui.session_requests(),
                  std::vector<SessionRequest>(quit ? 1 : 0, SessionRequest::kPowerOff));
        EXPECT_GE(t.ui.monotonic_seconds() - before, quit ? 1.5 : 0);
        EXPECT_EQ(t.controller.shut_down(), closed || quit);
    }
}

// The system asks the program to end (a signal, the session ending) at
// different moments: nothing waits for a click, the messages go to the
// history, a stopped run still gets its result line, no new run starts, and
// the sequence runs its close-time backup from the stored settings.
TEST_F(AppControllerTest, ATerminationRequestNeverWaitsForAClick) {
    struct Case {
        const char* name;
        std::function<void(AppHarness&)> act;
        std::vector<std::string> entries;  // history lines without the time, as prefixes
        std::size_t boxes_shown;           // boxes the user saw before the request
    };
    const auto terminate = [](AppHarness& t) { t.controller.on_termination_request(); };
    const std::string stopped = "[Message] = Error: バックアップが中止されました！ [?]";
    const std::string copy_failed = "[Message] = Error: ファイルをコピーできません！ / コピー元 = ";
    const std::string saved =
        "[Message] = 確認: システムデータが変更されています / 更新しますか？ => Yes [?]";
    const Case cases[] = {
        {"during a run",
         [&](AppHarness& t) {
             t.ui.at_pump(3, [&] { terminate(t); });
             t.controller.bkup_bt();
         },
         {"[Start] [Manual]", stopped, "[Cancel] [Manual]", "[Start] [Prg close]",
          "[Success] [Prg close]"},
         0},
        {"while a box waits for the user",
         [&](AppHarness& t) {
             make_dirs(t.dir / "dst/file.txt/taken");  // no file can replace a full folder
             t.ui.on_box("ファイルをコピーできません", [&] { terminate(t); });
             t.controller.bkup_bt();
         },
         {"[Start] [Manual]", copy_failed, stopped, "[Cancel] [Manual]", "[Start] [Prg close]",
          copy_failed, stopped, "[Cancel] [Prg close]"},
         1},
        {"while the window's question about unsaved edits waits",
         [&](AppHarness& t) {
             make_dirs(t.dir / "dst2");
             t.fill(1, t.dir / "src", t.dir / "dst2");
             t.ui.on_box("更新しますか", [&] { terminate(t); });
             t.controller.mini_bt();
             t.controller.after_event();  // as the front end does after each event
         },
         // The save the handler was asked for comes before the sequence.
         {saved, "[Start] [Prg close]", "[Success] [Prg close]"},
         1},
        {"with a history that cannot be written (its error must not loop)",
         [&](AppHarness& t) {
             make_dirs(t.context.history_file_path);
             t.ui.at_pump(3, [&] { terminate(t); });
             t.controller.bkup_bt();
             ::rmdir(t.context.history_file_path.c_str());  // (no lines to read)
         },
         {},
         1},
        {"during the splash, with a tray command and a due start time after it",
         [&](AppHarness& t) {
             t.ui.set_time(9 * 3600 + 5 * 60 - 0.5);
             t.ui.at_pump(1, [&] { terminate(t); });
             t.ui.at_pump(2, [&] {
                 t.controller.bkup_bt();
                 t.ui.set_time(9 * 3600 + 5 * 60);
                 t.controller.on_timer_tick();
             });
             t.controller.start_up();
         },
         {"[Start] [Prg close]", "[Success] [Prg close]"},
         0},
        {"before start-up, with edits nobody saved",
         [&](AppHarness& t) {
             t.fill(1, t.dir / "src", t.dir / "dst");
             terminate(t);
             t.controller.start_up();
         },
         {saved, "[Start] [Prg close]", "[Success] [Prg close]"},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AppHarness t;
        t.configure_set(true, true, {"09", "", ""}, "05");
        c.act(t);
        const auto entries = t.entries();
        ASSERT_EQ(entries.size(), c.entries.size()) << ::testing::PrintToString(entries);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].rfind(c.entries[i], 0), 0u) << entries[i];
        }
        EXPECT_EQ(t.ui.box_texts().size(), c.boxes_shown);
        EXPECT_TRUE(t.controller.shut_down());
        EXPECT_TRUE(t.ui.events_of("tray+").empty());  // start-up never went on
    }
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
