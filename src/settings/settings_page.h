#pragma once

// The state of the settings window's controls, kept outside any window
// toolkit: loading the settings fills it, the save reads it, and the desktop
// window mirrors it both ways. Every change raises a notification, whether the
// user or the program made it, as the window's controls do.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_model.h"

namespace tarvenix {

enum class Control : std::uint8_t {
    srcfld_txt,  // text, per set
    dstfld_txt,  // text, per set
    subfld_chk,  // check, per set
    skip_chk,    // check, per set
    copy_op,     // option group of two
    cp_skip,     // option group of two
    start_chk,   // check
    timer_chk,   // check
    hour_txt,    // text, per start time
    min_txt,     // text, per start time
    sdown,       // check, per start time
    rec_op,      // option group of two
};

// The control's name without an index ("srcfld_txt"), and whether it is one of
// a control array (start_chk and timer_chk are single controls).
std::string_view control_name(Control control);
bool is_control_array(Control control);

struct ControlId {
    Control control;
    int index = 0;
    bool operator==(const ControlId&) const = default;
    // The control's name as the window knows it, e.g. "srcfld_txt(3)".
    std::string name() const;
};

// Where the program puts the keyboard focus: a control of the settings page,
// or the main window's "閉じる" button (mini_bt), where a save leaves it.
struct FocusTarget {
    std::optional<ControlId> control;  // nothing: mini_bt
    bool operator==(const FocusTarget&) const = default;
    std::string name() const { return control ? control->name() : "mini_bt"; }
};

struct PageEvent {
    enum class Kind { kControl, kCaption, kTab, kFocus };
    Kind kind;
    ControlId id{Control::srcfld_txt, 0};  // for kControl
};

inline constexpr int kTabCount = 11;
inline constexpr int kCopyRulesTab = 8;
inline constexpr int kStartEventsTab = 9;
inline constexpr int kHistoryTab = 10;

class SettingsPage {
public:
    using Listener = std::function<void(const PageEvent&)>;

    SettingsPage();

    const std::string& text(ControlId id) const;
    void set_text(ControlId id, std::string value);

    bool checked(ControlId id) const;
    void set_checked(ControlId id, bool value);

    // The selected option of a group (copy_op, cp_skip, rec_op): 0, 1, or -1
    // when neither is selected.
    int selected_option(Control group) const;
    void select_option(Control group, int index);

    const std::string& caption() const { return caption_; }
    void set_caption(std::string caption);

    int selected_tab() const { return selected_tab_; }
    void select_tab(int tab);

    // Where the program last put the focus (nothing before it did).
    const std::optional<FocusTarget>& focus() const { return focus_; }
    void set_focus(FocusTarget target);

    // Listeners are called after the state changed, in the order added.
    void add_listener(Listener listener);

private:
    std::string* text_slot(ControlId id);
    bool* check_slot(ControlId id);
    int* option_slot(Control group);
    void notify(const PageEvent& event);

    std::array<std::string, kSetCount> srcfld_txt_;
    std::array<std::string, kSetCount> dstfld_txt_;
    std::array<bool, kSetCount> subfld_chk_{};
    std::array<bool, kSetCount> skip_chk_{};
    std::array<std::string, kStartTimeCount> hour_txt_;
    std::array<std::string, kStartTimeCount> min_txt_;
    std::array<bool, kStartTimeCount> sdown_{};
    bool start_chk_ = false;
    bool timer_chk_ = false;
    int copy_op_ = 1;
    int cp_skip_ = 1;
    int rec_op_ = 1;
    std::string caption_ = "Tarvenix";
    int selected_tab_ = 0;
    std::optional<FocusTarget> focus_;
    std::vector<Listener> listeners_;
};

}  // namespace tarvenix
