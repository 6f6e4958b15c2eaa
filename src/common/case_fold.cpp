#include "common/case_fold.h"

#include <algorithm>
#include <iterator>

#include "common/case_fold_table.h"

namespace tarvenix::text {

std::size_t case_fold(std::uint32_t c, std::uint32_t (&out)[3]) {
    using namespace detail;
    out[0] = c >= 'A' && c <= 'Z' ? c + 32 : c;
    if (c < 0x80) {
        return 1;
    }
    const auto run =
        std::upper_bound(std::begin(kFoldRuns), std::end(kFoldRuns), c,
                         [](std::uint32_t x, const FoldRun& r) { return x < r.first; });
    if (run != std::begin(kFoldRuns)) {
        const FoldRun& r = *std::prev(run);
        if (c <= r.last && (c - r.first) % r.stride == 0) {
            out[0] = c + static_cast<std::uint32_t>(r.delta);
            return 1;
        }
    }
    const auto wide =
        std::lower_bound(std::begin(kFoldExpansions), std::end(kFoldExpansions), c,
                         [](const FoldExpansion& e, std::uint32_t x) { return e.from < x; });
    if (wide == std::end(kFoldExpansions) || wide->from != c) {
        return 1;
    }
    std::copy(std::begin(wide->to), std::end(wide->to), out);
    return out[2] != 0 ? 3 : 2;
}

}  // namespace tarvenix::text
