#pragma once

// The operating system's converter between UTF-8 and code page 932, under the
// codec in text_codec.cpp: iconv on Linux (posix/), the Win32 conversion
// functions on Windows (win32/). Both are strict: a character or byte
// sequence they cannot convert makes the call fail, never turns into a
// substitute. Look-alike mappings that a converter still makes are caught by
// the codec's round trip.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarvenix::text::detail {

enum class Direction { kToCp932, kFromCp932 };

// Converts one unit (a UTF-8 sequence or a code page 932 character) into out.
// Returns the number of bytes written, or nothing when the unit does not
// convert or does not fit.
std::optional<std::size_t> convert_unit(Direction direction, std::string_view in, char* out,
                                        std::size_t out_size);

// Converts a whole text. Returns nothing on any failure.
std::optional<std::string> convert_all(Direction direction, std::string_view in);

}  // namespace tarvenix::text::detail
