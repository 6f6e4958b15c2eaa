#include <gtest/gtest.h>

#include "common/vostrel.h"
#include "support/scripted_ui.h"

namespace tarvenix {
namespace {

// Each conversion gives its result as text and, for a value out of its range,
// the box it shows ("" for none). Hex texts are upper-cased in place, even on
// failure.
TEST(ConversionTest, ResultsAndTheBoxesOfValuesOutOfRange) {
    testing::ScriptedUi ui;
    Vostrel v{ui.ports()};
    const auto hex_int = [&](std::string text) {
        return std::to_string(v.HexToInt(text)) + " " + text;
    };
    const auto hex_long = [&](std::string text) { return std::to_string(v.HexToLong(text)); };
    const auto n = [](auto value) { return std::to_string(value); };
    const std::string bad_data = "変換するデータが異常です！\r\nLongTo16bit\r\nValue = ";
    const std::string bad = "数値が異常です！\r\n";
    struct Row {
        std::string got, expected, box;
    };
    const Row rows[] = {
        {v.LongTo16bit(0), std::string(16, '0'), ""},
        {v.LongTo16bit(65535), std::string(16, '1'), ""},
        {v.LongTo16bit(5), "0000000000000101", ""},
        {v.LongTo16bit(65536), "", bad_data + "65536"},
        {v.LongTo16bit(-1), "", bad_data + "-1"},
        {n(v.LongToInt(32767)), "32767", ""},
        {n(v.LongToInt(32768)), "-32768", ""},
        {n(v.LongToInt(65535)), "-1", ""},
        {n(v.LongToInt(65536)), "0", bad + "LongToInt\r\nValue = 65536"},
        {n(v.LongToInt(-5)), "0", bad + "LongToInt\r\nValue = -5"},
        {v.LongToHex(0), "0000", ""},
        {v.LongToHex(10), "000A", ""},
        {v.LongToHex(4095), "0FFF", ""},
        {v.LongToHex(65536), "10000", ""},
        {v.LongToHex(-1), "FFFFFFFF", ""},
        {v.IntToHex(-1), "FFFF", ""},
        {v.IntToHex(-32768), "8000", ""},
        {n(v.IntToLong(-1)), "65535", ""},
        {n(v.IntToLong(100)), "100", ""},
        {hex_int("ff"), "255 FF", ""},
        {hex_int("7FFF"), "32767 7FFF", ""},
        {hex_int("0000FFFF"), "-1 0000FFFF", ""},  // leading zeros do not count
        {hex_int("10000"), "0 10000", bad + "HexToInt\r\nValue = 10000"},
        {hex_int("xyz"), "0 XYZ", bad + "HexToInt\r\nValue = XYZ"},
        {hex_int(""), "0 ", bad + "HexToInt\r\nValue = "},
        {hex_long("FFFF"), "65535", ""},
        {hex_long("ffffffff"), "-1", ""},
        {hex_long("80000000"), "-2147483648", ""},
        {hex_long("7fffffff"), "2147483647", ""},
        {hex_long("100000000"), "0", bad + "HexToLong\r\nValue = 100000000"},
        {hex_long("-1"), "0", bad + "HexToLong\r\nValue = -1"},
    };
    std::vector<std::string> expected_boxes;
    for (const Row& row : rows) {
        EXPECT_EQ(row.got, row.expected) << row.box;
        if (!row.box.empty()) {
            expected_boxes.push_back(row.box);
        }
    }
    EXPECT_EQ(ui.box_texts(), expected_boxes);
}

}  // namespace
}  // namespace tarvenix
