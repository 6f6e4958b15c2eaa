// The desktop program's windows, boxes and shell as the user meets them, and
// (X11*, run by under_x11.sh; elsewhere they skip) what the window manager shows.

#include "app/qt/main_window.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QGroupBox>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>
#include <ranges>
#include <vector>

#include "app/core/app_controller.h"
#include "app/core/program_context.h"
#include "app/qt/about.h"
#include "app/qt/multi_row_tab_bar.h"
#include "app/qt/progress_dialog.h"
#include "app/qt/qt_desktop.h"
#include "app/qt/qt_ports.h"
#include "app/qt/splash.h"
#include "app/qt/ui_common.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

using namespace Qt::StringLiterals;

namespace tarvenix::testing {
namespace {

// The program assembled as main() does in a temporary folder; the user and the
// session are scripted, the desktop (tray icon, windows) is Qt's.
class AppFixture : public ::testing::Test {
protected:
    AppFixture()
        : context(with_real_desktop(ui.ports(), desktop), progress, tmp.path())
        , window(context.settings.page, &progress)
        , controller(context, window) {
        window.set_controller(&controller);
        window.set_desktop(&desktop);
        desktop.set_tray_host(&window.tray());
        window.set_quit_handler([this] { ++quit_calls; });
        progress.set_cancel_handler([this] { controller.copyccl_bt(); });
        context.store.load_settings();
    }

    ~AppFixture() override {
        // Leave nothing on screen for the next test.
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && widget != &window && widget != &progress) {
                widget->close();
            }
        }
    }

    // Shows the settings window and waits until it has the keyboard.
    void show_window() {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    template <typename T>
    T* find(const QString& name) {
        T* widget = window.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }

    static Ports with_real_desktop(const Ports& p, DesktopPort& desktop) {
        return Ports{p.boxes,   p.sound, p.busy,    p.pump, p.clock,
                     p.session, p.shell, p.folders, desktop};
    }

    TempDir tmp;
    ScriptedUi ui;
    qt::QtDesktop desktop;
    qt::ProgressDialog progress;
    ProgramContext context;
    qt::MainWindow window;
    AppController controller;
    int quit_calls = 0;
};

// The "name=caption" entries of a '|'-separated list as `parent` shows them:
// the widget's `property`, or the size of a label's picture.
QString shown(const QWidget* parent, const QString& expected, const char* property = "text") {
    QStringList seen;
    for (const QString& entry : expected.split(u'|')) {
        const QString name = entry.section(u'=', 0, 0);
        const auto* widget = parent->findChild<QWidget*>(name);
        const auto* label = qobject_cast<const QLabel*>(widget);
        QString text = widget != nullptr ? widget->property(property).toString() : u"<missing>"_s;
        if (label != nullptr && !label->pixmap().isNull()) {
            text = u"<%1x%2>"_s.arg(label->pixmap().width()).arg(label->pixmap().height());
        }
        seen << name + u'=' + text;
    }
    return seen.join(u'|');
}

// What `text` gives for each of `items`, joined by '|'.
template <typename Items, typename Text>
QString joined(const Items& items, Text text) {
    QStringList texts;
    for (const auto& item : items) {
        texts << text(item);
    }
    return texts.join(u'|');
}

class MainWindowTest : public AppFixture {};

TEST_F(MainWindowTest, EveryControlTabFrameAndTipHasItsExactCaption) {
    QString captions =
        u"mini_bt=閉じる|ok_bt=更　新|close_bt=終　了|bkup_bt=ﾊﾞｯｸｱｯﾌﾟ開始|"
        u"bkup_exit_bt=ﾊﾞｯｸｱｯﾌﾟ後Windows終了|histclr_bt=履歴クリア|recedit_bt=履歴表示|"
        u"copy_op(0)=無条件で全て上書きコピー|"
        u"copy_op(1)=同一ファイル名は日付の新しいものだけ上書きコピー|"
        u"cp_skip(0)=コピーをスキップする|cp_skip(1)=無視してコピーする|"
        u"start_chk=　プログラム起動時開始|timer_chk=　指定時刻に開始 (24時間制)|"
        u"rec_op(0)=　履歴の記録をしない|rec_op(1)=　履歴の記録をする|"
        u"sdown_lbl=ﾊﾞｯｸｱｯﾌﾟ後 Shut down"_s;
    for (int k = 0; k < 8; ++k) {
        captions +=
            u"|Label1(%1)=コピー元フォルダ|Label2(%1)=コピー先フォルダ|refsrc_bt(%2)=参照|"
            u"refsrc_bt(%3)=参照|subfld_chk(%1)=サブフォルダもコピーする|"
            u"skip_chk(%1)=この設定をスキップする|set_clr_bt(%1)=設定ｸﾘｱ"_s.arg(k)
                .arg(2 * k)
                .arg(2 * k + 1);
    }
    for (int k = 0; k < 3; ++k) {
        captions +=
            u"|time_lbl(%1)=設定%2|hour_lbl(%1)=時|min_lbl(%1)=分"_s.arg(k).arg(QChar(u'１' + k));
    }
    EXPECT_EQ(shown(&window, captions), captions);
    const QString tips =
        u"hour_txt(0)=24時間制で入力|hour_txt(1)=24時間制で入力|"
        u"hour_txt(2)=24時間制で入力|bkup_bt=ﾏﾆｭｱﾙ起動|bkup_exit_bt=ﾏﾆｭｱﾙ起動"_s;
    EXPECT_EQ(shown(&window, tips, "toolTip"), tips);
    EXPECT_EQ(window.windowTitle(), u"Tarvenix"_s);
    const auto* tabs = window.settings_tabs();
    EXPECT_EQ(joined(std::views::iota(0, tabs->count()), [&](int i) { return tabs->tabText(i); }),
              u"フォルダ１|フォルダ２|フォルダ３|フォルダ４|フォルダ５|フォルダ６|"
              u"フォルダ７|フォルダ８|コピー条件|起動イベント|履歴"_s);
    QStringList frames;
    for (const QGroupBox* frame : window.findChildren<QGroupBox*>()) {
        frames << frame->title();
    }
    frames.sort();
    EXPECT_EQ(frames.join(u'|'), u"オープン中のファイル|コピー履歴|時刻設定|条件"_s);
}

// The menu `click` pops up (`later` for another process's click), closed again.
QString popped_up_by(const std::function<void()>& click, bool later = false) {
    QString seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            seen = joined(popup->actions(), [](const QAction* a) {
                return a->isSeparator() ? u"-"_s : a->objectName() + u'=' + a->text();
            });
            popup->close();
        }
    });
    poll.start(20);
    click();
    (void)QTest::qWaitFor([&] { return !seen.isEmpty(); }, later ? 5000 : 0);
    return seen.isEmpty() ? u"<none>"_s : seen;
}

