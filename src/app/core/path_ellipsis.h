#pragma once

// How a path that is wider than its one-line label is shortened, the same on
// every desktop: each front end measures with its own font.

#include <functional>
#include <string>
#include <string_view>

namespace tarvenix {

// The width of a text in the label's font (pixels or any unit `width` uses).
using TextWidth = std::function<int(std::string_view)>;

// `path` as a label `width` wide shows it on one line: whole when it fits;
// otherwise its start, "…" and its last part (the separator and the name of
// the file or folder the path ends in), with as much of the start as fits,
// as Windows draws paths. A last part too long for that keeps the start and
// the end of the whole text around the ellipsis. Never splits a character.
std::string shorten_path(std::string_view path, int width, const TextWidth& measure,
                         char separator);

}  // namespace tarvenix
