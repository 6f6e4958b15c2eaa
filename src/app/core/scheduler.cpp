#include "app/core/scheduler.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/time_text.h"
#include "common/toolbox_ports.h"

namespace tarvenix {
namespace {

std::int64_t day_of(std::int64_t local_seconds) {
    return (local_seconds >= 0 ? local_seconds : local_seconds - 86399) / 86400;
}

}  // namespace

Scheduler::Scheduler(const SchedulerServices& services)
    : s_(services) {}

std::string Scheduler::caption_text(const std::string& clock) const {
    std::string caption = s_.settings.caption_base + "  (Now " + clock + ")";
    if (s_.settings.settings_changed == 1 && blink_on_ == 1) {
        caption += "  変更有り";
    }
    return caption;
}

std::vector<Scheduler::Due> Scheduler::due_between(std::int64_t previous, std::int64_t now) const {
    std::vector<Due> due;
    if (now <= previous) {
        return due;  // the clock stood still or went back
    }
    const GlobalOptions& o = s_.settings.model.options;
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
           turn->second == s_.settings.model.options.start_time_text(due.slot);
}

void Scheduler::consume(const Due& due) {
    last_turn_[static_cast<std::size_t>(due.slot)] =
        std::make_pair(day_of(due.at), s_.settings.model.options.start_time_text(due.slot));
}

void Scheduler::tick() {
    blink_on_ = blink_on_ == 1 ? 0 : 1;
    s_.settings.page.set_caption(caption_text(time_of_day_text(s_.clock)));

    const std::int64_t now = local_second_count(s_.clock);
    // The first tick reads only its own second.
    const std::int64_t previous = previous_reading_.value_or(now - 1);
    previous_reading_ = now;
    // How long it really was since the previous tick: the time of day jumps
    // at a daylight-saving change, which is no gap.
    const double elapsed_reading = s_.clock.monotonic_seconds();
    const double elapsed = elapsed_reading - previous_elapsed_reading_.value_or(elapsed_reading);
    previous_elapsed_reading_ = elapsed_reading;
    if (!s_.settings.model.options.starts_at_times()) {
        return;
    }
    const std::vector<Due> due = due_between(previous, now);
    if (due.empty()) {
        return;
    }
    if (s_.engine.running() || s_.boxes.no_click()) {
        // One run at a time, none once the program is ending.
        std::ranges::for_each(due, [this](const Due& d) { consume(d); });
        return;
    }
    if (elapsed > kLongGapSeconds) {
        run_late(due);
        return;
    }
    for (const Due& d : due) {
        consume(d);
        if (s_.boxes.no_click()) {
            continue;  // asked to end during the previous run
        }
        run_on_time(d.slot);
        if (local_second_count(s_.clock) != now) {
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
    s_.reporter.report_if_failed(s_.history.write_history(
        history_kind::kLateStart, run_trigger::kTimer, date_and_minute_text(missed.back().at)));
    // Somebody has just woken the computer: a late run never shuts it down.
    s_.engine.run_backup(run_trigger::kTimer);
}

void Scheduler::run_on_time(int k) {
    const RunOutcome outcome = s_.engine.run_backup(run_trigger::kTimer);
    // Only a run that completed: one stopped, failed or refused never shuts
    // the computer down.
    if (outcome == RunOutcome::kCompleted &&
        s_.settings.model.options.shutdown_after[static_cast<std::size_t>(k)]) {
        s_.session.request_session_end(SessionRequest::kPowerOff);
    }
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