const QString kMainMenu =
    u"bkup_exitwin=ﾊﾞｯｸｱｯﾌﾟ後Windows終了|start_bkup=ﾊﾞｯｸｱｯﾌﾟ実行|-|exit_win=Windows終了|"
    u"reboot_win=Windows再起動|log_off=ログオフ|-|mnuset=設定|History_Disp=履歴表示|-|"
    u"mnuend=Tarvenix終了"_s;
const QString kHelpMenu = u"help_show=ﾍﾙﾌﾟ|about_show=About"_s;

// A left click on the tray icon pops up the main menu, a right click the help.
TEST_F(MainWindowTest, TrayClicksPopUpTheirMenus) {
    const std::pair<QSystemTrayIcon::ActivationReason, QString> clicks[] = {
        {QSystemTrayIcon::Trigger, kMainMenu},
        {QSystemTrayIcon::Context, kHelpMenu},
        {QSystemTrayIcon::DoubleClick, u"<none>"_s},
        {QSystemTrayIcon::MiddleClick, u"<none>"_s},
    };
    for (const auto& [reason, items] : clicks) {
        EXPECT_EQ(popped_up_by([&] { window.on_tray_activated(reason); }), items)
            << "activation " << reason;
    }
}

// Without a tray, start-up shows the splash, then the window with a menu bar;
// its "終　了" ends the program without a question when nothing changed.
TEST_F(MainWindowTest, WithoutATrayStartUpShowsTheSplashThenTheWindowAndCloseEndsIt) {
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable())
        << "these checks need a desktop without tray";
    bool splash_seen = false;
    ui.on_every_pump([&] {
        splash_seen = splash_seen || (window.splash() != nullptr && window.splash()->isVisible());
    });
    controller.start_up();
    EXPECT_TRUE(splash_seen);
    EXPECT_TRUE(window.splash() == nullptr || !window.splash()->isVisible());
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.menuBar()->isVisible());
    EXPECT_EQ(joined(window.menuBar()->actions(), std::mem_fn(&QAction::text)), u"ﾒﾆｭｰ|ﾍﾙﾌﾟ"_s);
    find<QPushButton>(u"close_bt"_s)->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(controller.shut_down());
    EXPECT_EQ(quit_calls, 1);
    EXPECT_TRUE(ui.box_texts().empty());
}

// Loaded settings are no change, typing is: the caption shows its marker on one
// of two ticks, and closing asks first (No saves nothing) and ends the program.
TEST_F(MainWindowTest, TypingMarksTheSettingsChangedAndClosingAsksFirst) {
    context.settings.model.sets[3].dst_folder = "/backup/四";
    context.settings.model.options.copy_mode = "1";
    context.store.write_settings_file();
    context.store.load_settings();
    const std::string stored = read_file(tmp / "system.dat");
    show_window();
    EXPECT_EQ(find<QLineEdit>(u"dstfld_txt(3)"_s)->text(), u"/backup/四"_s);
    EXPECT_TRUE(find<QRadioButton>(u"copy_op(1)"_s)->isChecked());
    for (const bool typed : {false, true}) {
        if (typed) {
            QLineEdit* source = find<QLineEdit>(u"srcfld_txt(0)"_s);
            source->setFocus();
            QTest::keyClicks(source, u"/data/src"_s);
            EXPECT_EQ(context.settings.page.text({Control::srcfld_txt, 0}), "/data/src");
        }
        QStringList captions;
        for (int tick = 0; tick < 2; ++tick) {
            controller.on_timer_tick();
            captions << window.windowTitle();
        }
        EXPECT_EQ(captions.filter(u")  変更有り"_s).size(), typed ? 1 : 0)
            << captions.join(u" / "_s).toStdString();
    }
    ui.answer_next(button::kNo);
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(controller.shut_down());
    EXPECT_EQ(quit_calls, 1);
    EXPECT_EQ(ui.box_texts(),
              std::vector<std::string>{"システムデータが変更されています\r更新しますか？"});
    EXPECT_EQ(read_file(tmp / "system.dat"), stored);
    EXPECT_TRUE(ui.session_requests().empty());
}

// Leaving a time box for another control checks it; another window or a menu
// taking the keyboard is no leaving of the box.
TEST_F(MainWindowTest, LeavingATimeBoxRunsItsCheck) {
    show_window();
    context.settings.page.select_tab(kStartEventsTab);
    const struct {
        QString box, typed;
        Qt::FocusReason reason;
        QString shown;
        std::string message;  // "": no box
    } cases[] = {
        {u"hour_txt(0)"_s, u"7"_s, Qt::TabFocusReason, u"07"_s, ""},
        {u"hour_txt(1)"_s, u"99"_s, Qt::ActiveWindowFocusReason, u"99"_s, ""},
        {u"hour_txt(1)"_s, u"99"_s, Qt::PopupFocusReason, u"99"_s, ""},
        {u"hour_txt(1)"_s, u"99"_s, Qt::TabFocusReason, u"99"_s, "入力された時間が範囲外です！"},
        {u"min_txt(0)"_s, u"60"_s, Qt::MouseFocusReason, u"60"_s, "入力された分が範囲外です！"},
    };
    for (const auto& c : cases) {
        const std::string name = c.box.toStdString() + " by reason " + std::to_string(c.reason);
        QLineEdit* edit = find<QLineEdit>(c.box);
        edit->setFocus();
        edit->clear();
        QTest::keyClicks(edit, c.typed);
        const std::size_t boxes = ui.box_texts().size();
        find<QWidget>(u"min_txt(2)"_s)->setFocus(c.reason);
        QTest::qWait(20);
        EXPECT_EQ(edit->text(), c.shown) << name;
        ASSERT_EQ(ui.box_texts().size(), boxes + (c.message.empty() ? 0 : 1)) << name;
        if (!c.message.empty()) {
            EXPECT_EQ(ui.box_texts().back(), c.message) << name;
            EXPECT_EQ(QApplication::focusWidget(), edit) << name;
        }
        EXPECT_EQ(window.settings_tabs()->currentIndex(), kStartEventsTab) << name;
        edit->clear();
    }
}

