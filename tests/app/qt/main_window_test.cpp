#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <utility>
#include <vector>

#include "app/qt/about.h"
#include "app/qt/multi_row_tab_bar.h"
#include "app/qt/splash.h"
#include "app/qt/ui_common.h"
#include "app_fixture.h"

using namespace Qt::StringLiterals;

namespace tarvenix::testing {
namespace {

QString idx(const QString& name, int index) {
    return name + u'(' + QString::number(index) + u')';
}

// The caption a control shows, whatever its kind.
QString caption_of(const QWidget* widget) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->text();
    }
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text();
    }
    if (const auto* frame = qobject_cast<const QGroupBox*>(widget)) {
        return frame->title();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        return edit->text();
    }
    return u"<no caption>"_s;
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
        rows.emplace_back(idx(u"srcfld_txt"_s, k), QString());
        rows.emplace_back(idx(u"refsrc_bt"_s, 2 * k), u"参照"_s);
        rows.emplace_back(idx(u"Label2"_s, k), u"コピー先フォルダ"_s);
        rows.emplace_back(idx(u"dstfld_txt"_s, k), QString());
        rows.emplace_back(idx(u"refsrc_bt"_s, 2 * k + 1), u"参照"_s);
        rows.emplace_back(idx(u"subfld_chk"_s, k), u"サブフォルダもコピーする"_s);
        rows.emplace_back(idx(u"skip_chk"_s, k), u"この設定をスキップする"_s);
        rows.emplace_back(idx(u"set_clr_bt"_s, k), u"設定ｸﾘｱ"_s);
    }
    const QString rows_captions[] = {u"設定１"_s, u"設定２"_s, u"設定３"_s};
    for (int k = 0; k < 3; ++k) {
        rows.emplace_back(idx(u"time_lbl"_s, k), rows_captions[k]);
        rows.emplace_back(idx(u"hour_txt"_s, k), QString());
        rows.emplace_back(idx(u"hour_lbl"_s, k), u"時"_s);
        rows.emplace_back(idx(u"min_txt"_s, k), QString());
        rows.emplace_back(idx(u"min_lbl"_s, k), u"分"_s);
        rows.emplace_back(idx(u"sdown"_s, k), QString());
    }
    return rows;
}

using Items = std::vector<std::pair<QString, QString>>;

// (objectName, caption) of a menu's items in order; separators as ("-", "-").
Items items_of(const QMenu* menu) {
    Items items;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            items.emplace_back(u"-"_s, u"-"_s);
        } else {
            items.emplace_back(action->objectName(), action->text());
        }
    }
    return items;
}

class MainWindowTest : public AppFixture {};

TEST_F(MainWindowTest, EveryControlHasItsNameAndExactCaption) {
    EXPECT_EQ(window.objectName(), u"Menu"_s);
    EXPECT_EQ(window.windowTitle(), u"Tarvenix"_s);
    for (const auto& [name, caption] : expected_captions()) {
        const QWidget* widget = window.findChild<QWidget*>(name);
        ASSERT_NE(widget, nullptr) << name.toStdString();
        EXPECT_EQ(caption_of(widget), caption) << name.toStdString();
    }
    // The kinds the rest of the program relies on.
    EXPECT_NE(find<QLineEdit>(u"srcfld_txt(7)"_s), nullptr);
    EXPECT_NE(find<QCheckBox>(u"sdown(2)"_s), nullptr);
    EXPECT_NE(find<QRadioButton>(u"rec_op(1)"_s), nullptr);
    EXPECT_NE(find<QPushButton>(u"refsrc_bt(15)"_s), nullptr);
    EXPECT_EQ(window.findChild<QWidget*>(u"refsrc_bt(16)"_s), nullptr);

    QStringList frames;
    for (const QGroupBox* frame : window.findChildren<QGroupBox*>()) {
        frames << frame->title();
    }
    frames.sort();
    QStringList expected_frames{u"条件"_s, u"オープン中のファイル"_s, u"時刻設定"_s,
                                u"コピー履歴"_s};
    expected_frames.sort();
    EXPECT_EQ(frames, expected_frames);

    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(find<QLineEdit>(idx(u"hour_txt"_s, k))->toolTip(), u"24時間制で入力"_s);
    }
    EXPECT_EQ(find<QPushButton>(u"bkup_bt"_s)->toolTip(), u"ﾏﾆｭｱﾙ起動"_s);
    EXPECT_EQ(find<QPushButton>(u"bkup_exit_bt"_s)->toolTip(), u"ﾏﾆｭｱﾙ起動"_s);
    EXPECT_EQ(window.findChild<QWidget*>(u"Timer1"_s), nullptr);  // a timer, not a widget
    ASSERT_NE(window.timer1(), nullptr);
    EXPECT_EQ(window.timer1()->objectName(), u"Timer1"_s);
    EXPECT_EQ(window.timer1()->interval(), 1000);
    EXPECT_TRUE(window.timer1()->isActive());
}

