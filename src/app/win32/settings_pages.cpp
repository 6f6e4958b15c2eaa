#include "app/win32/settings_pages.h"

#include <commctrl.h>

#include "app/win32/control_ids.h"
#include "app/win32/core_headers.h"

namespace tarvenix::win32 {

const ControlBinding* ControlMap::find(int id) const {
    const auto it = controls_.find(id);
    return it != controls_.end() ? &it->second : nullptr;
}

HWND ControlMap::window(int id) const {
    const ControlBinding* binding = find(id);
    return binding != nullptr ? binding->window : nullptr;
}

HWND ControlMap::window(std::string_view name) const {
    const std::optional<int> id = ctl::control_id(name);
    return id ? window(*id) : nullptr;
}

// --- the page window ---------------------------------------------------------

void TabPage::create(HWND tab_control, HWND main_window, const RECT& area, ControlMap& map) {
    main_window_ = main_window;
    create_window(L"Tarvenix.TabPage", caption_.c_str(), WS_CHILD | WS_CLIPSIBLINGS,
                  WS_EX_CONTROLPARENT, tab_control, area);
    build(map);
}

HWND TabPage::add(ControlMap& map, int id, const wchar_t* window_class, std::wstring_view text,
                  DWORD style, const RECT& where, ControlBinding binding) {
    const RECT pixels =
        tw_.rect(where.left, where.top, where.right - where.left, where.bottom - where.top);
    const DWORD ex_style = lstrcmpW(window_class, L"EDIT") == 0 ? WS_EX_CLIENTEDGE : 0;
    HWND control = make_control(hwnd(), window_class, text, style, pixels, id, nullptr, ex_style);
    binding.window = control;
    map.add(id, std::move(binding));
    return control;
}

LRESULT TabPage::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_LBUTTONDBLCLK:
            // The controls' notifications and a double-click on the page's
            // background are the main window's to handle.
            return SendMessageW(main_window_, message, wparam, lparam);
        default:
            break;
    }
    return Window::handle_message(message, wparam, lparam);
}

// --- the pages -----------------------------------------------------------------

namespace {

constexpr const wchar_t* kSetCaptions[kSetCount] = {
    L"フォルダ１", L"フォルダ２", L"フォルダ３", L"フォルダ４",
    L"フォルダ５", L"フォルダ６", L"フォルダ７", L"フォルダ８",
};

constexpr DWORD kText = WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kButton = WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kCheck = WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;

}  // namespace

SetPage::SetPage(int k)
    : TabPage(kSetCaptions[k])
    , k_(k) {}

void SetPage::build(ControlMap& map) {
    const int k = k_;
    add(map, ctl::Label1 + k, L"STATIC", L"コピー元フォルダ", kLabel, twips(150, 150, 3000, 240));
    add(map, ctl::srcfld_txt + k, L"EDIT", L"", kText, twips(150, 420, 4140, 330),
        mirror({Control::srcfld_txt, k}));
    add(map, ctl::refsrc_bt + 2 * k, L"BUTTON", L"参照", kButton, twips(4410, 405, 780, 360),
        click([k](AppController& c) { c.refsrc_bt(2 * k); }));
    add(map, ctl::Label2 + k, L"STATIC", L"コピー先フォルダ", kLabel, twips(150, 930, 3000, 240));
    add(map, ctl::dstfld_txt + k, L"EDIT", L"", kText, twips(150, 1200, 4140, 330),
        mirror({Control::dstfld_txt, k}));
    add(map, ctl::refsrc_bt + 2 * k + 1, L"BUTTON", L"参照", kButton, twips(4410, 1185, 780, 360),
        click([k](AppController& c) { c.refsrc_bt(2 * k + 1); }));
    add(map, ctl::subfld_chk + k, L"BUTTON", L"サブフォルダもコピーする", kCheck,
        twips(150, 1800, 3900, 300), mirror({Control::subfld_chk, k}));
    add(map, ctl::skip_chk + k, L"BUTTON", L"この設定をスキップする", kCheck,
        twips(150, 2160, 3900, 300), mirror({Control::skip_chk, k}));
    add(map, ctl::set_clr_bt + k, L"BUTTON", L"設定ｸﾘｱ", kButton, twips(4110, 2130, 1080, 360),
        click([k](AppController& c) { c.set_clr_bt(k); }));
}

CopyRulesPage::CopyRulesPage()
    : TabPage(L"コピー条件") {}