// A value the settings file must not take, typed and then saved at once: by a
// fast click on "更　新" (press and release together, before the focus-leave
// check has run) or through Tarvenix終了 in the menu (a menu taking the focus
// is no leaving of the box). The save refuses it with one message.
struct Refusal {
    const char* name;
    std::vector<std::pair<QString, QString>> typing;  // (box, text); the last box is refused
    bool by_menu;
    std::string message;
};
void PrintTo(const Refusal& c, std::ostream* os) {
    *os << c.name;
}
const QString kLongPath = u"/"_s + QString(80, u'a');
const Refusal kRefusals[] = {
    {"hour_then_update", {{u"hour_txt(0)"_s, u"25"_s}}, false, "入力された時間が範囲外です！"},
    {"minute_then_update", {{u"min_txt(2)"_s, u"60"_s}}, false, "入力された分が範囲外です！"},
    {"hour_then_tray_exit", {{u"hour_txt(0)"_s, u"25"_s}}, true, "入力された時間が範囲外です！"},
    {"long_path_then_update",
     {{u"dstfld_txt(2)"_s, u"/tmp"_s}, {u"srcfld_txt(2)"_s, kLongPath}},
     false,
     "フォルダ3の設定が長すぎます！\r保存できるのは 80 文字までです\r" + qt::to_std(kLongPath)},
};

class SaveRefusalTest : public AppFixture, public ::testing::WithParamInterface<Refusal> {};

TEST_P(SaveRefusalTest, NothingRefusedReachesTheFile) {
    const Refusal& c = GetParam();
    show_window();
    QLineEdit* edit = nullptr;
    for (const auto& [box, text] : c.typing) {
        edit = find<QLineEdit>(box);
        context.settings.page.select_tab(box.contains(u"fld"_s) ? 2 : kStartEventsTab);
        QTest::mouseClick(edit, Qt::LeftButton);
        QTest::keyClicks(edit, text);
    }
    if (c.by_menu) {
        QMenu* menu = window.menu(PopupMenu::mnumain);
        QTimer::singleShot(50, menu, [menu] {
            QAction* end = menu->actions().constLast();  // Tarvenix終了
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(end).center());
        });
        window.popup_menu(PopupMenu::mnumain);
    } else {
        QTest::mouseClick(find<QPushButton>(u"ok_bt"_s), Qt::LeftButton);
    }
    QTest::qWait(50);  // a focus-leave check still queued would show its box now
    std::vector<std::string> expected{c.message};
    if (c.by_menu) {
        expected.insert(expected.begin(), "システムデータが変更されています\r更新しますか？");
        EXPECT_EQ(quit_calls, 1);
    } else {
        EXPECT_EQ(QApplication::focusWidget(), edit);
    }
    EXPECT_EQ(ui.box_texts(), expected);
    SettingsState file;
    SettingsStore(file, context.settings_file_path, context.reporter).load_settings();
    EXPECT_EQ(file.model.options.start_hour[0], "");
    EXPECT_EQ(file.model.options.start_minute[2], "");
    EXPECT_EQ(file.model.sets[2].src_folder, "");
}

INSTANTIATE_TEST_SUITE_P(Typed, SaveRefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(MainWindowTest, SetAndHistoryButtonsReachTheController) {
    ui.pick_next_folder("/picked/folder");
    find<QPushButton>(u"refsrc_bt(9)"_s)->click();
    find<QPushButton>(u"refsrc_bt(2)"_s)->click();  // cancelled: nothing changes
    EXPECT_EQ(find<QLineEdit>(u"dstfld_txt(4)"_s)->text(), u"/picked/folder"_s);
    EXPECT_EQ(context.settings.model.sets[4].dst_folder, "/picked/folder");
    EXPECT_EQ(find<QLineEdit>(u"srcfld_txt(1)"_s)->text(), QString());
    EXPECT_EQ(ui.events_of("folder").size(), 2U);

    QTest::keyClicks(find<QLineEdit>(u"srcfld_txt(2)"_s), u"/a"_s);
    find<QCheckBox>(u"subfld_chk(2)"_s)->setChecked(true);
    find<QPushButton>(u"set_clr_bt(2)"_s)->click();
    EXPECT_EQ(find<QLineEdit>(u"srcfld_txt(2)"_s)->text(), QString());
    EXPECT_FALSE(find<QCheckBox>(u"subfld_chk(2)"_s)->isChecked());

    write_file(tmp / "history.txt", "2004/03/20 09:05:07 [Start] [Manual]\r\n");
    ui.answer_next(button::kCancel);
    find<QPushButton>(u"histclr_bt"_s)->click();
    EXPECT_EQ(read_file(tmp / "history.txt"), "2004/03/20 09:05:07 [Start] [Manual]\r\n");
    ui.answer_next(button::kOk);
    find<QPushButton>(u"histclr_bt"_s)->click();
    EXPECT_EQ(read_file(tmp / "history.txt"), "\r\n");
    find<QPushButton>(u"recedit_bt"_s)->click();
    const auto shell = ui.events_of("shell");
    ASSERT_EQ(shell.size(), 1U);
    EXPECT_EQ(shell[0].text, tmp / "history.txt");
}

TEST_F(MainWindowTest, AboutOpensOnceFromTheMenuAndByADoubleClickOnTheWindow) {
    show_window();
    auto* bar = window.settings_tabs()->rows();
    QWidget* text_box = find<QWidget>(u"srcfld_txt(0)"_s);
    const qt::Twips tw(&window);
    const struct {
        const char* name;
        QWidget* target;  // double-clicked; none: About chosen twice from the menu
        QPoint at;
        bool opens;
    } cases[] = {
        {"menu_twice", nullptr, {}, true},
        {"background", window.centralWidget(), {tw(1700), tw(4600)}, true},  // left of 閉じる
        {"tab", bar, bar->row_tab_rect(5).center(), true},
        {"text_box", text_box, text_box->rect().center(), false},  // the text box's own
    };
    for (const auto& c : cases) {
        for (int i = 0; i < 2 && c.target == nullptr; ++i) {
            window.findChild<QAction*>(u"about_show"_s)->trigger();
        }
        if (c.target != nullptr) {
            QTest::mouseDClick(c.target, Qt::LeftButton, {}, c.at);
        }
        int open = 0;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == u"frmAbout"_s && widget->isVisible()) {
                ++open;
                EXPECT_EQ(widget->findChild<QLabel*>(u"lbl_ver"_s)->text(), u"Ver7.00"_s);
            }
        }
        EXPECT_EQ(open, c.opens ? 1 : 0) << c.name;
        window.close_about();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_EQ(window.about(), nullptr) << c.name;
    }
}

