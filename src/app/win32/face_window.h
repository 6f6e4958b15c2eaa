#pragma once

// A window built from the core's description of it (app/core/window_face.h):
// each control kind maps to a Win32 control class and style, each control
// gets the identifier of its place in the table, and its text, font, colour,
// alignment and tool tip come from its row. A click on a control with an
// action goes to the window's runner; what each action does is the core's.
// The program's small windows are little more: `copydlg`, the progress
// dialog (what it shows when is the core's ProgressPresenter); `frmSplash`,
// the product name for the two seconds of start-up; `frmAbout`.

#include <functional>
#include <map>
#include <string_view>
#include <vector>

#include "app/core/progress_presenter.h"
#include "app/core/window_face.h"
#include "app/win32/win32_ports.h"
#include "app/win32/win_util.h"

namespace tarvenix::win32 {

// Runs a control's action (the controller's, through the main window).
using ActionRunner = std::function<void(face::Action action, int index)>;

// The identifier of a window's control: its place in the table, offset past
// the dialog codes (IDOK, IDCANCEL) a dialog's keyboard sends.
inline constexpr int kFirstControlId = 100;
// The full name of a control of the main window by its identifier
// ("srcfld_txt(3)"; "" for none), as the tests and the probe name them.
std::string control_name(int id);

class FaceWindow : public Window {
public:
    explicit FaceWindow(const face::WindowTable& table);
    ~FaceWindow() override;

    const face::WindowTable& table() const { return table_; }
    void close() { destroy(); }
    void set_runner(ActionRunner runner) { runner_ = std::move(runner); }

    // A control of the window by its full name ("srcfld_txt(3)", "cmdOK");
    // nullptr for none or while the window is closed.
    HWND control(std::string_view full_name) const;
    HWND control(const face::ControlRow& c) const {
        const auto at = static_cast<std::size_t>(table_.position(c));
        return hwnd() != nullptr && at < controls_.size() ? controls_[at] : nullptr;
    }
    // The row of a control's identifier; nullptr for none.
    const face::ControlRow* row_of(int id) const {
        const auto at = static_cast<std::size_t>(id - kFirstControlId);
        return id >= kFirstControlId && at < table_.controls.size() ? &table_.controls[at]
                                                                    : nullptr;
    }

protected:
    // Creates the window (hidden, class "Tarvenix." + its name, its client
    // area as the table gives it) and its controls, each in the window
    // `parent` gives (the window itself when that is null).
    void open(DWORD style, DWORD ex_style,
              const std::function<HWND(const face::ControlRow&)>& parent = {});
    // Opens the window when it is closed, with `text` in the label its table
    // fills in and centred on the screen; then shows it in front. True when it
    // was opened now.
    bool show_centred(DWORD style, DWORD ex_style, std::string_view text);
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;
    void run(face::Action action, int index) const { runner_(action, index); }

private:
    HWND make(const face::ControlRow& c, HWND parent);
    void add_tool_tip(HWND control, std::string_view text);

    const face::WindowTable& table_;
    ActionRunner runner_ = [](face::Action, int) {};
    std::vector<HWND> controls_;                      // by place in the table
    std::map<const face::ControlRow*, HFONT> fonts_;  // null: the program's
    HWND tool_tips_ = nullptr;
    HBRUSH background_ = nullptr;
};

class ProgressDialog final : public FaceWindow, public ProgressSurface {
public:
    // The window is made hidden; its cancel button goes to the runner.
    ProgressDialog(Win32EventPump& pump, ClockPort& clock);

    // The dialog as the engine sees it.
    ProgressView& view() { return presenter_; }

    // ProgressSurface
    void show_dialog(bool first_time) override;
    void hide_dialog() override { ShowWindow(hwnd(), SW_HIDE); }
    bool dialog_visible() const override { return IsWindowVisible(hwnd()) != FALSE; }
    void set_text(ProgressLabel label, std::string_view text) override;
    void paint_now() override {
        RedrawWindow(hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    void queue_pass() override { PostMessageW(hwnd(), kPassMessage, 0, 0); }
    void start_timer(int ms) override {
        SetTimer(hwnd(), kPresenterTimer, static_cast<UINT>(ms), nullptr);
    }
    void request_prompt_pass() override { pump_.request_prompt_pass(); }

protected:
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    // The presenter's pass, queued for when the message loop is next served.
    static constexpr UINT kPassMessage = WM_APP + 3;
    static constexpr UINT_PTR kPresenterTimer = 1;

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

protected:
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;
};

}  // namespace tarvenix::win32
