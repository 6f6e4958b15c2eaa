#include "app/win32/main_window.h"

#include <commctrl.h>

#include "app/win32/control_ids.h"
#include "app/win32/core_headers.h"
#include "app/win32/progress_dialog.h"
#include "app/win32/tray_icon.h"
#include "app/win32/win32_desktop.h"
#include "app/win32/win32_ports.h"
#include "common/platform/termination.h"

namespace tarvenix::win32 {

namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr int kTabsPerRow = 4;
// A text box lost the focus; checked once the focus has settled.
constexpr UINT kLostFocusMessage = WM_APP + 2;

using Action = void (AppController::*)();

struct ButtonDef {
    int id;
    const wchar_t* caption;
    int left, top, width, height;
    Action action;
};

// Focus order: 閉じる, 更　新, 終　了, the two backup buttons, then the tabs.
constexpr ButtonDef kButtons[] = {
    {ctl::mini_bt, L"閉じる", 1995, 5025, 1095, 495, &AppController::mini_bt},
    {ctl::ok_bt, L"更　新", 3240, 5025, 1140, 495, &AppController::ok_bt},
    {ctl::close_bt, L"終　了", 4515, 5025, 1155, 495, &AppController::close_bt},
    {ctl::bkup_bt, L"ﾊﾞｯｸｱｯﾌﾟ開始", 120, 4440, 1455, 495, &AppController::bkup_bt},
    {ctl::bkup_exit_bt, L"ﾊﾞｯｸｱｯﾌﾟ後Windows終了", 120, 5040, 1455, 495,
     &AppController::bkup_exit_bt},
};

struct MenuItem {
    int id;  // 0: a separator
    const wchar_t* caption;
    Action action;
};

constexpr MenuItem kMainMenu[] = {
    {ctl::bkup_exitwin, L"ﾊﾞｯｸｱｯﾌﾟ後Windows終了", &AppController::bkup_exitwin},
    {ctl::start_bkup, L"ﾊﾞｯｸｱｯﾌﾟ実行", &AppController::start_bkup},
    {0, nullptr, nullptr},
    {ctl::exit_win, L"Windows終了", &AppController::exit_win},
    {ctl::reboot_win, L"Windows再起動", &AppController::reboot_win},
    {ctl::log_off, L"ログオフ", &AppController::log_off},
    {0, nullptr, nullptr},
    {ctl::mnuset, L"設定", &AppController::mnuset},
    {ctl::History_Disp, L"履歴表示", &AppController::History_Disp},
    {0, nullptr, nullptr},
    {ctl::mnuend, L"Tarvenix終了", &AppController::mnuend},
};

constexpr MenuItem kHelpMenu[] = {
    {ctl::help_show, L"ﾍﾙﾌﾟ", &AppController::help_show},
    {ctl::about_show, L"About", &AppController::about_show},
};

Action menu_action(int id) {
    for (const MenuItem& item : kMainMenu) {
        if (item.id == id && id != 0) {
            return item.action;
        }
    }
    for (const MenuItem& item : kHelpMenu) {
        if (item.id == id) {
            return item.action;
        }
    }
    return nullptr;
}

bool is_text(Control c) {
    return c == Control::srcfld_txt || c == Control::dstfld_txt || c == Control::hour_txt ||
           c == Control::min_txt;
}

bool is_option(Control c) {
    return c == Control::copy_op || c == Control::cp_skip || c == Control::rec_op;
}

}  // namespace

MainWindow::MainWindow(SettingsPage& page, ProgressDialog& progress, TrayIcon& tray,
                       Win32Desktop& desktop, Win32EventPump& pump)
    : page_(page)
    , progress_(progress)
    , tray_(tray)
    , desktop_(desktop)
    , pump_(pump)
    , about_(&pump)
    , alive_(std::make_shared<bool>(true)) {
    const Twips tw;
    // A fixed-size dialog frame; minimising is kept for the time the window
    // stands in for a missing tray.
    create_window(L"Tarvenix.Menu", widen(page_.caption()).c_str(),
                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                  WS_EX_CONTROLPARENT, nullptr,
                  RECT{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT + 100, CW_USEDEFAULT + 100});
    set_client_size(hwnd(), tw(5745), tw(5640));
    pump_.add_dialog_window(hwnd());
    tray_.set_owner(hwnd());

    tool_tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(),
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    build_buttons();
    build_tabs();
    build_menus();
    show_all_controls();

    std::weak_ptr<bool> alive = alive_;
    page_.add_listener([this, alive](const PageEvent& event) {
        if (!alive.expired()) {
            on_page_event(event);
        }
    });

    SetTimer(hwnd(), kTimer1, 1000, nullptr);
}

