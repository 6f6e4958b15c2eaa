#include "common/text_codec.h"

#include <gtest/gtest.h>

#include <tuple>

#include "common/case_fold.h"

namespace tarvenix::text {
namespace {

// Characters outside the code page count their UTF-8 bytes, as does a byte
// that is not UTF-8 or a cut-off sequence.
TEST(Cp932Length, CountsBytesOfTheCodePage) {
    using Row = std::pair<const char*, std::size_t>;
    for (const auto& [text, bytes] :
         {Row{"abc", 3}, Row{"フォルダ", 8}, Row{"ﾌｫﾙﾀﾞ", 5}, Row{"é", 2},
          Row{"\xF0\x9F\x98\x80", 4}, Row{"a\xFFz", 3}, Row{"\xE3\x81", 2}, Row{"〜", 3}}) {
        EXPECT_EQ(cp932_length(text), bytes) << text;
    }
}

// What the code page holds round-trips; what it lacks, or what the converter
// would swap for a look-alike or drop, is refused (a stored path must come
// back as the same path) and written as "?" where loss is accepted.
TEST(Cp932Encoding, RefusesWhatTheCodePageCannotHold) {
    using Row = std::tuple<const char*, bool, const char*>;  // text, held, code-page or lossy bytes
    for (const auto& [text, held, bytes_wanted] :
         {Row{"C:\\バックアップ\\ﾃｽﾄ\\表.txt ~", true, nullptr},
          Row{"4月～6月", true, nullptr},  // the full-width tilde is there
          Row{"表", true, "\x95\x5C"},     // its trail byte is a backslash
          Row{"café 表", false, "caf? \x95\x5C"}, Row{"bad\xFF", false, "bad?"},
          Row{"\xF0\x9F\x98\x80", false, "?"}, Row{"\xE3\x80\x9C", false, "?"},
          Row{"\xC2\xA5", false, "?"}, Row{"\xE2\x80\x94", false, "?"},
          Row{"a\xF3\xA0\x80\x81", false, "a?"}}) {
        const auto bytes = to_cp932(text);
        ASSERT_EQ(bytes.has_value(), held) << text;
        if (held) {
            EXPECT_EQ(bytes->size(), cp932_length(text)) << text;
            EXPECT_EQ(from_cp932(*bytes), text);
        }
        if (bytes_wanted != nullptr) {
            EXPECT_EQ(held ? *bytes : to_cp932_lossy(text), bytes_wanted) << text;
        }
    }
}

// Letters a folder that does not tell case apart may take for one fold alike,
// whichever table pairs them (full folding, title case, an up-case table's
// "ı" and "I"); others stay apart.
TEST(CaseFold, PairsEveryCaseOfALetter) {
    const auto folded = [](std::u32string_view s, std::u32string out = {}) {
        for (std::uint32_t f[3]; const char32_t c : s) {
            out.append(f, f + case_fold(c, f));
        }
        return out;
    };
    using Row = std::tuple<std::u32string_view, std::u32string_view, bool>;
    for (const auto& [a, b, same] :
         {Row{U"ƁƇǄǅǱӀⱠẞß", U"ɓƈǅǆǳӏⱡSSss", true}, Row{U"ςK\u212Aı", U"σkkI", true},
          Row{U"ᾈﬁ\U00010400Ꭰǰ", U"ᾀFI\U00010428ꭰJ\u030C", true}, Row{U"A", U"Å", false},
          Row{U"ss", U"s", false}, Row{U"ア", U"ァ", false}}) {
        EXPECT_EQ(folded(a) == folded(b), same) << ::testing::PrintToString(std::u32string(a));
    }
}

TEST(Utf8Helpers, TextIsCutByCharacters) {
    EXPECT_EQ(from_cp932_prefix("\x83\x74\x83\x48xyz", 3), "フォx");
    EXPECT_EQ(first_chars("フォルダa", 2), "フォ");
}

}  // namespace
}  // namespace tarvenix::text
