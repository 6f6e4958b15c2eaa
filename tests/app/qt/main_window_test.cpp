// The program's windows: the settings window with its tray menus, the
// progress dialog, the splash and the About window.

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>
#include <utility>
#include <vector>

#include "app/qt/about.h"
#include "app/qt/multi_row_tab_bar.h"
#include "app/qt/progress_dialog.h"
#include "app/qt/splash.h"
#include "app/qt/ui_common.h"
#include "app_fixture.h"

using namespace Qt::StringLiterals;

namespace tarvenix::testing {
namespace {

QString idx(const QString& name, int index) {
    return name + u'(' + QString::number(index) + u')';
}

std::vector<std::pair<QString, QString>> expected_captions() {
    std::vector<std::pair<QString, QString>> rows = {
        {u"mini_bt"_s, u"閉じる"_s},
        {u"ok_bt"_s, u"更　新"_s},
        {u"close_bt"_s, u"終　了"_s},
        {u"bkup_bt"_s, u"ﾊﾞｯｸｱｯﾌﾟ開始"_s},
        {u"bkup_exit_bt"_s, u"ﾊﾞｯｸｱｯﾌﾟ後Windows終了"_s},
        {u"histclr_bt"_s, u"履歴クリア"_s},
        {u"recedit_bt"_s, u"履歴表示"_s},
        {u"copy_op(0)"_s, u"無条件で全て上書きコピー"_s},
        {u"copy_op(1)"_s, u"同一ファイル名は日付の新しいものだけ上書きコピー"_s},
        {u"cp_skip(0)"_s, u"コピーをスキップする"_s},
        {u"cp_skip(1)"_s, u"無視してコピーする"_s},
        {u"start_chk"_s, u"　プログラム起動時開始"_s},
        {u"timer_chk"_s, u"　指定時刻に開始 (24時間制)"_s},
        {u"rec_op(0)"_s, u"　履歴の記録をしない"_s},
        {u"rec_op(1)"_s, u"　履歴の記録をする"_s},
        {u"sdown_lbl"_s, u"ﾊﾞｯｸｱｯﾌﾟ後 Shut down"_s},
    };
    for (int k = 0; k < 8; ++k) {
        rows.emplace_back(idx(u"Label1"_s, k), u"コピー元フォルダ"_s);
        rows.emplace_back(idx(u"refsrc_bt"_s, 2 * k), u"参照"_s);
        rows.emplace_back(idx(u"Label2"_s, k), u"コピー先フォルダ"_s);
        rows.emplace_back(idx(u"refsrc_bt"_s, 2 * k + 1), u"参照"_s);
        rows.emplace_back(idx(u"subfld_chk"_s, k), u"サブフォルダもコピーする"_s);
        rows.emplace_back(idx(u"skip_chk"_s, k), u"この設定をスキップする"_s);
        rows.emplace_back(idx(u"set_clr_bt"_s, k), u"設定ｸﾘｱ"_s);
    }
    const QString rows_captions[] = {u"設定１"_s, u"設定２"_s, u"設定３"_s};
    for (int k = 0; k < 3; ++k) {
        rows.emplace_back(idx(u"time_lbl"_s, k), rows_captions[k]);
        rows.emplace_back(idx(u"hour_lbl"_s, k), u"時"_s);
        rows.emplace_back(idx(u"min_lbl"_s, k), u"分"_s);
    }
    return rows;
}

using Items = std::vector<std::pair<QString, QString>>;

// (objectName, caption) of a menu's items in order; separators as ("-", "-").
Items items_of(const QMenu* menu) {
    Items items;
    for (const QAction* action : menu->actions()) {
        items.emplace_back(action->isSeparator() ? u"-"_s : action->objectName(),
                           action->isSeparator() ? u"-"_s : action->text());
    }
    return items;
}

class MainWindowTest : public AppFixture {};

TEST_F(MainWindowTest, EveryControlTabFrameAndTipHasItsExactCaption) {
    EXPECT_EQ(window.windowTitle(), u"Tarvenix"_s);
    for (const auto& [name, caption] : expected_captions()) {
        const QWidget* widget = window.findChild<QWidget*>(name);
        ASSERT_NE(widget, nullptr) << name.toStdString();
        EXPECT_EQ(widget->property("text").toString(), caption) << name.toStdString();
    }
    QStringList tabs;
    for (int i = 0; i < window.settings_tabs()->count(); ++i) {
        tabs << window.settings_tabs()->tabText(i);
    }
    EXPECT_EQ(tabs, (QStringList{u"フォルダ１"_s, u"フォルダ２"_s, u"フォルダ３"_s, u"フォルダ４"_s,
                                 u"フォルダ５"_s, u"フォルダ６"_s, u"フォルダ７"_s, u"フォルダ８"_s,
                                 u"コピー条件"_s, u"起動イベント"_s, u"履歴"_s}));
    QStringList frames;
    for (const QGroupBox* frame : window.findChildren<QGroupBox*>()) {
        frames << frame->title();
    }
    frames.sort();
    EXPECT_EQ(frames,
              (QStringList{u"オープン中のファイル"_s, u"コピー履歴"_s, u"時刻設定"_s, u"条件"_s}));
    for (const auto& [name, tip] : {std::pair{u"hour_txt(0)"_s, u"24時間制で入力"_s},
                                    {u"hour_txt(1)"_s, u"24時間制で入力"_s},
                                    {u"hour_txt(2)"_s, u"24時間制で入力"_s},
                                    {u"bkup_bt"_s, u"ﾏﾆｭｱﾙ起動"_s},
                                    {u"bkup_exit_bt"_s, u"ﾏﾆｭｱﾙ起動"_s}}) {
        EXPECT_EQ(find<QWidget>(name)->toolTip(), tip) << name.toStdString();
    }
}

TEST_F(MainWindowTest, EveryControlOfEveryTabIsReachableByItsId) {
    struct Row {
        Control control;
        int count;
        int tab;  // -1: set k's control is on tab k
    };
    const Row rows[] = {
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
    for (const Row& row : rows) {
        for (int i = 0; i < row.count; ++i, ++total) {
            const ControlId id{row.control, i};
            const QWidget* widget = window.controls().widget(id);
            EXPECT_EQ(widget->objectName().toStdString(), id.name());
            EXPECT_TRUE(
                window.settings_tabs()->widget(row.tab < 0 ? i : row.tab)->isAncestorOf(widget))
                << id.name();
        }
        // One past the last is no control at all, never a neighbour.
        EXPECT_THROW(window.controls().widget({row.control, row.count}), std::out_of_range)
            << ControlId{row.control, row.count}.name();
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
    EXPECT_EQ(order, (QStringList{u"mini_bt"_s, u"ok_bt"_s, u"close_bt"_s, u"bkup_bt"_s,
                                  u"bkup_exit_bt"_s, u"SSTab1"_s}));
}

// A left click on the tray icon pops up the main menu, a right click the help.
TEST_F(MainWindowTest, TrayClicksPopUpTheirMenus) {
    const Items main_menu = {
        {u"bkup_exitwin"_s, u"ﾊﾞｯｸｱｯﾌﾟ後Windows終了"_s},
        {u"start_bkup"_s, u"ﾊﾞｯｸｱｯﾌﾟ実行"_s},
        {u"-"_s, u"-"_s},
        {u"exit_win"_s, u"Windows終了"_s},
        {u"reboot_win"_s, u"Windows再起動"_s},
        {u"log_off"_s, u"ログオフ"_s},
        {u"-"_s, u"-"_s},
        {u"mnuset"_s, u"設定"_s},
        {u"History_Disp"_s, u"履歴表示"_s},
        {u"-"_s, u"-"_s},
        {u"mnuend"_s, u"Tarvenix終了"_s},
    };
    const std::pair<QSystemTrayIcon::ActivationReason, Items> clicks[] = {
        {QSystemTrayIcon::Trigger, main_menu},
        {QSystemTrayIcon::Context, {{u"help_show"_s, u"ﾍﾙﾌﾟ"_s}, {u"about_show"_s, u"About"_s}}},
        {QSystemTrayIcon::DoubleClick, {}},
        {QSystemTrayIcon::MiddleClick, {}},
    };
    for (const auto& [reason, items] : clicks) {
        Items seen;
        bool looked = false;
        QTimer::singleShot(50, [&] {
            looked = true;
            if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                seen = items_of(popup);
                popup->close();
            }
        });
        window.on_tray_activated(reason);
        // When nothing popped up, the call returned at once: let the timer run.
        EXPECT_TRUE(QTest::qWaitFor([&] { return looked; }));
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
    EXPECT_EQ(menus, (QStringList{u"ﾒﾆｭｰ"_s, u"ﾍﾙﾌﾟ"_s}));
}

TEST_F(MainWindowTest, TypingMarksTheSettingsChangedAndTheCaptionBlinks) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
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
        const std::string shown = captions.join(u" / "_s).toStdString();
        EXPECT_EQ(captions.filter(clock).size(), 2) << shown;
        // Once changed, the marker shows on one of two ticks in a row.
        EXPECT_EQ(captions.filter(QRegularExpression(u"\\)  変更有り$"_s)).size(), typed ? 1 : 0)
            << shown;
    }
}

// Leaving a time box for another control checks it; another window or a menu
// taking the keyboard is no leaving of the box.
TEST_F(MainWindowTest, LeavingATimeBoxRunsItsCheck) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
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
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
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
    EXPECT_EQ(find<QLineEdit>(u"dstfld_txt(4)"_s)->text(), u"/picked/folder"_s);
    EXPECT_EQ(context.settings.model.sets[4].dst_folder, "/picked/folder");
    find<QPushButton>(u"refsrc_bt(2)"_s)->click();  // cancelled: nothing changes
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
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
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
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
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

TEST_F(MainWindowTest, ClosingTheWindowRunsTheShutDownSequenceOnce) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::keyClicks(find<QLineEdit>(u"srcfld_txt(1)"_s), u"x"_s);
    ui.answer_next(button::kNo);
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(controller.shut_down());
    EXPECT_EQ(quit_calls, 1);
    EXPECT_EQ(ui.box_texts(),
              std::vector<std::string>{"システムデータが変更されています\r更新しますか？"});
    EXPECT_FALSE(exists(tmp / "system.dat"));  // answered No: nothing saved
    EXPECT_TRUE(ui.session_requests().empty());
}

// Loaded settings fill the controls without counting as a change.
TEST_F(MainWindowTest, CloseButtonEndsTheProgramWithoutAQuestionWhenNothingChanged) {
    context.settings.model.sets[3].dst_folder = "/backup/四";
    context.settings.model.options.copy_mode = "1";
    context.store.write_settings_file();
    context.store.load_settings();
    window.show();
    EXPECT_EQ(find<QLineEdit>(u"dstfld_txt(3)"_s)->text(), u"/backup/四"_s);
    EXPECT_TRUE(find<QRadioButton>(u"copy_op(1)"_s)->isChecked());
    find<QPushButton>(u"close_bt"_s)->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(controller.shut_down());
    EXPECT_EQ(quit_calls, 1);
    EXPECT_TRUE(ui.box_texts().empty());
}

// What a label or button shows: its text, or the size of its picture.
QString caption(const QWidget* parent, const QString& name) {
    const auto* widget = parent->findChild<QWidget*>(name);
    const auto* label = qobject_cast<const QLabel*>(widget);
    if (label != nullptr && !label->pixmap().isNull()) {
        return u"<%1x%2>"_s.arg(label->pixmap().width()).arg(label->pixmap().height());
    }
    return widget != nullptr ? widget->property("text").toString() : u"<missing>"_s;
}

struct WindowCase {
    const char* name;
    std::function<QWidget*()> open;  // made and shown as the program does
    QString title;
    std::vector<std::pair<QString, QString>> captions;  // (object name, caption)
    std::function<void(QWidget*)> act;                  // what the user does
    bool goes_away;                                     // closed and deleted by it
};

std::vector<WindowCase> windows() {
    const auto splash = [] {
        auto* window = new qt::SplashWindow;
        window->set_product_text(u" Tarvenix Ver7.00 "_s);
        window->present();
        return window;
    };
    const std::vector<std::pair<QString, QString>> splash_captions = {
        {u"lblProductName"_s, u" Tarvenix Ver7.00 "_s},
        {u"Label1"_s, u"For Win 98/Me/NT4/2000/XP"_s},
        {u"lblCompanyProduct"_s, u"© Tarvenix developers"_s},
        {u"imgLogo"_s, u"<32x32>"_s}};
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
         {{u"lbl_ver"_s, u"Ver7.00"_s},
          {u"Label2"_s, u"Tarvenix"_s},
          {u"lblDescription"_s, u"ファイルバックアップユーティリティー"_s},
          {u"Label4"_s, u"for Win95/98/Me/NT4.0/2000/XP"_s},
          {u"Label1"_s, u"© Tarvenix developers"_s},
          {u"picIcon"_s, u"<32x32>"_s},
          {u"cmdOK"_s, u"OK"_s}},
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
         {{u"Label1"_s, u"コピー元フォルダ"_s},
          {u"Label2"_s, u"コピー先フォルダ"_s},
          {u"Label3"_s, u"<サブフォルダ>"_s},
          {u"cpinfo_lvl"_s, u"ファイル名"_s},
          {u"Label4"_s, u"ファイルサイズ"_s},
          {u"Label5"_s, u"Kbyte"_s},
          {u"copyccl_bt"_s, u"中　止"_s}},
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
        for (const auto& [name, text] : c.captions) {
            EXPECT_EQ(caption(window, name), text) << c.name << " " << name.toStdString();
        }
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
