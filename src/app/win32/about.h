#pragma once

// `frmAbout`: the program's name, version and maker. Not modal; one at a time.

#include <string_view>

#include "app/win32/win_util.h"

namespace tarvenix::win32 {

class Win32EventPump;

class AboutWindow final : public Window {
public:
    explicit AboutWindow(Win32EventPump* pump = nullptr);
    ~AboutWindow() override;

    // Opens the window (a new one, centred, with the version), or brings the
    // open one forward.
    void show(std::string_view version_text);
    void close();
    bool is_open() const { return hwnd() != nullptr; }

protected:
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    Win32EventPump* pump_;
    HFONT name_font_ = nullptr;
};

}  // namespace tarvenix::win32
