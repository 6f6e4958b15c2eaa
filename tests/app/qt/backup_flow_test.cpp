// A backup started from the window's buttons, on real files in a temporary
// program folder.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/qt/ui_common.h"
#include "app_fixture.h"

using namespace Qt::StringLiterals;

namespace tarvenix::testing {
namespace {

class BackupFlowTest : public AppFixture {
protected:
    void SetUp() override {
        make_dirs(tmp / "src/sub");
        make_dirs(tmp / "dst");
        write_file(tmp / "src/a.txt", "alpha");
        write_file(tmp / "src/sub/b.txt", "bravo");
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // Fills set 1 on the page as the user would and presses "更　新".
    void configure_set_one() {
        QTest::keyClicks(find<QLineEdit>(u"srcfld_txt(0)"_s), qt::to_qstring(tmp / "src"));
        QTest::keyClicks(find<QLineEdit>(u"dstfld_txt(0)"_s), qt::to_qstring(tmp / "dst"));
        QCheckBox* subfolders = find<QCheckBox>(u"subfld_chk(0)"_s);
        // On the box itself: the control is wider than its caption.
        QTest::mouseClick(subfolders, Qt::LeftButton, {}, QPoint(6, subfolders->height() / 2));
        ASSERT_TRUE(subfolders->isChecked());
        QTest::mouseClick(find<QPushButton>(u"ok_bt"_s), Qt::LeftButton);
    }
};

TEST_F(BackupFlowTest, UpdateButtonWritesTheSettingsFile) {
    ASSERT_FALSE(exists(tmp / "system.dat"));
    ASSERT_NO_FATAL_FAILURE(configure_set_one());
    EXPECT_TRUE(ui.box_texts().empty());
    ASSERT_TRUE(exists(tmp / "system.dat"));
    EXPECT_EQ(context.settings.model.sets[0].src_folder, tmp / "src");
    EXPECT_EQ(context.settings.model.sets[0].copy_subfolders, "1");
    EXPECT_EQ(context.settings.settings_changed, 0);
    // After the save the focus goes to "閉じる".
    EXPECT_EQ(window.focusWidget(), find<QWidget>(u"mini_bt"_s));
}

TEST_F(BackupFlowTest, BackupButtonCopiesTheFilesAndWritesTheHistory) {
    ASSERT_NO_FATAL_FAILURE(configure_set_one());
    ASSERT_TRUE(exists(tmp / "system.dat"));

    bool dialog_seen = false;
    QString source_shown;
    ui.on_every_pump([&] {
        if (progress.isVisible()) {
            dialog_seen = true;
            source_shown = progress.label(ProgressLabel::srcfld)->text();
        }
    });
    QTest::mouseClick(find<QPushButton>(u"bkup_bt"_s), Qt::LeftButton);

    EXPECT_EQ(read_file(tmp / "dst/a.txt"), "alpha");
    EXPECT_EQ(read_file(tmp / "dst/sub/b.txt"), "bravo");
    EXPECT_TRUE(dialog_seen);
    EXPECT_EQ(source_shown, qt::to_qstring(tmp / "src"));
    EXPECT_FALSE(progress.isVisible());
    EXPECT_TRUE(ui.box_texts().empty());

    ASSERT_TRUE(exists(tmp / "history.txt"));
    const std::string history = read_file(tmp / "history.txt");
    EXPECT_NE(history.find("[Start]"), std::string::npos) << history;
    EXPECT_NE(history.find("[Manual]"), std::string::npos) << history;
    EXPECT_NE(history.find("[Success]"), std::string::npos) << history;
    EXPECT_TRUE(ui.session_requests().empty());
}

TEST_F(BackupFlowTest, CancelButtonOfTheProgressDialogStopsTheRun) {
    for (int i = 0; i < 20; ++i) {
        write_file(tmp / ("src/f" + std::to_string(i) + ".txt"), "x");
    }
    ASSERT_NO_FATAL_FAILURE(configure_set_one());
    bool clicked = false;
    ui.on_every_pump([&] {
        if (!clicked && progress.isVisible() &&
            !progress.label(ProgressLabel::cpfname)->text().isEmpty()) {
            clicked = true;
            QTest::mouseClick(progress.findChild<QPushButton*>(u"copyccl_bt"_s), Qt::LeftButton);
        }
    });
    QTest::mouseClick(find<QPushButton>(u"bkup_bt"_s), Qt::LeftButton);
    EXPECT_TRUE(clicked);
    ASSERT_EQ(ui.box_texts().size(), 1U);
    EXPECT_EQ(ui.box_texts()[0], "バックアップが中止されました！");
    EXPECT_FALSE(progress.isVisible());
    EXPECT_NE(read_file(tmp / "history.txt").find("[Cancel]"), std::string::npos);
}

}  // namespace
}  // namespace tarvenix::testing
