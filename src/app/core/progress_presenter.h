#pragma once

// What the progress dialog shows, and when: the engine's reports kept until
// the event loop is next served, so a run pays for one repaint per pass and
// not for every change; the name and size of a copied file left on screen
// until the next file replaces them (or a pause outlasts kClearDelayMs), so a
// pass between two small files never paints them blank; and a prompt pass
// asked for before a file large enough that its copy takes a while. Each
// front end draws it through a ProgressSurface.

#include <array>
#include <cstdint>
#include <string>

#include "common/ports.h"
#include "engine/progress_view.h"

namespace tarvenix {

// The dialog as a front end draws it.
class ProgressSurface {
public:
    virtual ~ProgressSurface() = default;
    // Shows the dialog, centred on the screen when first_time.
    virtual void show_dialog(bool first_time) = 0;
    virtual void hide_dialog() = 0;
    virtual bool dialog_visible() const = 0;
    // Puts the text in the label (a path label shortens it to its one line).
    virtual void set_text(ProgressLabel label, std::string_view text) = 0;
    // Paints the labels set since the last paint, at once: the engine may
    // copy for a long time after this pass.
    virtual void paint_now() = 0;
    // Calls ProgressPresenter::pass() the next time the event loop is served.
    virtual void queue_pass() = 0;
    // Calls ProgressPresenter::on_timer() after ms milliseconds (one timer:
    // a later call replaces an earlier one).
    virtual void start_timer(int ms) = 0;
    // The event pump's next call serves at once (see PumpGate).
    virtual void request_prompt_pass() = 0;
};

class ProgressPresenter final : public ProgressView {
public:
    ProgressPresenter(ProgressSurface& surface, ClockPort& clock);

    // ProgressView
    void show() override;
    void hide() override;
    bool visible() const override;
    void set_label(ProgressLabel label, std::string_view text) override;
    void file_started(std::string_view name, std::uint64_t bytes) override;
    void file_finished() override;

    // The pass queued with queue_pass(): shows what changed.
    void pass();
    // The clear delay's timer.
    void on_timer();
    // What the label shows now (texts waiting for the next pass not yet).
    const std::string& shown(ProgressLabel label) const;

    static constexpr int kClearDelayMs = 100;
    // A file of at least this size gets its name on screen before its copy.
    static constexpr std::uint64_t kPromptBytes = 1'000'000;

private:
    void clear_file_now();

    ProgressSurface& surface_;
    ClockPort& clock_;
    static constexpr std::size_t kLabels = 5;
    std::array<std::string, kLabels> shown_;
    std::array<std::string, kLabels> pending_;
    std::array<bool, kLabels> changed_{};
    bool pass_queued_ = false;
    bool first_show_ = true;
    // The file's name and size wait to be cleared since this time (seconds).
    bool clear_pending_ = false;
    double clear_since_ = 0;
    bool timer_armed_ = false;
};

// When an event pump serves the event loop. Serving costs a pass over the
// window system, which is dear between small files: a pump call serves only
// when kMinimumInterval has passed since the last pass, or when a prompt pass
// was asked for and the prompt budget (kPromptShare of the time between
// calls, at most kPromptAllowance saved up) covers the last pass's cost.
class PumpGate {
public:
    static constexpr double kMinimumInterval = 0.015;
    static constexpr double kPromptShare = 0.02;
    static constexpr double kPromptAllowance = 0.020;

    // A pump call at `now` (seconds of a monotonic clock): serve or not.
    bool should_serve(double now);
    // A pass started at `started` ended at `ended`.
    void served(double started, double ended);
    void request_prompt_pass() { prompt_requested_ = true; }

private:
    bool served_once_ = false;
    bool prompt_requested_ = false;
    bool prompt_pass_ = false;
    double last_pass_ = 0;
    double last_call_ = 0;
    double last_cost_ = 0;
    double budget_ = kPromptAllowance;
};

}  // namespace tarvenix
