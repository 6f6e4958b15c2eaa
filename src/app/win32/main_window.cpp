#include "app/win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <map>

#include "common/platform/termination.h"

namespace tarvenix::win32 {

namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr int kTabsId = 99;         // below the table's identifiers
constexpr int kFirstMenuId = 1000;  // above them: item i of menu m is 1000 + 100 m + i
// A start-time box lost the focus; checked once the focus has settled.
constexpr UINT kLeftMessage = WM_APP + 2;

}  // namespace

// --- the tray icon -----------------------------------------------------------------

UINT TrayIcon::taskbar_created_message() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

bool TrayIcon::notify(DWORD what, std::string_view tool_tip) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner_;
    data.uID = 1;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kCallbackMessage;
    data.hIcon = program_icon(true);
    // The tip field holds 127 characters and its NUL; a longer tip is cut.
    lstrcpynW(data.szTip, widen(tool_tip).c_str(), static_cast<int>(std::size(data.szTip)));
    return Shell_NotifyIconW(what, &data) != FALSE;
}

bool TrayIcon::add_tray_icon(std::string_view tool_tip) {
    return notify(NIM_ADD, tool_tip);
}

bool TrayIcon::modify_tray_tip(std::string_view tool_tip) {
    return notify(NIM_MODIFY, tool_tip);
}

void TrayIcon::remove_tray_icon() {
    notify(NIM_DELETE, {});
}

// A settings tab's page: a child of the tab control over its display area
// (the tab control draws around it, and the keyboard reaches it after the
// tabs), whose controls' notifications are the main window's to handle.
class MainWindow::TabPage final : public Window {
public:
    TabPage(HWND tabs, const RECT& area) {
        create_window(L"Tarvenix.TabPage", L"", WS_CHILD | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT,
                      tabs, area);
    }

protected:
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override {
        if (message == WM_COMMAND || message == WM_NOTIFY || message == WM_LBUTTONDBLCLK) {
            return SendMessageW(GetAncestor(hwnd(), GA_ROOT), message, wparam, lparam);
        }
        return Window::handle_message(message, wparam, lparam);
    }
};

MainWindow::MainWindow(SettingsPage& page, ProgressDialog& progress, TrayIcon& tray)
    : FaceWindow(face::main_window())
    , page_(page)
    , progress_(progress)
    , tray_(tray)
    , alive_(std::make_shared<bool>(true)) {
    // A fixed-size frame; minimising is kept for the time the window stands
    // in for a missing tray. The tab control is made where the table's first
    // page control comes, which gives it its place in the focus order.
    open(WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
         WS_EX_CONTROLPARENT, [this](const face::ControlRow& c) -> HWND {
             if (c.page < 0) {
                 return nullptr;
             }
             if (tabs_ == nullptr) {
                 build_tabs();
             }
             return pages_[static_cast<std::size_t>(c.page)]->hwnd();
         });
    build_menus();
    tray_.set_owner(hwnd());
    const ActionRunner runner = [this](face::Action action, int index) {
        forward([action, index](AppController& c) { c.run(action, index); });
    };
    set_runner(runner);
    progress_.set_runner(runner);
    about_.set_runner(runner);

    for (const face::ControlRow& c : table().controls) {
        if (c.mirrors) {
            show(c);
        }
    }
    set_window_text(hwnd(), page_.caption());
    show_tab(page_.selected_tab());
    std::weak_ptr<bool> alive = alive_;
    page_.add_listener([this, alive](const PageEvent& event) {
        if (!alive.expired()) {
            on_page_event(event);
        }
    });
    SetTimer(hwnd(), kTimer1, face::kTickMs, nullptr);
}

MainWindow::~MainWindow() {
    alive_.reset();
    destroy();
    DestroyMenu(menu_bar_);  // detached from the window when it was destroyed
}

// --- building the window ---------------------------------------------------------