TEST_F(MainWindowTest, TabsHaveTheirCaptionsInOrder) {
    const QTabWidget* tabs = find<QTabWidget>(u"SSTab1"_s);
    ASSERT_NE(tabs, nullptr);
    const QStringList expected = {u"フォルダ１"_s,   u"フォルダ２"_s, u"フォルダ３"_s,
                                  u"フォルダ４"_s,   u"フォルダ５"_s, u"フォルダ６"_s,
                                  u"フォルダ７"_s,   u"フォルダ８"_s, u"コピー条件"_s,
                                  u"起動イベント"_s, u"履歴"_s};
    QStringList captions;
    for (int i = 0; i < tabs->count(); ++i) {
        captions << tabs->tabText(i);
    }
    EXPECT_EQ(captions, expected);
    EXPECT_TRUE(tabs->widget(10)->isAncestorOf(find<QWidget>(u"histclr_bt"_s)));
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

TEST_F(MainWindowTest, WindowHasItsFixedSizeAndButtonPositions) {
    const qt::Twips tw(&window);
    EXPECT_EQ(window.centralWidget()->size(), tw.size(5745, 5640));
    window.show();
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_EQ(find<QWidget>(u"SSTab1"_s)->geometry(), tw.rect(120, 120, 5535, 4095));
    EXPECT_EQ(find<QWidget>(u"bkup_bt"_s)->geometry(), tw.rect(120, 4440, 1455, 495));
    EXPECT_EQ(find<QWidget>(u"bkup_exit_bt"_s)->geometry(), tw.rect(120, 5040, 1455, 495));
    EXPECT_EQ(find<QWidget>(u"mini_bt"_s)->geometry(), tw.rect(1995, 5025, 1095, 495));
    EXPECT_EQ(find<QWidget>(u"ok_bt"_s)->geometry(), tw.rect(3240, 5025, 1140, 495));
    EXPECT_EQ(find<QWidget>(u"close_bt"_s)->geometry(), tw.rect(4515, 5025, 1155, 495));
}

TEST_F(MainWindowTest, FocusOrderStartsWithTheButtonsThenTheTabs) {
    QStringList order;
    QWidget* widget = find<QWidget>(u"mini_bt"_s);
    for (int guard = 0; widget != nullptr && order.size() < 6 && guard < 1000; ++guard) {
        if ((widget->focusPolicy() & Qt::TabFocus) != 0) {
            order << (widget->parentWidget() == find<QWidget>(u"SSTab1"_s) ? u"SSTab1"_s
                                                                           : widget->objectName());
        }
        widget = widget->nextInFocusChain();
    }
    EXPECT_EQ(order, (QStringList{u"mini_bt"_s, u"ok_bt"_s, u"close_bt"_s, u"bkup_bt"_s,
                                  u"bkup_exit_bt"_s, u"SSTab1"_s}));
}

TEST_F(MainWindowTest, TrayMenusHoldTheirItemsInOrder) {
    const Items main_items = {
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
    const Items help_items = {{u"help_show"_s, u"ﾍﾙﾌﾟ"_s}, {u"about_show"_s, u"About"_s}};
    QMenu* mnumain = window.menu(PopupMenu::mnumain);
    QMenu* help = window.menu(PopupMenu::help);
    ASSERT_NE(mnumain, nullptr);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(mnumain->objectName(), u"mnumain"_s);
    EXPECT_EQ(mnumain->title(), u"ﾒﾆｭｰ"_s);
    EXPECT_EQ(help->objectName(), u"help"_s);
    EXPECT_EQ(help->title(), u"ﾍﾙﾌﾟ"_s);
    EXPECT_EQ(items_of(mnumain), main_items);
    EXPECT_EQ(items_of(help), help_items);
    for (const QMenu* menu : {mnumain, help}) {
        for (const QAction* action : menu->actions()) {
            EXPECT_TRUE(action->isEnabled());
            EXPECT_FALSE(action->isCheckable());
            EXPECT_TRUE(action->isVisible());
        }
    }
}

// Runs `activate` and reports which menu popped up (its object name; "" when
// none did), closing it again.
QString popped_up_by(const std::function<void()>& activate) {
    QString seen;
    bool fired = false;
    QTimer::singleShot(50, [&] {
        fired = true;
        if (QWidget* popup = QApplication::activePopupWidget()) {
            seen = popup->objectName();
            popup->close();
        }
    });
    activate();
    // When nothing popped up, the call returned at once: let the timer run.
    while (!fired) {
        QTest::qWait(10);
    }
    return seen;
}

TEST_F(MainWindowTest, TrayClicksPopUpTheMenus) {
    EXPECT_EQ(popped_up_by([&] { window.on_tray_activated(QSystemTrayIcon::Trigger); }),
              u"mnumain"_s);
    EXPECT_EQ(popped_up_by([&] { window.on_tray_activated(QSystemTrayIcon::Context); }), u"help"_s);
    EXPECT_EQ(popped_up_by([&] { window.on_tray_activated(QSystemTrayIcon::DoubleClick); }),
              QString());
    EXPECT_EQ(popped_up_by([&] { window.on_tray_activated(QSystemTrayIcon::MiddleClick); }),
              QString());
}

TEST_F(MainWindowTest, WithoutATrayTheWindowStandsInWithAMenuBar) {
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable())
        << "these checks need a desktop without tray";
    EXPECT_FALSE(window.menuBar()->isVisible());
    EXPECT_FALSE(window.tray().add_tray_icon("左-Menu:右-Help"));
    window.stand_in_for_tray();
    EXPECT_TRUE(window.standing_in_for_tray());
    EXPECT_EQ(window.tray().icon(), nullptr);
    const QList<QAction*> menus = window.menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->menu(), window.menu(PopupMenu::mnumain));
    EXPECT_EQ(menus[1]->menu(), window.menu(PopupMenu::help));
    const auto* retry = window.findChild<QTimer*>(u"tray_retry"_s);
    ASSERT_NE(retry, nullptr);
    EXPECT_TRUE(retry->isActive());
    EXPECT_EQ(retry->interval(), 5000);

    window.set_window_visible(true);
    EXPECT_TRUE(window.menuBar()->isVisible());
    EXPECT_TRUE(window.window_visible());
    // "閉じる" minimises: the window is the only way back.
    window.set_window_visible(false);
    EXPECT_TRUE(window.isMinimized());
    EXPECT_FALSE(window.window_visible());
    window.set_window_visible(true);
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.window_visible());

    window.tray().remove_tray_icon();
    EXPECT_FALSE(retry->isActive());
}

