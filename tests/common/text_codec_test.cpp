#include "common/text_codec.h"

#include <gtest/gtest.h>

namespace tarvenix::text {
namespace {

// Characters outside the code page count their UTF-8 bytes, as does a byte
// that is not UTF-8 or a cut-off sequence.
TEST(Cp932Length, CountsBytesOfTheCodePage) {
    for (const auto& [text, bytes] : {std::pair<const char*, std::size_t>{"abc", 3},
                                      {"フォルダ", 8},
                                      {"ﾌｫﾙﾀﾞ", 5},
                                      {"", 0},
                                      {"/home/太郎/a.txt", 16},
                                      {"é", 2},
                                      {"\xF0\x9F\x98\x80", 4},
                                      {"a\xFFz", 3},
                                      {"\xE3\x81", 2},
                                      {"〜", 3}}) {
        EXPECT_EQ(cp932_length(text), bytes) << text;
    }
}

TEST(Cp932Encoding, RoundTripsJapaneseAndAscii) {
    const std::string text = "C:\\バックアップ\\ﾃｽﾄ\\表.txt ~";
    const auto bytes = to_cp932(text);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(bytes->size(), cp932_length(text));
    EXPECT_EQ(from_cp932(*bytes), text);
    // Known bytes: "表" is 0x95 0x5C, whose trail byte is an ASCII backslash.
    EXPECT_EQ(*to_cp932("表"), std::string("\x95\x5C"));
}

TEST(Cp932Encoding, RefusesWhatTheCodePageCannotHold) {
    EXPECT_FALSE(to_cp932("café").has_value());
    EXPECT_FALSE(to_cp932("\xF0\x9F\x98\x80").has_value());
    EXPECT_FALSE(to_cp932("bad\xFF").has_value());
    EXPECT_EQ(to_cp932_lossy("café 表"), std::string("caf? \x95\x5C"));
    // Characters the converter would swap for look-alikes or drop are refused
    // too: a stored path must come back as the same path.
    EXPECT_FALSE(to_cp932("/home/u/4月〜6月").has_value());   // U+301C WAVE DASH
    EXPECT_FALSE(to_cp932("\xC2\xA5").has_value());           // U+00A5 YEN SIGN
    EXPECT_FALSE(to_cp932("\xE2\x80\x94").has_value());       // U+2014 EM DASH
    EXPECT_FALSE(to_cp932("a\xF3\xA0\x80\x81").has_value());  // a tag character
    EXPECT_TRUE(to_cp932("4月～6月").has_value());            // the full-width tilde is there
    EXPECT_EQ(to_cp932_lossy("\xC2\xA5"), "?");
    EXPECT_EQ(to_cp932_lossy("a\xFF"), "a?");
}

TEST(Cp932Decoding, InvalidBytesBecomeReplacementCharacters) {
    // 0xA0 is not a character; 0x81 at the very end lacks its trail byte.
    EXPECT_EQ(from_cp932("a\xA0z"), "a\xEF\xBF\xBDz");
    EXPECT_EQ(from_cp932("ab\x81"), "ab\xEF\xBF\xBD");
    EXPECT_EQ(from_cp932_prefix("\x83\x74\x83\x48xyz", 3), "フォx");
}

TEST(Utf8Helpers, CountAndCutByCharacters) {
    EXPECT_EQ(char_count("フォルダa"), 5u);
    EXPECT_EQ(first_chars("フォルダa", 2), "フォ");
    EXPECT_EQ(first_chars("ab", 10), "ab");
    EXPECT_EQ(trim_right_spaces("  a b  "), "  a b");
    EXPECT_EQ(trim_right_spaces("   "), "");
}

}  // namespace
}  // namespace tarvenix::text
