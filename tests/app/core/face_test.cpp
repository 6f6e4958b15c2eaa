// The windows' tables and the policies both front ends share: the tray's
// presence, the progress dialog's presentation, the pump's gate and the
// start-time boxes' leave checks.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/core/progress_presenter.h"
#include "app/core/window_face.h"
#include "support/app_harness.h"

namespace tarvenix {
namespace {

using namespace testing;
using namespace face;

// Every control of the settings model is drawn once, on its own tab; every
// control lies inside its window, page or frame, under a name of its own.
TEST(WindowFaceTest, EveryControlIsDrawnOnceInsideWhatHoldsIt) {
    std::vector<std::pair<ControlId, int>> model;  // with its tab
    for (int k = 0; k < kSetCount; ++k) {
        for (const Control c :
             {Control::srcfld_txt, Control::dstfld_txt, Control::subfld_chk, Control::skip_chk}) {
            model.push_back({{c, k}, k});
        }
    }
    for (int i = 0; i < 2; ++i) {
        model.insert(model.end(), {{{Control::copy_op, i}, kCopyRulesTab},
                                   {{Control::cp_skip, i}, kCopyRulesTab},
                                   {{Control::rec_op, i}, kHistoryTab}});
    }
    model.insert(model.end(), {{{Control::start_chk, 0}, kStartEventsTab},
                               {{Control::timer_chk, 0}, kStartEventsTab}});
    for (int k = 0; k < kStartTimeCount; ++k) {
        for (const Control c : {Control::hour_txt, Control::min_txt, Control::sdown}) {
            model.push_back({{c, k}, kStartEventsTab});
        }
    }
    const auto& controls = main_window().controls;
    for (const auto& [id, tab] : model) {
        SCOPED_TRACE(id.name());
        EXPECT_EQ(std::ranges::count(controls, std::optional(id), &ControlRow::mirrors), 1);
        ASSERT_NE(main_window().find(id), nullptr);
        EXPECT_EQ(main_window().find(id)->page, tab);
        EXPECT_EQ(main_window().find(id)->full_name(), id.name());
    }
    for (const WindowTable* w :
         {&main_window(), &progress_dialog(), &splash_window(), &about_window()}) {
        std::set<std::string> names;
        for (const ControlRow& c : w->controls) {
            SCOPED_TRACE(std::string(w->name) + " " + c.full_name());
            EXPECT_TRUE(names.insert(c.full_name()).second);
            const ControlRow* frame = c.frame.empty() ? nullptr : w->find(c.frame);
            const Twips room = frame != nullptr ? frame->at
                               : c.page >= 0    ? kPageArea
                                                : Twips{0, 0, w->width, w->height};
            EXPECT_TRUE(c.at.left >= 0 && c.at.top >= 0 && c.at.left + c.at.width <= room.width &&
                        c.at.top + c.at.height <= room.height);
            EXPECT_EQ(c.frame.empty(), frame == nullptr);
        }
    }
}

// Each menu item and button runs its own command (index included), seen by
// what it leaves behind. Windows終了, Windows再起動 and ログオフ ask the session
// for their own end at once: no question even with unsaved edits (set 1 edited,
// as for 保存), no backup. ﾍﾙﾌﾟ with no viewer names one to install (Linux).
TEST(WindowFaceTest, EachMenuItemAndButtonRunsItsOwnCommand) {
    const std::string manual = "[Start] [Manual], [Success] [Manual]",
                      chm = "~/program/Tarvenix7.chm";
    const std::string hint =
        "\r\rヘルプの表示には CHM ビューア（xchm など）が必要です\r例：sudo apt install xchm";
    const std::map<std::string, std::string> expected = {
        {"bkup_exitwin", manual + ", session 1, quit"},
        {"bkup_exit_bt", manual + ", session 1, quit"},
        {"start_bkup", manual},
        {"bkup_bt", manual},
        {"exit_win", "session 1"},
        {"reboot_win", "session 2"},
        {"log_off", "session 0"},
        {"mnuset", "show"},
        {"History_Disp", "shell ~/program/history.txt"},
        {"recedit_bt", "shell ~/program/history.txt"},
        {"mnuend", "progress closed, main closed"},
        {"close_bt", "progress closed, main closed"},
        {"about_show", "about"},
        {"mini_bt", "hide"},
        {"help_show", "shell " + chm + ", box Help File = " + chm + " を開けませんでした！" +
                          (platform::kShowsHelpFiles ? "" : hint)},
        {"ok_bt", "saved"},
        {"refsrc_bt(3)", "folder /picked"},
    };
    std::vector<std::pair<std::string, std::pair<Action, int>>> runs;
    for (const MenuTable& menu : tray_menus()) {
        for (const MenuItem& item : menu.items) {
            if (!item.name.empty()) {
                runs.push_back({std::string(item.name), {item.action, -1}});
            }
        }
    }
    for (const ControlRow& c : main_window().controls) {
        if (expected.contains(c.full_name())) {
            runs.push_back({c.full_name(), {c.action, c.index}});
        }
    }
    EXPECT_EQ(runs.size(), expected.size());
    for (const auto& [name, action] : runs) {
        SCOPED_TRACE(name);
        AppHarness t;
        t.configure_set();
        t.ui.pick_next_folder("/picked");
        write_file(t.dir / "program/Tarvenix7.chm", "ITSF");
        t.ui.set_shell_result(name != "help_show");
        if (name.ends_with("_win") || name == "log_off" || name == "ok_bt") {
            t.fill(1, t.dir / "src", t.dir / "dst");
        }
        t.controller.run(action.first, action.second);
        std::vector<std::string> seen = t.entries();
        for (const SessionRequest r : t.ui.session_requests()) {
            seen.push_back("session " + std::to_string(static_cast<int>(r)));
        }
        seen.insert(seen.end(), t.window.log.begin(), t.window.log.end());
        for (const UiEvent& e : t.ui.events()) {
            if (e.kind == "shell" || e.kind == "box") {
                seen.push_back(t.tilde(e.kind + " " + e.text));
            }
        }
        if (t.stored().sets[1].src_folder == t.dir / "src") {
            seen.push_back("saved");
        }
        if (t.page().text({Control::dstfld_txt, 1}) == "/picked") {
            seen.push_back("folder /picked");
        }
        ASSERT_TRUE(expected.contains(name));
        EXPECT_EQ(joined(seen, ", "), expected.at(name));
    }
}

// Panels that show only a published menu get the main menu (the help menu as
// its submenu) on activation only where our own cannot open at the icon.
TEST(WindowFaceTest, PanelsAreHandedTheMainMenuOnlyWhereOursCannotOpen) {
    const auto& m = tray_menus();
    EXPECT_EQ(published_tray_menu(true), (PublishedTrayMenu{false, &m[1], nullptr}));
    EXPECT_EQ(published_tray_menu(false), (PublishedTrayMenu{true, &m[0], &m[1]}));
}

// A tray at start takes the icon; without one the window stands in until a
// tray appears (the window left on screen); a tray missed twice in a row has
// gone and the window stands in again, shown; a new taskbar gets the icon
// back. Steps: a add, c check, r taskbar restarted, x removed; + tray there.
TEST(TrayPresenceTest, TheProgramIsAlwaysWithinReach) {
    const struct {
        const char* name;
        const char* steps;
        const char* log;  // joined by ", "
        bool standing_in;
        int adds;
    } cases[] = {
        {"a tray at start", "a+ c+ c+", "", false, 1},
        {"a tray that comes later", "a- c- c+ c+", "stand-in, stand-in off", false, 3},
        {"a tray that goes away", "a+ c- c- c-", "stand-in, show", true, 2},
        {"missed once only", "a+ c- c+ c-", "", false, 1},
        {"a new taskbar", "a+ r+", "", false, 2},
        {"a new taskbar without room", "a+ r-", "stand-in, show", true, 2},
        {"removed", "a+ x+ c- c- r+", "", false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingWindow window;
        TrayPresence tray(window, window);
        std::istringstream steps(c.steps);
        for (std::string step; steps >> step;) {
            window.tray_available = step[1] == '+';
            if (step[0] == 'a') {
                EXPECT_EQ(tray.add_tray_icon("tip"), window.tray_available);
            } else if (step[0] == 'c') {
                tray.check();
            } else if (step[0] == 'r') {
                tray.tray_restarted();
            } else {
                tray.remove_tray_icon();
            }
        }
        EXPECT_EQ(joined(window.log, ", "), c.log);
        EXPECT_EQ(tray.standing_in(), c.standing_in);
        EXPECT_EQ(window.icon_adds, c.adds);
    }
}

// The dialog as the presenter draws it.
struct RecordingSurface final : ProgressSurface {
    void show_dialog(bool first_time) override {
        shown = true;
        log.push_back(first_time ? "show centred" : "show");
    }
    void hide_dialog() override {
        shown = false;
        log.push_back("hide");
    }
    bool dialog_visible() const override { return shown; }
    void set_text(ProgressLabel label, std::string_view text) override {
        log.push_back(std::string(progress_label_name(label)) + "=" + std::string(text));
    }
    void paint_now() override { log.push_back("paint"); }
    void queue_pass() override { log.push_back("queue"); }
    void start_timer(int ms) override { log.push_back("timer " + std::to_string(ms)); }
    void request_prompt_pass() override { log.push_back("prompt"); }

    bool shown = false;
    std::vector<std::string> log;
};

// What the dialog shows when: changes wait for the event loop's pass and are
// painted together; a copied file's name stays until the next file or a
// pause of 100 ms; a large file asks for a prompt pass. Steps: "l" two labels
// set, "name:bytes" a file started, "d" done, "p" the pass, "w.06" a wait of
// 0.06 s then the timer, "h" hidden and shown again.
TEST(ProgressPresenterTest, ShowsChangesInOnePassAndNeverABlankBetweenFiles) {
    const struct {
        const char* name;
        const char* steps;
        const char* log;  // joined by ", "
    } cases[] = {
        {"two labels, one pass", "l p", "queue, srcfld=/s, dstfld=/d, paint"},
        {"small files between passes", "a:10 d b:500 d p",
         "queue, timer 100, cpfname=b, filesize=1, paint"},
        {"a pause clears the name", "a:10 p d w.06 w.05",
         "queue, cpfname=a, paint, timer 100, timer 41, queue, cpfname=, paint"},
        {"a million bytes", "big:1000000", "queue, prompt"},
        {"just under", "big:999999", "queue"},
        {"hide clears a finished file", "a:10 p d h",
         "queue, cpfname=a, paint, timer 100, queue, cpfname=, paint, hide, show"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedUi ui;
        RecordingSurface surface;
        ProgressPresenter p(surface, ui);
        p.show();
        std::istringstream steps(c.steps);
        for (std::string step; steps >> step;) {
            if (const auto colon = step.find(':'); colon != std::string::npos) {
                p.file_started(step.substr(0, colon), std::stoull(step.substr(colon + 1)));
            } else if (step == "l") {
                p.set_label(ProgressLabel::srcfld, "/s");
                p.set_label(ProgressLabel::dstfld, "/d");
            } else if (step == "d") {
                p.file_finished();
            } else if (step == "p") {
                p.pass();
            } else if (step[0] == 'w') {
                ui.advance(std::stod(step.substr(1)));
                p.on_timer();
            } else {
                p.hide();
                p.show();
            }
        }
        EXPECT_EQ(joined(surface.log, ", "), std::string("show centred, ") + c.log);
    }
}

// A pump call serves when 15 ms passed since the last pass ended, or for a
// prompt pass the budget covers: 2 % of the time between calls, at most 20 ms
// saved up, less what prompt passes cost.
TEST(PumpGateTest, ServesEveryFifteenMillisecondsOrForAPromptPassWithinItsBudget) {
    // At, a prompt pass asked for, the pass's cost when served, served.
    using Call = std::tuple<const char*, double, bool, double, bool>;
    PumpGate gate;
    for (const auto& [name, at, prompt, cost, serves] :
         {Call{"the first call", 0, false, .001, true},
          Call{"4 ms after a pass", .005, false, 0, false},
          Call{"16 ms after a pass", .017, false, .001, true},
          Call{"a prompt pass within the budget", .020, true, .015, true},
          Call{"a prompt pass beyond what is left", .036, true, 0, false},
          Call{"after ten idle seconds", 10, false, .015, true},
          Call{"a prompt pass from 20 ms saved up", 10.016, true, .015, true},
          Call{"no more than 20 ms saved up", 10.032, true, 0, false}}) {
        if (prompt) {
            gate.request_prompt_pass();
        }
        const bool served = gate.should_serve(at);
        EXPECT_EQ(served, serves) << name;
        if (served) {
            gate.served(at, at + cost);
        }
    }
}

// An hour box holding 99 is checked when the focus leaves it for another
// control of the window and has settled; not when it leaves the window, nor
// when it came back first, nor for a box without a check.
TEST(LeaveChecksTest, ABoxIsCheckedOnlyWhenLeftForAnotherControl) {
    const ControlId hour{Control::hour_txt, 1};
    const struct {
        const char* name;
        ControlId left;
        bool to_window_control, came_back, checked;
    } cases[] = {
        {"to another control", hour, true, false, true},
        {"to another program or a menu", hour, false, false, false},
        {"came back before it settled", hour, true, true, false},
        {"a folder box", {Control::srcfld_txt, 1}, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppHarness t;
        t.page().set_text(hour, "99");
        t.page().set_text({Control::srcfld_txt, 1}, "99");
        LeaveChecks& checks = t.controller.leave_checks();
        checks.focus_left(c.left, c.to_window_control);
        if (c.came_back) {
            checks.focus_entered(c.left);
        }
        EXPECT_EQ(checks.settle(t.controller), c.checked);
        EXPECT_EQ(t.ui.box_texts(), c.checked
                                        ? std::vector<std::string>{"入力された時間が範囲外です！"}
                                        : std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace tarvenix
