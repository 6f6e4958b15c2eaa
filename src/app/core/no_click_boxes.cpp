#include "app/core/no_click_boxes.h"

namespace tarvenix {

void NoClickBoxes::stop_waiting_for_clicks() {
    no_click_ = true;
    desktop_.close_open_boxes();
}

std::int16_t NoClickBoxes::answer_without_click(std::int32_t style) {
    switch (style & 0xF) {
        case box_style::kOk:
        case box_style::kOkCancel:
            return button::kOk;
        case box_style::kYesNoCancel:
        case box_style::kYesNo:
            return button::kYes;
        default:
            return button::kCancel;
    }
}

std::string NoClickBoxes::history_text(std::string_view caption, std::string_view text,
                                       std::int32_t style, std::int16_t answer) {
    std::string out(caption);
    out += ": ";
    bool line_break = false;
    for (const char ch : text) {
        if (ch == '\r' || ch == '\n') {
            line_break = true;  // an empty line adds no second " / "
            continue;
        }
        if (line_break) {
            out += " / ";
            line_break = false;
        }
        out += ch;
    }
    if ((style & 0xF) != box_style::kOk) {
        switch (answer) {
            case button::kOk:
                out += " => OK";
                break;
            case button::kYes:
                out += " => Yes";
                break;
            default:
                out += " => Cancel";
                break;
        }
    }
    return out;
}

std::int16_t NoClickBoxes::record(std::string_view caption, std::string_view text,
                                  std::int32_t style) {
    const std::int16_t answer = answer_without_click(style);
    // A history that cannot be written reports through a box, which comes
    // back here: that message is lost rather than looping.
    if (history_ != nullptr && !recording_) {
        recording_ = true;
        const auto written = history_->write_history(history_kind::kMessage, run_trigger::kNone,
                                                     history_text(caption, text, style, answer));
        if (reporter_ != nullptr) {
            reporter_->report_if_failed(written);
        }
        recording_ = false;
    }
    return answer;
}

std::int16_t NoClickBoxes::show_box(std::string_view caption, std::string_view text,
                                    std::int32_t style, const HelpReference* help) {
    if (no_click_) {
        return record(caption, text, style);
    }
    ++open_boxes_;
    std::int16_t answer = button::kNone;
    try {
        answer = desktop_.show_box(caption, text, style, help);
    } catch (...) {
        --open_boxes_;
        throw;
    }
    --open_boxes_;
    // The end of the program closed the box under the user: nobody read it.
    return no_click_ ? record(caption, text, style) : answer;
}

}  // namespace tarvenix
