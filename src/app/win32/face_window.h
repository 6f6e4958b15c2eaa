#pragma once

// A window built from the core's description of it (app/core/window_face.h):
// each control kind maps to a Win32 control class and style, each control
// gets the identifier of its place in the table, and its text, font, colour,
// alignment and tool tip come from its row. A click on a control with an
// action goes to the window's runner; what each action does is the core's.

#include <functional>
#include <string_view>
#include <vector>

#include "app/core/window_face.h"
#include "app/win32/win_util.h"

namespace tarvenix::win32 {

// Runs a control's action (the controller's, through the main window).
using ActionRunner = std::function<void(face::Action action, int index)>;

// The identifier of a window's control: its place in the table, offset past
// the dialog codes (IDOK, IDCANCEL) a dialog's keyboard sends.
inline constexpr int kFirstControlId = 100;
// A control of the main window by identifier ("srcfld_txt(3)"; "" for none),
// and back (0 for none): what the tests and the probe go by.
std::string control_name(int id);
int control_id(std::string_view full_name);

class FaceWindow : public Window {
public:
    explicit FaceWindow(const face::WindowSpec& spec);
    ~FaceWindow() override;

    const face::WindowSpec& spec() const { return spec_; }
    void set_runner(ActionRunner runner) { runner_ = std::move(runner); }

    // A control of the window by its full name ("srcfld_txt(3)", "cmdOK");
    // nullptr for none or while the window is closed.
    HWND control(std::string_view full_name) const;
    HWND control(const face::ControlSpec& control) const;
    // The row of a control's identifier; nullptr for none.
    const face::ControlSpec* spec_of(int id) const;

protected:
    // Creates the window (hidden, class "Tarvenix." + its name, its client
    // area as the table gives it) and its controls, each in the window
    // `parent` gives (the window itself when that is null).
    void open(DWORD style, DWORD ex_style,
              const std::function<HWND(const face::ControlSpec&)>& parent = {});
    // Puts a text in a label and lets the label grow to show it.
    void set_label(std::string_view full_name, std::string_view text);
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;
    void run(face::Action action, int index) const;

private:
    HWND make(const face::ControlSpec& c, HWND parent);
    HFONT font_of(const face::ControlSpec& c);
    void add_tool_tip(HWND control, std::string_view text);

    const face::WindowSpec& spec_;
    ActionRunner runner_;
    std::vector<HWND> controls_;  // by place in the table
    std::vector<std::pair<const face::ControlSpec*, HFONT>> fonts_;
    HWND tool_tips_ = nullptr;
    HBRUSH background_ = nullptr;
};

}  // namespace tarvenix::win32
