#pragma once

// Helpers shared by the fuzz targets: an invariant check that stops the run
// with a readable reason, and a UTF-8 validator that does not share code with
// the codec it is used to judge.

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

// libFuzzer treats the abort as a crash, keeps the input and prints the stack;
// the message says which promise was broken so the report needs no debugger.
#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "\nINVARIANT BROKEN: %s\n  at %s:%d\n", #cond, __FILE__, \
                         __LINE__);                                                       \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

namespace tarvenix::fuzzing {

// Number of code points when s is well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF); nothing otherwise. Written from the
// encoding's definition on purpose: checking the codec with its own validator
// would prove nothing.
inline std::optional<std::size_t> utf8_code_points(std::string_view s) {
    std::size_t count = 0;
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        std::size_t len = 0;
        unsigned cp = 0;
        if (b0 <= 0x7F) {
            len = 1;
            cp = b0;
        } else if (b0 >= 0xC2 && b0 <= 0xDF) {
            len = 2;
            cp = b0 & 0x1Fu;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            len = 3;
            cp = b0 & 0x0Fu;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            len = 4;
            cp = b0 & 0x07u;
        } else {
            return std::nullopt;
        }
        if (s.size() - i < len) {
            return std::nullopt;
        }
        for (std::size_t k = 1; k < len; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0u) != 0x80u) {
                return std::nullopt;
            }
            cp = (cp << 6) | (b & 0x3Fu);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            return std::nullopt;
        }
        i += len;
        ++count;
    }
    return count;
}

inline bool is_valid_utf8(std::string_view s) {
    return utf8_code_points(s).has_value();
}

}  // namespace tarvenix::fuzzing
