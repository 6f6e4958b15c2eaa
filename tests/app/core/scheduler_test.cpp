#include <gtest/gtest.h>

#include <map>

#include "app_harness.h"

namespace tarvenix {
namespace {

using namespace testing;

class SchedulerTest : public AppHarness, public ::testing::Test {
protected:
    // A set that copies one file, daily start at the given times.
    void configure(std::array<std::string, 3> hours, std::array<std::string, 3> minutes) {
        make_dirs(dir / "src");
        make_dirs(dir / "dst");
        write_file(dir / "src/file.txt", "x");
        auto& m = context.settings.model;
        m.sets[0].src_folder = dir / "src";
        m.sets[0].dst_folder = dir / "dst";
        m.sets[0].copy_subfolders = "1";
        m.sets[0].skip_set = "0";
        m.options.copy_mode = "0";
        m.options.skip_open_files = "0";
        m.options.record_history = "1";
        m.options.start_at_time = "1";
        m.options.start_hour = hours;
        m.options.start_minute = minutes;
        store_settings();
        context.store.load_settings();
    }
    int runs() const { return history_count("[Start] [Timer]"); }
    static double at(int h, int m, double s) { return h * 3600 + m * 60 + s; }
};

TEST_F(SchedulerTest, TheCaptionShowsTheClockAndBlinksTheChangeMarker) {
    ui.set_time(at(9, 30, 5.2));
    controller.on_timer_tick();
    EXPECT_EQ(page().caption(), "Tarvenix  (Now 09:30:05)");
    context.settings.caption_base = "Tarvenix ";
    context.settings.settings_changed = 1;
    ui.advance(1);
    controller.on_timer_tick();
    EXPECT_EQ(page().caption(), "Tarvenix   (Now 09:30:06)");
    ui.advance(1);
    controller.on_timer_tick();
    EXPECT_EQ(page().caption(), "Tarvenix   (Now 09:30:07)  変更有り");
    ui.advance(1);
    controller.on_timer_tick();
    EXPECT_EQ(page().caption(), "Tarvenix   (Now 09:30:08)");
}

TEST_F(SchedulerTest, AStartTimeFiresOnItsFirstSecondOnly) {
    configure({"07", "", ""}, {"30", "", ""});
    for (double s : {58.0, 59.0, 59.6, 60.6, 61.6}) {  // 59.6 rounds to 07:30:00
        ui.set_time(at(7, 29, s));
        controller.on_timer_tick();
    }
    EXPECT_EQ(runs(), 1);
    EXPECT_EQ(read_file(dir / "dst/file.txt"), "x");
    EXPECT_EQ(context.engine.timer_slot, 0);
}

TEST_F(SchedulerTest, TheRunKnowsWhichStartTimeStartedIt) {
    configure({"", "08", ""}, {"", "15", ""});
    context.settings.model.options.shutdown_after = {false, true, false};
    store_settings();  // runs work from the stored settings
    ui.set_time(at(8, 15, 0));
    controller.on_timer_tick();
    EXPECT_EQ(ui.session_requests(), std::vector<SessionRequest>{SessionRequest::kPowerOff});
}

TEST_F(SchedulerTest, NothingStartsWhileTheDailyStartIsOff) {
    configure({"07", "", ""}, {"30", "", ""});
    context.settings.model.options.start_at_time = "0";
    ui.set_time(at(7, 30, 0));
    controller.on_timer_tick();
    EXPECT_EQ(runs(), 0);
    EXPECT_EQ(page().caption(), "Tarvenix   (Now 07:30:00)");
}

TEST_F(SchedulerTest, AOneDigitStoredHourNeverFires) {
    configure({"7", "", ""}, {"30", "", ""});
    ui.set_time(at(7, 30, 0));
    controller.on_timer_tick();
    EXPECT_EQ(runs(), 0);
}

TEST_F(SchedulerTest, TwoEqualStartTimesRunTwiceOnlyWithinTheSameSecond) {
    configure({"07", "07", ""}, {"30", "30", ""});
    ui.set_time(at(7, 30, 0));
    controller.on_timer_tick();  // the clock stood still during the run
    EXPECT_EQ(runs(), 2);

    ui.on_every_pump([&] { ui.advance(0.4); });  // now every run takes a while
    ui.set_time(at(7, 30, 0));
    controller.on_timer_tick();
    EXPECT_EQ(runs(), 3);
}

TEST_F(SchedulerTest, AStartTimeDueDuringARunStartsNothing) {
    configure({"07", "", ""}, {"30", "", ""});
    ui.set_time(at(7, 29, 0));
    bool ticked = false;
    ui.on_every_pump([&] {
        if (!ticked) {
            ticked = true;
            ui.set_time(at(7, 30, 0));
            controller.on_timer_tick();  // Timer1 fires inside the run
        }
    });
    context.engine.run_backup(run_trigger::kManual);
    EXPECT_TRUE(ticked);
    EXPECT_EQ(runs(), 0);
    EXPECT_EQ(context.engine.timer_slot, 0);
}

TEST_F(SchedulerTest, HourAndMinuteBoxesAreCheckedAndWrittenWithTwoDigits) {
    struct Case {
        Control box;
        const char* typed;
        const char* result;  // nullptr: refused
    };
    const Case cases[] = {
        {Control::hour_txt, "7", "07"},      {Control::hour_txt, "07", "07"},
        {Control::hour_txt, "0", "00"},      {Control::hour_txt, "23", "23"},
        {Control::hour_txt, " 9 ", "09"},    {Control::hour_txt, "6.5", "06"},
        {Control::hour_txt, "24", nullptr},  {Control::hour_txt, "99", nullptr},
        {Control::hour_txt, "ab", nullptr},  {Control::hour_txt, "-1", nullptr},
        {Control::hour_txt, "1e1", nullptr}, {Control::hour_txt, "99999", nullptr},
        {Control::min_txt, "5", "05"},       {Control::min_txt, "59", "59"},
        {Control::min_txt, "60", nullptr},
    };
    // Checked when the focus leaves the box, and by the save itself (a click
    // on "更　新" can come before the focus-leave check).
    std::map<Control, std::string> in_file{{Control::hour_txt, ""}, {Control::min_txt, ""}};
    for (const bool by_save : {false, true}) {
        for (const Case& c : cases) {
            const std::string route = std::string(by_save ? "save " : "leave ") + c.typed;
            page().set_text({Control::hour_txt, 1}, "");
            page().set_text({Control::min_txt, 1}, "");
            ui.clear_events();
            page().select_tab(0);
            page().set_text({c.box, 1}, c.typed);
            if (by_save) {
                controller.ok_bt();
                SettingsState file;
                SettingsStore(file, context.settings_file_path, context.reporter).load_settings();
                const auto& o = file.model.options;
                in_file[c.box] = c.result != nullptr ? c.result : in_file[c.box];
                EXPECT_EQ((c.box == Control::hour_txt ? o.start_hour : o.start_minute)[1],
                          in_file[c.box])
                    << route;
            } else if (c.box == Control::hour_txt) {
                controller.hour_lost_focus(1);
            } else {
                controller.min_lost_focus(1);
            }
            if (c.result != nullptr) {
                EXPECT_EQ(page().text({c.box, 1}), c.result) << route;
                EXPECT_TRUE(ui.box_texts().empty()) << route;
            } else {
                EXPECT_EQ(ui.box_texts(),
                          std::vector<std::string>{c.box == Control::hour_txt
                                                       ? "入力された時間が範囲外です！"
                                                       : "入力された分が範囲外です！"})
                    << route;
                EXPECT_EQ(page().selected_tab(), kStartEventsTab) << route;
                EXPECT_EQ(page().focus(), (ControlId{c.box, 1}.name())) << route;
            }
        }
    }
    page().set_text({Control::hour_txt, 2}, "");
    controller.hour_lost_focus(2);  // empty is fine here
    EXPECT_EQ(page().text({Control::hour_txt, 2}), "");
}

}  // namespace
}  // namespace tarvenix
