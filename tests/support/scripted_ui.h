#pragma once

// A scripted stand-in for the user and the desktop session: it records every
// box, beep, pump and session request in order, answers boxes from a queue,
// runs actions at chosen event pumps, and keeps a clock the test moves (it
// starts at 2004/03/20 9:05:07.25).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "common/ports.h"

namespace tarvenix::testing {

struct UiEvent {
    std::string kind;  // "box", "busy", "tray+", "session"...: the port call
    std::string caption;
    std::string text;
    std::int32_t style = 0;
    bool operator==(const UiEvent&) const = default;
};

class ScriptedUi final : public MessageBoxPort,
                         public SoundPort,
                         public BusyPointerPort,
                         public EventPumpPort,
                         public ClockPort,
                         public SessionPort,
                         public ShellPort,
                         public FolderPickerPort,
                         public DesktopPort,
                         public TrayHost {
public:
    Ports ports() { return Ports{*this, *this, *this, *this, *this, *this, *this, *this, *this}; }

    void answer_next(std::int16_t button) { answers_.push_back(button); }
    // Runs action at the n-th call (counting from 1) of the event pump, or at every call.
    void at_pump(int n, std::function<void()> action) { pump_actions_[n] = std::move(action); }
    void on_every_pump(std::function<void()> action) { every_pump_ = std::move(action); }
    // Runs action when a box whose text contains `needle` is shown.
    void on_box(std::string needle, std::function<void()> action) {
        box_actions_.emplace_back(std::move(needle), std::move(action));
    }
    void set_time(double seconds_since_midnight) {
        base_seconds_ = seconds_since_midnight;
        base_monotonic_ = monotonic_;
    }
    void advance(double seconds) { monotonic_ += seconds; }
    void set_shell_result(bool ok) { shell_ok_ = ok; }
    void pick_next_folder(std::string path) { folder_answers_.push_back(std::move(path)); }

    const std::vector<UiEvent>& events() const { return events_; }
    std::vector<UiEvent> events_of(const std::string& kind) const {
        std::vector<UiEvent> out;
        std::ranges::copy_if(events_, std::back_inserter(out),
                             [&](auto& e) { return e.kind == kind; });
        return out;
    }
    std::vector<std::string> box_texts() const {
        std::vector<std::string> out;
        std::ranges::transform(events_of("box"), std::back_inserter(out), &UiEvent::text);
        return out;
    }
    int pump_count() const { return pumps_; }
    const std::vector<SessionRequest>& session_requests() const { return sessions_; }
    void clear_events() { events_.clear(); }

    std::int16_t show_box(std::string_view caption, std::string_view text, std::int32_t style,
                          const HelpReference*) override {
        record("box", caption, text, style);
        for (const auto& [needle, action] : box_actions_) {
            if (text.find(needle) != std::string_view::npos) {
                action();
            }
        }
        // The scripted answer, or the box's first button.
        const int buttons = style & 0xF;
        return pop(answers_, buttons == 3 || buttons == 4 ? button::kYes
                             : buttons == 5               ? button::kRetry
                                                          : button::kOk);
    }
    void message_beep(std::int32_t sound) override { record("beep", "", "", sound); }
    void play_sound_file(std::string_view path) override { record("sound", "", path); }
    void set_busy(bool busy) override { record("busy", "", busy ? "on" : "off"); }
    void process_events() override {
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
    void wait_for_events(double max_seconds) override {
        process_events();
        advance(max_seconds);
    }
    double seconds_since_midnight() override {
        return std::fmod(base_seconds_ + (monotonic_ - base_monotonic_), 86400.0);
    }
    // Good enough for the short spans tests cover: the day only moves forward.
    LocalDateTime local_now() override {
        const double total = base_seconds_ + (monotonic_ - base_monotonic_);
        const int days = static_cast<int>(std::floor(total / 86400.0));
        const auto t = static_cast<int>(std::floor(seconds_since_midnight()));
        return LocalDateTime{2004, 3, 20 + days, t / 3600, (t / 60) % 60, t % 60};
    }
    double monotonic_seconds() override { return monotonic_; }
    void request_session_end(SessionRequest request) override {
        sessions_.push_back(request);
        record("session", "", "", static_cast<std::int32_t>(request));
    }
    bool open_document(std::string_view path) override {
        record("shell", "", path);
        return shell_ok_;
    }
    // The next scripted folder; "" (cancelled) when there is none.
    std::string pick_folder(std::string_view title) override {
        record("folder", title, "");
        return pop(folder_answers_, std::string());
    }
    // File dialogs are cancelled.
    std::string open_file_dialog(std::int32_t owner, std::string_view title,
                                 std::string_view filter, std::string_view) override {
        record("file", title, filter, owner);
        return "";
    }
    std::string save_file_dialog(std::int32_t owner, std::string_view title,
                                 std::string_view filter, std::string_view,
                                 std::string_view proposed_name) override {
        record("file", title, std::string(filter) + "|" + std::string(proposed_name), owner);
        return "";
    }
    bool add_tray_icon(std::string_view tip) override { return record("tray+", "", tip); }
    bool modify_tray_tip(std::string_view tip) override { return record("tray~", "", tip); }
    void remove_tray_icon() override { record("tray-", "", ""); }
    std::int32_t find_window(std::string_view) override { return 0; }  // no other windows
    void bring_to_front(std::int32_t window) override { record("front", "", "", window); }
    void set_top_most(std::int32_t window, bool top_most) override {
        record("topmost", "", top_most ? "on" : "off", window);
    }
    void request_close(std::int32_t window) override { record("close", "", "", window); }

private:
    // Always true: every recorded call succeeds.
    bool record(std::string_view kind, std::string_view caption, std::string_view text,
                std::int32_t style = 0) {
        events_.push_back({std::string(kind), std::string(caption), std::string(text), style});
        return true;
    }
    // The front of a queue of scripted answers, or `none` when it is empty.
    template <class T>
    static T pop(std::deque<T>& queue, T none) {
        if (!queue.empty()) {
            none = std::move(queue.front());
            queue.pop_front();
        }
        return none;
    }

    std::vector<UiEvent> events_;
    std::deque<std::int16_t> answers_;
    std::map<int, std::function<void()>> pump_actions_;
    std::function<void()> every_pump_;
    std::vector<std::pair<std::string, std::function<void()>>> box_actions_;
    std::vector<SessionRequest> sessions_;
    std::deque<std::string> folder_answers_;
    int pumps_ = 0;
    // The time of day is derived from the one monotonic accumulator, so the
    // two clocks never drift apart through rounding.
    double base_seconds_ = 9 * 3600 + 5 * 60 + 7.25;
    double base_monotonic_ = 1000.0;
    double monotonic_ = 1000.0;
    bool shell_ok_ = true;
};

}  // namespace tarvenix::testing
