#pragma once

// Helpers the Win32 windows share: UTF-8 <-> UTF-16, twips to pixels at the
// screen's DPI, the program's fonts and icon, and a small base class that
// routes a window's messages to a C++ object.

#include <windows.h>

#include <string>
#include <string_view>

#include "app/core/window_face.h"
#include "common/win32/wide_text.h"

namespace tarvenix::win32 {

// The core's UTF-8 text <-> the UTF-16 text of the wide Win32 calls.
using platform::narrow;
using platform::widen;

// Twips (1/1440 inch) in pixels at the screen's DPI: 15 twips a pixel at 96.
int pixels(int twips);
RECT pixels(const face::Twips& at);

// A font of that face and size in points; the program's own is
// face::kProgramFont, the face and size the windows' places are measured
// for. It lives as long as the program.
HFONT make_font(std::string_view face, double points, bool bold = false, bool italic = false);
HFONT program_font();
// The program icon at the system's large or small icon size.
HICON program_icon(bool small = false);

// Places a top-level window in the middle of the work area of its monitor.
void centre_on_screen(HWND window);
// Sizes a top-level window so that its client area is width x height pixels.
void set_client_size(HWND window, int width, int height);
// The window's text as UTF-8.
std::string window_text(HWND window);
inline void set_window_text(HWND window, std::string_view utf8) {
    SetWindowTextW(window, widen(utf8).c_str());
}
// How wide and high a text is in the control's font, in pixels.
SIZE text_extent(HWND control, std::wstring_view text);

// A child control at a place in pixels, with the program font unless given.
HWND make_control(HWND parent, const wchar_t* window_class, std::wstring_view text, DWORD style,
                  const RECT& where, int id, HFONT font = nullptr, DWORD ex_style = 0);

// Lets a label grow to show its whole text in its font (the layouts were made
// for a narrower Japanese face than the ones at hand): sideways, as it is
// aligned, within its parent and clear of its edges, and to one line's height.
void fit_label(HWND label);

// The keyboard is in use: the window's controls show where the focus is from
// now on (the dialog keyboard does the same on Tab and the arrows).
inline void show_focus_marks(HWND window) {
    SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}
// A check box without a caption has no text for the system to draw the focus
// around, so it would never show that it has the keyboard: it draws a dotted
// frame of its own while it has the focus.
void mark_focus_without_caption(HWND check_box);

// Sent by the message loop to a program window with each key press (lParam:
// the MSG) before the dialog keyboard sees it; nonzero: the window took it.
inline constexpr UINT kPreviewKeyMessage = WM_APP + 4;

// A window whose messages go to a C++ object. Derived classes create their
// window with create_window and handle what they need in handle_message.
class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window() { destroy(); }

    HWND hwnd() const { return hwnd_; }
    // Whether a window is one of these (not a system dialog, not HTML Help's).
    static bool is_program_window(HWND window);

protected:
    // Registers the class on first use (background: the dialog colour).
    HWND create_window(const wchar_t* class_name, const wchar_t* title, DWORD style, DWORD ex_style,
                       HWND parent, const RECT& where);
    virtual LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
        return DefWindowProcW(hwnd_, message, wparam, lparam);
    }
    // Destroys the window now (the object stays).
    void destroy();

private:
    static LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    HWND hwnd_ = nullptr;
};

}  // namespace tarvenix::win32