TEST_F(MainWindowTest, StartUpShowsTheSplashThenTheWindowWhenThereIsNoTray) {
    bool splash_seen = false;
    ui.on_every_pump([&] {
        if (window.splash() != nullptr && window.splash()->isVisible()) {
            splash_seen = true;
        }
    });
    controller.start_up();
    EXPECT_TRUE(splash_seen);
    EXPECT_TRUE(window.splash() == nullptr || !window.splash()->isVisible());
    EXPECT_TRUE(window.window_visible());
    EXPECT_TRUE(window.menuBar()->isVisible());
    EXPECT_EQ(window.windowTitle(), u"Tarvenix"_s);
}

TEST_F(MainWindowTest, TypingMarksTheSettingsChangedAndTheCaptionBlinks) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(context.settings.settings_changed, 0);
    controller.on_timer_tick();
    EXPECT_FALSE(window.windowTitle().contains(u"変更有り"_s));
    controller.on_timer_tick();
    EXPECT_FALSE(window.windowTitle().contains(u"変更有り"_s));

    QLineEdit* source = find<QLineEdit>(u"srcfld_txt(0)"_s);
    ASSERT_NE(source, nullptr);
    source->setFocus();
    QTest::keyClicks(source, u"/data/src"_s);
    EXPECT_EQ(context.settings.page.text({Control::srcfld_txt, 0}), "/data/src");
    EXPECT_EQ(context.settings.settings_changed, 1);

    controller.on_timer_tick();
    const QString first = window.windowTitle();
    controller.on_timer_tick();
    const QString second = window.windowTitle();
    EXPECT_TRUE(first.startsWith(u"Tarvenix  (Now "_s)) << first.toStdString();
    EXPECT_TRUE(second.startsWith(u"Tarvenix  (Now "_s)) << second.toStdString();
    // The marker shows on one of two ticks in a row.
    EXPECT_NE(first.endsWith(u")  変更有り"_s), second.endsWith(u")  変更有り"_s))
        << first.toStdString() << " / " << second.toStdString();
}

