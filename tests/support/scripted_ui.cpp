#include "support/scripted_ui.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace tarvenix::testing {

double ScriptedUi::seconds_since_midnight() {
    return std::fmod(base_seconds_ + (monotonic_ - base_monotonic_), 86400.0);
}

LocalDateTime ScriptedUi::local_now() {
    const double total = base_seconds_ + (monotonic_ - base_monotonic_);
    const int days = static_cast<int>(std::floor(total / 86400.0));
    const auto t = static_cast<int>(std::floor(seconds_since_midnight()));
    // Good enough for the short spans tests cover: the day only moves forward.
    return LocalDateTime{2004, 3, 20 + days, t / 3600, (t / 60) % 60, t % 60};
}

std::vector<UiEvent> ScriptedUi::events_of(const std::string& kind) const {
    std::vector<UiEvent> out;
    std::ranges::copy_if(events_, std::back_inserter(out), [&](auto& e) { return e.kind == kind; });
    return out;
}

std::vector<std::string> ScriptedUi::box_texts() const {
    std::vector<std::string> out;
    std::ranges::transform(events_of("box"), std::back_inserter(out), &UiEvent::text);
    return out;
}

std::int16_t ScriptedUi::show_box(std::string_view caption, std::string_view text,
                                  std::int32_t style, const HelpReference*) {
    record("box", caption, text, style);
    for (const auto& [needle, action] : box_actions_) {
        if (text.find(needle) != std::string_view::npos) {
            action();
        }
    }
    if (!answers_.empty()) {
        const std::int16_t answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    // Unscripted: the box's first button.
    const int buttons = style & 0xF;
    return buttons == 3 || buttons == 4 ? button::kYes
           : buttons == 5               ? button::kRetry
                                        : button::kOk;
}

void ScriptedUi::process_events() {
    ++pumps_;
    if (every_pump_) {
        every_pump_();
    }
    if (auto it = pump_actions_.find(pumps_); it != pump_actions_.end()) {
        auto action = std::move(it->second);
        pump_actions_.erase(it);
        action();
    }
}

std::string ScriptedUi::pick_folder(std::string_view title) {
    record("folder", title, "");
    if (folder_answers_.empty()) {
        return "";
    }
    std::string answer = std::move(folder_answers_.front());
    folder_answers_.pop_front();
    return answer;
}

}  // namespace tarvenix::testing
