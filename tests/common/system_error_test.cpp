#include "common/system_error.h"

#include <gtest/gtest.h>

#include "support/scripted_ui.h"

namespace tarvenix {
namespace {

struct FakeProgress final : ProgressVisibility {
    int hides = 0;
    void hide() override { ++hides; }
};

TEST(SystemErrorReporter, ShowsCodeAndTextThenHidesTheProgressDialog) {
    testing::ScriptedUi ui;
    SystemErrorReporter reporter(ui);
    FakeProgress progress;
    reporter.set_progress(&progress);
    reporter.report_system_error(SystemError(53, "ファイルが見つかりません。"));
    const std::vector<testing::UiEvent> expected{
        {"box", "システムエラー", "エラー番号53 ファイルが見つかりません。", 0}};
    EXPECT_EQ(ui.events(), expected);
    EXPECT_EQ(progress.hides, 1);
}

TEST(SystemErrorReporter, WorksBeforeAnyProgressDialogExists) {
    testing::ScriptedUi ui;
    SystemErrorReporter reporter(ui);
    reporter.report_system_error(SystemError(70, "x"));
    EXPECT_EQ(ui.box_texts(), std::vector<std::string>{"エラー番号70 x"});
}

TEST(ErrorFromErrno, MapsSystemErrorsToMeaningfulCodes) {
    const SystemError full = error_from_errno(ENOSPC, "write", "/d/a.txt");
    EXPECT_EQ(full.code(), error_code::kDiskFull);
    EXPECT_NE(full.text().find("ディスクの空き容量が不足しています。"), std::string::npos);
    EXPECT_NE(full.text().find("/d/a.txt"), std::string::npos);
    EXPECT_EQ(error_from_errno(EACCES, "open", "p").code(), error_code::kPermissionDenied);
    EXPECT_EQ(error_from_errno(EROFS, "open", "p").code(), error_code::kPermissionDenied);
    EXPECT_EQ(error_from_errno(ENOENT, "open", "p").code(), error_code::kFileNotFound);
    EXPECT_EQ(error_from_errno(EIO, "read", "p").code(), error_code::kDeviceIo);
    EXPECT_EQ(error_from_errno(ELOOP, "open", "p").code(), error_code::kPathFileAccess);
}

}  // namespace
}  // namespace tarvenix