TEST_F(MainWindowTest, TabRowsSelectTheTabUnderTheClick) {
    show_window();
    auto* bar = window.settings_tabs()->rows();
    EXPECT_EQ(bar->row_count(), 3);
    for (int i : {10, 4, 7, 0}) {
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->row_tab_rect(i).center());
        EXPECT_EQ(window.settings_tabs()->currentIndex(), i);
    }
}

template <typename W>
W* on_screen(W* window) {
    window->show();
    return window;
}

struct WindowCase {
    const char* name;
    std::function<QWidget*()> open;  // made and shown as the program does
    QString title;
    QString captions;                   // "name=caption|..."
    std::function<void(QWidget*)> act;  // what the user does
    bool goes_away;                     // closed and deleted by it
};

std::vector<WindowCase> windows() {
    const auto splash = [] {
        auto* window = new qt::SplashWindow;
        window->set_product_text(u" Tarvenix Ver7.00 "_s);
        window->present();
        return window;
    };
    const QString splash_captions =
        u"lblProductName= Tarvenix Ver7.00 |Label1=For Win 98/Me/NT4/2000/XP|"
        u"lblCompanyProduct=© Tarvenix developers|imgLogo=<32x32>"_s;
    return {
        {"splash_click", splash, u" "_s, splash_captions,
         [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }, false},
        {"splash_key", splash, u" "_s, splash_captions,
         [](QWidget* w) { QTest::keyClick(w, Qt::Key_Space); }, true},
        {"about_ok", [] { return on_screen(new qt::AboutWindow(u"Ver7.00"_s)); },
         u"TARVENIXのﾊﾞｰｼﾞｮﾝ情報"_s,
         u"lbl_ver=Ver7.00|Label2=Tarvenix|lblDescription=ファイルバックアップユーティリティー|"
         u"Label4=for Win95/98/Me/NT4.0/2000/XP|Label1=© Tarvenix developers|"
         u"picIcon=<32x32>|cmdOK=OK"_s,
         [](QWidget* w) {
             QTest::mouseClick(w->findChild<QPushButton*>(u"cmdOK"_s), Qt::LeftButton);
         },
         true},
        // Neither Escape nor a close request takes the progress off the screen.
        {"progress_escape_and_close", [] { return on_screen(new qt::ProgressDialog); },
         u"Tarvenix  バックアップ中 ．．．"_s,
         u"Label1=コピー元フォルダ|Label2=コピー先フォルダ|Label3=<サブフォルダ>|"
         u"cpinfo_lvl=ファイル名|Label4=ファイルサイズ|Label5=Kbyte|copyccl_bt=中　止"_s,
         [](QWidget* w) {
             QTest::keyClick(w, Qt::Key_Escape);
             w->close();
         },
         false},
    };
}

// Each window shows its captions whole: in the program's own font, the
// fixed-width face, and a face the system lacks (fontconfig falls back).
TEST(WindowsTest, ShowTheirWholeCaptionsInEveryFontAndCloseAsTheUserExpects) {
    const QFont program_font = QApplication::font();
    for (const QString& family : {program_font.family(), u"IPAGothic"_s, u"No Such Face"_s}) {
        QFont font(family);
        font.setPointSizeF(9.0);
        QApplication::setFont(font);
        for (const WindowCase& c : windows()) {
            const std::string name = c.name + (" in " + family.toStdString());
            QPointer<QWidget> window = c.open();
            EXPECT_EQ(window->windowTitle(), c.title) << name;
            EXPECT_EQ(shown(window, c.captions), c.captions) << name;
            for (const QLabel* label : window->findChildren<QLabel*>()) {
                const std::string where = name + " " + label->objectName().toStdString();
                if (!label->text().isEmpty()) {
                    EXPECT_GE(label->contentsRect().width(),
                              label->fontMetrics().horizontalAdvance(label->text()))
                        << where;
                    const QRect placed(label->mapTo(window, QPoint()), label->size());
                    EXPECT_TRUE(window->rect().contains(placed)) << where;
                }
            }
            c.act(window);
            EXPECT_EQ(window->isVisible(), !c.goes_away) << name;
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_EQ(window.isNull(), c.goes_away) << name;
            delete window;
        }
    }
    QApplication::setFont(program_font);
}

class BackupFlowTest : public AppFixture {};

