// The toolbox's number conversions between 32-bit and 16-bit integers,
// hexadecimal and binary text.

#include <cstdio>

#include "common/vostrel.h"

namespace tarvenix {
namespace {

std::string hex_at_least_4(std::uint32_t pattern) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04X", pattern);
    return buf;
}

void upper_case_in_place(std::string& s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
}

// Reads upper-case hexadecimal digits; nothing when empty, not hexadecimal or
// above `max`.
std::optional<std::uint32_t> parse_hex(const std::string& s, std::uint32_t max) {
    if (s.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char c : s) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        value = value * 16 + digit;
        if (value > max) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace

void Vostrel::conversion_failure(std::string_view line, std::string_view member,
                                 std::string_view value) {
    std::string text(line);
    text += "\r\n";
    text += member;
    text += "\r\nValue = ";
    text += value;
    Msg_Box(KindErr, text);
}

std::string Vostrel::LongTo16bit(std::int32_t cvLong) {
    if (cvLong < 0 || cvLong > 65535) {
        conversion_failure("変換するデータが異常です！", "LongTo16bit", std::to_string(cvLong));
        return "";
    }
    std::string bits(16, '0');
    for (int i = 0; i < 16; ++i) {
        if ((cvLong >> (15 - i)) & 1) {
            bits[static_cast<std::size_t>(i)] = '1';
        }
    }
    return bits;
}

std::int16_t Vostrel::LongToInt(std::int32_t cvLong) {
    if (cvLong < 0 || cvLong > 65535) {
        conversion_failure("数値が異常です！", "LongToInt", std::to_string(cvLong));
        return 0;
    }
    return static_cast<std::int16_t>(cvLong > 32767 ? cvLong - 65536 : cvLong);
}

std::string Vostrel::LongToHex(std::int32_t cvLong) {
    return hex_at_least_4(static_cast<std::uint32_t>(cvLong));
}

std::int16_t Vostrel::HexToInt(std::string& cvHex) {
    upper_case_in_place(cvHex);
    const auto value = parse_hex(cvHex, 0xFFFF);
    if (!value) {
        conversion_failure("数値が異常です！", "HexToInt", cvHex);
        return 0;
    }
    return static_cast<std::int16_t>(static_cast<std::int32_t>(*value) -
                                     (*value > 0x7FFF ? 65536 : 0));
}

std::int32_t Vostrel::HexToLong(std::string& cvHex) {
    upper_case_in_place(cvHex);
    const auto value = parse_hex(cvHex, 0xFFFFFFFF);
    if (!value) {
        conversion_failure("数値が異常です！", "HexToLong", cvHex);
        return 0;
    }
    return static_cast<std::int32_t>(static_cast<std::int64_t>(*value) -
                                     (*value > 0x7FFFFFFF ? (std::int64_t{1} << 32) : 0));
}

std::int32_t Vostrel::IntToLong(std::int16_t cvInt) {
    return cvInt < 0 ? cvInt + 65536 : cvInt;
}

std::string Vostrel::IntToHex(std::int16_t cvInt) {
    return hex_at_least_4(static_cast<std::uint16_t>(cvInt));
}

}  // namespace tarvenix
