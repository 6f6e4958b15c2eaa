#include "settings/settings_model.h"

#include <cstdlib>

namespace tarvenix {

std::optional<bool> stored_flag(std::string_view text) {
    if (text == "1" || text == "0") {
        return text == "1";
    }
    return std::nullopt;
}

std::optional<double> stored_number(std::string_view text) {
    const auto begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string trimmed(text.substr(begin, text.find_last_not_of(' ') - begin + 1));
    char* end = nullptr;
    const double value = std::strtod(trimmed.c_str(), &end);
    if (end == trimmed.c_str() || *end != '\0') {
        return std::nullopt;
    }
    return value;
}

std::string stored_text(bool value) {
    return value ? "1" : "0";
}

std::string stored_text(CopyMode value) {
    return value == CopyMode::newer_only ? "1" : "0";
}

std::string stored_text(OpenFileRule value) {
    switch (value) {
        case OpenFileRule::skip:
            return "1";
        case OpenFileRule::copy_anyway:
            return "0";
        case OpenFileRule::unreadable:
            break;
    }
    return "";
}

StartTime::StartTime(std::string hour, std::string minute)
    : hour_text(std::move(hour))
    , minute_text(std::move(minute)) {
    const auto two_digits = [](const std::string& t, int limit) -> std::optional<int> {
        if (t.size() != 2 || t[0] < '0' || t[0] > '9' || t[1] < '0' || t[1] > '9') {
            return std::nullopt;
        }
        const int value = (t[0] - '0') * 10 + (t[1] - '0');
        return value <= limit ? std::optional<int>(value) : std::nullopt;
    };
    const auto h = two_digits(hour_text, 23);
    const auto m = two_digits(minute_text, 59);
    if (h && m) {
        time = TimeOfDay{*h, *m};
    }
}

std::optional<int> GlobalOptions::start_second(int k) const {
    const auto& time = start_times[static_cast<std::size_t>(k)].time;
    return time ? std::optional<int>(time->second_of_day()) : std::nullopt;
}

std::string GlobalOptions::start_time_text(int k) const {
    const auto& time = start_times[static_cast<std::size_t>(k)].time;
    if (!time) {
        return "";
    }
    const auto two = [](int v) { return std::string(1, char('0' + v / 10)) + char('0' + v % 10); };
    return two(time->hour) + ":" + two(time->minute);
}

}  // namespace tarvenix
