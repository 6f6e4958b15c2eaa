#pragma once

// Case folding of names, for telling which names a folder that does not tell
// case apart (FAT, exFAT, NTFS as Windows uses it, SMB shares, casefolded
// ext4) may take for one. Generous rather than exact: names that fold alike
// are only candidates, the folder itself decides (platform::coinciding_names).

#include <cstddef>
#include <cstdint>

namespace tarvenix::text {

// The full Unicode case folding of code point c (one code point to up to
// three: "ß" and "ẞ" to "ss"), also pairing what an up-case table pairs
// ("ı" with "i"). Writes the folded code points to out and returns how many.
std::size_t case_fold(std::uint32_t c, std::uint32_t (&out)[3]);

}  // namespace tarvenix::text
