#include <gtest/gtest.h>

#include "app_harness.h"

namespace tarvenix {
namespace {

using namespace testing;

class SettingsEditorTest : public AppHarness, public ::testing::Test {
protected:
    SettingsEditor& editor() { return controller.editor(); }
    void fill(int k, const std::string& src, const std::string& dst) {
        page().set_text({Control::srcfld_txt, k}, src);
        page().set_text({Control::dstfld_txt, k}, dst);
    }
    std::string saved() {
        return exists(context.settings_file_path) ? read_file(context.settings_file_path) : "";
    }
};

TEST_F(SettingsEditorTest, OnlyTheFirstHalfFilledSetIsReported) {
    fill(2, "/a", "");
    fill(4, "", "/b");
    EXPECT_FALSE(editor().save_settings());
    EXPECT_EQ(ui.box_texts(),
              std::vector<std::string>{"フォルダ3の設定に空文字列が含まれてます！"});
    EXPECT_EQ(page().selected_tab(), 2);
    EXPECT_EQ(page().focus(), "srcfld_txt(2)");
    EXPECT_EQ(saved(), "");
}

TEST_F(SettingsEditorTest, StartTimesAreRequiredOnlyWithTheDailyStart) {
    page().set_checked({Control::timer_chk}, true);
    EXPECT_FALSE(editor().save_settings());
    EXPECT_EQ(ui.box_texts().back(), "開始時間を入力して下さい！");
    EXPECT_EQ(page().selected_tab(), kStartEventsTab);
    EXPECT_EQ(page().focus(), "hour_txt(0)");

    page().set_text({Control::hour_txt, 0}, "07");
    page().set_text({Control::min_txt, 0}, "30");
    page().set_text({Control::hour_txt, 2}, "21");  // an hour without its minute
    EXPECT_FALSE(editor().save_settings());
    EXPECT_EQ(page().focus(), "hour_txt(2)");

    page().set_checked({Control::timer_chk}, false);
    EXPECT_TRUE(editor().save_settings());  // unchecked start times are not tested
}

TEST_F(SettingsEditorTest, AMissingDestinationIsCreatedWhenTheUserAgrees) {
    make_dirs(dir / "src");
    fill(0, dir / "src", dir / "new-backup");
    fill(1, dir / "src", dir / "second-new");
    ui.answer_next(button::kOk);
    ui.answer_next(button::kCancel);
    EXPECT_FALSE(editor().save_settings());
    EXPECT_TRUE(exists(dir / "new-backup"));  // stays made though the save ended
    EXPECT_FALSE(exists(dir / "second-new"));
    EXPECT_EQ(ui.box_texts()[0], "コピー先フォルダが見つかりません！\r" + (dir / "new-backup") +
                                     " を新規作成しますか？");
    EXPECT_EQ(page().selected_tab(), 1);
    EXPECT_EQ(page().focus(), "dstfld_txt(1)");
    EXPECT_EQ(saved(), "");
    // The folders were taken into the model all the same.
    EXPECT_EQ(context.settings.model.sets[1].dst_folder, dir / "second-new");
}

TEST_F(SettingsEditorTest, AMissingSourceStopsTheSave) {
    fill(3, dir / "nothing-here", dir.path());
    EXPECT_FALSE(editor().save_settings());
    EXPECT_EQ(ui.box_texts(), std::vector<std::string>{"コピー元フォルダが見つかりません！"});
    EXPECT_EQ(page().focus(), "srcfld_txt(3)");
}

TEST_F(SettingsEditorTest, ADestinationThatCannotBeMadeIsASystemError) {
    fill(0, dir.path(), dir / "two/levels");
    EXPECT_FALSE(editor().save_settings());
    const auto boxes = ui.events_of("box");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].caption, "システムエラー");
    EXPECT_EQ(saved(), "");
}