TEST_F(MainWindowTest, ThePageModelDrivesTheControls) {
    SettingsPage& page = context.settings.page;
    int text_changes = 0;
    QObject::connect(find<QLineEdit>(u"dstfld_txt(3)"_s), &QLineEdit::textChanged,
                     [&] { ++text_changes; });
    page.set_text({Control::dstfld_txt, 3}, "/backup/四");
    EXPECT_EQ(find<QLineEdit>(u"dstfld_txt(3)"_s)->text(), u"/backup/四"_s);
    EXPECT_EQ(text_changes, 0);  // shown with its signals blocked: no echo

    page.set_checked({Control::sdown, 1}, true);
    EXPECT_TRUE(find<QCheckBox>(u"sdown(1)"_s)->isChecked());
    page.select_option(Control::copy_op, 0);
    EXPECT_TRUE(find<QRadioButton>(u"copy_op(0)"_s)->isChecked());
    EXPECT_FALSE(find<QRadioButton>(u"copy_op(1)"_s)->isChecked());
    page.select_option(Control::rec_op, 0);
    EXPECT_TRUE(find<QRadioButton>(u"rec_op(0)"_s)->isChecked());
    EXPECT_FALSE(find<QRadioButton>(u"rec_op(1)"_s)->isChecked());

    page.set_caption("Tarvenix   (Now 09:30:05)");
    EXPECT_EQ(window.windowTitle(), u"Tarvenix   (Now 09:30:05)"_s);
    page.select_tab(9);
    EXPECT_EQ(window.settings_tabs()->currentIndex(), 9);

    // And the other way: a click on a control reaches the page.
    QCheckBox* skip = find<QCheckBox>(u"skip_chk(5)"_s);
    QTest::mouseClick(skip, Qt::LeftButton, {}, QPoint(6, skip->height() / 2));
    EXPECT_TRUE(page.checked({Control::skip_chk, 5}));
    find<QRadioButton>(u"cp_skip(0)"_s)->click();
    EXPECT_EQ(page.selected_option(Control::cp_skip), 0);
    window.settings_tabs()->setCurrentIndex(2);
    EXPECT_EQ(page.selected_tab(), 2);
}

TEST_F(MainWindowTest, FocusRequestsOfThePageMoveTheFocus) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    context.settings.page.select_tab(9);
    context.settings.page.set_focus("hour_txt(2)");
    EXPECT_EQ(QApplication::focusWidget(), find<QWidget>(u"hour_txt(2)"_s));
    context.settings.page.set_focus("mini_bt");
    EXPECT_EQ(QApplication::focusWidget(), find<QWidget>(u"mini_bt"_s));
}

TEST_F(MainWindowTest, LeavingAnHourBoxRunsItsCheck) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    context.settings.page.select_tab(9);
    QLineEdit* hour = find<QLineEdit>(u"hour_txt(0)"_s);
    QLineEdit* minute = find<QLineEdit>(u"min_txt(0)"_s);
    hour->setFocus();
    QTest::keyClicks(hour, u"7"_s);
    minute->setFocus(Qt::TabFocusReason);
    QTest::qWait(20);
    EXPECT_EQ(hour->text(), u"07"_s);
    EXPECT_TRUE(ui.box_texts().empty());

    QTest::keyClicks(minute, u"60"_s);
    hour->setFocus(Qt::MouseFocusReason);
    QTest::qWait(20);
    ASSERT_EQ(ui.box_texts().size(), 1U);
    EXPECT_EQ(ui.box_texts()[0], "入力された分が範囲外です！");
    EXPECT_EQ(minute->text(), u"60"_s);
    EXPECT_EQ(QApplication::focusWidget(), minute);
    EXPECT_EQ(window.settings_tabs()->currentIndex(), 9);
}