void MainWindow::build_tabs() {
    const RECT where = pixels(face::kSettingsTabs);
    tabs_ = make_control(hwnd(), WC_TABCONTROLW, L"",
                         WS_TABSTOP | WS_CLIPCHILDREN | TCS_MULTILINE | TCS_FIXEDWIDTH, where,
                         kTabsId, nullptr, WS_EX_CONTROLPARENT);
    SendMessageW(tabs_, TCM_SETITEMSIZE, 0,
                 MAKELPARAM((where.right - where.left - 6) / face::kTabsPerRow, 0));
    const auto& captions = face::tab_captions();
    for (std::size_t i = 0; i < captions.size(); ++i) {
        std::wstring caption = widen(captions[i]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        SendMessageW(tabs_, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    RECT area{};
    GetClientRect(tabs_, &area);
    SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    for (std::size_t i = 0; i < captions.size(); ++i) {
        pages_.push_back(std::make_unique<TabPage>(tabs_, area));
    }
}

void MainWindow::build_menus() {
    // The menus live in the tray; the menu bar only stands in for a missing one.
    menu_bar_ = CreateMenu();
    const auto& menus = face::tray_menus();
    for (std::size_t m = 0; m < menus.size(); ++m) {
        menus_[m] = CreatePopupMenu();
        for (std::size_t i = 0; i < menus[m].items.size(); ++i) {
            const face::MenuItem& item = menus[m].items[i];
            AppendMenuW(menus_[m], item.name.empty() ? MF_SEPARATOR : MF_STRING,
                        kFirstMenuId + 100 * m + i, widen(item.caption).c_str());
        }
        AppendMenuW(menu_bar_, MF_POPUP, reinterpret_cast<UINT_PTR>(menus_[m]),
                    widen(menus[m].caption).c_str());
    }
}

// --- mirroring the settings page --------------------------------------------------

void MainWindow::show(const face::ControlRow& c) {
    HWND window = control(c);
    const ControlId id = *c.mirrors;
    mirroring_ = true;
    if (c.kind == face::Kind::kText) {
        if (window_text(window) != page_.text(id)) {
            set_window_text(window, page_.text(id));
        }
    } else {
        // Neither option selected is a state the page can hold.
        const bool on = c.kind == face::Kind::kOption
                            ? page_.selected_option(id.control) == id.index
                            : page_.checked(id);
        SendMessageW(window, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    mirroring_ = false;
}

void MainWindow::show_tab(int index) {
    SendMessageW(tabs_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        ShowWindow(pages_[i]->hwnd(), static_cast<int>(i) == index ? SW_SHOW : SW_HIDE);
    }
}

void MainWindow::on_page_event(const PageEvent& event) {
    switch (event.kind) {
        case PageEvent::Kind::kControl:
            // A change of an option group shows on both of its buttons.
            for (const face::ControlRow& c : table().controls) {
                if (c.mirrors && c.mirrors->control == event.id.control &&
                    (c.kind == face::Kind::kOption || c.mirrors->index == event.id.index)) {
                    show(c);
                }
            }
            break;
        case PageEvent::Kind::kCaption:
            set_window_text(hwnd(), page_.caption());
            break;
        case PageEvent::Kind::kTab:
            show_tab(page_.selected_tab());
            break;
        case PageEvent::Kind::kFocus:
            if (const auto& focus = page_.focus()) {
                if (HWND target = control(focus->name())) {
                    SetFocus(target);
                }
            }
            break;
    }
}

bool MainWindow::on_key(WPARAM key) {
    const bool control = GetKeyState(VK_CONTROL) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    if (GetKeyState(VK_MENU) < 0) {
        return false;
    }
    if (key == VK_TAB && !control) {
        return tab_by_strip(shift);
    }
    static const std::map<WPARAM, face::Key> keys = {
        {VK_TAB, face::Key::kTab},       {VK_PRIOR, face::Key::kPageUp},
        {VK_NEXT, face::Key::kPageDown}, {VK_LEFT, face::Key::kLeft},
        {VK_RIGHT, face::Key::kRight},   {VK_UP, face::Key::kUp},
        {VK_DOWN, face::Key::kDown}};
    const auto k = keys.find(key);
    HWND focus = GetFocus();
    if (k == keys.end()) {
        return false;
    }
    const int shown = page_.selected_tab();
    const auto next = face::turned_page(shown, k->second, control, shift, focus == tabs_);
    if (!next) {
        return focus == tabs_ && !control;  // the strip's own arrows do only what the core says
    }
    if (focus != nullptr && IsChild(pages_[static_cast<std::size_t>(shown)]->hwnd(), focus)) {
        show_focus_marks(hwnd());
        SetFocus(tabs_);
    }
    page_.select_tab(*next);
    return true;
}

bool MainWindow::tab_by_strip(bool back) {
    // The dialog keyboard takes the tab control, which holds the pages, for
    // a container and never stops on it: the strip's stop is made here, after
    // the window's buttons and before the shown page's controls.
    HWND page = pages_[static_cast<std::size_t>(page_.selected_tab())]->hwnd();
    HWND focus = GetFocus();
    HWND next = nullptr;
    if (focus == tabs_) {
        next =
            back ? GetNextDlgTabItem(hwnd(), tabs_, TRUE) : GetNextDlgTabItem(page, nullptr, FALSE);
    } else if (focus != nullptr && IsChild(hwnd(), focus)) {
        const bool in_page = IsChild(page, focus) != FALSE;
        const bool to_page = IsChild(page, GetNextDlgTabItem(hwnd(), focus, back)) != FALSE;
        next = in_page != to_page && in_page == back ? tabs_ : nullptr;
    }
    if (next == nullptr) {
        return false;
    }
    show_focus_marks(hwnd());
    SetFocus(next);
    return true;
}

// --- events ------------------------------------------------------------------------

void MainWindow::forward(const Command& command) {
    if (controller_ != nullptr) {
        command(*controller_);
    }
}

void MainWindow::on_command(int id, int code, HWND from) {
    const face::ControlRow* c = from != nullptr ? row_of(id) : nullptr;
    if (c == nullptr) {
        on_menu(id);
        return;
    }
    if (!c->mirrors) {
        if (code == BN_CLICKED) {
            run(c->action, c->index);
        }
        return;
    }
    const ControlId pc = *c->mirrors;
    if (c->kind == face::Kind::kText) {
        if (code == EN_CHANGE && !mirroring_) {
            page_.set_text(pc, window_text(from));
        } else if (code == EN_KILLFOCUS && LeaveChecks::checked_on_leave(pc)) {
            PostMessageW(hwnd(), kLeftMessage, static_cast<WPARAM>(id), 0);
        }
        return;
    }
    if (code == BN_CLICKED && !mirroring_) {
        const bool on = SendMessageW(from, BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (c->kind == face::Kind::kCheck) {
            page_.set_checked(pc, on);
        } else if (on) {
            page_.select_option(pc.control, pc.index);
        }
    }
}

void MainWindow::on_menu(int id) {
    // A menu item, from the tray's popups or the stand-in menu bar.
    const auto& menus = face::tray_menus();
    const auto m = static_cast<std::size_t>((id - kFirstMenuId) / 100);
    const auto i = static_cast<std::size_t>((id - kFirstMenuId) % 100);
    if (id >= kFirstMenuId && m < menus.size() && i < menus[m].items.size()) {
        run(menus[m].items[i].action, -1);
    }
}

void MainWindow::on_left(int id) {
    // Where the focus went is known once it has settled: only another control
    // of this window counts, not another program, a menu, the range check's
    // own box, nor the box itself when the focus was put back meanwhile.
    const face::ControlRow* c = row_of(id);
    HWND focus = GetFocus();
    if (controller_ != nullptr && c != nullptr) {
        controller_->leave_checks().focus_left(
            *c->mirrors, focus != nullptr && focus != control(*c) && IsChild(hwnd(), focus));
        controller_->leave_checks().settle(*controller_);
    }
}

void MainWindow::on_timer() {
    // A console's termination request (Ctrl+C, its window closed) waits in
    // the platform layer for this check.
    if (platform::termination_requested()) {
        forward([](AppController& c) { c.on_termination_request(); });
    }
    forward([](AppController& c) { c.on_timer_tick(); });
}

LRESULT MainWindow::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND:
            on_command(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
            return 0;
        case WM_NOTIFY:
            if (const auto* header = reinterpret_cast<const NMHDR*>(lparam);
                header->hwndFrom == tabs_ && header->code == TCN_SELCHANGE) {
                const auto tab = static_cast<int>(SendMessageW(tabs_, TCM_GETCURSEL, 0, 0));
                if (tab >= 0) {
                    page_.select_tab(tab);
                }
            }
            return 0;
        case kLeftMessage:
            on_left(static_cast<int>(wparam));
            return 0;
        case kPreviewKeyMessage:
            return on_key(reinterpret_cast<const MSG*>(lparam)->wParam) ? 1 : 0;
        case TrayIcon::kCallbackMessage:
            // The icon's mouse message, in lParam: a button going down is a
            // click; moves, releases and double clicks do nothing.
            if (const UINT mouse = LOWORD(lparam);
                mouse == WM_LBUTTONDOWN || mouse == WM_RBUTTONDOWN) {
                const TrayClick click =
                    mouse == WM_LBUTTONDOWN ? TrayClick::kPrimary : TrayClick::kContext;
                forward([click](AppController& c) { c.on_tray_click(click); });
            }
            return 0;
        case WM_TIMER:
            on_timer();
            return 0;
        case WM_LBUTTONDBLCLK:
            forward([](AppController& c) { c.on_window_double_click(); });
            return 0;
        case WM_CLOSE:
            if (closing_ || controller_ == nullptr || controller_->shut_down()) {
                end_program();
            } else {
                // The window never simply closes: the controller runs the
                // shut-down sequence, which ends by closing it (or, during a
                // backup, does so once the run has stopped).
                forward([](AppController& c) { c.on_close_request(); });
            }
            return 0;
        case WM_QUERYENDSESSION:
        case WM_ENDSESSION:
            // The end of the session is never refused. From the question on no
            // box waits for a click, a run stops and the shut-down sequence runs,
            // at the latest before WM_ENDSESSION returns (the process ends then).
            if (message == WM_QUERYENDSESSION || wparam != FALSE) {
                forward([](AppController& c) { c.on_termination_request(); });
            }
            return message == WM_QUERYENDSESSION ? TRUE : 0;
        case WM_DESTROY:
            SetMenu(hwnd(), nullptr);
            KillTimer(hwnd(), kTimer1);
            PostQuitMessage(0);
            return 0;
        default:
            if (message == TrayIcon::taskbar_created_message() && message != 0) {
                // The shell restarted (or appeared) without the icons it held.
                if (!closing_) {
                    forward([](AppController& c) { c.on_tray_restarted(); });
                }
                return 0;
            }
            break;
    }
    return FaceWindow::handle_message(message, wparam, lparam);
}

// --- the view ----------------------------------------------------------------------

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
    ShowWindow(hwnd(), standing_in_ ? SW_MINIMIZE : SW_HIDE);
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
        on_menu(id);
    }
}

void MainWindow::stand_in_for_tray(bool standing_in) {
    // While there is no notification area the window carries the menus as
    // its menu bar; its client area keeps its size either way.
    standing_in_ = standing_in;
    SetMenu(hwnd(), standing_in ? menu_bar_ : nullptr);
    set_client_size(hwnd(), pixels(table().width), pixels(table().height));
}

void MainWindow::end_program() {
    closing_ = true;
    splash_.close();
    about_.close();
    DestroyWindow(hwnd());  // WM_DESTROY ends the message loop
}

void MainWindow::quit_immediately() {
    // No shut-down sequence; the icon is taken off the tray so it does not
    // linger there until the pointer passes over it.
    tray_.remove_tray_icon();
    end_program();
}

}  // namespace tarvenix::win32