// Set 1 filled in as the user does and saved with "更　新"; "ﾊﾞｯｸｱｯﾌﾟ開始" then
// copies it with the progress dialog showing the source, and a second run (of
// new files) stops at a click on the dialog's "中　止".
TEST_F(BackupFlowTest, BackupButtonCopiesTheFilesAndTheCancelButtonStopsTheRun) {
    make_dirs(tmp / "src/sub");
    make_dirs(tmp / "dst");
    write_file(tmp / "src/a.txt", "alpha");
    write_file(tmp / "src/sub/b.txt", "bravo");
    show_window();
    QTest::keyClicks(find<QLineEdit>(u"srcfld_txt(0)"_s), qt::to_qstring(tmp / "src"));
    QTest::keyClicks(find<QLineEdit>(u"dstfld_txt(0)"_s), qt::to_qstring(tmp / "dst"));
    QCheckBox* subfolders = find<QCheckBox>(u"subfld_chk(0)"_s);
    // On the box itself: the control is wider than its caption.
    QTest::mouseClick(subfolders, Qt::LeftButton, {}, QPoint(6, subfolders->height() / 2));
    ASSERT_TRUE(subfolders->isChecked());
    QTest::mouseClick(find<QPushButton>(u"ok_bt"_s), Qt::LeftButton);
    ASSERT_TRUE(exists(tmp / "system.dat"));
    EXPECT_EQ(context.settings.settings_changed, 0);
    EXPECT_EQ(window.focusWidget(), find<QWidget>(u"mini_bt"_s));  // after a save
    for (const bool cancel : {false, true}) {
        for (int i = 0; cancel && i < 20; ++i) {
            write_file(tmp / ("src/f" + std::to_string(i) + ".txt"), "x");
        }
        QString source_shown;
        bool clicked = false;
        ui.on_every_pump([&] {
            if (progress.isVisible()) {
                source_shown = progress.label(ProgressLabel::srcfld)->text();
                if (cancel && !clicked &&
                    !progress.label(ProgressLabel::cpfname)->text().isEmpty()) {
                    clicked = true;
                    QTest::mouseClick(progress.findChild<QPushButton*>(u"copyccl_bt"_s),
                                      Qt::LeftButton);
                }
            }
        });
        QTest::mouseClick(find<QPushButton>(u"bkup_bt"_s), Qt::LeftButton);
        EXPECT_EQ(source_shown, qt::to_qstring(tmp / "src")) << cancel;
        EXPECT_EQ(clicked, cancel);
        EXPECT_FALSE(progress.isVisible()) << cancel;
        EXPECT_EQ(ui.box_texts(), cancel
                                      ? std::vector<std::string>{"バックアップが中止されました！"}
                                      : std::vector<std::string>{});
    }
    EXPECT_EQ(read_file(tmp / "dst/a.txt"), "alpha");
    EXPECT_EQ(read_file(tmp / "dst/sub/b.txt"), "bravo");
    const std::string history = read_file(tmp / "history.txt");
    for (const char* tag : {"[Start]", "[Manual]", "[Success]", "[Cancel]"}) {
        EXPECT_NE(history.find(tag), std::string::npos) << tag << " in " << history;
    }
    EXPECT_TRUE(ui.session_requests().empty());
}

// The file name and size the progress dialog has painted (screen pixels, not
// pending label texts) while the engine runs with the real Qt pump and dialog
// on a clock the test moves, each copy taking the time the case gives it.
struct PaintCase {
    const char* name;
    int files;
    std::size_t bytes;
    std::int64_t copy_ns;
    double current_share;  // of all pump calls, the screen shows a current name
    bool whole_copy;       // every copy starts with its own name and size on screen
};
void PrintTo(const PaintCase& c, std::ostream* os) {
    *os << c.name;
}

class PaintedProgressTest : public ::testing::TestWithParam<PaintCase>,
                            public ProgressView,
                            public EventPumpPort {
protected:
    // ProgressView: forwards to the dialog, keeping the names set.
    void show() override { dialog.show(); }
    void hide() override { dialog.hide(); }
    bool visible() const override { return dialog.isVisible(); }
    void set_label(ProgressLabel which, std::string_view text) override {
        dialog.set_label(which, text);
        if (which == ProgressLabel::cpfname) {
            name = qt::to_qstring(text);
            if (!name.isEmpty()) {
                names << name;
            }
        } else if (which == ProgressLabel::filesize) {
            size = qt::to_qstring(text);
        }
    }
    // EventPumpPort: the real pump, then a look at the screen; a call right
    // after a file's name was set is followed by that file's copy.
    void process_events() override {
        pump.process_events();
        ++calls;
        const QString shown_name =
            painted_as(u"cpfname"_s, names.mid(std::max<qsizetype>(0, names.size() - 20)));
        current += shown_name.isEmpty() ? 0 : 1;
        if (!name.isEmpty()) {
            const bool whole = shown_name == name && painted_as(u"filesize"_s, {size}) == size;
            starts_shown += whole ? 1 : 0;
            ++copies;
            now += GetParam().copy_ns;
        } else {
            now += 50'000;
        }
    }
    void wait_for_events(double) override { pump.wait_for_events(0); }

    // Which of the texts the label's pixels on screen show ("" for none).
    QString painted_as(const QString& label_name, const QStringList& texts) {
        const auto* label = dialog.findChild<QLabel*>(label_name);
        const QRect r = label->geometry();
        const QImage screen = dialog.screen()
                                  ->grabWindow(dialog.winId(), r.x(), r.y(), r.width(), r.height())
                                  .toImage();
        for (const QString& text : texts) {
            QImage& expected = rendered[label_name + u'/' + text];
            if (expected.isNull()) {
                QLabel twin(text);
                twin.setFont(label->font());
                twin.setPalette(label->palette());
                twin.setAlignment(label->alignment());
                twin.setWordWrap(label->wordWrap());
                twin.resize(r.size());
                expected = twin.grab().toImage().convertToFormat(QImage::Format_RGB32);
            }
            if (!text.isEmpty() && screen.convertToFormat(QImage::Format_RGB32) == expected) {
                return text;
            }
        }
        return {};
    }

    TempDir tmp;
    ScriptedUi ui;
    std::int64_t now = 0;
    qt::QtEventPump pump{[this] { return now; }};
    qt::ProgressDialog dialog;
    QString name, size;
    QStringList names;
    QHash<QString, QImage> rendered;
    int calls = 0, current = 0, copies = 0, starts_shown = 0;
};

