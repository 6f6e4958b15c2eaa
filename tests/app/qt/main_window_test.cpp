// The program's windows: the settings window with its tray menus, the
// progress dialog, the splash and the About window.

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <functional>
#include <tuple>
#include <vector>

#include "app/qt/about.h"
#include "app/qt/multi_row_tab_bar.h"
#include "app/qt/splash.h"
#include "app/qt/ui_common.h"
#include "app_fixture.h"

using namespace Qt::StringLiterals;

namespace tarvenix::testing {
namespace {

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

// A menu's items as "name=caption|...", a separator as "-".
QString items_of(const QWidget* menu) {
    QStringList items;
    for (const QAction* action : menu->actions()) {
        items << (action->isSeparator() ? u"-"_s : action->objectName() + u'=' + action->text());
    }
    return items.join(u'|');
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
    QStringList tabs, frames;
    for (int i = 0; i < window.settings_tabs()->count(); ++i) {
        tabs << window.settings_tabs()->tabText(i);
    }
    EXPECT_EQ(tabs.join(u'|'),
              u"フォルダ１|フォルダ２|フォルダ３|フォルダ４|フォルダ５|フォルダ６|"
              u"フォルダ７|フォルダ８|コピー条件|起動イベント|履歴"_s);
    for (const QGroupBox* frame : window.findChildren<QGroupBox*>()) {
        frames << frame->title();
    }
    frames.sort();
    EXPECT_EQ(frames.join(u'|'), u"オープン中のファイル|コピー履歴|時刻設定|条件"_s);
}

TEST_F(MainWindowTest, EveryControlIsReachableByItsIdOnItsTab) {
    // (control, how many, its tab; -1: set k's control is on tab k)
    const std::tuple<Control, int, int> rows[] = {
        {Control::srcfld_txt, kSetCount, -1},
        {Control::dstfld_txt, kSetCount, -1},
        {Control::subfld_chk, kSetCount, -1},
        {Control::skip_chk, kSetCount, -1},
        {Control::copy_op, 2, kCopyRulesTab},
        {Control::cp_skip, 2, kCopyRulesTab},
        {Control::start_chk, 1, kStartEventsTab},
        {Control::timer_chk, 1, kStartEventsTab},
        {Control::hour_txt, kStartTimeCount, kStartEventsTab},
        {Control::min_txt, kStartTimeCount, kStartEventsTab},
        {Control::sdown, kStartTimeCount, kStartEventsTab},
        {Control::rec_op, 2, kHistoryTab},
    };
    std::size_t total = 0;
    for (const auto& [control, count, tab] : rows) {
        for (int i = 0; i < count; ++i, ++total) {
            const ControlId id{control, i};
            const QWidget* widget = window.controls().widget(id);
            EXPECT_EQ(widget->objectName().toStdString(), id.name());
            EXPECT_TRUE(window.settings_tabs()->widget(tab < 0 ? i : tab)->isAncestorOf(widget))
                << id.name();
        }
    }
    EXPECT_EQ(window.controls().ids().size(), total);
}

TEST_F(MainWindowTest, FocusOrderStartsWithTheButtonsThenTheTabs) {
    QStringList order;
    QWidget* widget = find<QWidget>(u"mini_bt"_s);
    for (int guard = 0; widget != nullptr && order.size() < 6 && guard < 1000; ++guard) {
        if ((widget->focusPolicy() & Qt::TabFocus) != 0) {
            order << (widget->parentWidget() == window.settings_tabs() ? u"SSTab1"_s
                                                                       : widget->objectName());
        }
        widget = widget->nextInFocusChain();
    }
    EXPECT_EQ(order.join(u' '), u"mini_bt ok_bt close_bt bkup_bt bkup_exit_bt SSTab1"_s);
}

// A left click on the tray icon pops up the main menu, a right click the help.
TEST_F(MainWindowTest, TrayClicksPopUpTheirMenus) {
    const std::pair<QSystemTrayIcon::ActivationReason, QString> clicks[] = {
        {QSystemTrayIcon::Trigger,
         u"bkup_exitwin=ﾊﾞｯｸｱｯﾌﾟ後Windows終了|start_bkup=ﾊﾞｯｸｱｯﾌﾟ実行|-|exit_win=Windows終了|"
         u"reboot_win=Windows再起動|log_off=ログオフ|-|mnuset=設定|History_Disp=履歴表示|-|"
         u"mnuend=Tarvenix終了"_s},
        {QSystemTrayIcon::Context, u"help_show=ﾍﾙﾌﾟ|about_show=About"_s},
        {QSystemTrayIcon::DoubleClick, u"<none>"_s},
        {QSystemTrayIcon::MiddleClick, u"<none>"_s},
    };
    for (const auto& [reason, items] : clicks) {
        QString seen;
        QTimer::singleShot(50, [&] {
            seen = u"<none>"_s;
            if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                seen = items_of(popup);
                popup->close();
            }
        });
        window.on_tray_activated(reason);
        // When nothing popped up, the call returned at once: let the timer run.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !seen.isEmpty(); }));
        EXPECT_EQ(seen, items) << "activation " << reason;
    }
}

TEST_F(MainWindowTest, WithoutATrayStartUpShowsTheSplashThenTheWindowWithAMenuBar) {
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
    EXPECT_EQ(window.windowTitle(), u"Tarvenix"_s);
    EXPECT_TRUE(window.menuBar()->isVisible());
    QStringList menus;
    for (const QAction* action : window.menuBar()->actions()) {
        menus << action->text();
    }
    EXPECT_EQ(menus.join(u'|'), u"ﾒﾆｭｰ|ﾍﾙﾌﾟ"_s);
}

// Loaded settings fill the controls without counting as a change; typing is
// one, and the caption then shows its marker on one of two clock ticks.
TEST_F(MainWindowTest, TypingMarksTheSettingsChangedAndTheCaptionBlinks) {
    context.settings.model.sets[3].dst_folder = "/backup/四";
    context.settings.model.options.copy_mode = "1";
    context.store.write_settings_file();
    context.store.load_settings();
    show_window();
    EXPECT_EQ(find<QLineEdit>(u"dstfld_txt(3)"_s)->text(), u"/backup/四"_s);
    EXPECT_TRUE(find<QRadioButton>(u"copy_op(1)"_s)->isChecked());
    const QRegularExpression clock(uR"(^Tarvenix  \(Now \d\d:\d\d:\d\d\))"_s);
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
        const std::string seen = captions.join(u" / "_s).toStdString();
        EXPECT_EQ(captions.filter(clock).size(), 2) << seen;
        EXPECT_EQ(captions.filter(QRegularExpression(u"\\)  変更有り$"_s)).size(), typed ? 1 : 0)
            << seen;
    }
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
    // The tabs of the three rows all lie inside the tab bar, none overlapping.
    for (int i = 0; i < bar->count(); ++i) {
        EXPECT_TRUE(bar->rect().contains(bar->row_tab_rect(i))) << i;
        for (int j = i + 1; j < bar->count(); ++j) {
            EXPECT_FALSE(bar->row_tab_rect(i).intersects(bar->row_tab_rect(j))) << i << "," << j;
        }
    }
}

