#include "common/vostrel.h"

#include <gtest/gtest.h>

#include <tuple>

#include "support/scripted_ui.h"

namespace tarvenix {
namespace {

class VostrelTest : public ::testing::Test {
protected:
    testing::ScriptedUi ui;
    Vostrel v{ui.ports(), ui};
};

// The box of each kind word (its beep, caption and style: the toolbox's own
// table) comes after its beep; a word of no kind shows nothing.
TEST_F(VostrelTest, EachKindBeepsThenShowsItsBox) {
    using Row = std::tuple<const char*, const char*, std::int32_t, std::int32_t>;  // beep 0: no box
    for (const auto& [kind, caption, beep, style] :
         {Row{"err", "Error", 48, 16}, Row{"ERR", "", 0, 0}, Row{"", "", 0, 0}}) {
        ui.clear_events();
        ui.answer_next(button::kCancel);
        EXPECT_EQ(v.Msg_Box(kind, "本文"), beep ? button::kCancel : 0) << kind;
        std::vector<testing::UiEvent> expected;
        if (beep != 0) {
            expected = {{"beep", "", "", beep}, {"box", caption, "本文", style}};
        }
        EXPECT_EQ(ui.events(), expected) << kind;
    }
}

// A half second goes to the even second. From hh:mm:10.4 a wait of 2 s ends
// when the clock reaches hh:mm:12.0; one across midnight still ends.
TEST_F(VostrelTest, TheClockTextRoundsToTheSecondAndAWaitEndsOnIt) {
    using Clock = std::pair<double, const char*>;
    for (const auto& [seconds, text] :
         {Clock{32703.2, "09:05:03"}, Clock{32703.5, "09:05:04"}, Clock{32704.5, "09:05:04"},
          Clock{86399.6, "24:00:00"}, Clock{0.2, "00:00:00"}}) {
        ui.set_time(seconds);
        EXPECT_EQ(v.GetTime(), text) << seconds;
    }
    for (const auto& [start, waited] : {std::pair{36010.4, 1.6}, std::pair{86399.0, 2.0}}) {
        ui.set_time(start);
        const double mono_before = ui.monotonic_seconds();
        const int pumps_before = ui.pump_count();
        v.Wait(2.0F);
        EXPECT_NEAR(ui.monotonic_seconds() - mono_before, waited, 0.011) << start;
        EXPECT_GT(ui.pump_count(), pumps_before) << start;  // the user was served meanwhile
    }
}

}  // namespace
}  // namespace tarvenix
