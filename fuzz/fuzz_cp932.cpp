// Fuzzes the text codec, the one place where text changes between the UTF-8
// the program holds and the code page 932 bytes of system.dat, history.txt
// and the path-length limit. Every stored path passes through it, so a
// conversion that crashes, emits broken UTF-8 or silently changes a character
// would damage the user's settings or send a backup to the wrong folder.
//
// The same input is used twice: as text a user typed (UTF-8, possibly broken)
// and as bytes read from a file (code page 932, possibly broken).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/text_codec.h"
#include "fuzz_check.h"

namespace tarvenix::fuzzing {
namespace {

// Text held in memory: what encoding it, measuring it and cutting it promise.
void check_utf8_side(std::string_view s) {
    const auto encoded = text::to_cp932(s);
    if (encoded) {
        // Only well-formed text is ever encoded; and what is stored must read
        // back as exactly what the user gave, byte for byte, or a saved path
        // names a different folder after the next load.
        FUZZ_CHECK(is_valid_utf8(s));
        FUZZ_CHECK(text::from_cp932(*encoded) == s);
        // The path-length limit measures with cp932_length; it must agree with
        // the bytes actually written.
        FUZZ_CHECK(encoded->size() == text::cp932_length(s));
        FUZZ_CHECK(text::to_cp932_lossy(s) == *encoded);
    }

    // The lossy form goes into the history log; it must always be readable.
    const std::string lossy = text::to_cp932_lossy(s);
    FUZZ_CHECK(is_valid_utf8(text::from_cp932(lossy)));
    // Measured on every path the engine walks, broken or not.
    (void)text::cp932_length(s);

    const std::size_t n = text::char_count(s);
    if (const auto points = utf8_code_points(s)) {
        FUZZ_CHECK(n == *points);
    }
    for (const std::size_t limit : {std::size_t{0}, std::size_t{1}, std::size_t{80}, n}) {
        const std::string_view head = text::first_chars(s, limit);
        FUZZ_CHECK(s.substr(0, head.size()) == head);
        FUZZ_CHECK(text::char_count(head) == (limit < n ? limit : n));
    }
    const std::string_view trimmed = text::trim_right_spaces(s);
    FUZZ_CHECK(s.substr(0, trimmed.size()) == trimmed);
    FUZZ_CHECK(trimmed.empty() || trimmed.back() != ' ');
}

// Bytes from a file: decoding never fails, never emits broken UTF-8, and the
// prefix decoder agrees with the whole decoder.
void check_cp932_side(std::string_view bytes, std::size_t limit) {
    const std::string whole = text::from_cp932(bytes);
    const auto whole_chars = utf8_code_points(whole);
    FUZZ_CHECK(whole_chars.has_value());

    for (const std::size_t max_chars :
         {std::size_t{0}, std::size_t{1}, std::size_t{80}, limit, bytes.size()}) {
        const std::string prefix = text::from_cp932_prefix(bytes, max_chars);
        const auto chars = utf8_code_points(prefix);
        FUZZ_CHECK(chars.has_value());
        FUZZ_CHECK(*chars <= max_chars);
        // Records are decoded with the prefix form, messages with the whole
        // form: the two must read the same bytes as the same characters.
        FUZZ_CHECK(prefix == text::first_chars(whole, max_chars));
    }

    // What was read can be measured, and if it can be written back, writing
    // and reading again gives the same text (the load-save-load cycle).
    const std::size_t length = text::cp932_length(whole);
    if (const auto again = text::to_cp932(whole)) {
        FUZZ_CHECK(again->size() == length);
        FUZZ_CHECK(text::from_cp932(*again) == whole);
    }
    FUZZ_CHECK(is_valid_utf8(text::from_cp932(text::to_cp932_lossy(whole))));
}

}  // namespace
}  // namespace tarvenix::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    tarvenix::fuzzing::check_utf8_side(input);
    // A prefix length that the fuzzer controls, so cuts land everywhere,
    // including inside a double-byte character.
    const std::size_t limit = size == 0 ? 0 : data[0] % 96u;
    tarvenix::fuzzing::check_cp932_side(input, limit);
    return 0;
}
