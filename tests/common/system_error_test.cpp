#include "common/system_error.h"

#include <gtest/gtest.h>

#include "support/scripted_ui.h"

namespace tarvenix {
namespace {

struct FakeProgress final : ProgressVisibility {
    int hides = 0;
    void hide() override { ++hides; }
};

// The box comes before any progress dialog exists too.
TEST(SystemErrorReporter, ShowsCodeAndTextThenHidesTheProgressDialog) {
    for (const bool with_progress : {true, false}) {
        testing::ScriptedUi ui;
        SystemErrorReporter reporter(ui);
        FakeProgress progress;
        if (with_progress) {
            reporter.set_progress(&progress);
        }
        reporter.report_system_error(SystemError(53, "ファイルが見つかりません。"));
        const std::vector<testing::UiEvent> expected{
            {"box", "システムエラー", "エラー番号53 ファイルが見つかりません。", 0}};
        EXPECT_EQ(ui.events(), expected) << with_progress;
        EXPECT_EQ(progress.hides, with_progress ? 1 : 0);
    }
}

TEST(ErrorFromErrno, MapsSystemErrorsToMeaningfulCodes) {
    const SystemError full = error_from_errno(ENOSPC, "write", "/d/a.txt");
    EXPECT_EQ(full.code(), error_code::kDiskFull);
    EXPECT_NE(full.text().find("ディスクの空き容量が不足しています。"), std::string::npos);
    EXPECT_NE(full.text().find("/d/a.txt"), std::string::npos);
}

}  // namespace
}  // namespace tarvenix
