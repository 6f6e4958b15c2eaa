// The settings editor over folders on a share: what the user sees when its
// server stops answering during a save.

#include <gtest/gtest.h>

#include <chrono>

#include "app/core/app_controller.h"
#include "support/app_harness.h"
#include "support/os_helpers.h"

namespace tarvenix {
namespace {

using namespace testing;

// A folder on a share whose server stopped answering: the save serves the
// window while it waits, refuses a second OK meanwhile, and once the folder
// has had its time counts it as not there (one to be made: the device is not
// ready).
TEST(SettingsEditorTest, AFolderOnAShareThatStopsAnsweringHoldsNoWindow) {
    const struct {
        const char* name;
        bool hang_at_question;  // else before the save
        const char* message;    // the start of the last box's text
        std::size_t boxes;
        const char* focus;
    } cases[] = {
        {"a source", false, "コピー元フォルダが見つかりません！", 1, "srcfld_txt(0)"},
        {"a destination to be made", true,
         "エラー番号68 デバイスが準備されていません。（フォルダの作成：", 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppHarness t;
        ScopedMedium share(t.dir.path(), Medium::kSshfs);
        if (!share.mounted()) {
            GTEST_SKIP() << share.reason();
        }
        // Made behind the share, so nothing of it is kept on this side: the
        // save's look at it goes to the server.
        make_dirs(t.dir / "medium.img/src");
        make_dirs(t.dir / "src");
        make_dirs(t.dir / "dst");
        if (c.hang_at_question) {
            t.fill(0, t.dir / "src", share.path() + "/new");
            t.ui.on_box("を新規作成しますか", [&] { ASSERT_TRUE(share.hang(true)); });
            t.ui.answer_next(button::kOk);
        } else {
            t.fill(0, share.path() + "/src", t.dir / "dst");
            ASSERT_TRUE(share.hang(true));
        }
        int served = 0;
        bool again = true;
        t.ui.on_every_pump([&] {
            if (++served == 3) {
                again = t.controller.editor().save_settings();
                t.ui.advance(SettingsEditor::kFolderAnswerSeconds + 1);
            }
        });
        // Without the wait served, the server answers again after 30 s.
        {
            const auto guard = share.answer_again_after(std::chrono::seconds(30));
            EXPECT_FALSE(t.controller.editor().save_settings());
        }
        share.hang(false);
        EXPECT_GE(served, 3);
        EXPECT_FALSE(again);
        const auto boxes = t.ui.events_of("box");
        ASSERT_EQ(boxes.size(), c.boxes);
        EXPECT_EQ(boxes.back().text.rfind(c.message, 0), 0u) << boxes.back().text;
        EXPECT_EQ(t.page().focus() ? t.page().focus()->name() : "", c.focus);
        EXPECT_FALSE(exists(t.context.settings_file_path));
    }
}

}  // namespace
}  // namespace tarvenix