TEST_P(PaintedProgressTest, TheFileBeingCopiedIsOnScreen) {
    const PaintCase& c = GetParam();
    make_dirs(tmp / "src");
    make_dirs(tmp / "dst");
    for (int i = 0; i < c.files; ++i) {
        write_file(tmp / ("src/報告書" + std::to_string(i) + ".doc"), std::string(c.bytes, 'x'));
    }
    dialog.set_prompt_pass_request([this] { pump.request_prompt_pass(); });
    Ports ports = ui.ports();
    ProgramContext context(Ports{ports.boxes, ports.sound, ports.busy, *this, ports.clock,
                                 ports.session, ports.shell, ports.folders, ports.desktop},
                           *this, tmp.path());
    context.settings.model.sets[0] = BackupSet{tmp / "src", tmp / "dst", "1", "0"};
    context.settings.model.options.copy_mode = "0";
    context.settings.model.options.skip_open_files = "0";
    context.store.write_settings_file();
    EXPECT_EQ(context.engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    ASSERT_EQ(copies, c.files) << (ui.box_texts().empty() ? "" : ui.box_texts()[0]);
    EXPECT_GE(current, c.current_share * calls) << current << " of " << calls;
    if (c.whole_copy) {
        EXPECT_EQ(starts_shown, copies);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, PaintedProgressTest,
    ::testing::Values(PaintCase{"large_files_of_200_ms", 3, 1'200'000, 200'000'000, 0.5, true},
                      PaintCase{"small_files_of_1_ms", 200, 2000, 1'000'000, 0.8, false}),
    [](const auto& p) { return std::string(p.param.name); });

// A path of 200 characters is shortened in the middle to its label's width
// (its start, "…", its last folder) and painted on the label's first line:
// the screen changes nowhere else.
TEST(ProgressDialogTest, ALongPathKeepsToItsLineShortenedInTheMiddle) {
    qt::ProgressDialog dialog;
    dialog.show();
    const auto screen = [&dialog] {
        QCoreApplication::processEvents();
        return dialog.screen()->grabWindow(dialog.winId()).toImage();
    };
    const QImage before = screen();
    const QString last = u"/最後のフォルダ"_s;
    const QString path = (u"/home"_s + u"/写真 2024"_s.repeated(30)).left(200 - last.size()) + last;
    dialog.set_label(ProgressLabel::subfld, path.toStdString());
    const QLabel* label = dialog.label(ProgressLabel::subfld);
    const QImage after = screen();
    EXPECT_TRUE(label->text().startsWith(path.left(15)) && label->text().endsWith(u"…"_s + last))
        << label->text().toStdString();
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
    const QRect line(label->pos(), QSize(label->width(), label->fontMetrics().height()));
    for (int y = 0; y < after.height(); ++y) {
        for (int x = 0; x < after.width(); ++x) {
            ASSERT_TRUE(line.contains(x, y) || after.pixel(x, y) == before.pixel(x, y))
                << "painted at " << x << "," << y;
        }
    }
}

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

// The fixed dialogs with their captions, framed by nothing but the program's
// caption bar (another frame, named by `frame`, would offer to minimise and
// maximise them), its one button the close button where the dialog has one.
void expect_fixed_dialogs(const std::function<QString(QWidget*)>& caption,
                          const std::function<QString(QWidget*)>& frame) {
    std::vector<std::tuple<QPointer<QWidget>, QString, QString>> dialogs;  // caption, buttons
    for (const WindowCase& c : windows()) {
        dialogs.emplace_back(c.open(), c.title,
                             std::string_view(c.name) == "about_ok" ? u"caption_close"_s : u""_s);
    }
    for (const auto& [style, buttons] :
         {std::pair{box_style::kOk, u"caption_close"_s}, std::pair{box_style::kYesNo, u""_s}}) {
        QWidget* box = qt::QtMessageBoxes::make_box("確認", "text", style).release();
        box->show();
        dialogs.emplace_back(box, u"確認"_s, buttons);
    }
    for (const auto& [dialog, title, buttons] : dialogs) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
        QString seen, drawn;  // told asynchronously
        EXPECT_TRUE(QTest::qWaitFor([&] { return (seen = caption(dialog)) == title; }, 10000))
            << seen.toStdString() << " for " << title.toStdString();
        (void)QTest::qWaitFor([&] { return (drawn = frame(dialog)) == u"none"_s; }, 5000);
        const auto* bar = dialog->findChild<QWidget*>(u"caption_bar"_s);
        const QString bar_buttons = bar == nullptr ? u"no bar"_s
                                                   : joined(bar->findChildren<QAbstractButton*>(),
                                                            std::mem_fn(&QObject::objectName));
        EXPECT_EQ((drawn + u'|' + bar_buttons).toStdString(), (u"none|"_s + buttons).toStdString())
            << title.toStdString();
        delete dialog;
    }
}

class X11Test : public AppFixture {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != u"xcb"_s) {
            GTEST_SKIP() << "needs an X server with a window manager (tests/app/qt/under_x11.sh)";
        }
    }
};

TEST_F(X11Test, CaptionsAndFramesAreTheProgramsOwn) {
    window.timer1()->stop();  // the caption below stays as set
    window.show();
    context.settings.page.set_caption("Tarvenix   (Now 09:30:05)  変更有り");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return wm_name(&window) == u"Tarvenix   (Now 09:30:05)  変更有り"_s; }, 10000));
    expect_fixed_dialogs(wm_name, [](QWidget* dialog) {
        const QString extents = xprop(dialog, u"_NET_FRAME_EXTENTS"_s);
        return extents.endsWith(u"= 0, 0, 0, 0"_s) ? u"none"_s : u"openbox's: "_s + extents;
    });
}

// A tray as a process of its own: trayer (XEmbed) or a StatusNotifier watcher
// as panels run it, which says what it shows of each icon registered with it.
struct Tray {
    QString program;
    QStringList arguments;
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    QString shown{};  // what it said so far
    const QString& said() { return shown += QString::fromUtf8(process->readAll()); }
    bool up(const std::function<bool()>& ready) {
        shown.clear();
        process->start(program, arguments);
        const auto settled = [&] { return ready() || process->state() == QProcess::NotRunning; };
        return process->waitForStarted(5000) && QTest::qWaitFor(settled, 10000) && ready();
    }
    void gone() { process->kill(), process->waitForFinished(5000); }
};

