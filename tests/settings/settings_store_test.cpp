#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include "settings/hand_made_settings.h"
#include "support/os_helpers.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace tarvenix {
namespace {

using namespace testing;

class SettingsStoreTest : public ::testing::Test {
protected:
    ScriptedUi ui;
    SystemErrorReporter reporter{ui};
    TempDir dir;
    SettingsState state;
    SettingsStore store{state, dir / "system.dat", reporter};
};

TEST_F(SettingsStoreTest, FirstStartWithoutAFileLeavesThePageInItsInitialState) {
    store.load_settings();
    EXPECT_TRUE(ui.events().empty());
    EXPECT_EQ(state.settings_changed, 0);
    EXPECT_EQ(state.model.options.start_at_launch, "");
    EXPECT_EQ(state.model.options.start_time[1], ":");
    for (int k = 0; k < kSetCount; ++k) {
        EXPECT_FALSE(state.page.checked({Control::subfld_chk, k}));
        EXPECT_FALSE(state.page.checked({Control::skip_chk, k}));
        EXPECT_EQ(state.page.text({Control::srcfld_txt, k}), "");
    }
    EXPECT_EQ(state.page.selected_option(Control::copy_op), 1);
    EXPECT_EQ(state.page.selected_option(Control::cp_skip), 1);
    EXPECT_EQ(state.page.selected_option(Control::rec_op), 1);
    EXPECT_FALSE(state.page.checked({Control::start_chk}));
    EXPECT_EQ(state.caption_base, "Tarvenix");
}

TEST_F(SettingsStoreTest, LoadsAHandMadeFileWithJapanesePaths) {
    write_file(dir / "system.dat", hand_made_file(full_records()));
    store.load_settings();
    ASSERT_TRUE(ui.events().empty());
    const auto& o = state.model.options;
    EXPECT_EQ(o.copy_mode, "1");
    EXPECT_EQ(o.backup_at_close, "1");
    EXPECT_EQ(o.shutdown_after, (std::array<bool, 3>{true, false, true}));
    EXPECT_EQ(o.start_time[0], "7:05");
    EXPECT_EQ(o.start_time[1], "23:30");
    EXPECT_EQ(o.start_time[2], ":");
    EXPECT_EQ(state.model.sets[0].src_folder, "/home/太郎/データ");
    EXPECT_EQ(state.model.sets[0].dst_folder, "/backup/データ");
    EXPECT_EQ(state.model.sets[1].dst_folder, "  /leading/kept");
    EXPECT_EQ(state.model.sets[0].copy_subfolders, "1");
    // The page shows it.
    EXPECT_EQ(state.page.text({Control::srcfld_txt, 0}), "/home/太郎/データ");
    EXPECT_EQ(state.page.selected_option(Control::copy_op), 1);
    EXPECT_EQ(state.page.selected_option(Control::cp_skip), 0);  // "1" = skip = first option
    EXPECT_EQ(state.page.selected_option(Control::rec_op), 0);
    EXPECT_TRUE(state.page.checked({Control::start_chk}));
    EXPECT_TRUE(state.page.checked({Control::timer_chk}));
    EXPECT_EQ(state.page.text({Control::hour_txt, 0}), "7");
    EXPECT_TRUE(state.page.checked({Control::subfld_chk, 0}));
    EXPECT_FALSE(state.page.checked({Control::subfld_chk, 1}));
    EXPECT_TRUE(state.page.checked({Control::subfld_chk, 2}));  // blank record ticks the box
    EXPECT_TRUE(state.page.checked({Control::skip_chk, 2}));
    EXPECT_FALSE(state.page.checked({Control::skip_chk, 0}));
    EXPECT_TRUE(state.page.checked({Control::sdown, 0}));
    EXPECT_FALSE(state.page.checked({Control::sdown, 1}));
    EXPECT_EQ(state.caption_base, "Tarvenix ");
    EXPECT_EQ(state.page.caption(), "Tarvenix ");
    EXPECT_EQ(state.settings_changed, 0);  // the load's own changes are not edits
}

TEST_F(SettingsStoreTest, SavedFileHasTheExactLayoutAndLoadsBack) {
    auto& o = state.model.options;
    o.copy_mode = "0";
    o.start_at_launch = "1";
    o.backup_at_close = "1";
    o.start_at_time = "0";
    o.skip_open_files = "1";
    o.record_history = "1";
    o.shutdown_after = {false, true, false};
    o.start_hour = {"9", "", "21"};
    o.start_minute = {"00", "", "45"};
    for (int k = 0; k < kSetCount; ++k) {
        auto& set = state.model.sets[static_cast<std::size_t>(k)];
        set.src_folder = "/src/" + std::to_string(k);
        set.dst_folder = "/dst/フォルダ" + std::to_string(k);
        set.copy_subfolders = k % 2 == 0 ? "1" : "0";
        set.skip_set = k == 7 ? "1" : "0";
    }
    store.write_settings_file();
    const std::string bytes = read_file(dir / "system.dat");
    ASSERT_EQ(bytes.size(), 7520u);
    auto rec = [&](int n) { return bytes.substr(static_cast<std::size_t>(n - 1) * 160, 160); };
    auto padded = [](std::string s) {
        s.resize(160, ' ');
        return s;
    };
    EXPECT_EQ(rec(1), padded("0"));
    EXPECT_EQ(rec(3), padded("1"));
    EXPECT_EQ(rec(7), padded("False"));
    EXPECT_EQ(rec(8), padded("True"));
    EXPECT_EQ(rec(10), padded("9"));
    EXPECT_EQ(rec(11), padded(""));
    EXPECT_EQ(rec(15), padded("45"));
    EXPECT_EQ(rec(16), padded("/src/0"));
    EXPECT_EQ(rec(23), padded("/src/7"));
    // "/dst/フォルダ2": 5 + 8 + 1 bytes, the field padded to 80 characters.
    EXPECT_EQ(rec(26), padded("/dst/\x83\x74\x83\x48\x83\x8B\x83\x5F"
                              "2"));
    EXPECT_EQ(rec(33), padded("0"));
    EXPECT_EQ(rec(47), padded("1"));

    SettingsState again;
    SettingsStore reload(again, dir / "system.dat", reporter);
    reload.load_settings();
    EXPECT_EQ(again.model.sets[2].dst_folder, "/dst/フォルダ2");
    EXPECT_EQ(again.model.options.shutdown_after, o.shutdown_after);
    EXPECT_EQ(again.model.options.start_time[2], "21:45");
    EXPECT_EQ(again.model.options.backup_at_close, "1");
    EXPECT_TRUE(ui.events().empty());
}

TEST_F(SettingsStoreTest, LongValuesComeBackCutAndTrimmed) {
    state.model.sets[0].src_folder = "/" + std::string(89, 'a');
    state.model.sets[0].dst_folder = "/with/trailing   ";
    store.write_settings_file();
    store.load_settings();
    EXPECT_EQ(state.model.sets[0].src_folder, "/" + std::string(79, 'a'));
    EXPECT_EQ(state.model.sets[0].dst_folder, "/with/trailing");
}

TEST_F(SettingsStoreTest, ANonBooleanShutdownFlagStopsTheLoadWithASystemError) {
    auto records = full_records();
    records[6] = "yes";
    write_file(dir / "system.dat", hand_made_file(records));
    state.settings_changed = 1;
    store.load_settings();
    ASSERT_EQ(ui.events_of("box").size(), 1u);
    EXPECT_EQ(ui.events_of("box")[0].caption, "システムエラー");
    EXPECT_NE(ui.box_texts()[0].find("エラー番号13 "), std::string::npos);
    // Fields before the flag were taken, nothing after, and no control changed.
    EXPECT_EQ(state.model.options.copy_mode, "1");
    EXPECT_EQ(state.model.sets[0].src_folder, "");
    EXPECT_EQ(state.page.text({Control::srcfld_txt, 0}), "");
    EXPECT_FALSE(state.page.checked({Control::start_chk}));
    EXPECT_EQ(state.settings_changed, 1);
}

TEST_F(SettingsStoreTest, UnknownOptionValuesLeaveTheControlsAlone) {
    auto records = full_records();
    records[0] = "2";
    records[3] = "x";
    records[5] = "";
    write_file(dir / "system.dat", hand_made_file(records));
    state.page.select_option(Control::copy_op, 0);
    store.load_settings();
    EXPECT_EQ(state.page.selected_option(Control::copy_op), 0);
    EXPECT_EQ(state.page.selected_option(Control::rec_op), 1);
    EXPECT_FALSE(state.page.checked({Control::timer_chk}));
    EXPECT_EQ(state.caption_base, "Tarvenix");
}

TEST_F(SettingsStoreTest, AFileCutShortLeavesTheMissingControlsAlone) {
    auto records = full_records();
    records.resize(20);  // sets 4..7 and everything after record 20 missing
    write_file(dir / "system.dat", hand_made_file(records) + "\x83");
    store.load_settings();
    EXPECT_TRUE(ui.events().empty());
    EXPECT_EQ(state.model.sets[0].src_folder, "/home/太郎/データ");
    EXPECT_EQ(state.model.sets[0].dst_folder, "");
    for (int k = 0; k < kSetCount; ++k) {
        EXPECT_FALSE(state.page.checked({Control::skip_chk, k})) << k;
    }
}

TEST_F(SettingsStoreTest, BytesThatAreNotShiftJisStillLoad) {
    auto records = full_records();
    records[15] = "/bad\xA0\xFD\xFE\xFF";
    write_file(dir / "system.dat", hand_made_file(records));
    store.load_settings();
    EXPECT_TRUE(ui.events().empty());
    EXPECT_EQ(state.model.sets[0].src_folder.rfind("/bad", 0), 0u);
}

TEST_F(SettingsStoreTest, AFailedSaveLeavesThePreviousFileIntact) {
    write_file(dir / "system.dat", hand_made_file(full_records()));
    const std::string before = read_file(dir / "system.dat");
    store.load_settings();
    state.model.sets[3].src_folder = "/home/user/naïve";
    EXPECT_THROW(store.write_settings_file(), SystemError);
    EXPECT_EQ(read_file(dir / "system.dat"), before);
}

TEST(SettingsStoreFull, AFullDiskLeavesThePreviousFileIntact) {
    TempDir dir;
    ScopedTmpfs small(dir.path(), "12k");
    if (!small.mounted()) {
        GTEST_SKIP() << small.reason();
    }
    const std::string path = small.path() + "/system.dat";
    write_file(path, hand_made_file(full_records()));
    const std::string before = read_file(path);
    write_file(small.path() + "/filler", std::string(2048, 'f'));  // leave too little room
    ScriptedUi ui;
    SystemErrorReporter reporter(ui);
    SettingsState state;
    SettingsStore store(state, path, reporter);
    store.load_settings();
    state.model.sets[0].src_folder = "/changed";
    EXPECT_THROW(store.write_settings_file(), SystemError);
    EXPECT_EQ(read_file(path), before);
}

TEST(ParseSettingsBoolean, AcceptsWordsAndNumbers) {
    EXPECT_EQ(parse_settings_boolean("True"), true);
    EXPECT_EQ(parse_settings_boolean("FALSE"), false);
    EXPECT_EQ(parse_settings_boolean("0"), false);
    EXPECT_EQ(parse_settings_boolean("1"), true);
    EXPECT_EQ(parse_settings_boolean("-1"), true);
    EXPECT_EQ(parse_settings_boolean("0.0"), false);
    EXPECT_EQ(parse_settings_boolean("yes"), std::nullopt);
    EXPECT_EQ(parse_settings_boolean(""), std::nullopt);
    EXPECT_EQ(parse_settings_boolean("-"), std::nullopt);
    EXPECT_EQ(parse_settings_boolean("1e5"), std::nullopt);
}

TEST(SettingsPageModel, NotifiesOnRealChangesOnly) {
    SettingsState state;
    std::vector<std::string> seen;
    state.page.add_listener([&](const PageEvent& e) {
        if (e.kind == PageEvent::Kind::kControl) {
            seen.push_back(e.id.name());
        }
    });
    state.page.set_text({Control::srcfld_txt, 3}, "");  // unchanged
    state.page.select_option(Control::copy_op, 1);      // already selected
    EXPECT_EQ(state.settings_changed, 0);
    state.page.set_text({Control::srcfld_txt, 3}, "/a");
    state.page.select_option(Control::cp_skip, 0);
    state.page.set_checked({Control::timer_chk}, true);
    EXPECT_EQ(seen, (std::vector<std::string>{"srcfld_txt(3)", "cp_skip(0)", "timer_chk"}));
    EXPECT_EQ(state.settings_changed, 1);
    EXPECT_THROW(state.page.set_text({Control::srcfld_txt, 8}, "x"), std::out_of_range);
    EXPECT_THROW(state.page.set_checked({Control::srcfld_txt, 0}, true), std::invalid_argument);
}

}  // namespace
}  // namespace tarvenix
