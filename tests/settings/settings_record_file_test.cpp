#include "settings/settings_record_file.h"

#include <gtest/gtest.h>

#include "common/system_error.h"
#include "support/temp_dir.h"

namespace tarvenix {
namespace {

using testing::read_file;
using testing::TempDir;
using testing::write_file;

std::string repeat(int n, const std::string& s) {
    std::string out;
    for (int i = 0; i < n; ++i) {
        out += s;
    }
    return out;
}

// A record holds 80 characters in 160 bytes of code page 932 (padded with
// spaces, shown by the store's tests); reading takes the first 80 back.
TEST(SettingsRecord, EncodesAndDecodesEightyCharactersInOneHundredSixtyBytes) {
    const std::pair<std::string, std::string> encoded[] = {
        {repeat(80, "表"), repeat(80, "\x95\x5C")},
        {repeat(80, "表") + "more", repeat(80, "\x95\x5C")},
    };
    for (const auto& [value, bytes] : encoded) {
        EXPECT_EQ(SettingsRecordFile::encode_record(value), bytes) << value;
    }
    const std::pair<std::string, std::string> decoded[] = {
        {"\x91\xBE\x98\x59" + std::string(156, 'x'), "太郎" + std::string(78, 'x')},
        // Invalid bytes and a NUL do not break the decoding.
        {std::string("a\xA0\0zz", 5), "a\xEF\xBF\xBD" + std::string(78, ' ')},
    };
    for (const auto& [bytes, value] : decoded) {
        EXPECT_EQ(SettingsRecordFile::decode_record(bytes), value) << value;
    }
}

TEST(SettingsRecordFile, ReadsAndWritesRecordsOneToFortySevenAlone) {
    TempDir dir;
    const SettingsRecordFile file(dir / "system.dat");
    EXPECT_EQ(file.read_record(5), std::string(80, ' '));  // no file yet
    file.write_record(3, "abc");
    EXPECT_EQ(read_file(dir / "system.dat").size(), 480u);
    EXPECT_EQ(file.read_record(3), "abc" + std::string(77, ' '));
    EXPECT_EQ(file.read_record(1), std::string(80, ' '));
    EXPECT_EQ(file.read_all()[3], std::nullopt);  // past the end
    file.write_record(47, "last");
    EXPECT_EQ(file.read_record(47), "last" + std::string(76, ' '));
    for (const int n : {0, 48}) {
        EXPECT_THROW(file.read_record(n), SystemError) << n;
        EXPECT_THROW(file.write_record(n, "x"), SystemError) << n;
    }
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
    EXPECT_EQ(bytes.substr(46 * 160), "v" + std::string(159, ' ') + "TRAILER");
    // A folder that vanished: the write fails as a whole, with a system error.
    EXPECT_THROW(SettingsRecordFile(dir / "missing/system.dat").write_all(slots), SystemError);
}

}  // namespace
}  // namespace tarvenix
