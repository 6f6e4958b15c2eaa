#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <ranges>

#include "settings/settings_record_file.h"
#include "support/os_helpers.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace tarvenix {
namespace {

using namespace testing;

// All 47 records of a system.dat in code page 932, "|" between them: options
// 1-6, shut-down flags 7-9, hours 10-12, minutes 13-15, then for the eight
// sets their sources (/home/太郎/データ), destinations, subfolder and skip boxes.
const std::string kRecords =
    "1|1|1|1|1|0|True|False|True|7|23||05|30||/home/\x91\xBE\x98\x59/\x83\x66\x81\x5B\x83\x5E"
    "||||||||/backup/\x83\x66\x81\x5B\x83\x5E   |  /leading/kept|||||||1|0|||||||0|0|1|0|0|0|0|0";

// system.dat built by hand from those records, some replaced (number, bytes),
// the first `kept` of them each padded to its 160 bytes.
std::string hand_made_file(const std::vector<std::pair<int, std::string>>& replaced = {},
                           int kept = 47) {
    std::vector<std::string> records;
    for (const auto record : std::views::split(kRecords, '|')) {
        records.emplace_back(record.begin(), record.end());
    }
    for (const auto& [n, bytes] : replaced) {
        records.at(static_cast<std::size_t>(n - 1)) = bytes;
    }
    std::string file;
    for (int k = 0; k < kept; ++k) {
        file += records.at(static_cast<std::size_t>(k)).append(160, ' ').substr(0, 160);
    }
    return file;
}

class SettingsStoreTest : public ::testing::Test {
protected:
    ScriptedUi ui;
    SystemErrorReporter reporter{ui};
    TempDir dir;
    SettingsState state;
    SettingsStore store{state, dir / "system.dat"};
};

// Each record reaches its own field and control, and a save writes the
// same bytes back.
TEST_F(SettingsStoreTest, LoadsAHandMadeFileWithJapanesePathsAndSavesItBack) {
    const std::string file = hand_made_file();
    write_file(dir / "system.dat", file);
    EXPECT_TRUE(store.load_settings());
    EXPECT_TRUE(ui.events().empty());
    const auto& page = state.page;
    const auto& options = state.model.options;  // "7" and "05" make no time
    EXPECT_EQ(options.start_time_text(0) + "|" + options.start_time_text(1), "|23:30");
    EXPECT_EQ(page.text({Control::srcfld_txt, 0}), "/home/太郎/データ");
    EXPECT_EQ(page.text({Control::dstfld_txt, 0}), "/backup/データ");  // trailing blanks go
    EXPECT_EQ(page.selected_option(Control::copy_op), 1);
    EXPECT_EQ(page.selected_option(Control::cp_skip), 0);  // "1" = skip = the first option
    EXPECT_EQ(page.selected_option(Control::rec_op), 0);
    EXPECT_TRUE(page.checked({Control::start_chk}));
    EXPECT_TRUE(page.checked({Control::timer_chk}));
    for (int k = 0; k < kSetCount; ++k) {
        EXPECT_EQ(page.checked({Control::subfld_chk, k}), k != 1) << k;  // a blank record ticks
        EXPECT_EQ(page.checked({Control::skip_chk, k}), k == 2) << k;
    }
    for (int k = 0; k < kStartTimeCount; ++k) {
        EXPECT_EQ(page.checked({Control::sdown, k}), k != 1) << k;
    }
    EXPECT_EQ(state.settings_changed, 0);  // the load's own changes are not edits
    ASSERT_TRUE(store.write_settings_file());
    EXPECT_EQ(read_file(dir / "system.dat"), file);
}

// What the load makes of files a save never leaves. The option groups and the
// last skip box start away from their initial state, so one left alone shows.
TEST_F(SettingsStoreTest, OddFilesLoadWhatTheyHoldAndLeaveTheRestAlone) {
    const struct {
        const char* name;
        bool refused;  // the load's system error
        int copy_op;
        bool timer_chk, last_skip_chk;
        std::string src0;                                  // set 1's source in the model, its start
        int kept;                                          // records in the file, -1 = no file
        std::vector<std::pair<int, std::string>> records;  // replaced: number, bytes
    } cases[] = {
        {"no file (the first start)", false, 0, false, true, "", -1, {}},
        {"cut short in a character", false, 1, true, true, "/home/", 20, {}},
        {"unknown options", false, 0, false, false, "/home/", 47, {{1, "2"}, {4, "x"}, {6, ""}}},
        {"not Shift-JIS", false, 1, true, false, "/bad\xEF\xBF\xBD", 47, {{16, "/bad\xA0\xFD"}}},
        {"a non-boolean shut-down flag", true, 0, false, true, "", 47, {{7, "yes"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsState s;
        s.page.select_option(Control::copy_op, 0);
        s.page.set_checked({Control::skip_chk, 7}, true);
        const std::string path = dir / c.name;
        if (c.kept >= 0) {
            write_file(path, hand_made_file(c.records, c.kept) + (c.kept < 47 ? "\x83" : ""));
        }
        ui.clear_events();
        const auto loaded = SettingsStore(s, path).load_settings();
        reporter.report_if_failed(loaded);
        EXPECT_EQ(loaded.ok(), !c.refused);
        const auto& events = ui.events();  // the load's system error only when refused
        EXPECT_EQ(events.size(), c.refused ? 1u : 0u);
        EXPECT_EQ(!events.empty() && events[0].text.find("エラー番号13 ") != std::string::npos,
                  c.refused);
        EXPECT_EQ(s.page.selected_option(Control::copy_op), c.copy_op);
        EXPECT_EQ(s.page.checked({Control::timer_chk}), c.timer_chk);
        EXPECT_EQ(s.page.checked({Control::skip_chk, 7}), c.last_skip_chk);
        EXPECT_EQ(s.model.sets[0].src_folder.rfind(c.src0, 0), 0u);
        EXPECT_EQ(s.page.text({Control::srcfld_txt, 0}),
                  c.refused ? "" : s.model.sets[0].src_folder);
        EXPECT_EQ(s.settings_changed, c.refused ? 1 : 0);
    }
}

// What runs make of texts a save never writes, each written back as it was:
// only "1" turns an option on or passes a set over, only "0" keeps a set to
// its top folder, and any number is an open-file rule (1: skip).
TEST_F(SettingsStoreTest, OddTextsReadAsRunsReadThemAndAreWrittenBackAsTheyWere) {
    const struct {
        int record;
        const char* text;
        const char* read;  // newer-only, at launch, open-file rule, set 1's sub-folders, skipped
    } cases[] = {
        {1, "2", "0 1 skip 1 0"},    {1, " 1", "0 1 skip 1 0"},  {2, "1.0", "1 0 skip 1 0"},
        {5, " 1.0", "1 1 skip 1 0"}, {5, "2", "1 1 copy 1 0"},   {5, "on", "1 1 unreadable 1 0"},
        {32, "x", "1 1 skip 1 0"},   {32, "00", "1 1 skip 1 0"}, {40, "x", "1 1 skip 1 0"},
        {40, "", "1 1 skip 1 0"},    {40, " 1", "1 1 skip 1 0"},
    };
    const char* rules[] = {"skip", "copy", "unreadable"};
    const auto bit = [](bool on) { return std::string(on ? "1 " : "0 "); };
    for (const auto& c : cases) {
        SCOPED_TRACE("record " + std::to_string(c.record) + " \"" + c.text + "\"");
        const std::string file = hand_made_file({{c.record, c.text}});
        write_file(dir / "system.dat", file);
        ASSERT_TRUE(store.load_settings());
        const auto& o = state.model.options;
        const auto& set = state.model.sets[0];
        EXPECT_EQ(bit(o.newer_only()) + bit(o.starts_at_launch()) +
                      rules[static_cast<int>(*o.skip_open_files)] + " " +
                      bit(set.copies_subfolders()) + (set.skipped() ? "1" : "0"),
                  c.read);
        ASSERT_TRUE(store.write_settings_file());
        EXPECT_EQ(read_file(dir / "system.dat"), file);
    }
}

// A save that fails (a name the code page cannot hold; a full disk) leaves
// the previous file byte for byte.
TEST_F(SettingsStoreTest, AFailedSaveLeavesThePreviousFileIntact) {
    ScopedTmpfs small(dir.path(), "12k");
    for (const bool full : {false, true}) {
        if (full && !small.mounted()) {
            GTEST_SKIP() << small.reason();
        }
        const std::string path = (full ? small.path() : dir.path()) + "/system.dat";
        write_file(path, hand_made_file());
        if (full) {
            write_file(small.path() + "/filler", std::string(2048, 'f'));  // too little room left
        }
        SettingsState s;
        SettingsStore saving(s, path);
        EXPECT_TRUE(saving.load_settings()) << full;
        s.model.sets[3].src_folder = full ? "/changed" : "/home/user/naïve";
        EXPECT_FALSE(saving.write_settings_file()) << full;
        EXPECT_EQ(read_file(path), hand_made_file()) << full;
    }
}

TEST(SettingsRecordFile, ReadsAndWritesTheLastRecord) {
    TempDir dir;
    const SettingsRecordFile file(dir / "system.dat");
    ASSERT_TRUE(file.write_record(47, "last"));
    const auto record = file.read_record(47);
    ASSERT_TRUE(record);
    EXPECT_EQ(*record, "last" + std::string(76, ' '));
}

}  // namespace
}  // namespace tarvenix