// Trays of both kinds come and go: the icon goes to whichever is there, the
// window comes back within seconds when none is, and an edit stays on screen.
TEST_F(X11Test, TraysThatComeAndGoNeverLeaveTheProgramOutOfReach) {
    Tray xembed{u"trayer"_s, {u"--edge"_s, u"top"_s, u"--align"_s, u"right"_s}};
    // Debian's python3-dbus is for the system's python.
    Tray watcher{u"/usr/bin/python3"_s, {QStringLiteral(TARVENIX_SNI_WATCHER)}};
    if (!QDBusConnection::sessionBus().isConnected() ||
        QProcess::execute(watcher.program, {u"-c"_s, u"import dbus, gi"_s}) != 0) {
        GTEST_SKIP() << "needs a session bus (dbus-daemon), python3-dbus and python3-gi";
    }
    const auto watcher_ready = [&] { return watcher.said().contains(u"ready"_s); };
    using H = qt::TrayIcon::Holder;
    const auto item_registered = [&] {
        return watcher.said().contains(u" id=tarvenix tip=左-Menu:右-Help pixmaps=32x32,64x64"_s);
    };
    const auto watcher_up = [&] {
        ASSERT_TRUE(watcher.up(item_registered)) << watcher.shown.toStdString();
    };
    const auto xembed_up = [&] { ASSERT_TRUE(xembed.up(QSystemTrayIcon::isSystemTrayAvailable)); };
    const auto mini = [&] { find<QPushButton>(u"mini_bt"_s)->click(); };
    // The panel's clicks, as it sends them to the registered item.
    const auto panel_click = [&](const QString& method) {
        auto call = QDBusMessage::createMethodCall(
            watcher.shown.section(u"registered "_s, -1).section(u' ', 0, 0),
            u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem"_s, method);
        return popped_up_by([&] { QDBusConnection::sessionBus().send(call << 0 << 0); }, true);
    };
    controller.start_up();  // no tray yet: the window stands in
    ASSERT_TRUE(window.standing_in_for_tray());
    QLineEdit* source = find<QLineEdit>(u"srcfld_txt(0)"_s);
    QTest::mouseClick(source, Qt::LeftButton);
    QTest::keyClicks(source, u"/data"_s);
    ui.answer_next(button::kNo);  // for the first 閉じる: the edit is not saved
    const struct {
        const char* name;
        std::function<void()> action;
        H holder;
        QString wm_states;  // the main window's, any of these
    } steps[] = {
        {"a StatusNotifier tray appears during an edit", watcher_up, H::kStatusNotifier,
         u"Normal"_s},
        {"閉じる hides it into the tray", mini, H::kStatusNotifier, u"none"_s},
        {"the panel's left and right clicks",
         [&] {
             EXPECT_EQ(panel_click(u"Activate"_s) + panel_click(u"ContextMenu"_s),
                       kMainMenu + kHelpMenu);
         },
         H::kStatusNotifier, u"none"_s},
        {"the tray goes away", [&] { watcher.gone(); }, H::kNone, u"Normal"_s},
        {"閉じる minimises the stand-in", mini, H::kNone, u"Iconic"_s},
        // Left as the user left it (openbox at times restores it when the
        // panel takes its place): never withdrawn.
        {"an XEmbed tray appears", xembed_up, H::kXEmbed, u"Iconic|Normal"_s},
        {"設定 shows the window", [&] { window.findChild<QAction*>(u"mnuset"_s)->trigger(); },
         H::kXEmbed, u"Normal"_s},
        {"a StatusNotifier tray appears as well", [&] { ASSERT_TRUE(watcher.up(watcher_ready)); },
         H::kXEmbed, u"Normal"_s},
        {"the XEmbed tray goes away: the other takes the icon",
         [&] {
             xembed.gone();
             EXPECT_TRUE(QTest::qWaitFor(item_registered, 5000)) << watcher.shown.toStdString();
         },
         H::kStatusNotifier, u"Normal"_s},
        {"no tray is left", [&] { watcher.gone(); }, H::kNone, u"Normal"_s},
    };
    for (const auto& step : steps) {
        step.action();
        const bool settled = QTest::qWaitFor(
            [&] {
                return window.tray().holder() == step.holder &&
                       step.wm_states.split(u'|').contains(wm_state(&window));
            },
            5000);
        EXPECT_TRUE(settled) << step.name << ": state " << wm_state(&window).toStdString()
                             << ", icon in " << static_cast<int>(window.tray().holder());
        EXPECT_EQ(window.standing_in_for_tray(), step.holder == H::kNone) << step.name;
        EXPECT_EQ(source->text(), u"/data"_s) << step.name;
    }
    EXPECT_TRUE(window.isActiveWindow() || window.window_visible());
}

// What the program asked of the compositor so far (logged by under_wayland.sh).
QStringList wayland_log() {
    QFile log(qEnvironmentVariable("TARVENIX_WAYLAND_LOG"));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()).split(u'\n')
                                         : QStringList();
}

class WaylandTest : public AppFixture {
protected:
    void SetUp() override {
        if (!QGuiApplication::platformName().startsWith(u"wayland"_s)) {
            GTEST_SKIP() << "needs a Wayland compositor (tests/app/qt/under_wayland.sh)";
        }
    }
};

// In weston Qt draws the title bar: each caption the clock writes must reach
// the compositor with a new frame of it, not wait for the window's next repaint.
TEST_F(WaylandTest, TheCaptionTicksOnScreen) {
    controller.start_up();  // no tray here: the window stands in
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // An edit (the headless compositor has no keyboard to type it with): 変更有り blinks.
    context.settings.page.set_text({Control::srcfld_txt, 0}, "/data");
    const qsizetype from = wayland_log().size();
    const QRegularExpression title(uR"re(-> xdg_toplevel@\d+\.set_title\("(Tarvenix.*)"\))re"_s);
    const QRegularExpression drawn(uR"re(-> wl_surface@\d+\.damage(_buffer)?\(0, 0, )re"_s);
    QStringList seen;  // each caption, with " +" once a frame of its title bar followed
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            seen.clear();
            for (const QString& line : wayland_log().mid(from)) {
                if (const auto match = title.match(line); match.hasMatch()) {
                    seen << match.captured(1);
                } else if (!seen.isEmpty() && !seen.last().endsWith(u" +"_s) &&
                           drawn.match(line).hasMatch()) {
                    seen.last() += u" +"_s;
                }
            }
            return seen.size() >= 4;
        },
        10000));
    seen.removeLast();  // its frame may still be on its way
    const qsizetype marked = seen.filter(u"変更有り"_s).size();  // blinking
    EXPECT_TRUE(seen.filter(u" +"_s).size() == seen.size() && marked > 0 && marked < seen.size())
        << seen.join(u" / "_s).toStdString();
}

