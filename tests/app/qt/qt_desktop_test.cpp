// The desktop port: filters for the file dialogs, window handles, finding,
// closing and keeping windows on top.

#include "app/qt/qt_desktop.h"

#include <gtest/gtest.h>

#include <QDialog>

using namespace Qt::StringLiterals;

namespace tarvenix::testing {
namespace {

TEST(QtDesktop, WritesTheDialogFilterTheQtWay) {
    using std::string_view_literals::operator""sv;
    EXPECT_EQ(qt::QtDesktop::qt_filter("Text\0*.txt\0"sv), u"Text (*.txt)"_s);
    EXPECT_EQ(qt::QtDesktop::qt_filter("履歴\0*.txt;*.log\0全て\0*.*\0"sv),
              u"履歴 (*.txt *.log);;全て (*.*)"_s);
    EXPECT_EQ(qt::QtDesktop::qt_filter(""), QString());
}

TEST(QtDesktop, FindsTheProgramsWindowsByTitleAndClosesThem) {
    qt::QtDesktop desktop;
    QDialog about;
    about.setWindowTitle(u"TARVENIXのﾊﾞｰｼﾞｮﾝ情報"_s);
    about.show();
    const std::int32_t handle = desktop.find_window("TARVENIXのﾊﾞｰｼﾞｮﾝ情報");
    ASSERT_NE(handle, 0);
    EXPECT_EQ(desktop.handle_of(&about), handle);  // the same handle every time
    EXPECT_EQ(desktop.window_of(handle), &about);
    EXPECT_EQ(desktop.find_window("no such window"), 0);

    desktop.set_top_most(handle, true);
    EXPECT_TRUE(about.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(about.isVisible());
    desktop.set_top_most(handle, false);
    EXPECT_FALSE(about.windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    desktop.request_close(handle);
    EXPECT_FALSE(about.isVisible());
    desktop.request_close(handle + 5);  // unknown handles are ignored
}

}  // namespace
}  // namespace tarvenix::testing
