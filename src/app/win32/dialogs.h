#pragma once

// The program's small windows, built from their tables: `copydlg`, the
// progress dialog (what it shows when is the core's ProgressPresenter);
// `frmSplash`, the product name for the two seconds of start-up; `frmAbout`,
// the name, version and maker.

#include <string_view>

#include "app/core/progress_presenter.h"
#include "app/win32/face_window.h"

namespace tarvenix::win32 {

class Win32EventPump;

class ProgressDialog final : public FaceWindow, public ProgressSurface {
public:
    // The window is made hidden; "中　止" goes to the runner.
    ProgressDialog(Win32EventPump& pump, ClockPort& clock);

    // The dialog as the engine sees it.
    ProgressView& view() { return presenter_; }

    // ProgressSurface
    void show_dialog(bool first_time) override;
    void hide_dialog() override;
    bool dialog_visible() const override;
    void set_text(ProgressLabel label, std::string_view text) override;
    void paint_now() override;
    void queue_pass() override;
    void start_timer(int ms) override;
    void request_prompt_pass() override;

protected:
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    Win32EventPump& pump_;
    ProgressPresenter presenter_;
};

// A key press closes the splash early; a mouse click does nothing.
class SplashWindow final : public FaceWindow {
public:
    SplashWindow()
        : FaceWindow(face::splash_window()) {}

    // Shows it centred with the product text and takes the keyboard.
    void present(std::string_view product_text);
    void close() { destroy(); }

protected:
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;
};

// Not modal; one at a time. OK, Enter and Escape close it.
class AboutWindow final : public FaceWindow {
public:
    AboutWindow()
        : FaceWindow(face::about_window()) {}

    // Opens the window (a new one, centred, with the version), or brings the
    // open one forward.
    void show(std::string_view version_text);
    void close() { destroy(); }
    bool is_open() const { return hwnd() != nullptr; }

protected:
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;
};

}  // namespace tarvenix::win32
