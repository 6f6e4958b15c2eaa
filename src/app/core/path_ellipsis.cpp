#include "app/core/path_ellipsis.h"

#include <vector>

namespace tarvenix {

namespace {

constexpr std::string_view kEllipsis = "…";

// The byte offsets at which the characters of a UTF-8 text begin, and its end.
std::vector<std::size_t> character_starts(std::string_view text) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0U) != 0x80U) {
            starts.push_back(i);
        }
    }
    starts.push_back(text.size());
    return starts;
}

// The largest n in [0, last] for which fits(n) holds (fits grows false with
// n), or -1 when none does.
int largest_fitting(int last, const std::function<bool(int)>& fits) {
    int low = -1;
    int high = last;
    while (low < high) {
        const int mid = low + (high - low + 1) / 2;
        if (fits(mid)) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    return low;
}

}  // namespace

std::string shorten_path(std::string_view path, int width, const TextWidth& measure,
                         char separator) {
    if (measure(path) <= width) {
        return std::string(path);
    }
    const auto joined = [](std::string_view start, std::string_view end) {
        std::string text(start);
        text += kEllipsis;
        text += end;
        return text;
    };
    const std::vector<std::size_t> starts = character_starts(path);
    const auto characters = static_cast<int>(starts.size()) - 1;
    const std::size_t cut = path.rfind(separator);
    if (cut != std::string_view::npos && cut > 0) {
        // As much of the folders before the last part as fits.
        const std::string_view tail = path.substr(cut);
        const std::string_view head = path.substr(0, cut);
        int head_characters = 0;
        while (starts[static_cast<std::size_t>(head_characters)] < cut) {
            ++head_characters;
        }
        const int kept = largest_fitting(head_characters, [&](int n) {
            return measure(joined(head.substr(0, starts[static_cast<std::size_t>(n)]), tail)) <=
                   width;
        });
        if (kept >= 0) {
            return joined(head.substr(0, starts[static_cast<std::size_t>(kept)]), tail);
        }
    }
    // The start and the end of the whole text, evenly, around the ellipsis.
    const auto parts = [&](int n) {
        const auto front = starts[static_cast<std::size_t>((n + 1) / 2)];
        const auto back = starts[static_cast<std::size_t>(characters - n / 2)];
        return joined(path.substr(0, front), path.substr(back));
    };
    const int kept =
        largest_fitting(characters - 1, [&](int n) { return measure(parts(n)) <= width; });
    return kept >= 0 ? parts(kept) : std::string();
}

}  // namespace tarvenix
