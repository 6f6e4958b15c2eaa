#include "settings/settings_page.h"

#include <stdexcept>

namespace tarvenix {

std::string_view control_name(Control control) {
    static constexpr std::array<std::string_view, 12> kNames{
        "srcfld_txt", "dstfld_txt", "subfld_chk", "skip_chk", "copy_op", "cp_skip",
        "start_chk",  "timer_chk",  "hour_txt",   "min_txt",  "sdown",   "rec_op"};
    return kNames[static_cast<std::size_t>(control)];
}

bool is_control_array(Control control) {
    return control != Control::start_chk && control != Control::timer_chk;
}

std::string ControlId::name() const {
    const std::string base(control_name(control));
    return is_control_array(control) ? base + "(" + std::to_string(index) + ")" : base;
}

SettingsPage::SettingsPage() = default;

namespace {
template <typename Array>
auto* slot_in(Array& array, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= array.size()) {
        throw std::out_of_range("control index out of range");
    }
    return &array[static_cast<std::size_t>(index)];
}
}  // namespace

std::string* SettingsPage::text_slot(ControlId id) {
    switch (id.control) {
        case Control::srcfld_txt:
            return slot_in(srcfld_txt_, id.index);
        case Control::dstfld_txt:
            return slot_in(dstfld_txt_, id.index);
        case Control::hour_txt:
            return slot_in(hour_txt_, id.index);
        case Control::min_txt:
            return slot_in(min_txt_, id.index);
        default:
            throw std::invalid_argument("not a text control: " + id.name());
    }
}

bool* SettingsPage::check_slot(ControlId id) {
    switch (id.control) {
        case Control::subfld_chk:
            return slot_in(subfld_chk_, id.index);
        case Control::skip_chk:
            return slot_in(skip_chk_, id.index);
        case Control::sdown:
            return slot_in(sdown_, id.index);
        case Control::start_chk:
            return &start_chk_;
        case Control::timer_chk:
            return &timer_chk_;
        default:
            throw std::invalid_argument("not a check box: " + id.name());
    }
}

int* SettingsPage::option_slot(Control group) {
    switch (group) {
        case Control::copy_op:
            return &copy_op_;
        case Control::cp_skip:
            return &cp_skip_;
        case Control::rec_op:
            return &rec_op_;
        default:
            throw std::invalid_argument("not an option group");
    }
}

const std::string& SettingsPage::text(ControlId id) const {
    return *const_cast<SettingsPage*>(this)->text_slot(id);
}

void SettingsPage::set_text(ControlId id, std::string value) {
    std::string* slot = text_slot(id);
    if (*slot == value) {
        return;
    }
    *slot = std::move(value);
    notify({PageEvent::Kind::kControl, id});
}

bool SettingsPage::checked(ControlId id) const {
    return *const_cast<SettingsPage*>(this)->check_slot(id);
}

void SettingsPage::set_checked(ControlId id, bool value) {
    bool* slot = check_slot(id);
    if (*slot == value) {
        return;
    }
    *slot = value;
    notify({PageEvent::Kind::kControl, id});
}

int SettingsPage::selected_option(Control group) const {
    return *const_cast<SettingsPage*>(this)->option_slot(group);
}

void SettingsPage::select_option(Control group, int index) {
    if (index != 0 && index != 1) {
        throw std::out_of_range("option index out of range");
    }
    int* slot = option_slot(group);
    if (*slot == index) {
        return;
    }
    *slot = index;
    notify({PageEvent::Kind::kControl, {group, index}});
}

void SettingsPage::set_caption(std::string caption) {
    if (caption_ == caption) {
        return;
    }
    caption_ = std::move(caption);
    notify({PageEvent::Kind::kCaption});
}

void SettingsPage::select_tab(int tab) {
    if (tab < 0 || tab >= kTabCount) {
        throw std::out_of_range("tab out of range");
    }
    selected_tab_ = tab;
    notify({PageEvent::Kind::kTab});
}

void SettingsPage::set_focus(FocusTarget target) {
    focus_ = std::move(target);
    notify({PageEvent::Kind::kFocus});
}

void SettingsPage::add_listener(Listener listener) {
    listeners_.push_back(std::move(listener));
}

void SettingsPage::notify(const PageEvent& event) {
    for (const auto& listener : listeners_) {
        listener(event);
    }
}

}  // namespace tarvenix
