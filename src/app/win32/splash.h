#pragma once

// `frmSplash`: the window that shows the product name for the two seconds of
// start-up. A key press closes it early; a mouse click does nothing.

#include <string_view>

#include "app/win32/win_util.h"

namespace tarvenix::win32 {

class SplashWindow final : public Window {
public:
    SplashWindow();
    ~SplashWindow() override;

    // Shows it centred with the product text and takes the keyboard.
    void present(std::string_view product_text);
    void close() { destroy(); }

protected:
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    HBRUSH background_;
    HFONT product_font_;
    HFONT label_font_;
    HFONT maker_font_;
};

}  // namespace tarvenix::win32
