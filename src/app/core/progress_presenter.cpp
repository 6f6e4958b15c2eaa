#include "app/core/progress_presenter.h"

#include <algorithm>
#include <utility>

#include "engine/backup_engine.h"

namespace tarvenix {

namespace {
constexpr auto index_of(ProgressLabel label) {
    return static_cast<std::size_t>(label);
}
}  // namespace

ProgressPresenter::ProgressPresenter(ProgressSurface& surface, ClockPort& clock)
    : surface_(surface)
    , clock_(clock) {}

void ProgressPresenter::show() {
    surface_.show_dialog(std::exchange(first_show_, false));
}

void ProgressPresenter::hide() {
    // The labels keep the last texts until the next run.
    clear_file_now();
    pass();
    surface_.hide_dialog();
}

bool ProgressPresenter::visible() const {
    return surface_.dialog_visible();
}

void ProgressPresenter::set_label(ProgressLabel label, std::string_view text) {
    const auto i = index_of(label);
    if (pending_[i] == text) {
        return;
    }
    pending_[i].assign(text);
    changed_[i] = true;
    if (!std::exchange(pass_queued_, true)) {
        surface_.queue_pass();
    }
}

void ProgressPresenter::file_started(std::string_view name, std::uint64_t bytes) {
    clear_pending_ = false;
    set_label(ProgressLabel::cpfname, name);
    set_label(ProgressLabel::filesize, format_kbytes(bytes));
    if (bytes >= kPromptBytes) {
        surface_.request_prompt_pass();
    }
}

void ProgressPresenter::file_finished() {
    // The name stays (painted or still to be painted) until the next file
    // replaces it; only a pause longer than kClearDelayMs clears it. One
    // timer for many files: starting one per file would cost more than
    // copying a small file.
    if (!clear_pending_) {
        clear_pending_ = true;
        clear_since_ = clock_.monotonic_seconds();
        if (!std::exchange(timer_armed_, true)) {
            surface_.start_timer(kClearDelayMs);
        }
    }
}

void ProgressPresenter::on_timer() {
    timer_armed_ = false;
    if (!clear_pending_) {
        return;
    }
    const double waited_ms = (clock_.monotonic_seconds() - clear_since_) * 1000.0;
    if (waited_ms >= kClearDelayMs) {
        clear_file_now();
        pass();
    } else {
        timer_armed_ = true;
        surface_.start_timer(static_cast<int>(kClearDelayMs - waited_ms) + 1);
    }
}

void ProgressPresenter::clear_file_now() {
    if (std::exchange(clear_pending_, false)) {
        set_label(ProgressLabel::cpfname, "");
        set_label(ProgressLabel::filesize, "");
    }
}

void ProgressPresenter::pass() {
    pass_queued_ = false;
    bool any = false;
    for (std::size_t i = 0; i < kLabels; ++i) {
        if (std::exchange(changed_[i], false) && shown_[i] != pending_[i]) {
            shown_[i] = pending_[i];
            surface_.set_text(static_cast<ProgressLabel>(i), shown_[i]);
            any = true;
        }
    }
    if (any && surface_.dialog_visible()) {
        surface_.paint_now();
    }
}

const std::string& ProgressPresenter::shown(ProgressLabel label) const {
    return shown_[index_of(label)];
}

bool PumpGate::should_serve(double now) {
    if (served_once_) {
        budget_ = std::min(kPromptAllowance, budget_ + (now - last_call_) * kPromptShare);
    }
    last_call_ = now;
    const bool prompt = std::exchange(prompt_requested_, false);
    const bool due = !served_once_ || now - last_pass_ >= kMinimumInterval;
    prompt_pass_ = !due && prompt && budget_ >= last_cost_;
    return due || prompt_pass_;
}

void PumpGate::served(double started, double ended) {
    served_once_ = true;
    last_pass_ = ended;
    last_cost_ = ended - started;
    if (std::exchange(prompt_pass_, false)) {
        budget_ -= last_cost_;
    }
}

}  // namespace tarvenix