MainWindow::~MainWindow() {
    alive_.reset();
    if (hwnd() != nullptr) {
        pump_.remove_dialog_window(hwnd());
    }
    destroy();
    DestroyMenu(menu_bar_);  // detached from the window when it was destroyed
}

// --- building the window ---------------------------------------------------

void MainWindow::add_tool_tip(HWND control, const wchar_t* text) {
    TTTOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = GetParent(control);
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = const_cast<wchar_t*>(text);
    SendMessageW(tool_tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void MainWindow::build_buttons() {
    const Twips tw;
    for (const ButtonDef& def : kButtons) {
        HWND button =
            make_control(hwnd(), L"BUTTON", def.caption, WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE,
                         tw.rect(def.left, def.top, def.width, def.height), def.id);
        const Action action = def.action;
        controls_.add(def.id, {button, {}, [action](AppController& c) { (c.*action)(); }, {}});
    }
    for (int id : {ctl::bkup_bt, ctl::bkup_exit_bt}) {
        add_tool_tip(controls_.window(id), L"ﾏﾆｭｱﾙ起動");
    }
}

void MainWindow::build_tabs() {
    const Twips tw;
    const RECT where = tw.rect(120, 120, 5535, 4095);
    // Four tabs to a row, in three rows, as the settings page always had.
    // The pages are the tab control's children: it draws around them, and
    // the keyboard reaches them after the tabs (WS_EX_CONTROLPARENT).
    tabs_ = make_control(hwnd(), WC_TABCONTROLW, L"",
                         WS_TABSTOP | WS_CLIPCHILDREN | TCS_MULTILINE | TCS_FIXEDWIDTH, where,
                         ctl::SSTab1, nullptr, WS_EX_CONTROLPARENT);
    controls_.add(ctl::SSTab1, {tabs_, {}, {}, {}});
    pages_ = make_settings_pages();
    const int width = where.right - where.left;
    SendMessageW(tabs_, TCM_SETITEMSIZE, 0, MAKELPARAM((width - 6) / kTabsPerRow, 0));
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(pages_[i]->caption().c_str());
        SendMessageW(tabs_, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    RECT area{};
    GetClientRect(tabs_, &area);
    SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    for (auto& page : pages_) {
        page->create(tabs_, hwnd(), area, controls_);
    }
    for (int k = 0; k < kStartTimeCount; ++k) {
        add_tool_tip(controls_.window(ctl::hour_txt + k), L"24時間制で入力");
    }
}

void MainWindow::build_menus() {
    const auto fill = [](HMENU menu, const MenuItem* items, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            if (items[i].id == 0) {
                AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            } else {
                AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(items[i].id), items[i].caption);
            }
        }
    };
    mnumain_ = CreatePopupMenu();
    fill(mnumain_, kMainMenu, std::size(kMainMenu));
    help_ = CreatePopupMenu();
    fill(help_, kHelpMenu, std::size(kHelpMenu));
    // The menus live in the tray; the menu bar only stands in for a missing
    // one.
    menu_bar_ = CreateMenu();
    AppendMenuW(menu_bar_, MF_POPUP, reinterpret_cast<UINT_PTR>(mnumain_), L"ﾒﾆｭｰ");
    AppendMenuW(menu_bar_, MF_POPUP, reinterpret_cast<UINT_PTR>(help_), L"ﾍﾙﾌﾟ");
}

HMENU MainWindow::menu(PopupMenu which) const {
    return which == PopupMenu::mnumain ? mnumain_ : help_;
}

HWND MainWindow::control(int id) const {
    return controls_.window(id);
}

// --- mirroring the settings page --------------------------------------------

void MainWindow::show_control(ControlId id) {
    HWND window = controls_.window(ctl::id_of(id));
    if (window == nullptr) {
        return;
    }
    mirroring_ = true;
    if (is_text(id.control)) {
        if (window_text(window) != page_.text(id)) {
            set_window_text(window, page_.text(id));
        }
    } else if (is_option(id.control)) {
        // Neither option selected is a state the page can hold.
        const int selected = page_.selected_option(id.control);
        for (int i = 0; i < 2; ++i) {
            SendMessageW(controls_.window(ctl::id_of({id.control, i})), BM_SETCHECK,
                         i == selected ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    } else {
        SendMessageW(window, BM_SETCHECK, page_.checked(id) ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    mirroring_ = false;
}

void MainWindow::show_all_controls() {
    for (int k = 0; k < kSetCount; ++k) {
        for (Control c :
             {Control::srcfld_txt, Control::dstfld_txt, Control::subfld_chk, Control::skip_chk}) {
            show_control({c, k});
        }
    }
    for (int k = 0; k < kStartTimeCount; ++k) {
        for (Control c : {Control::hour_txt, Control::min_txt, Control::sdown}) {
            show_control({c, k});
        }
    }
    for (Control c : {Control::start_chk, Control::timer_chk, Control::copy_op, Control::cp_skip,
                      Control::rec_op}) {
        show_control({c, 0});
    }
    set_window_text(hwnd(), page_.caption());
    show_tab(page_.selected_tab());
}

void MainWindow::show_tab(int index) {
    if (static_cast<int>(SendMessageW(tabs_, TCM_GETCURSEL, 0, 0)) != index) {
        SendMessageW(tabs_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        ShowWindow(pages_[i]->hwnd(), static_cast<int>(i) == index ? SW_SHOW : SW_HIDE);
    }
}

void MainWindow::on_page_event(const PageEvent& event) {
    switch (event.kind) {
        case PageEvent::Kind::kControl:
            show_control(event.id);
            break;
        case PageEvent::Kind::kCaption:
            set_window_text(hwnd(), page_.caption());
            break;
        case PageEvent::Kind::kTab:
            show_tab(page_.selected_tab());
            break;
        case PageEvent::Kind::kFocus:
            if (HWND target = controls_.window(page_.focus())) {
                SetFocus(target);
            }
            break;
    }
}

// --- events ------------------------------------------------------------------

void MainWindow::forward(const Command& command) {
    if (controller_ != nullptr && command) {
        command(*controller_);
        // An exit asked for while the handler ran (or waited in a box) is
        // carried out now that it has ended.
        controller_->after_event();
    }
}

void MainWindow::on_command(int id, int code, HWND control) {
    if (control == nullptr) {
        // A menu item (from the tray popups or the stand-in menu bar).
        if (const Action action = menu_action(id)) {
            forward([action](AppController& c) { (c.*action)(); });
        }
        return;
    }
    const ControlBinding* binding = controls_.find(id);
    if (binding == nullptr) {
        return;
    }
    if (binding->page_control) {
        const ControlId pc = *binding->page_control;
        if (is_text(pc.control)) {
            if (code == EN_CHANGE && !mirroring_) {
                page_.set_text(pc, window_text(control));
            } else if (code == EN_KILLFOCUS && binding->on_lost_focus) {
                PostMessageW(hwnd(), kLostFocusMessage, static_cast<WPARAM>(id), 0);
            }
        } else if (code == BN_CLICKED && !mirroring_) {
            const bool on = SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
            if (is_option(pc.control)) {
                if (on) {
                    page_.select_option(pc.control, pc.index);
                }
            } else {
                page_.set_checked(pc, on);
            }
        }
        return;
    }
    if (code == BN_CLICKED) {
        forward(binding->on_click);
    }
}

void MainWindow::on_lost_focus(int id) {
    // Only a move of the focus to another control of this window counts as
    // leaving the box: not another program, a menu or the range check's own
    // message box taking the keyboard.
    const ControlBinding* binding = controls_.find(id);
    HWND focus = GetFocus();
    if (binding == nullptr || focus == nullptr || focus == binding->window ||
        IsChild(hwnd(), focus) == FALSE) {
        return;
    }
    forward(binding->on_lost_focus);
}

LRESULT MainWindow::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND:
            on_command(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
            return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header->hwndFrom == tabs_ && header->code == TCN_SELCHANGE) {
                const auto index = static_cast<int>(SendMessageW(tabs_, TCM_GETCURSEL, 0, 0));
                if (index >= 0) {
                    page_.select_tab(index);
                }
            }
            return 0;
        }
        case kLostFocusMessage:
            on_lost_focus(static_cast<int>(wparam));
            return 0;
        case TrayIcon::kCallbackMessage: {
            const auto mouse = static_cast<std::int32_t>(LOWORD(lparam));
            forward([mouse](AppController& c) { c.on_tray_message(mouse); });
            return 0;
        }
        case WM_TIMER:
            if (wparam == kTimer1) {
                // A console's termination request (Ctrl+C, its window
                // closed) waits in the platform layer for this check.
                if (platform::termination_requested()) {
                    forward([](AppController& c) { c.on_termination_request(); });
                }
                forward([](AppController& c) { c.on_timer_tick(); });
            } else {
                tray_.on_timer(wparam);
            }
            return 0;
        case WM_LBUTTONDBLCLK:
            forward([](AppController& c) { c.on_window_double_click(); });
            return 0;
        case WM_CLOSE:
            if (closing_ || controller_ == nullptr || controller_->shut_down()) {
                end_program();
                return 0;
            }
            // The window never simply closes: the controller runs the
            // shut-down sequence, which ends by closing it (or, during a
            // backup, does so once the run has stopped).
            forward([](AppController& c) { c.on_close_request(); });
            return 0;
        case WM_QUERYENDSESSION:
            // The end of the session is never refused. From the question on
            // nothing waits for a click: open boxes close, a run stops, and
            // the shut-down sequence starts while the system waits.
            forward([](AppController& c) { c.on_termination_request(); });
            return TRUE;
        case WM_ENDSESSION:
            // The session ends: the shut-down sequence runs before this
            // returns, as the system ends the process right after.
            if (wparam != FALSE) {
                forward([](AppController& c) { c.on_termination_request(); });
            }
            return 0;
        case WM_DESTROY:
            SetMenu(hwnd(), nullptr);
            KillTimer(hwnd(), kTimer1);
            tray_.stop_trying();
            PostQuitMessage(0);
            return 0;
        default:
            if (message == TrayIcon::taskbar_created_message() && message != 0) {
                // The shell restarted (or appeared): the icon goes back,
                // also when it was shown before, as the old taskbar took it.
                if (!closing_) {
                    tray_.put_back();
                }
                return 0;
            }
            break;
    }
    return Window::handle_message(message, wparam, lparam);
}

// --- the window --------------------------------------------------------------

void MainWindow::set_window_visible(bool visible) {
    if (visible) {
        if (!centred_) {
            centred_ = true;
            centre_on_screen(hwnd());
        }
        ShowWindow(hwnd(), IsIconic(hwnd()) != FALSE ? SW_RESTORE : SW_SHOW);
        SetForegroundWindow(hwnd());
        return;
    }
    // With no tray icon to come back through, "hidden" is minimised.
    ShowWindow(hwnd(), no_tray_ ? SW_MINIMIZE : SW_HIDE);
}

bool MainWindow::window_visible() const {
    return IsWindowVisible(hwnd()) != FALSE && IsIconic(hwnd()) == FALSE;
}

std::int32_t MainWindow::window_handle() const {
    return desktop_.handle_of(hwnd());
}

void MainWindow::popup_menu(PopupMenu which) {
    POINT at{};
    GetCursorPos(&at);
    // The window must be in front for the menu to close when the user
    // clicks elsewhere, and the posted message lets it close at once.
    SetForegroundWindow(hwnd());
    const int id = TrackPopupMenuEx(menu(which), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                    at.x, at.y, hwnd(), nullptr);
    PostMessageW(hwnd(), WM_NULL, 0, 0);
    if (id != 0) {
        on_command(id, 0, nullptr);
    }
}

void MainWindow::stand_in_for_tray() {
    // No notification area: the window stays on screen with the menus as its
    // menu bar, and a tray that appears later is taken up.
    no_tray_ = true;
    const Twips tw;
    SetMenu(hwnd(), menu_bar_);
    set_client_size(hwnd(), tw(5745), tw(5640));
    tray_.keep_trying([this] { leave_stand_in(); });
}

void MainWindow::leave_stand_in() {
    // The icon is there now: the window goes back to being opened from it.
    no_tray_ = false;
    const Twips tw;
    SetMenu(hwnd(), nullptr);
    set_client_size(hwnd(), tw(5745), tw(5640));
    ShowWindow(hwnd(), SW_HIDE);
}

void MainWindow::show_splash(std::string_view product_text) {
    splash_.present(product_text);
}

void MainWindow::close_splash() {
    splash_.close();
}

void MainWindow::show_about(std::string_view version_text) {
    about_.show(version_text);
}

void MainWindow::close_about() {
    about_.close();
}

void MainWindow::close_progress() {
    progress_.hide();
}

void MainWindow::end_program() {
    closing_ = true;
    tray_.stop_trying();
    splash_.close();
    about_.close();
    pump_.remove_dialog_window(hwnd());
    DestroyWindow(hwnd());  // WM_DESTROY ends the message loop
}

void MainWindow::close_main_window() {
    end_program();
}

void MainWindow::quit_immediately() {
    // No shut-down sequence; the icon is taken off the tray so it does not
    // linger there until the pointer passes over it.
    tray_.remove_tray_icon();
    end_program();
}

}  // namespace tarvenix::win32
