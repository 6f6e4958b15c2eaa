#include "app/core/window_face.h"

#include "engine/progress_view.h"

namespace tarvenix::face {

namespace {

constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kMagenta{255, 0, 255};
constexpr Rgb kGreen{0, 128, 0};
constexpr Rgb kTeal{0, 128, 128};
constexpr Rgb kNavy{0, 0, 128};
constexpr Rgb kPurple{128, 0, 128};
constexpr Rgb kGrey{192, 192, 192};

constexpr std::string_view kMaker = "© Tarvenix developers";

constexpr std::array<std::string_view, kSetCount> kSetTabs = {
    "フォルダ１", "フォルダ２", "フォルダ３", "フォルダ４",
    "フォルダ５", "フォルダ６", "フォルダ７", "フォルダ８",
};
constexpr std::array<std::string_view, kStartTimeCount> kStartRows = {"設定１", "設定２", "設定３"};

ControlRow control(Kind kind, std::string_view name, int index, std::string_view text, Twips at,
                   int page) {
    ControlRow c;
    c.kind = kind;
    c.name = name;
    c.index = index;
    c.text = text;
    c.at = at;
    c.page = page;
    return c;
}

ControlRow label(std::string_view name, int index, std::string_view text, Twips at, int page) {
    return control(Kind::kLabel, name, index, text, at, page);
}

ControlRow mirror(Kind kind, ControlId id, std::string_view text, Twips at, int page) {
    ControlRow c = control(kind, control_name(id.control),
                           is_control_array(id.control) ? id.index : -1, text, at, page);
    c.mirrors = id;
    return c;
}

ControlRow button(std::string_view name, int index, std::string_view text, Twips at, int page,
                  Action action) {
    ControlRow c = control(Kind::kButton, name, index, text, at, page);
    c.action = action;
    return c;
}

ControlRow frame(std::string_view name, std::string_view text, Twips at, int page) {
    return control(Kind::kFrame, name, -1, text, at, page);
}

ControlRow icon(std::string_view name, Twips at, std::string_view in_frame = {}) {
    ControlRow c = control(Kind::kIcon, name, -1, "", at, -1);
    c.frame = in_frame;
    return c;
}

WindowTable window(std::string_view name, std::string_view caption, int width, int height) {
    WindowTable w;
    w.name = name;
    w.caption = caption;
    w.width = width;
    w.height = height;
    return w;
}

void add_set_page(std::vector<ControlRow>& out, int k) {
    out.push_back(label("Label1", k, "コピー元フォルダ", {150, 150, 3000, 240}, k));
    out.push_back(mirror(Kind::kText, {Control::srcfld_txt, k}, "", {150, 420, 4140, 330}, k));
    out.push_back(
        button("refsrc_bt", 2 * k, "参照", {4410, 405, 780, 360}, k, Action::kBrowseFolder));
    out.push_back(label("Label2", k, "コピー先フォルダ", {150, 930, 3000, 240}, k));
    out.push_back(mirror(Kind::kText, {Control::dstfld_txt, k}, "", {150, 1200, 4140, 330}, k));
    out.push_back(
        button("refsrc_bt", 2 * k + 1, "参照", {4410, 1185, 780, 360}, k, Action::kBrowseFolder));
    out.push_back(mirror(Kind::kCheck, {Control::subfld_chk, k}, "サブフォルダもコピーする",
                         {150, 1800, 3900, 300}, k));
    out.push_back(mirror(Kind::kCheck, {Control::skip_chk, k}, "この設定をスキップする",
                         {150, 2160, 3900, 300}, k));
    out.push_back(
        button("set_clr_bt", k, "設定ｸﾘｱ", {4110, 2130, 1080, 360}, k, Action::kClearSet));
}

void add_option_pair(std::vector<ControlRow>& out, Control group, std::string_view first,
                     std::string_view second, int top, int width, int page) {
    out.push_back(mirror(Kind::kOption, {group, 0}, first, {300, top, width, 300}, page));
    out.push_back(mirror(Kind::kOption, {group, 1}, second, {300, top + 360, width, 300}, page));
}

void add_copy_rules_page(std::vector<ControlRow>& out) {
    constexpr int page = kCopyRulesTab;
    out.push_back(frame("copy_frm", "条件", {120, 90, 5070, 1110}, page));
    add_option_pair(out, Control::copy_op, "無条件で全て上書きコピー",
                    "同一ファイル名は日付の新しいものだけ上書きコピー", 390, 4800, page);
    out.push_back(frame("open_frm", "オープン中のファイル", {120, 1350, 5070, 1110}, page));
    add_option_pair(out, Control::cp_skip, "コピーをスキップする", "無視してコピーする", 1650, 4800,
                    page);
}

void add_start_events_page(std::vector<ControlRow>& out) {
    constexpr int page = kStartEventsTab;
    out.push_back(mirror(Kind::kCheck, {Control::start_chk, 0}, "　プログラム起動時開始",
                         {150, 90, 4500, 300}, page));
    out.push_back(mirror(Kind::kCheck, {Control::timer_chk, 0}, "　指定時刻に開始 (24時間制)",
                         {150, 420, 4500, 300}, page));
    out.push_back(frame("time_frm", "時刻設定", {120, 810, 5070, 1950}, page));
    ControlRow heading =
        label("sdown_lbl", -1, "ﾊﾞｯｸｱｯﾌﾟ後 Shut down", {3000, 1080, 2100, 240}, page);
    heading.align = Align::kCentre;
    out.push_back(heading);
    for (int k = 0; k < kStartTimeCount; ++k) {
        const int y = 1380 + k * 420;
        out.push_back(label("time_lbl", k, kStartRows[static_cast<std::size_t>(k)],
                            {300, y + 45, 750, 240}, page));
        ControlRow hour =
            mirror(Kind::kText, {Control::hour_txt, k}, "", {1080, y, 540, 330}, page);
        hour.align = Align::kRight;
        hour.tool_tip = "24時間制で入力";
        out.push_back(hour);
        out.push_back(label("hour_lbl", k, "時", {1680, y + 45, 300, 240}, page));
        ControlRow minute =
            mirror(Kind::kText, {Control::min_txt, k}, "", {2010, y, 540, 330}, page);
        minute.align = Align::kRight;
        out.push_back(minute);
        out.push_back(label("min_lbl", k, "分", {2610, y + 45, 300, 240}, page));
        out.push_back(
            mirror(Kind::kCheck, {Control::sdown, k}, "", {3930, y + 15, 270, 300}, page));
    }
}

void add_history_page(std::vector<ControlRow>& out) {
    constexpr int page = kHistoryTab;
    out.push_back(frame("hist_frm", "コピー履歴", {120, 90, 5070, 1800}, page));
    add_option_pair(out, Control::rec_op, "　履歴の記録をしない", "　履歴の記録をする", 390, 4600,
                    page);
    out.push_back(button("histclr_bt", -1, "履歴クリア", {300, 1230, 1500, 420}, page,
                         Action::kClearHistory));
    out.push_back(
        button("recedit_bt", -1, "履歴表示", {1950, 1230, 1500, 420}, page, Action::kShowHistory));
}

WindowTable make_main_window() {
    WindowTable w = window("Menu", "Tarvenix", 5745, 5640);
    // Focus order: 閉じる, 更　新, 終　了, the two backup buttons, then the tabs.
    w.controls = {
        button("mini_bt", -1, "閉じる", {1995, 5025, 1095, 495}, -1, Action::kHide),
        button("ok_bt", -1, "更　新", {3240, 5025, 1140, 495}, -1, Action::kSave),
        button("close_bt", -1, "終　了", {4515, 5025, 1155, 495}, -1, Action::kExit),
        button("bkup_bt", -1, "ﾊﾞｯｸｱｯﾌﾟ開始", {120, 4440, 1455, 495}, -1, Action::kBackup),
        button("bkup_exit_bt", -1, "ﾊﾞｯｸｱｯﾌﾟ後Windows終了", {120, 5040, 1455, 495}, -1,
               Action::kBackupThenShutDown),
    };
    w.controls[3].tool_tip = w.controls[4].tool_tip = "ﾏﾆｭｱﾙ起動";
    for (int k = 0; k < kSetCount; ++k) {
        add_set_page(w.controls, k);
    }
    add_copy_rules_page(w.controls);
    add_start_events_page(w.controls);
    add_history_page(w.controls);
    return w;
}

WindowTable make_progress_dialog() {
    WindowTable w = window("copydlg", "Tarvenix  バックアップ中 ．．．", 7485, 3420);
    const auto caption = [](std::string_view name, std::string_view text, Twips at, Rgb colour) {
        ControlRow c = label(name, -1, text, at, -1);
        c.colour = colour;
        return c;
    };
    const auto path = [](ProgressLabel which, Twips at) {
        ControlRow c = label(progress_label_name(which), -1, "", at, -1);
        c.path = true;
        return c;
    };
    ControlRow size = label("filesize", -1, "", {1920, 2520, 855, 255}, -1);
    size.align = Align::kRight;
    w.controls = {
        caption("Label1", "コピー元フォルダ", {315, 240, 1380, 225}, kBlue),
        path(ProgressLabel::srcfld, {1920, 240, 5295, 495}),
        caption("Label2", "コピー先フォルダ", {315, 840, 1380, 225}, kMagenta),
        path(ProgressLabel::dstfld, {1920, 840, 5295, 495}),
        caption("Label3", "<サブフォルダ>", {360, 1440, 1380, 225}, kGreen),
        path(ProgressLabel::subfld, {1920, 1440, 5310, 495}),
        caption("cpinfo_lvl", "ファイル名", {360, 2160, 945, 180}, kTeal),
        path(ProgressLabel::cpfname, {1920, 2160, 5370, 300}),
        caption("Label4", "ファイルサイズ", {360, 2520, 1185, 180}, kTeal),
        size,
        label("Label5", -1, "Kbyte", {2880, 2520, 495, 255}, -1),
        button("copyccl_bt", -1, "中　止", {3240, 2880, 1185, 435}, -1, Action::kCancelRun),
    };
    return w;
}

WindowTable make_splash_window() {
    WindowTable w = window("frmSplash", " ", 4575, 1635);
    w.filled_label = "lblProductName";
    w.background = kGrey;
    ControlRow product = label("lblProductName", -1, "", {1080, 240, 3270, 450}, -1);
    product.colour = kNavy;
    product.font = Font{kSerif, 15.75, true, true};
    product.align = Align::kCentre;
    ControlRow systems =
        label("Label1", -1, "For Win 98/Me/NT4/2000/XP", {960, 840, 3495, 255}, -1);
    systems.colour = kPurple;
    systems.font = Font{kProgramFont.face, 12.0, true, false};
    systems.align = Align::kCentre;
    ControlRow maker = label("lblCompanyProduct", -1, kMaker, {1260, 1200, 2400, 210}, -1);
    maker.font = Font{kSerif, 8.25, false, false};
    w.controls = {product, systems, maker, icon("imgLogo", {300, 300, 480, 480})};
    return w;
}

WindowTable make_about_window() {
    WindowTable w = window("frmAbout", "TARVENIXのﾊﾞｰｼﾞｮﾝ情報", 3975, 2940);
    w.filled_label = "lbl_ver";
    w.default_button = "cmdOK";
    ControlRow name = label("Label2", -1, "Tarvenix", {1365, 225, 1515, 345}, -1);
    name.frame = "Frame1";
    name.font = Font{kSerif, 14.25, true, true};
    ControlRow version = label("lbl_ver", -1, "", {1665, 630, 960, 225}, -1);
    version.frame = "Frame1";
    version.align = Align::kCentre;
    const auto centred = [](std::string_view n, std::string_view text, Twips at) {
        ControlRow c = label(n, -1, text, at, -1);
        c.align = Align::kCentre;
        return c;
    };
    w.controls = {
        frame("Frame1", "", {180, 180, 3570, 960}, -1),
        icon("picIcon", {270, 270, 540, 540}, "Frame1"),
        name,
        version,
        centred("lblDescription", "ファイルバックアップユーティリティー", {585, 1305, 2805, 180}),
        centred("Label4", "for Win95/98/Me/NT4.0/2000/XP", {645, 1575, 2595, 180}),
        centred("Label1", kMaker, {360, 1935, 3255, 285}),
        button("cmdOK", -1, "OK", {1320, 2385, 1310, 435}, -1, Action::kCloseAbout),
    };
    return w;
}

std::array<std::string_view, kTabCount> make_tab_captions() {
    std::array<std::string_view, kTabCount> captions{};
    for (std::size_t k = 0; k < kSetTabs.size(); ++k) {
        captions[k] = kSetTabs[k];
    }
    captions[kCopyRulesTab] = "コピー条件";
    captions[kStartEventsTab] = "起動イベント";
    captions[kHistoryTab] = "履歴";
    return captions;
}

}  // namespace

std::string ControlRow::full_name() const {
    return index < 0 ? std::string(name) : std::string(name) + "(" + std::to_string(index) + ")";
}

const ControlRow* WindowTable::find(std::string_view wanted, int wanted_index) const {
    for (const ControlRow& c : controls) {
        if (c.name == wanted && c.index == wanted_index) {
            return &c;
        }
    }
    return nullptr;
}

const ControlRow* WindowTable::find(ControlId mirrored) const {
    for (const ControlRow& c : controls) {
        if (c.mirrors == mirrored) {
            return &c;
        }
    }
    return nullptr;
}

int WindowTable::position(const ControlRow& control) const {
    return static_cast<int>(&control - controls.data());
}

const WindowTable& main_window() {
    static const WindowTable window = make_main_window();
    return window;
}

const std::array<std::string_view, kTabCount>& tab_captions() {
    static const std::array<std::string_view, kTabCount> captions = make_tab_captions();
    return captions;
}

std::optional<int> turned_page(int current, Key key, bool control, bool shift, bool on_strip) {
    for (const PageKey& k : kPageKeys) {
        if (k.key != key || k.control != control || k.shift != shift || (!control && !on_strip)) {
            continue;
        }
        const int next = current + k.step;
        if (control) {
            return (next + kTabCount) % kTabCount;
        }
        return next >= 0 && next < kTabCount ? std::optional<int>(next) : std::nullopt;
    }
    return std::nullopt;
}

BoxOwner box_owner(bool progress_shown, bool main_window_shown) {
    return progress_shown      ? BoxOwner::kProgressDialog
           : main_window_shown ? BoxOwner::kMainWindow
                               : BoxOwner::kNone;
}

const std::array<MenuTable, 2>& tray_menus() {
    static const std::array<MenuTable, 2> menus = {
        MenuTable{"mnumain",
                  "ﾒﾆｭｰ",
                  {
                      {"bkup_exitwin", "ﾊﾞｯｸｱｯﾌﾟ後Windows終了", Action::kBackupThenShutDown},
                      {"start_bkup", "ﾊﾞｯｸｱｯﾌﾟ実行", Action::kBackup},
                      {},
                      {"exit_win", "Windows終了", Action::kShutDown},
                      {"reboot_win", "Windows再起動", Action::kRestart},
                      {"log_off", "ログオフ", Action::kLogOff},
                      {},
                      {"mnuset", "設定", Action::kShowSettings},
                      {"History_Disp", "履歴表示", Action::kShowHistory},
                      {},
                      {"mnuend", "Tarvenix終了", Action::kTrayExit},
                  }},
        MenuTable{"help",
                  "ﾍﾙﾌﾟ",
                  {
                      {"help_show", "ﾍﾙﾌﾟ", Action::kShowHelp},
                      {"about_show", "About", Action::kShowAbout},
                  }},
    };
    return menus;
}

PublishedTrayMenu published_tray_menu(bool pops_up_own_menu) {
    const auto& menus = tray_menus();
    if (pops_up_own_menu) {
        return {false, &menus[1], nullptr};
    }
    return {true, &menus[0], &menus[1]};
}

const WindowTable& progress_dialog() {
    static const WindowTable window = make_progress_dialog();
    return window;
}

const WindowTable& splash_window() {
    static const WindowTable window = make_splash_window();
    return window;
}

std::string_view box_button_caption(std::int16_t answer) {
    for (const BoxButton& b : kBoxButtons) {
        if (b.answer == answer) {
            return b.caption;
        }
    }
    return {};
}

const WindowTable& about_window() {
    static const WindowTable window = make_about_window();
    return window;
}

}  // namespace tarvenix::face
