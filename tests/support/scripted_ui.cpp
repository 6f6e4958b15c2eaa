#include "support/scripted_ui.h"

#include <cmath>

namespace tarvenix::testing {

ScriptedUi::ScriptedUi() = default;

Ports ScriptedUi::ports() {
    return Ports{*this, *this, *this, *this, *this, *this, *this, *this, *this};
}

void ScriptedUi::advance(double seconds) {
    monotonic_ += seconds;
}

double ScriptedUi::seconds_since_midnight() {
    return std::fmod(base_seconds_ + (monotonic_ - base_monotonic_), 86400.0);
}

std::vector<UiEvent> ScriptedUi::events_of(const std::string& kind) const {
    std::vector<UiEvent> out;
    for (const auto& e : events_) {
        if (e.kind == kind) {
            out.push_back(e);
        }
    }
    return out;
}

std::vector<std::string> ScriptedUi::box_texts() const {
    std::vector<std::string> out;
    for (const auto& e : events_) {
        if (e.kind == "box") {
            out.push_back(e.text);
        }
    }
    return out;
}

std::int16_t ScriptedUi::show_box(std::string_view caption, std::string_view text,
                                  std::int32_t style, const HelpReference*) {
    events_.push_back({"box", std::string(caption), std::string(text), style});
    for (const auto& [needle, action] : box_actions_) {
        if (std::string_view(text).find(needle) != std::string_view::npos) {
            action();
        }
    }
    if (!answers_.empty()) {
        const std::int16_t answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    // Unscripted: the box's first button.
    switch (style & 0xF) {
        case 3:
        case 4:
            return button::kYes;
        case 5:
            return button::kRetry;
        default:
            return button::kOk;
    }
}

void ScriptedUi::message_beep(std::int32_t sound) {
    events_.push_back({"beep", "", "", sound});
}

void ScriptedUi::play_sound_file(std::string_view path) {
    events_.push_back({"sound", "", std::string(path), 0});
}

void ScriptedUi::set_busy(bool busy) {
    events_.push_back({"busy", "", busy ? "on" : "off", 0});
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

void ScriptedUi::wait_for_events(double max_seconds) {
    process_events();
    advance(max_seconds);
}

LocalDateTime ScriptedUi::local_now() {
    const double total = base_seconds_ + (monotonic_ - base_monotonic_);
    const int days = static_cast<int>(std::floor(total / 86400.0));
    const auto t = static_cast<int>(std::floor(seconds_since_midnight()));
    // Good enough for the short spans tests cover: the day only moves forward.
    return LocalDateTime{year_, month_, day_ + days, t / 3600, (t / 60) % 60, t % 60};
}

void ScriptedUi::request_session_end(SessionRequest request) {
    sessions_.push_back(request);
    events_.push_back({"session", "", "", static_cast<std::int32_t>(request)});
}

bool ScriptedUi::open_document(std::string_view path) {
    events_.push_back({"shell", "", std::string(path), 0});
    return shell_ok_;
}

std::string ScriptedUi::pick_folder(std::string_view title) {
    events_.push_back({"folder", std::string(title), "", 0});
    if (folder_answers_.empty()) {
        return "";
    }
    std::string answer = folder_answers_.front();
    folder_answers_.pop_front();
    return answer;
}

std::int32_t ScriptedUi::add_window(std::string title) {
    windows_.push_back(std::move(title));
    return static_cast<std::int32_t>(windows_.size());
}

namespace {
std::string next_answer(std::deque<std::string>& answers) {
    if (answers.empty()) {
        return "";
    }
    std::string answer = answers.front();
    answers.pop_front();
    return answer;
}
}  // namespace

std::string ScriptedUi::open_file_dialog(std::int32_t owner, std::string_view title,
                                         std::string_view filter, std::string_view) {
    events_.push_back({"file", std::string(title), std::string(filter), owner});
    return next_answer(file_answers_);
}

std::string ScriptedUi::save_file_dialog(std::int32_t owner, std::string_view title,
                                         std::string_view filter, std::string_view,
                                         std::string_view proposed_name) {
    events_.push_back({"file", std::string(title),
                       std::string(filter) + "|" + std::string(proposed_name), owner});
    return next_answer(file_answers_);
}

bool ScriptedUi::tray_add(std::int32_t window, std::int32_t, std::string_view tip) {
    events_.push_back({"tray+", "", std::string(tip), window});
    return tray_available_;
}

bool ScriptedUi::tray_modify(std::int32_t icon, std::string_view tip) {
    events_.push_back({"tray~", "", std::string(tip), icon});
    return true;
}

bool ScriptedUi::tray_delete() {
    events_.push_back({"tray-", "", "", 0});
    return true;
}

std::int32_t ScriptedUi::find_window(std::string_view title) {
    for (std::size_t i = 0; i < windows_.size(); ++i) {
        if (windows_[i] == title) {
            return static_cast<std::int32_t>(i + 1);
        }
    }
    return 0;
}

void ScriptedUi::bring_to_front(std::int32_t window) {
    events_.push_back({"front", "", "", window});
}

void ScriptedUi::set_top_most(std::int32_t window, bool top_most) {
    events_.push_back({"topmost", "", top_most ? "on" : "off", window});
}

void ScriptedUi::request_close(std::int32_t window) {
    events_.push_back({"close", "", "", window});
}

}  // namespace tarvenix::testing
