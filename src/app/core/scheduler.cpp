#include "app/core/scheduler.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/time_text.h"

namespace tarvenix {
namespace {

std::int64_t day_of(std::int64_t local_seconds) {
    return (local_seconds >= 0 ? local_seconds : local_seconds - 86399) / 86400;
}

}  // namespace

Scheduler::Scheduler(ProgramContext& context)
    : c_(context) {}

std::string Scheduler::caption_text(const std::string& clock) const {
    std::string caption = c_.settings.caption_base + "  (Now " + clock + ")";
    if (c_.settings.settings_changed == 1 && c_.blink_on == 1) {
        caption += "  変更有り";
    }
    return caption;
}

std::vector<Scheduler::Due> Scheduler::due_between(std::int64_t previous, std::int64_t now) const {
    std::vector<Due> due;
    if (now <= previous) {
        return due;  // the clock stood still or went back
    }
    const GlobalOptions& o = c_.settings.model.options;
    for (int k = 0; k < kStartTimeCount; ++k) {
        const auto second = o.start_second(k);
        if (!second) {
            continue;
        }
        // Its latest occurrence at or before now.
        std::int64_t at = day_of(now) * 86400 + *second;
        if (at > now) {
            at -= 86400;
        }
        if (at > previous && !ran_that_day({k, at})) {
            due.push_back({k, at});
        }
    }
    // In the order they fell due; equal times in the order of the boxes.
    std::ranges::stable_sort(due, {}, &Due::at);
    return due;
}

bool Scheduler::ran_that_day(const Due& due) const {
    const auto& turn = last_turn_[static_cast<std::size_t>(due.slot)];
    return turn && turn->first == day_of(due.at) &&
           turn->second == c_.settings.model.options.start_time[static_cast<std::size_t>(due.slot)];
}

void Scheduler::consume(const Due& due) {
    last_turn_[static_cast<std::size_t>(due.slot)] = std::make_pair(
        day_of(due.at), c_.settings.model.options.start_time[static_cast<std::size_t>(due.slot)]);
}

void Scheduler::tick() {
    c_.blink_on = c_.blink_on == 1 ? 0 : 1;
    c_.settings.page.set_caption(caption_text(c_.main_vostrel.GetTime()));

    const std::int64_t now = local_second_count(c_.ports.clock);
    // The first tick reads only its own second.
    const std::int64_t previous = previous_reading_.value_or(now - 1);
    previous_reading_ = now;
    if (!c_.settings.model.options.starts_at_times()) {
        return;
    }
    const std::vector<Due> due = due_between(previous, now);
    if (due.empty()) {
        return;
    }
    if (c_.engine.running() || c_.terminating()) {
        // One run at a time, none once the program is ending.
        std::ranges::for_each(due, [this](const Due& d) { consume(d); });
        return;
    }
    if (now - previous > kLongGapSeconds) {
        run_late(due);
        return;
    }
    for (const Due& d : due) {
        consume(d);
        if (c_.terminating()) {
            continue;  // asked to end during the previous run
        }
        c_.engine.timer_slot = static_cast<std::int16_t>(d.slot + 1);
        c_.engine.run_backup(run_trigger::kTimer);
        if (local_second_count(c_.ports.clock) != now) {
            // The clock moved on during the run: the start times left fell
            // due while it was in progress.
            std::ranges::for_each(due, [this](const Due& left) { consume(left); });
            return;
        }
    }
}

void Scheduler::run_late(const std::vector<Due>& missed) {
    std::ranges::for_each(missed, [this](const Due& d) { consume(d); });
    // One run stands for every start time missed, named by the last of them.
    c_.history.write_history(history_kind::kLateStart, run_trigger::kTimer,
                             date_and_minute_text(missed.back().at));
    // Somebody has just woken the computer: a late run never shuts it down.
    c_.engine.timer_slot = 0;
    c_.engine.run_backup(run_trigger::kTimer);
}

std::optional<int> Scheduler::parse_box_number(std::string_view text) {
    const auto begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string trimmed(text.substr(begin, text.find_last_not_of(" \t") - begin + 1));
    for (char ch : trimmed) {
        if (!((ch >= '0' && ch <= '9') || ch == '+' || ch == '-' || ch == '.')) {
            return std::nullopt;  // no exponents, hex or words
        }
    }
    char* end = nullptr;
    const double value = std::strtod(trimmed.c_str(), &end);
    if (end == trimmed.c_str() || *end != '\0' || !std::isfinite(value)) {
        return std::nullopt;
    }
    const double rounded = std::nearbyint(value);  // half to even
    if (rounded < -32768.0 || rounded > 32767.0) {
        return std::nullopt;
    }
    return static_cast<int>(rounded);
}

}  // namespace tarvenix
