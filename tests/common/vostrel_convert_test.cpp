#include <gtest/gtest.h>

#include "common/vostrel.h"
#include "support/scripted_ui.h"

namespace tarvenix {
namespace {

class ConversionTest : public ::testing::Test {
protected:
    testing::ScriptedUi ui;
    Vostrel v{ui.ports()};

    // The texts of the boxes shown so far, then forgets them.
    std::vector<std::string> take_boxes() {
        auto texts = ui.box_texts();
        ui.clear_events();
        return texts;
    }
};

TEST_F(ConversionTest, LongTo16bitWritesSixteenDigits) {
    EXPECT_EQ(v.LongTo16bit(0), std::string(16, '0'));
    EXPECT_EQ(v.LongTo16bit(65535), std::string(16, '1'));
    EXPECT_EQ(v.LongTo16bit(5), "0000000000000101");
    EXPECT_TRUE(take_boxes().empty());
    EXPECT_EQ(v.LongTo16bit(65536), "");
    EXPECT_EQ(v.LongTo16bit(-1), "");
    const std::vector<std::string> expected{
        "変換するデータが異常です！\r\nLongTo16bit\r\nValue = 65536",
        "変換するデータが異常です！\r\nLongTo16bit\r\nValue = -1"};
    EXPECT_EQ(take_boxes(), expected);
}

TEST_F(ConversionTest, LongToIntReadsTheLowSixteenBitsSigned) {
    EXPECT_EQ(v.LongToInt(32767), 32767);
    EXPECT_EQ(v.LongToInt(32768), -32768);
    EXPECT_EQ(v.LongToInt(65535), -1);
    EXPECT_TRUE(take_boxes().empty());
    EXPECT_EQ(v.LongToInt(65536), 0);
    EXPECT_EQ(v.LongToInt(-5), 0);
    EXPECT_EQ(v.LongToInt(70000), 0);
    const auto boxes = take_boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2], "数値が異常です！\r\nLongToInt\r\nValue = 70000");
}

TEST_F(ConversionTest, HexTextHasAtLeastFourDigits) {
    EXPECT_EQ(v.LongToHex(0), "0000");
    EXPECT_EQ(v.LongToHex(10), "000A");
    EXPECT_EQ(v.LongToHex(255), "00FF");
    EXPECT_EQ(v.LongToHex(4095), "0FFF");
    EXPECT_EQ(v.LongToHex(65536), "10000");
    EXPECT_EQ(v.LongToHex(-1), "FFFFFFFF");
    EXPECT_EQ(v.IntToHex(-1), "FFFF");
    EXPECT_EQ(v.IntToHex(1), "0001");
    EXPECT_EQ(v.IntToHex(-32768), "8000");
    EXPECT_EQ(v.IntToLong(-1), 65535);
    EXPECT_EQ(v.IntToLong(100), 100);
    EXPECT_EQ(v.IntToLong(-32768), 32768);
    EXPECT_TRUE(take_boxes().empty());
}

TEST_F(ConversionTest, HexToIntUpperCasesItsArgumentAndChecksTheRange) {
    std::string text = "ff";
    EXPECT_EQ(v.HexToInt(text), 255);
    EXPECT_EQ(text, "FF");
    text = "7FFF";
    EXPECT_EQ(v.HexToInt(text), 32767);
    text = "FFFF";
    EXPECT_EQ(v.HexToInt(text), -1);
    text = "0000FFFF";  // leading zeros do not count
    EXPECT_EQ(v.HexToInt(text), -1);
    EXPECT_TRUE(take_boxes().empty());

    text = "10000";
    EXPECT_EQ(v.HexToInt(text), 0);
    text = "xyz";
    EXPECT_EQ(v.HexToInt(text), 0);
    EXPECT_EQ(text, "XYZ");  // upper-cased even on failure
    text = "";
    EXPECT_EQ(v.HexToInt(text), 0);
    const auto boxes = take_boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0], "数値が異常です！\r\nHexToInt\r\nValue = 10000");
    EXPECT_EQ(boxes[1], "数値が異常です！\r\nHexToInt\r\nValue = XYZ");
}

TEST_F(ConversionTest, HexToLongCoversTheWholeUnsignedRange) {
    std::string text = "FFFF";
    EXPECT_EQ(v.HexToLong(text), 65535);
    text = "ffffffff";
    EXPECT_EQ(v.HexToLong(text), -1);
    text = "80000000";
    EXPECT_EQ(v.HexToLong(text), -2147483647 - 1);
    text = "7fffffff";
    EXPECT_EQ(v.HexToLong(text), 2147483647);
    EXPECT_TRUE(take_boxes().empty());
    text = "100000000";
    EXPECT_EQ(v.HexToLong(text), 0);
    text = "-1";
    EXPECT_EQ(v.HexToLong(text), 0);
    const auto boxes = take_boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], "数値が異常です！\r\nHexToLong\r\nValue = 100000000");
}

}  // namespace
}  // namespace tarvenix