// Closing the window ends the program once; a change asks first, and No
// saves nothing.
TEST_F(MainWindowTest, ClosingTheWindowRunsTheShutDownSequenceOnce) {
    show_window();
    QTest::keyClicks(find<QLineEdit>(u"srcfld_txt(1)"_s), u"x"_s);
    ui.answer_next(button::kNo);
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(controller.shut_down());
    EXPECT_EQ(quit_calls, 1);
    EXPECT_EQ(ui.box_texts(),
              std::vector<std::string>{"システムデータが変更されています\r更新しますか？"});
    EXPECT_FALSE(exists(tmp / "system.dat"));
    EXPECT_TRUE(ui.session_requests().empty());
}

TEST_F(MainWindowTest, CloseButtonEndsTheProgramWithoutAQuestionWhenNothingChanged) {
    find<QPushButton>(u"close_bt"_s)->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(controller.shut_down());
    EXPECT_EQ(quit_calls, 1);
    EXPECT_TRUE(ui.box_texts().empty());
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
        {"about_ok",
         [] {
             auto* about = new qt::AboutWindow(u"Ver7.00"_s);
             about->show();
             return about;
         },
         u"TARVENIXのﾊﾞｰｼﾞｮﾝ情報"_s,
         u"lbl_ver=Ver7.00|Label2=Tarvenix|lblDescription=ファイルバックアップユーティリティー|"
         u"Label4=for Win95/98/Me/NT4.0/2000/XP|Label1=© Tarvenix developers|"
         u"picIcon=<32x32>|cmdOK=OK"_s,
         [](QWidget* w) {
             QTest::mouseClick(w->findChild<QPushButton*>(u"cmdOK"_s), Qt::LeftButton);
         },
         true},
        // Neither Escape nor a close request takes the progress off the screen.
        {"progress_escape_and_close",
         [] {
             auto* dialog = new qt::ProgressDialog;
             dialog->show();
             return dialog;
         },
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

TEST(WindowsTest, ShowTheirCaptionsAndCloseAsTheUserExpects) {
    for (const WindowCase& c : windows()) {
        QPointer<QWidget> window = c.open();
        EXPECT_EQ(window->windowTitle(), c.title) << c.name;
        EXPECT_EQ(shown(window, c.captions), c.captions) << c.name;
        c.act(window);
        EXPECT_EQ(window->isVisible(), !c.goes_away) << c.name;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(window.isNull(), c.goes_away) << c.name;
        delete window;
    }
}

TEST(WindowsTest, EveryLabelShowsItsWholeTextInTheFontsOfADebianDesktop) {
    const QFont program_font = QApplication::font();
    // The program's own pick, the fixed-width face, and a face the system
    // lacks (fontconfig falls back).
    for (const QString& family : {program_font.family(), u"IPAGothic"_s, u"No Such Face"_s}) {
        QFont font(family);
        font.setPointSizeF(9.0);
        QApplication::setFont(font);
        for (const WindowCase& c : windows()) {
            const std::unique_ptr<QWidget> window(c.open());
            for (const QLabel* label : window->findChildren<QLabel*>()) {
                const std::string where = c.name + (" " + label->objectName().toStdString()) +
                                          " in " + family.toStdString();
                if (!label->text().isEmpty()) {
                    EXPECT_GE(label->contentsRect().width(),
                              label->fontMetrics().horizontalAdvance(label->text()))
                        << where;
                    const QRect placed(label->mapTo(window.get(), QPoint()), label->size());
                    EXPECT_TRUE(window->rect().contains(placed)) << where;
                }
            }
        }
    }
    QApplication::setFont(program_font);
}

TEST(WindowsTest, TheProgressDialogCentresItselfOnItsFirstShowingOnly) {
    qt::ProgressDialog dialog;
    dialog.show();
    const QRect screen = dialog.screen()->geometry();
    const QPoint centre = dialog.frameGeometry().center();
    EXPECT_LE(std::abs(centre.x() - screen.center().x()), 2);
    EXPECT_LE(std::abs(centre.y() - screen.center().y()), 2);
    dialog.hide();
    dialog.move(screen.topLeft());
    dialog.show();
    EXPECT_EQ(dialog.pos(), screen.topLeft());  // where the user left it
    dialog.hide();
}

}  // namespace
}  // namespace tarvenix::testing
