#pragma once

// Helpers the Win32 windows share: UTF-8 <-> UTF-16 at the window boundary,
// positions given in twips (1/1440 inch, the unit the layouts are designed
// in) turned into pixels at the screen's DPI, the program's fonts and icon,
// and a small base class that routes a window's messages to a C++ object.

#include <windows.h>

#include <string>
#include <string_view>

#include "common/win32/wide_text.h"

namespace tarvenix::win32 {

// The core's UTF-8 text <-> the UTF-16 text of the wide Win32 calls.
using platform::narrow;
using platform::widen;

// Twips to pixels at the screen's DPI (15 twips per pixel at 96 DPI).
class Twips {
public:
    Twips();
    explicit Twips(int dpi)
        : dpi_(dpi) {}
    int operator()(int twips) const;
    RECT rect(int left, int top, int width, int height) const;
    int dpi() const { return dpi_; }

private:
    int dpi_;
};

// The program's dialog font (a Japanese face at 9 pt, the size the windows
// were laid out for) and faces for the splash and About windows. The fonts
// live as long as the program.
HFONT program_font();
HFONT make_font(const wchar_t* face, double points, bool bold, bool italic);

// The program icon at the system's large or small icon size.
HICON program_icon(bool small = false);

// Places a top-level window centred on the screen (the work area of the
// monitor it is on).
void centre_on_screen(HWND window);

// The window's text as UTF-8.
std::string window_text(HWND window);
void set_window_text(HWND window, std::string_view utf8);

// Sizes a top-level window so that its client area is width x height pixels.
void set_client_size(HWND window, int width, int height);

// A child control at a position in pixels, with the program font.
HWND make_control(HWND parent, const wchar_t* window_class, std::wstring_view text, DWORD style,
                  const RECT& where, int id, HFONT font = nullptr, DWORD ex_style = 0);

// Lets a label grow to show its whole text in its font: sideways (around its
// centre when centred) within its parent and clear of its edges, and to one
// line's height. The
// layouts were made for a narrower Japanese face than the ones at hand.
void fit_label(HWND label);

// A window whose messages go to a C++ object. Derived classes create their
// window with create_window and handle what they need in handle_message.
class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND hwnd() const { return hwnd_; }
    // Whether a window is one of these (not a system dialog, not HTML Help's).
    static bool is_program_window(HWND window);

protected:
    // Registers the class on first use (background: the dialog colour).
    HWND create_window(const wchar_t* class_name, const wchar_t* title, DWORD style, DWORD ex_style,
                       HWND parent, const RECT& where);
    virtual LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam);
    // Destroys the window now (the object stays).
    void destroy();

private:
    static LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    HWND hwnd_ = nullptr;
};

}  // namespace tarvenix::win32
