// The program's windows as the window manager shows them, on a real X server
// with a window manager (run by under_x11.sh; elsewhere these tests skip).

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/qt/about.h"
#include "app/qt/qt_ports.h"
#include "app/qt/splash.h"
#include "app/qt/ui_common.h"
#include "app_fixture.h"

using namespace Qt::StringLiterals;

namespace tarvenix::testing {
namespace {

// The caption the window manager was given (_NET_WM_NAME), read with xprop.
QString wm_name(const QWidget* window) {
    QProcess xprop;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    xprop.setProcessEnvironment(env);
    xprop.start(u"xprop"_s,
                {u"-notype"_s, u"-id"_s, QString::number(window->winId()), u"_NET_WM_NAME"_s});
    xprop.waitForFinished(5000);
    const QString out = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    const qsizetype open = out.indexOf(u'"');
    if (open < 0 || !out.endsWith(u'"')) {
        return u"<none: "_s + out + u'>';
    }
    QString value = out.mid(open + 1, out.size() - open - 2);
    value.replace(u"\\\""_s, u"\""_s);
    return value;
}

// Waits until the window manager holds the expected caption (the property is
// set asynchronously), then returns what it holds.
QString wm_name_settled(const QWidget* window, const QString& expected) {
    QElapsedTimer clock;
    clock.start();
    QString seen;
    while ((seen = wm_name(window)) != expected && clock.elapsed() < 3000) {
        QTest::qWait(50);
    }
    return seen;
}

class X11Test : public AppFixture {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != u"xcb"_s) {
            GTEST_SKIP() << "needs an X server with a window manager (tests/app/qt/under_x11.sh)";
        }
    }
};

TEST_F(X11Test, CaptionsAreExactlyTheProgramsOwnTexts) {
    qt::SplashWindow* splash = new qt::SplashWindow;
    splash->present();
    qt::AboutWindow* about = new qt::AboutWindow(u"Ver7.00"_s);
    about->show();
    progress.show();
    window.timer1()->stop();  // the caption below stays as set
    window.show();
    context.settings.page.set_caption("Tarvenix   (Now 09:30:05)  変更有り");
    const std::pair<QWidget*, QString> windows[] = {
        {splash, u" "_s},
        {about, u"TARVENIXのﾊﾞｰｼﾞｮﾝ情報"_s},
        {&progress, u"Tarvenix  バックアップ中 ．．．"_s},
        {&window, u"Tarvenix   (Now 09:30:05)  変更有り"_s},
    };
    for (const auto& [shown, caption] : windows) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(shown));
        EXPECT_EQ(wm_name_settled(shown, caption).toStdString(), caption.toStdString());
    }
    QString box_caption;
    QTimer::singleShot(0, [&box_caption] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
        box_caption = wm_name_settled(box, u"Error"_s);
        static_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
    });
    qt::QtMessageBoxes().show_box("Error", "text", box_style::kOk | box_style::kIconStop, nullptr);
    EXPECT_EQ(box_caption.toStdString(), "Error");
    progress.hide();
    splash->close();
}

}  // namespace
}  // namespace tarvenix::testing
