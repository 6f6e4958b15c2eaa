#include "app/core/app_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "support/app_harness.h"

namespace tarvenix {
namespace {

using namespace testing;

const std::string kQuestion = "システムデータが変更されています\r更新しますか？";
const std::string kStopped = "バックアップが中止されました！";

// Every way out, with or without edits (set 2), before or during a manual run:
// the questions (last box style 32 OK, 36 Yes/No), the saved edits, the history.
TEST(AppControllerTest, EachWayOutAsksItsOwnQuestionAndEndsItsOwnWay) {
    using C = AppController;
    const std::string q = kQuestion;
    const std::string run = "[Start] [Manual], [Success] [Manual]";
    const std::string stopped = "[Start] [Manual], [Cancel] [Manual]";
    const std::string at_close = "[Start] [Prg close], [Success] [Prg close]";
    const struct {
        const char* name;
        std::function<void(C&)> command;
        bool during_run, cancel, edits, backup_at_close;
        std::int16_t answer;  // to the first box
        std::string boxes;    // joined by " | "
        std::int32_t style;
        bool saved;
        std::string history;  // without the times, joined by ", "
        std::string last_call;
    } cases[] = {
        {"backup, No", &C::bkup_bt, false, false, true, false, button::kNo, q, 36, false, run, ""},
        {"close, Yes", &C::close_bt, false, false, true, true, button::kYes, q, 36, true, at_close,
         "main closed"},
        {"session end twice",
         [](C& a) {
             a.on_close_request();
             a.on_close_request();
         },
         false, false, false, true, button::kOk, "", 0, false, at_close, "main closed"},
        {"backup then shut down, No, cancelled", &C::bkup_exitwin, false, true, true, true,
         button::kNo, q + " | " + kStopped, 16, false, stopped, "quit"},
        {"close during a run", &C::on_close_request, true, false, false, true, button::kOk,
         kStopped, 16, false, stopped + ", " + at_close, "main closed"},
        {"tray exit during a run", &C::mnuend, true, false, true, false, button::kOk,
         kStopped + " | " + q, 32, true, stopped, "main closed"},
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
        t.ui.answer_next(c.answer);
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
        const auto boxes = t.ui.events_of("box");
        EXPECT_EQ(boxes.empty() ? 0 : boxes.back().style, c.style);
        EXPECT_EQ(t.stored().sets[1].src_folder, c.saved ? t.dir / "src" : "");
        EXPECT_EQ(joined(t.entries(), ", "), c.history);
        // A run reloads the page from the stored settings.
        EXPECT_EQ(t.page().text({Control::srcfld_txt, 1}) == t.dir / "src", c.edits && c.saved);
        EXPECT_EQ(t.window.log.empty() ? "" : t.window.log.back(), c.last_call);
        // The sequence closes every window and removes the icon; the
        // shut-down ends the program without it, two seconds after its backup.
        const bool closed = c.last_call == "main closed";
        const bool quit = c.last_call == "quit";
        EXPECT_EQ(std::ranges::count(t.window.log, "progress closed"), closed ? 1 : 0);
        EXPECT_EQ(t.window.icon_shown, !closed);
        EXPECT_EQ(t.ui.session_requests(),
                  std::vector<SessionRequest>(quit ? 1 : 0, SessionRequest::kPowerOff));
        EXPECT_EQ(t.ui.monotonic_seconds() - before >= 1.5, quit);
        EXPECT_EQ(t.controller.shut_down(), closed || quit);
    }
}

// The end asked for at different moments: nothing waits for a click, messages
// go to the history, a stopped run gets its result line, no new run starts, and
// the close-time backup still runs.
TEST(AppControllerTest, ATerminationRequestNeverWaitsForAClick) {
    const auto terminate = [](AppHarness& t) { t.controller.on_termination_request(); };
    const std::string stopped = "[Message] = Error: バックアップが中止されました！ [?]";
    const std::string copy_failed =
        "[Message] = Error: ファイルをコピーできません！ / コピー元 = ~/src/file.txt / コピー先 = "
        "~/dst/file.txt / ファイルの属性やフォルダの権限等を確認して下さい。 [?], " +
        stopped;
    const std::string saved =
        "[Message] = 確認: システムデータが変更されています / 更新しますか？ => Yes [?], ";
    const std::string at_close = "[Start] [Prg close], [Success] [Prg close]";
    const struct {
        const char* name;
        std::function<void(AppHarness&)> act;
        std::string history;      // without the times, joined by ", "
        std::size_t boxes_shown;  // boxes the user saw before the request
    } cases[] = {
        {"during a run",
         [&](AppHarness& t) {
             t.ui.at_pump(3, [&] { terminate(t); });
             t.controller.bkup_bt();
         },
         "[Start] [Manual], " + stopped + ", [Cancel] [Manual], " + at_close, 0},
        {"while a box waits for the user",
         [&](AppHarness& t) {
             make_dirs(t.dir / "dst/file.txt/taken");  // no file can replace a full folder
             t.ui.on_box("ファイルをコピーできません", [&] { terminate(t); });
             t.controller.bkup_bt();
         },
         "[Start] [Manual], " + copy_failed + ", [Cancel] [Manual], [Start] [Prg close], " +
             copy_failed + ", [Cancel] [Prg close]",
         1},
        {"while the window's question about unsaved edits waits",
         [&](AppHarness& t) {
             t.fill(1, t.dir / "src", t.dir / "dst");
             t.ui.on_box("更新しますか", [&] { terminate(t); });
             t.controller.run(face::Action::kHide, -1);  // the "閉じる" click
         },
         // The save the handler was asked for comes before the sequence.
         saved + at_close, 1},
        {"with a history that cannot be written (its error must not loop)",
         [&](AppHarness& t) {
             make_dirs(t.context.history_file_path);
             t.ui.at_pump(3, [&] { terminate(t); });
             t.controller.bkup_bt();
             // What stands where the history goes is left as it was.
             EXPECT_TRUE(folder_entries(t.context.history_file_path).empty());
             ASSERT_TRUE(std::filesystem::remove(t.context.history_file_path));  // for entries()
         },
         "", 1},
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
         at_close, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppHarness t;
        t.configure_set(true, true, {"09", "", ""});
        c.act(t);
        EXPECT_EQ(t.history(), c.history);
        EXPECT_EQ(t.ui.box_texts().size(), c.boxes_shown);
        EXPECT_TRUE(t.controller.shut_down());
        EXPECT_EQ(t.window.icon_adds, 0);  // start-up never went on
    }
}

// 履歴クリア on a log that cannot be written (a folder stands at its path)
// shows the system error after the question, as every failed write of it does.
TEST(AppControllerTest, AHistoryThatCannotBeClearedShowsTheSystemError) {
    AppHarness t;
    make_dirs(t.context.history_file_path);
    t.ui.answer_next(button::kOk);
    t.controller.histclr_bt();
    const auto boxes = t.ui.events_of("box");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].caption, "システムエラー");
    EXPECT_TRUE(boxes[1].text.ends_with(t.context.history_file_path + "）")) << boxes[1].text;
}

