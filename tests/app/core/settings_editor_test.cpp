#include <gtest/gtest.h>

#include <functional>

#include "app_harness.h"

namespace tarvenix {
namespace {

using namespace testing;

class SettingsEditorTest : public AppHarness, public ::testing::Test {
protected:
    SettingsEditor& editor() { return controller.editor(); }
};

// A save the editor refuses writes nothing: one box says why, and the page
// shows the field to fix.
TEST_F(SettingsEditorTest, ARefusedSaveWritesNothingAndShowsTheField) {
    const struct {
        const char* name;
        std::function<void(AppHarness&)> edit;
        const char* message;  // the start of the last box's text
        std::size_t boxes;
        int tab;
        const char* focus;
        const char* made = nullptr;  // a folder made on the way, which stays
    } cases[] = {
        {"half-filled sets 3 and 5",
         [](AppHarness& t) {
             t.fill(2, "/a", "");
             t.fill(4, "", "/b");
         },
         "フォルダ3の設定に空文字列が含まれてます！", 1, 2, "srcfld_txt(2)"},
        {"a daily start without a start time",
         [](AppHarness& t) { t.page().set_checked({Control::timer_chk}, true); },
         "開始時間を入力して下さい！", 1, kStartEventsTab, "hour_txt(0)"},
        {"a start hour without its minute",
         [](AppHarness& t) {
             t.page().set_checked({Control::timer_chk}, true);
             t.page().set_text({Control::hour_txt, 0}, "07");
             t.page().set_text({Control::min_txt, 0}, "30");
             t.page().set_text({Control::hour_txt, 2}, "21");
         },
         "開始時間を入力して下さい！", 1, kStartEventsTab, "hour_txt(2)"},
        {"a missing source", [](AppHarness& t) { t.fill(3, t.dir / "nothing-here", t.dir.path()); },
         "コピー元フォルダが見つかりません！", 1, 3, "srcfld_txt(3)"},
        {"a destination that cannot be made",
         [](AppHarness& t) { t.fill(0, t.dir.path(), t.dir / "two/levels"); }, "エラー番号", 2, 0,
         ""},  // reported as a system error: the focus stays
        {"a run going on",
         [](AppHarness& t) {
             t.progress.show();
             t.fill(0, t.dir.path(), t.dir.path());
         },
         "バックアップ実行中です！\r終了後更新して下さい", 1, 0, ""},
        {"a name Shift-JIS cannot hold",
         [](AppHarness& t) {
             make_dirs(t.dir / "naïve");
             t.fill(0, t.dir / "naïve", t.dir.path());
         },
         "フォルダ1の設定にシフト JIS で保存できない文字", 1, 0, "srcfld_txt(0)"},
        // 81 characters, inside the test's folder: were it ever offered for
        // creation and made, it would be made there.
        {"a folder of 81 characters",
         [](AppHarness& t) {
             std::string long_path = t.dir.path() + "/";
             ASSERT_LT(long_path.size(), 81u) << "the temporary folder's path is too long";
             t.fill(2, t.dir.path(), long_path.append(81 - long_path.size(), 'a'));
         },
         "フォルダ3の設定が長すぎます！\r保存できるのは 80 文字までです\r", 1, 2, "dstfld_txt(2)"},
        {"a missing destination made on OK, the next one not on Cancel",
         [](AppHarness& t) {
             t.fill(0, t.dir.path(), t.dir / "new-backup");
             t.fill(1, t.dir.path(), t.dir / "second-new");
             t.ui.answer_next(button::kOk);
             t.ui.answer_next(button::kCancel);
         },
         "コピー先フォルダが見つかりません！\r", 2, 1, "dstfld_txt(1)", "new-backup"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppHarness t;
        c.edit(t);
        t.page().select_tab(0);
        EXPECT_FALSE(t.controller.editor().save_settings());
        const auto boxes = t.ui.events_of("box");
        ASSERT_EQ(boxes.size(), c.boxes);
        EXPECT_EQ(boxes.back().text.rfind(c.message, 0), 0u) << boxes.back().text;
        EXPECT_EQ(t.page().selected_tab(), c.tab);
        EXPECT_EQ(t.page().focus(), c.focus);
        EXPECT_FALSE(exists(t.context.settings_file_path));
        EXPECT_TRUE(c.made == nullptr || exists(t.dir / c.made));
    }
}

TEST_F(SettingsEditorTest, ASuccessfulSaveWritesReloadsAndClearsTheMark) {
    fill(0, dir.path(), dir.path());
    page().select_option(Control::cp_skip, 0);
    page().set_checked({Control::start_chk}, true);
    page().set_checked({Control::sdown, 1}, true);
    page().set_text({Control::hour_txt, 2}, "21");  // the daily start is off: not checked
    ui.set_time(10 * 3600);  // on a whole second: the pause lasts its full 0.3 s
    const double before = ui.monotonic_seconds();
    EXPECT_TRUE(editor().save_settings());
    EXPECT_GE(ui.monotonic_seconds() - before, 0.29);  // the short pause before the reload
    EXPECT_EQ(read_file(context.settings_file_path).size(), 7520u);
    EXPECT_EQ(context.settings.settings_changed, 0);
    EXPECT_EQ(page().focus(), "mini_bt");
    const auto o = stored().options;
    EXPECT_EQ(o.skip_open_files, "1");
    EXPECT_EQ(o.start_at_launch, "1");
    EXPECT_EQ(o.copy_mode, "1");  // the initial page's choice
    EXPECT_EQ(o.shutdown_after, (std::array<bool, 3>{false, true, false}));
    EXPECT_EQ(o.start_hour[2], "21");
    EXPECT_EQ(context.settings.model.sets[0].copy_subfolders, "0");  // box unticked
}

TEST_F(SettingsEditorTest, TheQuestionIsAskedOnlyAfterEdits) {
    context.store.load_settings();
    editor().clear_set(3);  // already empty: marks nothing
    editor().confirm_unsaved_changes();
    EXPECT_TRUE(ui.box_texts().empty());

    page().set_text({Control::srcfld_txt, 0}, "/edited");
    ui.answer_next(button::kNo);
    editor().confirm_unsaved_changes();
    editor().confirm_unsaved_changes();  // no further edit: no second question
    EXPECT_EQ(ui.box_texts(),
              std::vector<std::string>{"システムデータが変更されています\r更新しますか？"});
    EXPECT_EQ(context.settings.save_requested, 0);

    page().set_checked({Control::subfld_chk, 0}, true);  // these boxes count as edits too
    ui.answer_next(button::kYes);
    editor().confirm_unsaved_changes();
    EXPECT_EQ(context.settings.save_requested, 1);
    EXPECT_EQ(page().text({Control::srcfld_txt, 0}), "/edited");  // edits stay on the page
}

TEST_F(SettingsEditorTest, ClearingASetEmptiesItOnThePageOnly) {
    fill(5, "/a", "/b");
    page().set_checked({Control::subfld_chk, 5}, true);
    page().set_checked({Control::skip_chk, 5}, true);
    context.settings.model.sets[5].src_folder = "/a";
    context.settings.settings_changed = 0;
    editor().clear_set(5);
    EXPECT_EQ(page().text({Control::srcfld_txt, 5}), "");
    EXPECT_FALSE(page().checked({Control::skip_chk, 5}));
    EXPECT_FALSE(page().checked({Control::subfld_chk, 5}));
    EXPECT_EQ(context.settings.settings_changed, 1);
    EXPECT_EQ(context.settings.model.sets[5].src_folder, "/a");
}

TEST_F(SettingsEditorTest, BrowsingFillsTheChosenSideAtOnce) {
    ui.pick_next_folder("/media/usb/backup");
    editor().browse(9);
    EXPECT_EQ(page().text({Control::dstfld_txt, 4}), "/media/usb/backup");
    EXPECT_EQ(context.settings.model.sets[4].dst_folder, "/media/usb/backup");
    EXPECT_EQ(context.page_selector, 5);
    EXPECT_EQ(context.settings.settings_changed, 1);
    editor().browse(8);  // cancelled
    EXPECT_EQ(page().text({Control::srcfld_txt, 4}), "");
    EXPECT_EQ(ui.events_of("folder")[0].caption, "フォルダの選択");
}

}  // namespace
}  // namespace tarvenix
