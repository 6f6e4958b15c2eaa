// The program's windows as the window manager shows them, on a real X server
// with a window manager (run by under_x11.sh; elsewhere these tests skip).

#include <gtest/gtest.h>

#include <QAction>
#include <QGuiApplication>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>

#include "app/qt/about.h"
#include "app/qt/splash.h"
#include "app/qt/ui_common.h"
#include "app_fixture.h"

using namespace Qt::StringLiterals;

namespace tarvenix::testing {
namespace {

// A property of the window as the window manager holds it, read with xprop.
QString xprop(const QWidget* window, const QString& property) {
    QProcess xprop;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    xprop.setProcessEnvironment(env);
    xprop.start(u"xprop"_s, {u"-notype"_s, u"-id"_s, QString::number(window->winId()), property});
    xprop.waitForFinished(5000);
    return QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
}

// The caption the window manager holds (_NET_WM_NAME).
QString wm_name(const QWidget* window) {
    const QString out = xprop(window, u"_NET_WM_NAME"_s);
    const qsizetype open = out.indexOf(u'"');
    return open < 0 || !out.endsWith(u'"')
               ? u"<none: "_s + out + u'>'
               : out.mid(open + 1, out.size() - open - 2).replace(u"\\\""_s, u"\""_s);
}

// How the window manager holds a window: "Normal", "Iconic", or "none" when
// the window is not managed (unmapped).
QString wm_state(const QWidget* window) {
    const QString out = xprop(window, u"WM_STATE"_s);
    const qsizetype at = out.indexOf(u"window state: "_s);
    return at < 0 ? u"none"_s : out.mid(at + 14).section(u'\n', 0, 0).trimmed();
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
        // The window manager is told asynchronously.
        QString seen;
        EXPECT_TRUE(QTest::qWaitFor([&] { return (seen = wm_name(shown)) == caption; }, 10000))
            << seen.toStdString() << " for " << caption.toStdString();
    }
    progress.hide();
    splash->close();
}

// A notification area (trayer) that appears and goes away while the program
// runs: the program is always reachable, and an edit in progress is never
// taken off the screen.
TEST_F(X11Test, ATrayThatComesAndGoesNeverLeavesTheProgramOutOfReach) {
    window.findChild<QTimer*>(u"tray_retry"_s)->setInterval(100);
    QProcess tray;
    const auto start_tray = [&tray] {
        tray.start(u"trayer"_s, {u"--edge"_s, u"top"_s, u"--align"_s, u"right"_s});
        return QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000);
    };
    const auto stop_tray = [&tray] {
        tray.kill();
        tray.waitForFinished(5000);
    };
    controller.start_up();  // no tray yet: the window stands in
    ASSERT_TRUE(window.standing_in_for_tray());
    QLineEdit* source = find<QLineEdit>(u"srcfld_txt(0)"_s);
    QTest::mouseClick(source, Qt::LeftButton);
    QTest::keyClicks(source, u"/data"_s);

    struct Step {
        const char* name;
        std::function<void()> action;
        bool icon;              // the tray icon is shown
        QStringList wm_states;  // the main window's, any of these
    };
    const Step steps[] = {
        {"a tray appears during an edit", [&] { ASSERT_TRUE(start_tray()); }, true, {u"Normal"_s}},
        {"閉じる hides it into the tray",
         [&] {
             ui.answer_next(button::kNo);
             find<QPushButton>(u"mini_bt"_s)->click();
         },
         true,
         {u"none"_s}},
        {"the tray goes away", stop_tray, false, {u"Normal"_s}},
        {"閉じる minimises the stand-in",
         [&] { find<QPushButton>(u"mini_bt"_s)->click(); },
         false,
         {u"Iconic"_s}},
        // Left as the user left it (openbox at times restores it when the
        // panel takes its place): never withdrawn.
        {"a tray appears again",
         [&] { ASSERT_TRUE(start_tray()); },
         true,
         {u"Iconic"_s, u"Normal"_s}},
        {"設定 shows the window",
         [&] { window.findChild<QAction*>(u"mnuset"_s)->trigger(); },
         true,
         {u"Normal"_s}},
    };
    for (const Step& step : steps) {
        step.action();
        const auto icon_shown = [&] {
            return window.tray().icon() != nullptr && window.tray().icon()->isVisible();
        };
        const bool settled = QTest::qWaitFor(
            [&] { return icon_shown() == step.icon && step.wm_states.contains(wm_state(&window)); },
            10000);
        EXPECT_TRUE(settled) << step.name << ": state " << wm_state(&window).toStdString()
                             << ", tray " << QSystemTrayIcon::isSystemTrayAvailable() << ", icon "
                             << icon_shown();
        EXPECT_EQ(window.standing_in_for_tray(), !step.icon) << step.name;
        EXPECT_EQ(source->text(), u"/data"_s) << step.name;
    }
    EXPECT_TRUE(window.isActiveWindow() || window.window_visible());
    stop_tray();
}

}  // namespace
}  // namespace tarvenix::testing
