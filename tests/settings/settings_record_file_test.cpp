#include "settings/settings_record_file.h"

#include <gtest/gtest.h>

#include "common/system_error.h"
#include "support/temp_dir.h"

namespace tarvenix {
namespace {

using testing::read_file;
using testing::TempDir;
using testing::write_file;

std::string record_bytes(const std::string& file, int n) {
    return file.substr(static_cast<std::size_t>(n - 1) * 160, 160);
}

TEST(SettingsRecord, EncodesEightyCharactersIntoOneHundredSixtyBytes) {
    EXPECT_EQ(SettingsRecordFile::encode_record("1"), "1" + std::string(159, ' '));
    // "データ": six bytes, padded with 77 spaces to 80 characters, then filler.
    EXPECT_EQ(SettingsRecordFile::encode_record("データ"),
              std::string("\x83\x66\x81\x5B\x83\x5E") + std::string(154, ' '));
    // 80 double-byte characters fill the whole record.
    std::string wide;
    for (int i = 0; i < 80; ++i) {
        wide += "表";
    }
    std::string expected;
    for (int i = 0; i < 80; ++i) {
        expected += "\x95\x5C";
    }
    EXPECT_EQ(SettingsRecordFile::encode_record(wide), expected);
    // A longer value is cut to its first 80 characters.
    EXPECT_EQ(SettingsRecordFile::encode_record(wide + "more"), expected);
}

TEST(SettingsRecord, RefusesCharactersTheCodePageCannotHold) {
    try {
        SettingsRecordFile::encode_record("/home/user/café");
        FAIL() << "no error";
    } catch (const SystemError& e) {
        EXPECT_EQ(e.code(), error_code::kUnencodableText);
        EXPECT_NE(e.text().find("café"), std::string::npos);
    }
}

TEST(SettingsRecord, DecodesTheFirstEightyCharacters) {
    std::string bytes = "\x91\xBE\x98\x59";  // 太郎
    bytes += std::string(156, 'x');
    const std::string slot = SettingsRecordFile::decode_record(bytes);
    EXPECT_EQ(slot, "太郎" + std::string(78, 'x'));
    // Invalid bytes and a NUL do not break the decoding.
    EXPECT_EQ(SettingsRecordFile::decode_record(std::string("a\xA0", 2) + std::string("\0zz", 3)),
              "a\xEF\xBF\xBD" + std::string(78, ' '));
}

TEST(SettingsRecordFile, ReadsAndWritesSingleRecords) {
    TempDir dir;
    const SettingsRecordFile file(dir / "system.dat");
    EXPECT_EQ(file.read_record(5), std::string(80, ' '));  // no file yet
    file.write_record(3, "abc");
    EXPECT_EQ(read_file(dir / "system.dat").size(), 480u);
    EXPECT_EQ(file.read_record(3), "abc" + std::string(77, ' '));
    EXPECT_EQ(file.read_record(1), std::string(80, ' '));
    EXPECT_EQ(file.read_all()[3], std::nullopt);  // past the end
    EXPECT_THROW(file.read_record(0), SystemError);
    EXPECT_THROW(file.write_record(48, "x"), SystemError);
}

TEST(SettingsRecordFile, WriteAllKeepsBytesPastTheLastRecord) {
    TempDir dir;
    const std::string path = dir / "system.dat";
    write_file(path, std::string(47 * 160, 'z') + "TRAILER");
    SettingsRecordFile::Slots slots;
    slots.fill("v");
    SettingsRecordFile(path).write_all(slots);
    const std::string bytes = read_file(path);
    ASSERT_EQ(bytes.size(), 47u * 160 + 7);
    EXPECT_EQ(bytes.substr(47 * 160), "TRAILER");
    EXPECT_EQ(record_bytes(bytes, 47), "v" + std::string(159, ' '));
}

TEST(SettingsRecordFile, AFailedWriteLeavesTheFileAsItWas) {
    TempDir dir;
    const std::string path = dir / "system.dat";
    const std::string before(47 * 160, 'q');
    write_file(path, before);
    SettingsRecordFile::Slots slots;
    slots[20] = "\xF0\x9F\x98\x80";  // cannot be stored
    EXPECT_THROW(SettingsRecordFile(path).write_all(slots), SystemError);
    EXPECT_EQ(read_file(path), before);
    // A folder that vanished: the write fails as a whole, with a system error.
    const SettingsRecordFile gone(dir / "missing/system.dat");
    EXPECT_THROW(gone.write_all(SettingsRecordFile::Slots{}), SystemError);
}

}  // namespace
}  // namespace tarvenix
