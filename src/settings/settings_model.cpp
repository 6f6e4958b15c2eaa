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

std::optional<bool> GlobalOptions::skips_open_files() const {
    const auto value = stored_number(skip_open_files);
    if (!value) {
        return std::nullopt;
    }
    return *value == 1;
}

std::optional<int> GlobalOptions::start_second(int k) const {
    const std::string& time = start_time[static_cast<std::size_t>(k)];
    const auto digit = [&](std::size_t i) { return time[i] >= '0' && time[i] <= '9'; };
    if (time.size() != 5 || time[2] != ':' || !digit(0) || !digit(1) || !digit(3) || !digit(4)) {
        return std::nullopt;
    }
    const int hour = (time[0] - '0') * 10 + (time[1] - '0');
    const int minute = (time[3] - '0') * 10 + (time[4] - '0');
    if (hour > 23 || minute > 59) {
        return std::nullopt;
    }
    return hour * 3600 + minute * 60;
}

}  // namespace tarvenix
