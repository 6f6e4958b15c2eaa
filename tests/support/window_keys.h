#pragma once

#include "app/core/window_face.h"

namespace tarvenix::testing {

// From the control `from` (nullptr: where the focus is), `key` turns to
// `page` with the focus on `to` ("strip": the tab strip). Tab stops on the
// strip, whose arrows move along it; the Ctrl keys turn the pages from
// anywhere and go round at the ends.
struct PageKeyStep {
    const char *name, *from;
    face::Key key;
    bool control, shift;
    int page;
    const char* to;
};
inline constexpr PageKeyStep kPageKeySteps[] = {
    {"tab_reaches_the_strip", "bkup_exit_bt", face::Key::kTab, false, false, 0, "strip"},
    {"left_stops_at_the_first", nullptr, face::Key::kLeft, false, false, 0, "strip"},
    {"down", nullptr, face::Key::kDown, false, false, 1, "strip"},
    {"up", nullptr, face::Key::kUp, false, false, 0, "strip"},
    {"right", nullptr, face::Key::kRight, false, false, 1, "strip"},
    {"tab_into_the_page", nullptr, face::Key::kTab, false, false, 1, "srcfld_txt(1)"},
    {"shift_tab_back_to_the_strip", nullptr, face::Key::kTab, false, true, 1, "strip"},
    {"ctrl_page_up_from_the_page", "srcfld_txt(1)", face::Key::kPageUp, true, false, 0, "strip"},
    {"ctrl_shift_tab_goes_round", nullptr, face::Key::kTab, true, true, 10, "strip"},
    {"ctrl_tab_goes_round", nullptr, face::Key::kTab, true, false, 0, "strip"},
    {"ctrl_page_down_from_a_button", "mini_bt", face::Key::kPageDown, true, false, 1, "mini_bt"},
};

}  // namespace tarvenix::testing
