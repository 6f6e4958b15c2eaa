#pragma once

// The identifiers of the windows' controls and menu items, named after the
// controls themselves. A control array owns a block of identifiers: element i
// of `srcfld_txt` is srcfld_txt + i. control_name and control_id translate
// between an identifier and the control's name as the program knows it
// ("srcfld_txt(3)", "mini_bt").

#include <optional>
#include <string>
#include <string_view>

#include "settings/settings_page.h"

namespace tarvenix::win32::ctl {

enum : int {
    // The main window `Menu`, in focus order.
    mini_bt = 100,
    ok_bt,
    close_bt,
    bkup_bt,
    bkup_exit_bt,
    SSTab1,
    // The history page.
    histclr_bt = 110,
    recedit_bt,
    hist_frm,
    // The start events page.
    start_chk = 120,
    timer_chk,
    time_frm,
    sdown_lbl,
    // The copy rules page.
    copy_frm = 130,
    open_frm,
    // The two menus.
    bkup_exitwin = 200,
    start_bkup,
    exit_win,
    reboot_win,
    log_off,
    mnuset,
    History_Disp,
    mnuend,
    help_show,
    about_show,
    // Control arrays: the first element's identifier.
    srcfld_txt = 1000,  // 8
    dstfld_txt = 1010,  // 8
    subfld_chk = 1020,  // 8
    skip_chk = 1030,    // 8
    set_clr_bt = 1040,  // 8
    Label1 = 1050,      // 8
    Label2 = 1060,      // 8
    refsrc_bt = 1100,   // 16
    copy_op = 1200,     // 2
    cp_skip = 1210,     // 2
    rec_op = 1220,      // 2
    hour_txt = 1230,    // 3
    min_txt = 1240,     // 3
    sdown = 1250,       // 3
    time_lbl = 1260,    // 3
    hour_lbl = 1270,    // 3
    min_lbl = 1280,     // 3
    // The progress dialog `copydlg` (a window of its own).
    copyccl_bt = 300,
    srcfld,
    dstfld,
    subfld,
    cpfname,
    filesize,
    copydlg_Label1,
    copydlg_Label2,
    copydlg_Label3,
    copydlg_cpinfo_lvl,
    copydlg_Label4,
    copydlg_Label5,
};

// "srcfld_txt(3)" for srcfld_txt + 3; "" for an identifier not in the table.
std::string control_name(int id);
// The identifier of a control by its name; nullopt for an unknown name.
std::optional<int> control_id(std::string_view name);

// The identifier of a settings control of the page model, and back.
int id_of(ControlId control);
std::optional<ControlId> page_control_of(int id);

}  // namespace tarvenix::win32::ctl
