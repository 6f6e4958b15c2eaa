#include <gtest/gtest.h>

#include <tuple>

#include "app_harness.h"

namespace tarvenix {
namespace {

using namespace testing;

class SchedulerTest : public AppHarness, public ::testing::Test {};

double at(int h, int m, double s) {
    return h * 3600 + m * 60 + s;
}

TEST_F(SchedulerTest, TheCaptionShowsTheClockAndBlinksTheChangeMarker) {
    ui.set_time(at(9, 30, 5.2));
    controller.on_timer_tick();
    EXPECT_EQ(page().caption(), "Tarvenix  (Now 09:30:05)");
    context.settings.caption_base = "Tarvenix ";
    context.settings.settings_changed = 1;
    for (const char* caption : {"Tarvenix   (Now 09:30:06)", "Tarvenix   (Now 09:30:07)  変更有り",
                                "Tarvenix   (Now 09:30:08)"}) {
        ui.advance(1);
        controller.on_timer_tick();
        EXPECT_EQ(page().caption(), caption);
    }
}

// A daily start time (minute 30 of each hour given) starts a run on its
// first second only, once for each start time that shows that second, and
// the run knows which one started it (for its shut-down choice).
TEST_F(SchedulerTest, AStartTimeFiresOnItsFirstSecondOnly) {
    const struct {
        const char* name;
        std::array<std::string, 3> hours;
        std::vector<double> ticks;  // seconds after 07:29:00
        int runs;
        int shutdown_after = -1;  // the start time whose run shuts down
        bool daily_off = false;
        double seconds_per_pump = 0;  // how long a run takes
    } cases[] = {
        {"its first second", {"07", "", ""}, {58, 59, 59.6, 60.6, 61.6}, 1},
        {"the second start time", {"", "07", ""}, {60}, 1, 1},
        {"the daily start off", {"07", "", ""}, {60}, 0, -1, true},
        {"a one-digit stored hour", {"7", "", ""}, {60}, 0},
        {"two equal start times", {"07", "07", ""}, {60}, 2},
        {"two equal start times, a slow first run", {"07", "07", ""}, {60}, 1, -1, false, .4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppHarness t;
        t.configure_set(false, false, c.hours, "30");
        if (c.shutdown_after >= 0) {
            t.context.settings.model.options.shutdown_after.at(
                static_cast<std::size_t>(c.shutdown_after)) = true;
            t.store_settings();  // runs work from the stored settings
        }
        t.context.settings.model.options.start_at_time = c.daily_off ? "0" : "1";
        t.ui.on_every_pump([&] { t.ui.advance(c.seconds_per_pump); });
        for (const double seconds : c.ticks) {
            t.ui.set_time(at(7, 29, seconds));
            t.controller.on_timer_tick();
        }
        EXPECT_EQ(t.entry_count("[Start] [Timer]"), c.runs);
        EXPECT_EQ(exists(t.dir / "dst/file.txt"), c.runs > 0);
        EXPECT_EQ(t.ui.session_requests().size(), c.shutdown_after >= 0 ? 1u : 0u);
        EXPECT_EQ(t.context.engine.timer_slot, 0);
    }
}

TEST_F(SchedulerTest, AStartTimeDueDuringARunStartsNothing) {
    configure_set(false, false, {"07", "", ""}, "30");
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
    EXPECT_EQ(entry_count("[Start] [Timer]"), 0);
    EXPECT_EQ(context.engine.timer_slot, 0);
}

// Checked when the focus leaves the box, and by the save itself (a click on
// "更　新" can come before the focus-leave check).
TEST_F(SchedulerTest, HourAndMinuteBoxesAreCheckedAndWrittenWithTwoDigits) {
    const Control hour = Control::hour_txt;
    const Control minute = Control::min_txt;
    const std::tuple<Control, const char*, const char*> cases[] = {
        // box, typed, shown
        {hour, "7", "07"},     {hour, "07", "07"},     {hour, "0", "00"},
        {hour, "23", "23"},    {hour, " 9 ", "09"},    {hour, "6.5", "06"},
        {hour, "24", nullptr}, {hour, "99", nullptr},  {hour, "ab", nullptr},
        {hour, "-1", nullptr}, {hour, "1e1", nullptr}, {hour, "99999", nullptr},
        {minute, "5", "05"},   {minute, "59", "59"},   {minute, "60", nullptr},
    };
    for (const bool by_save : {false, true}) {
        for (const auto& [box, typed, shown] : cases) {
            const std::string route = std::string(by_save ? "save " : "leave ") + typed;
            page().set_text({hour, 1}, "");
            page().set_text({minute, 1}, "");
            ui.clear_events();
            page().select_tab(0);
            page().set_text({box, 1}, typed);
            if (by_save) {
                controller.ok_bt();
                const auto o = stored().options;
                const std::string in_file = (box == hour ? o.start_hour : o.start_minute)[1];
                // what was shown is saved, what was refused never is
                EXPECT_EQ(in_file == (shown ? shown : typed), shown != nullptr) << route;
            } else if (box == hour) {
                controller.hour_lost_focus(1);
            } else {
                controller.min_lost_focus(1);
            }
            if (shown != nullptr) {
                EXPECT_EQ(page().text({box, 1}), shown) << route;
                EXPECT_TRUE(ui.box_texts().empty()) << route;
            } else {
                EXPECT_EQ(ui.box_texts(),
                          std::vector<std::string>{box == hour ? "入力された時間が範囲外です！"
                                                               : "入力された分が範囲外です！"})
                    << route;
                EXPECT_EQ(page().selected_tab(), kStartEventsTab) << route;
                EXPECT_EQ(page().focus(), (ControlId{box, 1}.name())) << route;
            }
        }
    }
    ui.clear_events();
    controller.hour_lost_focus(2);  // empty is fine here
    EXPECT_TRUE(ui.box_texts().empty());
}

}  // namespace
}  // namespace tarvenix