// A value the settings file must not take, typed and then saved at once: by a
// fast click on "更　新" (press and release together, before the focus-leave
// check has run) or through Tarvenix終了 in the menu (a menu taking the focus
// is no leaving of the box). The save refuses it with one message.
struct Refusal {
    const char* name;
    std::vector<std::pair<QString, QString>> typing;  // the last box is refused
    bool by_menu;
    std::string message;
};
void PrintTo(const Refusal& c, std::ostream* os) {
    *os << c.name;
}

class SaveRefusalTest : public AppFixture, public ::testing::WithParamInterface<Refusal> {};

TEST_P(SaveRefusalTest, NothingRefusedReachesTheFile) {
    const Refusal& c = GetParam();
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QLineEdit* edit = nullptr;
    for (const auto& [box, text] : c.typing) {
        edit = find<QLineEdit>(box);
        context.settings.page.select_tab(box.startsWith(u"hour"_s) || box.startsWith(u"min"_s)
                                             ? kStartEventsTab
                                             : box.mid(box.indexOf(u'(') + 1, 1).toInt());
        QTest::mouseClick(edit, Qt::LeftButton);
        QTest::keyClicks(edit, text);
    }
    if (c.by_menu) {
        QMenu* menu = window.menu(PopupMenu::mnumain);
        QTimer::singleShot(50, menu, [menu] {
            for (QAction* action : menu->actions()) {
                if (action->objectName() == u"mnuend"_s) {
                    QTest::mouseClick(menu, Qt::LeftButton, {},
                                      menu->actionGeometry(action).center());
                }
            }
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

const QString kLongPath = u"/"_s + QString(80, u'a');
INSTANTIATE_TEST_SUITE_P(
    Typed, SaveRefusalTest,
    ::testing::Values(Refusal{"hour_then_update",
                              {{u"hour_txt(0)"_s, u"25"_s}},
                              false,
                              "入力された時間が範囲外です！"},
                      Refusal{"minute_then_update",
                              {{u"min_txt(2)"_s, u"60"_s}},
                              false,
                              "入力された分が範囲外です！"},
                      Refusal{"hour_then_tray_exit",
                              {{u"hour_txt(0)"_s, u"25"_s}},
                              true,
                              "入力された時間が範囲外です！"},
                      Refusal{"long_path_then_update",
                              {{u"dstfld_txt(2)"_s, u"/tmp"_s}, {u"srcfld_txt(2)"_s, kLongPath}},
                              false,
                              "フォルダ3の設定が長すぎます！\r保存できるのは 80 文字までです\r" +
                                  qt::to_std(kLongPath)}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(MainWindowTest, AnotherWindowTakingTheFocusIsNotLeavingTheBox) {
    QLineEdit* hour = find<QLineEdit>(u"hour_txt(1)"_s);
    hour->setText(u"99"_s);
    QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(hour, &away);
    QFocusEvent menu(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(hour, &menu);
    QTest::qWait(20);
    EXPECT_TRUE(ui.box_texts().empty());

    QFocusEvent moved(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(hour, &moved);
    QTest::qWait(20);
    ASSERT_EQ(ui.box_texts().size(), 1U);
    EXPECT_EQ(ui.box_texts()[0], "入力された時間が範囲外です！");
}

TEST_F(MainWindowTest, SetButtonsReachTheController) {
    ui.pick_next_folder("/picked/folder");
    find<QPushButton>(u"refsrc_bt(9)"_s)->click();
    EXPECT_EQ(find<QLineEdit>(u"dstfld_txt(4)"_s)->text(), u"/picked/folder"_s);
    EXPECT_EQ(context.settings.model.sets[4].dst_folder, "/picked/folder");

    find<QPushButton>(u"refsrc_bt(2)"_s)->click();  // cancelled: nothing changes
    EXPECT_EQ(find<QLineEdit>(u"srcfld_txt(1)"_s)->text(), QString());
    ASSERT_EQ(ui.events_of("folder").size(), 2U);

    QTest::keyClicks(find<QLineEdit>(u"srcfld_txt(2)"_s), u"/a"_s);
    find<QCheckBox>(u"subfld_chk(2)"_s)->setChecked(true);
    find<QPushButton>(u"set_clr_bt(2)"_s)->click();
    EXPECT_EQ(find<QLineEdit>(u"srcfld_txt(2)"_s)->text(), QString());
    EXPECT_FALSE(find<QCheckBox>(u"subfld_chk(2)"_s)->isChecked());
}

TEST_F(MainWindowTest, HistoryButtonsReachTheController) {
    write_file(tmp / "history.txt", "2004/03/20 09:05:07 [Start] [Manual]\r\n");
    ui.answer_next(button::kOk);
    find<QPushButton>(u"histclr_bt"_s)->click();
    EXPECT_EQ(read_file(tmp / "history.txt"), "\r\n");

    find<QPushButton>(u"recedit_bt"_s)->click();
    const auto shell = ui.events_of("shell");
    ASSERT_EQ(shell.size(), 1U);
    EXPECT_EQ(shell[0].text, tmp / "history.txt");
}

TEST_F(MainWindowTest, SettingsMenuShowsTheWindowAndCloseHidesIt) {
    ASSERT_FALSE(window.isVisible());
    QAction* mnuset = nullptr;
    for (QAction* action : window.menu(PopupMenu::mnumain)->actions()) {
        if (action->objectName() == u"mnuset"_s) {
            mnuset = action;
        }
    }
    ASSERT_NE(mnuset, nullptr);
    mnuset->trigger();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.settings_tabs()->currentIndex(), 0);
    find<QPushButton>(u"mini_bt"_s)->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(ui.box_texts().empty());
}

TEST_F(MainWindowTest, AboutOpensOnceFromTheMenuAndByDoubleClick) {
    QAction* about = window.menu(PopupMenu::help)->actions().value(1);
    ASSERT_NE(about, nullptr);
    about->trigger();
    ASSERT_NE(window.about(), nullptr);
    EXPECT_TRUE(window.about()->isVisible());
    EXPECT_EQ(window.about()->findChild<QLabel*>(u"lbl_ver"_s)->text(), u"Ver7.00"_s);
    about->trigger();
    int open = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == u"frmAbout"_s && widget->isVisible()) {
            ++open;
        }
    }
    EXPECT_EQ(open, 1);
    window.close_about();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window.about(), nullptr);

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // On the window's background (below the tabs, left of 閉じる).
    const qt::Twips tw(&window);
    QTest::mouseDClick(window.centralWidget(), Qt::LeftButton, {}, QPoint(tw(1700), tw(4600)));
    ASSERT_NE(window.about(), nullptr);
    EXPECT_TRUE(window.about()->isVisible());
    window.close_about();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(window.about(), nullptr);

    // On the tabs.
    auto* bar = window.settings_tabs()->rows();
    QTest::mouseDClick(bar, Qt::LeftButton, {}, bar->row_tab_rect(5).center());
    ASSERT_NE(window.about(), nullptr);
    // A plain double-click in a text box is the text box's own.
    window.close_about();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTest::mouseDClick(find<QLineEdit>(u"srcfld_txt(0)"_s), Qt::LeftButton);
    EXPECT_EQ(window.about(), nullptr);
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
    ASSERT_EQ(ui.box_texts().size(), 1U);
    EXPECT_EQ(ui.box_texts()[0], "システムデータが変更されています\r更新しますか？");
    EXPECT_FALSE(exists(tmp / "system.dat"));  // answered No: nothing saved
    EXPECT_TRUE(ui.session_requests().empty());
}

TEST_F(MainWindowTest, CloseButtonEndsTheProgramWithoutAQuestionWhenNothingChanged) {
    window.show();
    find<QPushButton>(u"close_bt"_s)->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(controller.shut_down());
    EXPECT_EQ(quit_calls, 1);
    EXPECT_TRUE(ui.box_texts().empty());
}

}  // namespace
}  // namespace tarvenix::testing