TEST_F(SettingsEditorTest, ASaveDuringARunIsRefused) {
    progress.show();
    fill(0, dir.path(), dir.path());
    EXPECT_FALSE(editor().save_settings());
    EXPECT_EQ(ui.box_texts(),
              std::vector<std::string>{"バックアップ実行中です！\r終了後更新して下さい"});
    EXPECT_EQ(saved(), "");
}

TEST_F(SettingsEditorTest, ASuccessfulSaveWritesReloadsAndClearsTheMark) {
    fill(0, dir.path(), dir.path());
    page().select_option(Control::cp_skip, 0);
    page().set_checked({Control::start_chk}, true);
    page().set_checked({Control::sdown, 1}, true);
    page().set_text({Control::srcfld_txt, 1}, "");
    ui.set_time(10 * 3600);  // on a whole second: the pause lasts its full 0.3 s
    const double before = ui.monotonic_seconds();
    EXPECT_TRUE(editor().save_settings());
    EXPECT_GE(ui.monotonic_seconds() - before, 0.29);  // the short pause before the reload
    EXPECT_EQ(saved().size(), 7520u);
    EXPECT_EQ(context.settings.settings_changed, 0);
    EXPECT_EQ(page().focus(), "mini_bt");
    const auto& o = context.settings.model.options;
    EXPECT_EQ(o.skip_open_files, "1");
    EXPECT_EQ(o.start_at_launch, "1");
    EXPECT_EQ(o.copy_mode, "1");  // the initial page's choice
    EXPECT_EQ(o.shutdown_after, (std::array<bool, 3>{false, true, false}));
    EXPECT_EQ(context.settings.model.sets[0].copy_subfolders, "0");  // box unticked
}

TEST_F(SettingsEditorTest, APathTheSettingsFileCannotHoldIsRefused) {
    make_dirs(dir / "naïve");
    // 81 characters, inside the test's folder: were it ever offered for
    // creation and made, it would be made there.
    std::string long_path = dir.path() + "/";
    ASSERT_LT(long_path.size(), 81u) << "the temporary folder's path is too long";
    long_path.append(81 - long_path.size(), 'a');
    const struct {
        int k;
        std::string src, dst;
        std::string message, focus;
    } cases[] = {
        {0, dir / "naïve", dir.path(), "フォルダ1の設定にシフト JIS で保存できない文字",
         "srcfld_txt(0)"},
        {2, dir.path(), long_path,
         "フォルダ3の設定が長すぎます！\r保存できるのは 80 文字までです\r" + long_path,
         "dstfld_txt(2)"},
    };
    for (const auto& c : cases) {
        ui.clear_events();
        fill(c.k, c.src, c.dst);
        EXPECT_FALSE(editor().save_settings()) << c.message;
        ASSERT_EQ(ui.box_texts().size(), 1u) << c.message;
        EXPECT_EQ(ui.box_texts()[0].rfind(c.message, 0), 0u) << ui.box_texts()[0];
        EXPECT_EQ(page().focus(), c.focus);
        EXPECT_EQ(page().selected_tab(), c.k);
        EXPECT_EQ(saved(), "");
        EXPECT_FALSE(exists(long_path));  // not offered for creation either
        fill(c.k, "", "");
    }
}

TEST_F(SettingsEditorTest, TheQuestionIsAskedOnlyAfterEdits) {
    context.store.load_settings();
    EXPECT_EQ(context.settings.settings_changed, 0);
    editor().clear_set(3);  // already empty: marks nothing
    editor().confirm_unsaved_changes();
    EXPECT_TRUE(ui.box_texts().empty());

    page().set_text({Control::srcfld_txt, 0}, "/edited");
    ui.answer_next(button::kNo);
    editor().confirm_unsaved_changes();
    EXPECT_EQ(ui.box_texts(),
              std::vector<std::string>{"システムデータが変更されています\r更新しますか？"});
    EXPECT_EQ(context.settings.save_requested, 0);
    editor().confirm_unsaved_changes();  // no further edit: no second question
    EXPECT_EQ(ui.box_texts().size(), 1u);

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
