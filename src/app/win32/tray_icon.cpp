#include "app/win32/tray_icon.h"

#include <utility>

#include "app/win32/win_util.h"

namespace tarvenix::win32 {

namespace {
constexpr UINT kIconId = 1;
// The owner window's timer for the retry (its own timers use other ids).
constexpr UINT_PTR kRetryTimer = 0x7472;
constexpr UINT kRetryMs = 5000;
}  // namespace

TrayIcon::TrayIcon(HWND owner)
    : owner_(owner) {}

TrayIcon::~TrayIcon() {
    remove_tray_icon();
}

UINT TrayIcon::taskbar_created_message() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

NOTIFYICONDATAW TrayIcon::record(std::string_view tool_tip) const {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner_;
    data.uID = kIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kCallbackMessage;
    data.hIcon = program_icon(true);
    // The tip field holds 127 characters and its NUL; a longer tip is cut.
    const std::wstring tip = widen(tool_tip);
    lstrcpynW(data.szTip, tip.c_str(), static_cast<int>(std::size(data.szTip)));
    return data;
}

bool TrayIcon::add_tray_icon(std::string_view tool_tip) {
    tip_ = tool_tip;
    wanted_ = true;
    if (shown_) {
        return false;  // one icon per program: a second add is refused
    }
    NOTIFYICONDATAW data = record(tip_);
    shown_ = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    return shown_;
}

bool TrayIcon::modify_tray_tip(std::string_view tool_tip) {
    tip_ = tool_tip;
    if (!shown_) {
        return false;
    }
    NOTIFYICONDATAW data = record(tip_);
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

void TrayIcon::remove_tray_icon() {
    wanted_ = false;
    if (!shown_) {
        return;
    }
    NOTIFYICONDATAW data = record(tip_);
    Shell_NotifyIconW(NIM_DELETE, &data);
    shown_ = false;
}

bool TrayIcon::restore() {
    if (!wanted_) {
        return false;
    }
    shown_ = false;
    NOTIFYICONDATAW data = record(tip_);
    shown_ = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    return shown_;
}

void TrayIcon::keep_trying(std::function<void()> on_shown) {
    on_shown_ = std::move(on_shown);
    SetTimer(owner_, kRetryTimer, kRetryMs, nullptr);
}

void TrayIcon::stop_trying() {
    KillTimer(owner_, kRetryTimer);
    on_shown_ = nullptr;
}

bool TrayIcon::on_timer(UINT_PTR timer) {
    if (timer != kRetryTimer) {
        return false;
    }
    put_back();
    return true;
}

void TrayIcon::put_back() {
    if (restore() && on_shown_) {
        const auto on_shown = std::move(on_shown_);
        stop_trying();
        on_shown();
    }
}

}  // namespace tarvenix::win32
