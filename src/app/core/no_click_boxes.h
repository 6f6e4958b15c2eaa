#pragma once

// The program's message boxes as the rest of the program sees them. Normally
// every box goes to the desktop and waits for the user. Once the system has
// asked the program to end (a termination signal, the session ending), no
// box may wait for a click any more: the box's message is written to the
// history as a "[Message] = " line and the box answers at once, so a stopped
// run still writes its result line and the program ends.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/ports.h"
#include "common/system_error.h"
#include "history/history_log.h"

namespace tarvenix {

class NoClickBoxes final : public MessageBoxPort {
public:
    explicit NoClickBoxes(MessageBoxPort& desktop)
        : desktop_(desktop) {}

    // Where a box nobody can click is recorded, and what shows a line that
    // cannot be written.
    void set_history(HistoryLog* history, SystemErrorReporter* reporter) {
        history_ = history;
        reporter_ = reporter;
    }

    // From now on no box waits for a click; boxes open now are closed and
    // their messages recorded like the later ones.
    void stop_waiting_for_clicks();
    bool no_click() const { return no_click_; }
    // A box of the desktop is open: some handler is waiting inside it.
    bool box_open() const { return open_boxes_ > 0; }

    std::int16_t show_box(std::string_view caption, std::string_view text, std::int32_t style,
                          const HelpReference* help) override;
    void close_open_boxes() override { desktop_.close_open_boxes(); }

    // The answer a box of this style gives without a click: its first
    // button (OK, or Yes), but Cancel for Retry/Cancel, as a retry nobody
    // answers would never end.
    static std::int16_t answer_without_click(std::int32_t style);
    // The text of its history line: caption, the message's lines joined by
    // " / ", and for a question the answer given ("=> Yes").
    static std::string history_text(std::string_view caption, std::string_view text,
                                    std::int32_t style, std::int16_t answer);

private:
    std::int16_t record(std::string_view caption, std::string_view text, std::int32_t style);

    MessageBoxPort& desktop_;
    HistoryLog* history_ = nullptr;
    SystemErrorReporter* reporter_ = nullptr;
    bool no_click_ = false;
    bool recording_ = false;
    int open_boxes_ = 0;
};

}  // namespace tarvenix
