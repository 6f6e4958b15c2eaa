#include "app/core/scheduler.h"

#include <cmath>
#include <cstdlib>

namespace tarvenix {

Scheduler::Scheduler(ProgramContext& context)
    : c_(context) {}

std::string Scheduler::caption_text(const std::string& clock) const {
    std::string caption = c_.settings.caption_base + "  (Now " + clock + ")";
    if (c_.settings.settings_changed == 1 && c_.blink_on == 1) {
        caption += "  変更有り";
    }
    return caption;
}

void Scheduler::tick() {
    c_.blink_on = c_.blink_on == 1 ? 0 : 1;
    c_.settings.page.set_caption(caption_text(c_.main_vostrel.GetTime()));
    const GlobalOptions& o = c_.settings.model.options;
    for (int k = 0; k < kStartTimeCount; ++k) {
        const std::string clock = c_.main_vostrel.GetTime();
        if (o.start_at_time != "1" || o.start_time[static_cast<std::size_t>(k)] + ":00" != clock) {
            continue;
        }
        if (c_.engine.running() || c_.terminating()) {
            continue;  // one run at a time, none once the program is ending
        }
        c_.engine.timer_slot = static_cast<std::int16_t>(k + 1);
        c_.engine.run_backup(run_trigger::kTimer);
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