void CopyRulesPage::build(ControlMap& map) {
    add(map, ctl::copy_frm, L"BUTTON", L"条件", BS_GROUPBOX, twips(120, 90, 5070, 1110));
    add(map, ctl::copy_op, L"BUTTON", L"無条件で全て上書きコピー",
        WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, twips(300, 390, 4800, 300),
        mirror({Control::copy_op, 0}));
    add(map, ctl::copy_op + 1, L"BUTTON", L"同一ファイル名は日付の新しいものだけ上書きコピー",
        BS_AUTORADIOBUTTON, twips(300, 750, 4800, 300), mirror({Control::copy_op, 1}));
    add(map, ctl::open_frm, L"BUTTON", L"オープン中のファイル", BS_GROUPBOX,
        twips(120, 1350, 5070, 1110));
    add(map, ctl::cp_skip, L"BUTTON", L"コピーをスキップする",
        WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, twips(300, 1650, 4800, 300),
        mirror({Control::cp_skip, 0}));
    add(map, ctl::cp_skip + 1, L"BUTTON", L"無視してコピーする", BS_AUTORADIOBUTTON,
        twips(300, 2010, 4800, 300), mirror({Control::cp_skip, 1}));
}

StartEventsPage::StartEventsPage()
    : TabPage(L"起動イベント") {}

void StartEventsPage::build(ControlMap& map) {
    add(map, ctl::start_chk, L"BUTTON", L"　プログラム起動時開始", kCheck | WS_GROUP,
        twips(150, 90, 4500, 300), mirror({Control::start_chk, 0}));
    add(map, ctl::timer_chk, L"BUTTON", L"　指定時刻に開始 (24時間制)", kCheck,
        twips(150, 420, 4500, 300), mirror({Control::timer_chk, 0}));
    add(map, ctl::time_frm, L"BUTTON", L"時刻設定", BS_GROUPBOX, twips(120, 810, 5070, 1950));
    add(map, ctl::sdown_lbl, L"STATIC", L"ﾊﾞｯｸｱｯﾌﾟ後 Shut down", SS_CENTER,
        twips(3000, 1080, 2100, 240));
    constexpr const wchar_t* kRows[kStartTimeCount] = {L"設定１", L"設定２", L"設定３"};
    for (int k = 0; k < kStartTimeCount; ++k) {
        const int y = 1380 + k * 420;
        add(map, ctl::time_lbl + k, L"STATIC", kRows[k], kLabel, twips(300, y + 45, 750, 240));
        add(map, ctl::hour_txt + k, L"EDIT", L"", kText | ES_RIGHT, twips(1080, y, 540, 330),
            {nullptr, ControlId{Control::hour_txt, k}, {}, [k](AppController& c) {
                 c.hour_lost_focus(k);
             }});
        add(map, ctl::hour_lbl + k, L"STATIC", L"時", kLabel, twips(1680, y + 45, 300, 240));
        add(map, ctl::min_txt + k, L"EDIT", L"", kText | ES_RIGHT, twips(2010, y, 540, 330),
            {nullptr, ControlId{Control::min_txt, k}, {}, [k](AppController& c) {
                 c.min_lost_focus(k);
             }});
        add(map, ctl::min_lbl + k, L"STATIC", L"分", kLabel, twips(2610, y + 45, 300, 240));
        add(map, ctl::sdown + k, L"BUTTON", L"", kCheck, twips(3930, y + 15, 270, 300),
            mirror({Control::sdown, k}));
    }
}

HistoryPage::HistoryPage()
    : TabPage(L"履歴") {}

void HistoryPage::build(ControlMap& map) {
    add(map, ctl::hist_frm, L"BUTTON", L"コピー履歴", BS_GROUPBOX, twips(120, 90, 5070, 1800));
    add(map, ctl::rec_op, L"BUTTON", L"　履歴の記録をしない",
        WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, twips(300, 390, 4600, 300),
        mirror({Control::rec_op, 0}));
    add(map, ctl::rec_op + 1, L"BUTTON", L"　履歴の記録をする", BS_AUTORADIOBUTTON,
        twips(300, 750, 4600, 300), mirror({Control::rec_op, 1}));
    add(map, ctl::histclr_bt, L"BUTTON", L"履歴クリア", kButton | WS_GROUP,
        twips(300, 1230, 1500, 420), click([](AppController& c) { c.histclr_bt(); }));
    add(map, ctl::recedit_bt, L"BUTTON", L"履歴表示", kButton, twips(1950, 1230, 1500, 420),
        click([](AppController& c) { c.recedit_bt(); }));
}

std::vector<std::unique_ptr<TabPage>> make_settings_pages() {
    std::vector<std::unique_ptr<TabPage>> pages;
    for (int k = 0; k < kSetCount; ++k) {
        pages.push_back(std::make_unique<SetPage>(k));
    }
    pages.push_back(std::make_unique<CopyRulesPage>());
    pages.push_back(std::make_unique<StartEventsPage>());
    pages.push_back(std::make_unique<HistoryPage>());
    return pages;
}

}  // namespace tarvenix::win32
