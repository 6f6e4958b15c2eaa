#include "common/text_codec.h"

#include <array>

#include "common/cp932_converter.h"

namespace tarvenix::text {
namespace {

using detail::Direction;

// Length of the UTF-8 sequence that starts at s[i], or 0 when the bytes there
// are not a well-formed sequence.
std::size_t utf8_sequence_length(std::string_view s, std::size_t i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    std::size_t len = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size()) {
        return 0;
    }
    char32_t cp = b0 & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return len;
}

// Encodes one character, but only when the code page holds that very
// character: a converter may map some it lacks to look-alikes (U+301C WAVE
// DASH to the full-width tilde, U+00A5 YEN SIGN to the backslash) or to
// nothing at all, which would store a different path than the user chose.
std::optional<std::size_t> encode_exactly(std::string_view unit, char* out, std::size_t out_size) {
    const auto n = detail::convert_unit(Direction::kToCp932, unit, out, out_size);
    if (!n || *n == 0) {
        return std::nullopt;
    }
    std::array<char, 8> back{};
    const auto m = detail::convert_unit(Direction::kFromCp932, std::string_view(out, *n),
                                        back.data(), back.size());
    if (!m || std::string_view(back.data(), *m) != unit) {
        return std::nullopt;
    }
    return n;
}

bool is_ascii(std::string_view s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// Visits the UTF-8 text unit by unit: f(unit, cp932 bytes or nullopt).
template <typename F>
void for_each_unit(std::string_view utf8, F&& f) {
    std::array<char, 8> buf{};
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t len = utf8_sequence_length(utf8, i);
        if (len == 0) {
            f(utf8.substr(i, 1), std::optional<std::string_view>{});
            ++i;
            continue;
        }
        const std::string_view unit = utf8.substr(i, len);
        if (len == 1) {
            f(unit, std::optional<std::string_view>{unit});
        } else if (auto n = encode_exactly(unit, buf.data(), buf.size())) {
            f(unit, std::optional<std::string_view>{std::string_view(buf.data(), *n)});
        } else {
            f(unit, std::optional<std::string_view>{});
        }
        i += len;
    }
}

// Length of the code page 932 character that starts at s[i]: 2 for a lead
// byte followed by a valid trail byte, 1 otherwise.
std::size_t cp932_char_length(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    if (lead && i + 1 < s.size()) {
        const auto t = static_cast<unsigned char>(s[i + 1]);
        if (t >= 0x40 && t <= 0xFC && t != 0x7F) {
            return 2;
        }
    }
    return 1;
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

}  // namespace

std::optional<std::string> to_cp932(std::string_view utf8) {
    if (is_ascii(utf8)) {
        return std::string(utf8);
    }
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t len = utf8_sequence_length(utf8, i);
        if (len == 0) {
            return std::nullopt;
        }
        i += len;
    }
    auto encoded = detail::convert_all(Direction::kToCp932, utf8);
    // The whole text must come back as it was (see encode_exactly).
    if (!encoded ||
        detail::convert_all(Direction::kFromCp932, *encoded) != std::optional<std::string>(utf8)) {
        return std::nullopt;
    }
    return encoded;
}

std::string to_cp932_lossy(std::string_view utf8) {
    if (auto whole = to_cp932(utf8)) {
        return *whole;
    }
    std::string out;
    for_each_unit(utf8, [&](std::string_view, std::optional<std::string_view> bytes) {
        if (bytes) {
            out.append(*bytes);
        } else {
            out.push_back('?');
        }
    });
    return out;
}

std::string from_cp932_prefix(std::string_view cp932, std::size_t max_chars) {
    std::string out;
    std::array<char, 8> buf{};
    std::size_t chars = 0;
    for (std::size_t i = 0; i < cp932.size() && chars < max_chars; ++chars) {
        const auto b = static_cast<unsigned char>(cp932[i]);
        if (b < 0x80) {
            out.push_back(cp932[i]);
            ++i;
            continue;
        }
        const std::size_t len = cp932_char_length(cp932, i);
        if (auto n = detail::convert_unit(Direction::kFromCp932, cp932.substr(i, len), buf.data(),
                                          buf.size())) {
            out.append(buf.data(), *n);
        } else {
            out.append(kReplacement);
            i += 1;
            continue;
        }
        i += len;
    }
    return out;
}

std::string from_cp932(std::string_view cp932) {
    if (is_ascii(cp932)) {
        return std::string(cp932);
    }
    if (auto whole = detail::convert_all(Direction::kFromCp932, cp932)) {
        return *whole;
    }
    return from_cp932_prefix(cp932, cp932.size());
}

std::size_t cp932_length(std::string_view utf8) {
    if (is_ascii(utf8)) {
        return utf8.size();
    }
    std::size_t total = 0;
    for_each_unit(utf8, [&](std::string_view unit, std::optional<std::string_view> bytes) {
        total += bytes ? bytes->size() : unit.size();
    });
    return total;
}

std::size_t char_count(std::string_view utf8) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < utf8.size(); ++n) {
        const std::size_t len = utf8_sequence_length(utf8, i);
        i += len == 0 ? 1 : len;
    }
    return n;
}

std::string_view first_chars(std::string_view utf8, std::size_t max_chars) {
    std::size_t i = 0;
    for (std::size_t n = 0; i < utf8.size() && n < max_chars; ++n) {
        const std::size_t len = utf8_sequence_length(utf8, i);
        i += len == 0 ? 1 : len;
    }
    return utf8.substr(0, i);
}

std::string_view trim_right_spaces(std::string_view s) {
    const auto end = s.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view{} : s.substr(0, end + 1);
}

}  // namespace tarvenix::text
