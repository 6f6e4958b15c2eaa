#include "app/win32/control_ids.h"

#include <array>
#include <charconv>

namespace tarvenix::win32::ctl {

namespace {

struct Entry {
    int first;
    int count;  // 1: a single control, named without an index
    std::string_view name;
};

constexpr std::array kTable{
    Entry{mini_bt, 1, "mini_bt"},
    Entry{ok_bt, 1, "ok_bt"},
    Entry{close_bt, 1, "close_bt"},
    Entry{bkup_bt, 1, "bkup_bt"},
    Entry{bkup_exit_bt, 1, "bkup_exit_bt"},
    Entry{SSTab1, 1, "SSTab1"},
    Entry{histclr_bt, 1, "histclr_bt"},
    Entry{recedit_bt, 1, "recedit_bt"},
    Entry{hist_frm, 1, "hist_frm"},
    Entry{start_chk, 1, "start_chk"},
    Entry{timer_chk, 1, "timer_chk"},
    Entry{time_frm, 1, "time_frm"},
    Entry{sdown_lbl, 1, "sdown_lbl"},
    Entry{copy_frm, 1, "copy_frm"},
    Entry{open_frm, 1, "open_frm"},
    Entry{bkup_exitwin, 1, "bkup_exitwin"},
    Entry{start_bkup, 1, "start_bkup"},
    Entry{exit_win, 1, "exit_win"},
    Entry{reboot_win, 1, "reboot_win"},
    Entry{log_off, 1, "log_off"},
    Entry{mnuset, 1, "mnuset"},
    Entry{History_Disp, 1, "History_Disp"},
    Entry{mnuend, 1, "mnuend"},
    Entry{help_show, 1, "help_show"},
    Entry{about_show, 1, "about_show"},
    Entry{srcfld_txt, 8, "srcfld_txt"},
    Entry{dstfld_txt, 8, "dstfld_txt"},
    Entry{subfld_chk, 8, "subfld_chk"},
    Entry{skip_chk, 8, "skip_chk"},
    Entry{set_clr_bt, 8, "set_clr_bt"},
    Entry{Label1, 8, "Label1"},
    Entry{Label2, 8, "Label2"},
    Entry{refsrc_bt, 16, "refsrc_bt"},
    Entry{copy_op, 2, "copy_op"},
    Entry{cp_skip, 2, "cp_skip"},
    Entry{rec_op, 2, "rec_op"},
    Entry{hour_txt, 3, "hour_txt"},
    Entry{min_txt, 3, "min_txt"},
    Entry{sdown, 3, "sdown"},
    Entry{time_lbl, 3, "time_lbl"},
    Entry{hour_lbl, 3, "hour_lbl"},
    Entry{min_lbl, 3, "min_lbl"},
    Entry{copyccl_bt, 1, "copyccl_bt"},
    Entry{srcfld, 1, "srcfld"},
    Entry{dstfld, 1, "dstfld"},
    Entry{subfld, 1, "subfld"},
    Entry{cpfname, 1, "cpfname"},
    Entry{filesize, 1, "filesize"},
};

// The page model's controls, in the order of the Control enumeration.
constexpr std::array<int, 12> kPageControlIds{srcfld_txt, dstfld_txt, subfld_chk, skip_chk,
                                              copy_op,    cp_skip,    start_chk,  timer_chk,
                                              hour_txt,   min_txt,    sdown,      rec_op};

}  // namespace

std::string control_name(int id) {
    for (const Entry& e : kTable) {
        if (id >= e.first && id < e.first + e.count) {
            std::string name(e.name);
            if (e.count > 1) {
                name += "(" + std::to_string(id - e.first) + ")";
            }
            return name;
        }
    }
    return {};
}

std::optional<int> control_id(std::string_view name) {
    std::string_view base = name;
    int index = 0;
    bool indexed = false;
    if (const auto open = name.find('('); open != std::string_view::npos && name.back() == ')') {
        base = name.substr(0, open);
        const std::string_view digits = name.substr(open + 1, name.size() - open - 2);
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
        if (ec != std::errc() || end != digits.data() + digits.size()) {
            return std::nullopt;
        }
        indexed = true;
    }
    for (const Entry& e : kTable) {
        if (e.name == base && indexed == (e.count > 1) && index >= 0 && index < e.count) {
            return e.first + index;
        }
    }
    return std::nullopt;
}

int id_of(ControlId control) {
    return kPageControlIds[static_cast<std::size_t>(control.control)] + control.index;
}

std::optional<ControlId> page_control_of(int id) {
    for (const Entry& e : kTable) {
        if (id < e.first || id >= e.first + e.count) {
            continue;
        }
        for (std::size_t c = 0; c < kPageControlIds.size(); ++c) {
            if (kPageControlIds[c] == e.first) {
                return ControlId{static_cast<Control>(c), id - e.first};
            }
        }
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace tarvenix::win32::ctl
