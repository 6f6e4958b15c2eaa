#pragma once

// Conversion between the UTF-8 text the program holds in memory and the
// Shift-JIS bytes (Windows code page 932) of its file formats. This is the one
// place where that conversion happens.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarvenix::text {

// UTF-8 -> code page 932. Returns nothing when the text holds a character the
// code page cannot represent, or is not valid UTF-8: callers that store data
// must not alter it behind the user's back.
std::optional<std::string> to_cp932(std::string_view utf8);

// UTF-8 -> code page 932, replacing every character the code page cannot hold
// (and every byte that is not valid UTF-8) by '?'. For human-readable logs only.
std::string to_cp932_lossy(std::string_view utf8);

// Code page 932 -> UTF-8. A byte sequence that is not valid code page 932
// becomes U+FFFD, one per offending byte, so every input decodes.
std::string from_cp932(std::string_view cp932);

// Decodes at most max_chars characters from the start of cp932.
std::string from_cp932_prefix(std::string_view cp932, std::size_t max_chars);

// Number of bytes the text takes in code page 932. A character the code page
// cannot hold counts with its UTF-8 length (that is how many bytes it takes in
// a Linux file name), a byte that is not valid UTF-8 counts as one.
std::size_t cp932_length(std::string_view utf8);

// Number of characters (code points) in UTF-8 text; an invalid byte counts as one.
std::size_t char_count(std::string_view utf8);

// The first max_chars characters of UTF-8 text.
std::string_view first_chars(std::string_view utf8, std::size_t max_chars);

// The text without trailing U+0020 spaces.
std::string_view trim_right_spaces(std::string_view s);

}  // namespace tarvenix::text
