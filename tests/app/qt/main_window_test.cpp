#include <QAbstractButton>
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
        EXPECT_EQ(caption_of(widget), caption) << name.toStdString();
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

TEST_F(MainWindowTest, TrayMenusHoldTheirItemsInOrderAndClicksPopThemUp) {
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
    EXPECT_EQ(window.menu(PopupMenu::mnumain)->title(), u"ﾒﾆｭｰ"_s);
    EXPECT_EQ(window.menu(PopupMenu::help)->title(), u"ﾍﾙﾌﾟ"_s);
    EXPECT_EQ(items_of(window.menu(PopupMenu::mnumain)), main_items);
    EXPECT_EQ(items_of(window.menu(PopupMenu::help)),
              (Items{{u"help_show"_s, u"ﾍﾙﾌﾟ"_s}, {u"about_show"_s, u"About"_s}}));

    const std::pair<QSystemTrayIcon::ActivationReason, QString> clicks[] = {
        {QSystemTrayIcon::Trigger, u"mnumain"_s},
        {QSystemTrayIcon::Context, u"help"_s},
        {QSystemTrayIcon::DoubleClick, QString()},
        {QSystemTrayIcon::MiddleClick, QString()},
    };
    for (const auto& [reason, menu] : clicks) {
        QString seen;
        bool looked = false;
        QTimer::singleShot(50, [&] {
            looked = true;
            if (QWidget* popup = QApplication::activePopupWidget()) {
                seen = popup->objectName();
                popup->close();
            }
        });
        window.on_tray_activated(reason);
        // When nothing popped up, the call returned at once: let the timer run.
        EXPECT_TRUE(QTest::qWaitFor([&] { return looked; }));
        EXPECT_EQ(seen, menu) << "activation " << reason;
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
    const QList<QAction*> menus = window.menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->menu(), window.menu(PopupMenu::mnumain));
    EXPECT_EQ(menus[1]->menu(), window.menu(PopupMenu::help));
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

TEST_F(MainWindowTest, ThePageModelAndTheControlsFollowEachOther) {
    SettingsPage& page = context.settings.page;
    int echoes = 0;
    QObject::connect(find<QLineEdit>(u"dstfld_txt(3)"_s), &QLineEdit::textChanged,
                     [&] { ++echoes; });
    page.set_text({Control::dstfld_txt, 3}, "/backup/四");
    page.set_checked({Control::sdown, 1}, true);
    page.select_option(Control::copy_op, 0);
    page.select_tab(9);
    EXPECT_EQ(find<QLineEdit>(u"dstfld_txt(3)"_s)->text(), u"/backup/四"_s);
    EXPECT_EQ(echoes, 0);  // shown with its signals blocked: no echo
    EXPECT_TRUE(find<QCheckBox>(u"sdown(1)"_s)->isChecked());
    EXPECT_TRUE(find<QRadioButton>(u"copy_op(0)"_s)->isChecked());
    EXPECT_FALSE(find<QRadioButton>(u"copy_op(1)"_s)->isChecked());
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
    QAction* about = window.menu(PopupMenu::help)->actions().value(1);
    auto* bar = window.settings_tabs()->rows();
    const qt::Twips tw(&window);
    const struct {
        const char* name;
        std::function<void()> act;
        bool opens;
    } cases[] = {
        {"menu_twice",
         [&] {
             about->trigger();
             about->trigger();
         },
         true},
        // Below the tabs, left of 閉じる.
        {"background",
         [&] {
             QTest::mouseDClick(window.centralWidget(), Qt::LeftButton, {},
                                QPoint(tw(1700), tw(4600)));
         },
         true},
        {"tab", [&] { QTest::mouseDClick(bar, Qt::LeftButton, {}, bar->row_tab_rect(5).center()); },
         true},
        // A double-click in a text box is the text box's own.
        {"text_box",
         [&] { QTest::mouseDClick(find<QLineEdit>(u"srcfld_txt(0)"_s), Qt::LeftButton); }, false},
    };
    for (const auto& c : cases) {
        c.act();
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