TEST_F(WaylandTest, FixedDialogsHaveNothingToMinimiseOrMaximise) {
    expect_fixed_dialogs(&QWidget::windowTitle, [](QWidget* dialog) {
        return dialog->windowHandle()->frameMargins().isNull() ? u"none"_s : u"Qt's title bar"_s;
    });
}

TEST(QtMessageBoxesTest, EachKindShowsItsButtonsAndAnswersKeysAndClicks) {
    using namespace box_style;
    using button::kCancel, button::kNo, button::kRetry, button::kYes, button::kNone;
    using B = QMessageBox;
    using Act = std::function<void(B*)>;
    const auto key = [](Qt::Key k) -> Act { return [k](B* box) { QTest::keyClick(box, k); }; };
    const auto press = [](B::StandardButton b) -> Act {
        return [b](B* box) { box->button(b)->click(); };
    };
    const Act close = [](B* box) { box->close(); };
    const QString ok_cancel = u"OK|キャンセル"_s,
                  yes_no_cancel = u"いいえ(&N)|はい(&Y)|キャンセル"_s;
    // What the user does in an open box and what the program gets back; a box
    // closed without a click (the session ending) answers `dismissed`.
    const struct {
        const char* name;
        std::int32_t style;
        Act act;
        std::int16_t answer, dismissed;
        B::Icon icon;
        QString buttons;  // sorted, joined by "|"
    } cases[] = {
        {"okcancel_enter_takes_ok", kOkCancel | kIconExclamation, key(Qt::Key_Return), button::kOk,
         kCancel, B::Warning, ok_cancel},
        {"yesnocancel_close", kYesNoCancel | kIconQuestion, close, kCancel, kCancel, B::Question,
         yes_no_cancel},
        {"yesnocancel_no", kYesNoCancel | kIconQuestion, press(B::No), kNo, kCancel, B::Question,
         yes_no_cancel},
        {"retrycancel_retry", kRetryCancel | kIconQuestion, press(B::Retry), kRetry, kCancel,
         B::Question, u"キャンセル|再試行(&R)"_s},
        {"ok_escape", kOk | kIconStop, key(Qt::Key_Escape), button::kOk, button::kOk, B::Critical,
         u"OK"_s},
        // Escape and the close button leave a yes/no box open: the user answers.
        {"yesno_waits_for_an_answer", kYesNo | kIconQuestion,
         [](B* box) {
             QTest::keyClick(box, Qt::Key_Escape);
             box->close();
             QTimer::singleShot(30, box, [box] { box->button(B::Yes)->click(); });
         },
         kYes, kNone, B::Question, u"いいえ(&N)|はい(&Y)"_s},
    };
    const std::map<B::Icon, QString> sounds = {{B::Warning, u"dialog-warning"_s},
                                               {B::Question, u"dialog-question"_s},
                                               {B::Critical, u"dialog-error"_s}};
    for (const auto& c : cases) {
        QString title, text;
        QStringList buttons;
        B::Icon icon = B::NoIcon;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<B*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr) << c.name;
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            for (const QAbstractButton* shown : box->buttons()) {
                buttons << shown->text();
            }
            c.act(box);
        });
        // A case that fails to answer fails here instead of hanging.
        QTimer watchdog;
        QObject::connect(&watchdog, &QTimer::timeout, [&c] {
            if (auto* box = qobject_cast<B*>(QApplication::activeModalWidget())) {
                ADD_FAILURE() << c.name << ": the box was left open";
                box->buttons().constFirst()->click();
            }
        });
        watchdog.start(5000);
        EXPECT_EQ(
            qt::QtMessageBoxes().show_box("確認", "一行目\r二行目\r\n\r四行目", c.style, nullptr),
            c.answer)
            << c.name;
        EXPECT_EQ(qt::QtMessageBoxes::dismiss_answer(c.style), c.dismissed) << c.name;
        EXPECT_EQ(title + u'/' + text, u"確認/一行目\n二行目\n\n四行目"_s) << c.name;
        EXPECT_EQ(icon, c.icon) << c.name;
        EXPECT_EQ(qt::QtSound::sound_name(c.style & 0xF0), sounds.at(c.icon)) << c.name;
        buttons.sort();
        EXPECT_EQ(buttons.join(u'|'), c.buttons) << c.name;
    }
}

// The history viewer is opened with xdg-open, a stand-in here. A document in
// a folder whose name is not UTF-8 (Shift-JIS bytes) reaches it as exactly
// its bytes.
TEST(QtShellTest, TellsWhetherTheOpenerShowedTheDocument) {
    TempDir tmp;
    const std::string document = tmp / "\x83\x76\x83\x8D/history.txt";
    make_dirs(tmp / "\x83\x76\x83\x8D");
    write_file(document, "line\r\n");
    make_dirs(tmp / "bin");
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", qt::to_qstring(tmp / "bin").toLocal8Bit() + ':' + path);
    const struct {
        const char* opener;  // the body of the stand-in
        std::string document;
        bool opened;
    } cases[] = {
        {"printf %s \"$1\" > \"$0.seen\"; exit 0", document, true},
        {"echo 'xdg-open: no method available for opening' >&2; exit 3", document, false},
        {"exec sleep 3", document, true},  // a viewer in the opener's foreground
        {"exit 0", tmp / "missing.txt", false},
        {"exit 0", "", false},
    };
    for (const auto& c : cases) {
        write_file(tmp / "bin/xdg-open", std::string("#!/bin/sh\n") + c.opener + "\n");
        ::chmod((tmp / "bin/xdg-open").c_str(), 0755);
        EXPECT_EQ(qt::QtShell(300).open_document(c.document), c.opened) << c.opener;
    }
    qputenv("PATH", path);
    const QByteArray seen = QByteArray::fromStdString(read_file(tmp / "bin/xdg-open.seen"));
    EXPECT_EQ(QByteArray::fromPercentEncoding(seen).toStdString(), "file://" + document);
}

}  // namespace
}  // namespace tarvenix::testing