// A save the editor refuses writes nothing: one box says why, and the page
// shows the field to fix.
TEST(SettingsEditorTest, ARefusedSaveWritesNothingAndShowsTheField) {
    const struct {
        const char* name;
        std::function<void(AppHarness&)> edit;
        const char* message;  // the start of the last box's text
        std::size_t boxes;
        int tab;
        const char* focus;
        const char* made = nullptr;  // a folder made on the way, which stays
    } cases[] = {
        {"a start hour without its minute",
         [](AppHarness& t) {
             t.page().set_checked({Control::timer_chk}, true);
             t.page().set_text({Control::hour_txt, 0}, "07");
             t.page().set_text({Control::min_txt, 0}, "30");
             t.page().set_text({Control::hour_txt, 2}, "21");
         },
         "開始時間を入力して下さい！", 1, kStartEventsTab, "hour_txt(2)"},
        {"a missing source", [](AppHarness& t) { t.fill(3, t.dir / "nothing-here", t.dir.path()); },
         "コピー元フォルダが見つかりません！", 1, 3, "srcfld_txt(3)"},
        // Reported as a system error, in the box's language: the focus stays.
        {"a destination that cannot be made",
         [](AppHarness& t) { t.fill(0, t.dir.path(), t.dir / "two/levels"); },
         "エラー番号53 ファイルが見つかりません。（フォルダの作成：", 2, 0, ""},
        {"a run going on", [](AppHarness& t) { t.progress.show(); },
         "バックアップ実行中です！\r終了後更新して下さい", 1, 0, ""},
        {"a name Shift-JIS cannot hold",
         [](AppHarness& t) {
             make_dirs(t.dir / "naïve");
             t.fill(0, t.dir / "naïve", t.dir / "program");
         },
         "フォルダ1の設定にシフト JIS で保存できない文字", 1, 0, "srcfld_txt(0)"},
        // 81 characters, inside the test's folder: were it ever offered for
        // creation and made, it would be made there.
        {"a folder of 81 characters",
         [](AppHarness& t) {
             std::string long_path = t.dir.path() + "/";
             ASSERT_LT(long_path.size(), 81u) << "the temporary folder's path is too long";
             t.fill(2, t.dir.path(), long_path.append(81 - long_path.size(), 'a'));
         },
         "フォルダ3の設定が長すぎます！\r保存できるのは 80 文字までです\r", 1, 2, "dstfld_txt(2)"},
        // Set 1's folders end in a separator: it passes, set 2 is refused.
        {"a relative source",
         [](AppHarness& t) {
             t.fill(0, t.dir / "", t.dir / "program" + platform::kPathSeparator);
             t.fill(1, "program", t.dir / "program");
         },
         "コピー元フォルダが見つかりません！", 1, 1, "srcfld_txt(1)"},
        {"a relative destination", [](AppHarness& t) { t.fill(0, t.dir / "program", "dst/new"); },
         "コピー先フォルダが見つかりません！", 1, 0, "dstfld_txt(0)"},
        {"a destination that is a file",
         [](AppHarness& t) {
             write_file(t.dir / "file.txt", "x");
             t.fill(0, t.dir / "program", t.dir / "file.txt");
         },
         "コピー先フォルダが見つかりません！", 1, 0, "dstfld_txt(0)"},
        {"a source inside its destination",
         [](AppHarness& t) { t.fill(0, t.dir / "program", t.dir.path()); },
         "フォルダ1のコピー元フォルダがコピー先フォルダと同じか、その中にあります！", 1, 0,
         "dstfld_txt(0)"},
        {"a missing destination made on OK, the next one not on Cancel",
         [](AppHarness& t) {
             t.fill(0, t.dir.path(), t.dir / "new-backup");
             t.fill(1, t.dir.path(), t.dir / "second-new");
             t.ui.answer_next(button::kOk);
             t.ui.answer_next(button::kCancel);
         },
         "コピー先フォルダが見つかりません！\r", 2, 1, "dstfld_txt(1)", "new-backup"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppHarness t;
        c.edit(t);
        EXPECT_FALSE(t.controller.editor().save_settings());
        const auto boxes = t.ui.events_of("box");
        ASSERT_EQ(boxes.size(), c.boxes);
        EXPECT_EQ(boxes.back().text.rfind(c.message, 0), 0u) << boxes.back().text;
        EXPECT_EQ(t.page().selected_tab(), c.tab);
        EXPECT_EQ(t.page().focus() ? t.page().focus()->name() : "", c.focus);
        EXPECT_FALSE(exists(t.context.settings_file_path));
        EXPECT_TRUE(c.made == nullptr || exists(t.dir / c.made));
    }
}

// Ticking a box or choosing an option asks about the edits once (typing: the
// front ends' tests); clearing an empty set asks nothing. A save stores the
// controls and clears the mark (the whole file: the Win32 window's test).
TEST(SettingsEditorTest, EditsAskTheQuestionOnceAndASaveStoresEachControl) {
    AppHarness t;
    const std::pair<const char*, std::function<void()>> edits[] = {
        {"an empty set cleared", [&] { t.controller.editor().clear_set(3); }},
        {"an option", [&] { t.page().select_option(Control::cp_skip, 0); }},
        {"a ticked box", [&] { t.page().set_checked({Control::start_chk}, true); }},
        {"a shut-down box", [&] { t.page().set_checked(ControlId(Control::sdown, 1), true); }},
    };
    for (const auto& [name, edit] : edits) {
        const auto before = t.ui.box_texts().size();
        edit();
        t.ui.answer_next(button::kNo);
        t.controller.editor().confirm_unsaved_changes();
        t.controller.editor().confirm_unsaved_changes();  // no further edit: no second question
        EXPECT_EQ(t.ui.box_texts().size() - before, name == edits[0].first ? 0u : 1u) << name;
    }
    EXPECT_EQ(t.ui.box_texts().back(), kQuestion);
    EXPECT_TRUE(t.controller.editor().save_settings());
    EXPECT_EQ(t.context.settings.settings_changed, 0);
    const auto o = t.stored().options;
    EXPECT_EQ(o.skip_open_files.text() + o.start_at_launch.text() + o.copy_mode.text(),
              "111");  // copy: the initial
    EXPECT_EQ(o.shutdown_after, (std::array<bool, 3>{false, true, false}));
}

// Daily start times (minute 05) read by ticks at times after 07:00 (a time
// before the last tick's: the clock set back to it): each start time runs
// once, on time when its ":00" second lies between two ticks, late (one run,
// never a shut-down) when it lies in a long gap; the run knows which start
// time started it, and a stopped run shuts nothing down.
TEST(SchedulerTest, EachStartTimeRunsOnceOnTimeOrLateNeverTwiceADay) {
    const struct {
        const char* name;
        std::array<std::string, 3> hours;
        std::vector<double> ticks;
        int runs;
        const char* late = "";        // the late line's start time
        bool shuts_down = false;      // the second start time's box is ticked
        double seconds_per_pump = 0;  // how long a run takes
        bool stopped = false;         // "中　止" is clicked during the run
        bool jumps = false;           // the time of day jumps, a second passes
    } cases[] = {
        {"its first second", {"07", "", ""}, {298, 299, 299.6, 300.6, 301.6}, 1},
        {"a daylight-saving jump onto it", {"", "07", ""}, {-3301, 300}, 1, "", true, 0, 0, 1},
        {"a tick three seconds late", {"", "07", ""}, {299, 302.4, 303.4}, 1, "", true},
        {"ticks a minute apart", {"", "07", ""}, {270, 330}, 1, "", true},
        {"the clock set back across it", {"07", "", ""}, {299, 300, 0, 299, 300}, 1},
        {"a one-digit stored hour", {"7", "", ""}, {299, 300}, 0},
        {"two equal start times", {"07", "07", ""}, {299, 300}, 2},
        {"two equal, a slow first run", {"07", "07", ""}, {299, 300}, 1, "", false, .4},
        {"a stopped run", {"", "07", ""}, {299, 300}, 1, "", true, 0, true},
        {"a two-hour gap across one", {"", "07", ""}, {-600, 6600}, 1, "2004/03/20 07:05", true},
        {"a two-hour gap across two", {"06", "07", ""}, {-3600, 3600}, 1, "2004/03/20 07:05"},
        {"a gap across midnight",
         {"00", "", ""},
         {16 * 3600, 19 * 3600, 20 * 3600},
         1,
         "2004/03/21 00:05"},
        {"late, then on time the next day",
         {"07", "", ""},
         {0, 7200, 86699, 86700},
         2,
         "2004/03/20 07:05"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppHarness t;
        t.configure_set(false, false, c.hours);
        t.context.settings.model.options.shutdown_after[1] = c.shuts_down;
        ASSERT_TRUE(t.context.store.write_settings_file());  // runs work from what is stored
        t.ui.on_every_pump([&] {
            t.ui.advance(c.seconds_per_pump);
            if (c.stopped) {
                t.controller.copyccl_bt();
            }
        });
        for (std::size_t i = 0; i < c.ticks.size(); ++i) {
            if (i > 0 && c.ticks[i] > c.ticks[i - 1] && !c.jumps) {
                t.ui.advance(c.ticks[i] - c.ticks[i - 1]);
            } else {
                t.ui.advance(c.jumps ? 1 : 0);
                t.ui.set_time(7 * 3600 + c.ticks[i]);
            }
            t.controller.on_timer_tick();
        }
        std::string late;
        for (const auto& line : t.entries()) {
            if (line.starts_with("[Late Start] = ")) {
                late += line.substr(15);
            }
        }
        EXPECT_EQ(late, *c.late == '\0' ? "" : std::string(c.late) + " [Timer]");
        // An on-time run is stamped with its minute, as the caption shows it.
        const std::string& path = t.context.history_file_path;
        EXPECT_EQ((exists(path) ? read_file(path) : "").find(" 7:04:59 [Start]"),
                  std::string::npos);
        EXPECT_EQ(std::ranges::count(t.entries(), "[Start] [Timer]"), c.runs);
        // A run stopped at its first event copies nothing.
        EXPECT_EQ(exists(t.dir / "dst/file.txt"), c.runs > 0 && !c.stopped);
        // Only an on-time run of the ticked start time shuts down.
        EXPECT_EQ(t.ui.session_requests().size(),
                  c.shuts_down && *c.late == '\0' && !c.stopped ? 1u : 0u);
    }
}

// What a time box takes, as the save checks it: a refused value stays in its
// box and never reaches the file (tab and focus: the front ends' tests).
TEST(SchedulerTest, HourAndMinuteBoxesAreCheckedAndWrittenWithTwoDigits) {
    const Control hour = Control::hour_txt;
    const Control minute = Control::min_txt;
    const std::tuple<Control, const char*, const char*> cases[] = {
        // box, typed, shown
        {hour, "7", "07"},        {hour, "23", "23"},    {hour, " 9 ", "09"},
        {hour, "", ""},           {hour, "24", nullptr}, {hour, "-1", nullptr},
        {hour, "99999", nullptr}, {minute, "5", "05"},   {minute, "60", nullptr},
    };
    for (const auto& [box, typed, shown] : cases) {
        SCOPED_TRACE(std::string("typed '") + typed + "'");
        AppHarness t;
        t.page().set_text({box, 1}, typed);
        t.controller.ok_bt();
        const auto o = t.stored().options;
        const StartTime& time = o.start_times[1];
        EXPECT_EQ(box == hour ? time.hour_text : time.minute_text, shown ? shown : "");
        EXPECT_EQ(t.page().text({box, 1}), shown ? shown : typed);
        EXPECT_EQ(joined(t.ui.box_texts(), ""), shown         ? ""
                                                : box == hour ? "入力された時間が範囲外です！"
                                                              : "入力された分が範囲外です！");
    }
}

}  // namespace
}  // namespace tarvenix
