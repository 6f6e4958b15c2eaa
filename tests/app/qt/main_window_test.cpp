// The desktop program's windows, boxes and shell as the user meets them, and
// (X11*, run by under_x11.sh; Wayland*, by under_wayland.sh; elsewhere they
// skip) what the window manager or the compositor shows.

#include "app/qt/main_window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFile>
#include <QGroupBox>
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
#include <algorithm>
#include <functional>
#include <map>
#include <ranges>
#include <vector>

#include "app/core/app_controller.h"
#include "app/core/program_context.h"
#include "app/qt/multi_row_tab_bar.h"
#include "app/qt/progress_dialog.h"
#include "app/qt/qt_desktop.h"
#include "app/qt/qt_ports.h"
#include "app/qt/ui_common.h"
#include "engine/backup_engine.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "support/window_keys.h"

using namespace Qt::StringLiterals;

namespace tarvenix::testing {
namespace {

// What `text` gives for each of `items`, joined by '|'.
template <typename Items, typename Text>
QString joined(const Items& items, Text text) {
    QStringList texts;
    for (const auto& item : items) {
        texts << text(item);
    }
    return texts.join(u'|');
}

// The program assembled as main() does in a temporary folder; the user and the
// session are scripted, the desktop (tray icon, windows) is Qt's.
class AppFixture : public ::testing::Test {
protected:
    AppFixture()
        : context(Ports{ui, ui, ui, ui, ui, ui, ui, ui, desktop}, progress.presenter(), tmp.path())
        , window(context.settings.page, progress, desktop)
        , controller(context.controller_parts(), window) {
        window.set_controller(&controller);
        window.set_quit_handler([] {});  // the tests' process goes on
        context.reporter.report_if_failed(context.store.load_settings());
    }

    ~AppFixture() override {
        // Leave nothing on screen for the next test.
        window.close_splash();
        window.close_about();
        progress.presenter().hide();
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

    // The fixed window of that table, shown as the program shows it.
    QWidget* open(const face::WindowTable& table) {
        if (&table == &face::splash_window()) {
            window.show_splash(" Tarvenix Ver7.00 ");
            return window.splash();
        }
        if (&table == &face::about_window()) {
            window.show_about("Ver7.00");
            return window.about();
        }
        progress.presenter().show();
        return &progress;
    }

    TempDir tmp;
    ScriptedUi ui;
    qt::QtDesktop desktop;
    qt::QtEventPump pump{ui};
    qt::ProgressDialog progress{ui, pump};
    ProgramContext context;
    qt::MainWindow window;
    AppController controller;
};

// What a control shows: its text, a frame's title, a picture's size.
QString shown(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        const QPixmap picture = label->pixmap();
        return picture.isNull() ? label->text()
                                : u"<%1x%2>"_s.arg(picture.width()).arg(picture.height());
    }
    if (const auto* frame = qobject_cast<const QGroupBox*>(widget)) {
        return frame->title();
    }
    return widget->property("text").toString();
}

// Every control of the table is there with its text (as the fixture fills it
// in where the program does) and tool tip, and nothing lies over it; a label
// shows its whole text.
void expect_table_shown(const face::WindowTable& table, QWidget* window, const std::string& name) {
    const std::map<QString, QString> filled = {{u"lblProductName"_s, u" Tarvenix Ver7.00 "_s},
                                               {u"lbl_ver"_s, u"Ver7.00"_s}};
    for (const face::ControlRow& c : table.controls) {
        const QString id = qt::to_qstring(c.full_name());
        const std::string where = name + " " + id.toStdString();
        auto* widget = window->findChild<QWidget*>(id);
        ASSERT_NE(widget, nullptr) << where;
        const auto fill = filled.find(id);
        const QString text = c.kind == face::Kind::kIcon ? u"<32x32>"_s
                             : fill != filled.end()      ? fill->second
                                                         : qt::to_qstring(c.text);
        EXPECT_EQ(shown(widget), text) << where;
        EXPECT_EQ(widget->toolTip(), qt::to_qstring(c.tool_tip)) << where;
        if (c.page >= 0) {
            window->findChild<QTabWidget*>()->setCurrentIndex(c.page);
        }
        if (c.kind != face::Kind::kFrame) {
            QWidget* parent = widget->parentWidget();
            EXPECT_EQ(parent->childAt(widget->geometry().center()), widget) << where;
        }
        if (const auto* label = qobject_cast<const QLabel*>(widget); label && !text.isEmpty()) {
            EXPECT_GE(label->contentsRect().width(),
                      label->fontMetrics().horizontalAdvance(label->text()))
                << where;
        }
    }
}

class MainWindowTest : public AppFixture {};

// The windows as their tables describe them: each in the program's own font,
// the fixed windows also in a fixed-width face and in a face the system lacks
// (fontconfig falls back); and each closes as the user expects.
TEST_F(MainWindowTest, EveryWindowShowsItsTableWholeAndClosesAsTheUserExpects) {
    show_window();
    expect_table_shown(face::main_window(), &window, "Menu");
    const auto* tabs = window.settings_tabs();
    EXPECT_EQ(joined(std::views::iota(0, tabs->count()), [&](int i) { return tabs->tabText(i); }),
              joined(face::tab_captions(), qt::to_qstring));
    const auto click = [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); };
    const struct {
        const char* name;
        const face::WindowTable& table;
        std::function<void(QWidget*)> act;  // what the user does
        bool goes_away;                     // closed and deleted by it
    } cases[] = {
        {"splash_click", face::splash_window(), click, false},
        {"splash_key", face::splash_window(), [](QWidget* w) { QTest::keyClick(w, Qt::Key_Space); },
         true},
        {"about_ok", face::about_window(),
         [&](QWidget* w) { click(w->findChild<QPushButton*>(u"cmdOK"_s)); }, true},
        // Neither Escape nor a close request takes the progress off the screen.
        {"progress_escape_and_close", face::progress_dialog(),
         [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape), w->close(); }, false},
    };
    const QFont program_font = QApplication::font();
    for (const QString& family : {program_font.family(), u"IPAGothic"_s, u"No Such Face"_s}) {
        QFont font(family);
        font.setPointSizeF(9.0);
        QApplication::setFont(font);
        for (const auto& c : cases) {
            const std::string name = c.name + (" in " + family.toStdString());
            QPointer<QWidget> shown_window = open(c.table);
            EXPECT_EQ(shown_window->windowTitle(), qt::to_qstring(c.table.caption)) << name;
            expect_table_shown(c.table, shown_window, name);
            c.act(shown_window);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_EQ(shown_window.isNull(), c.goes_away) << name;
            EXPECT_TRUE(c.goes_away || shown_window->isVisible()) << name;
            window.close_splash();
            progress.presenter().hide();
        }
    }
    QApplication::setFont(program_font);
}

// The keyboard alone turns every page (kPageKeySteps).
TEST_F(MainWindowTest, TheKeyboardAloneTurnsEveryPage) {
    show_window();
    QWidget* strip = window.settings_tabs()->rows();
    constexpr Qt::Key kKeys[] = {Qt::Key_Tab,   Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Left,
                                 Qt::Key_Right, Qt::Key_Up,     Qt::Key_Down};  // by face::Key
    for (const PageKeyStep& s : kPageKeySteps) {
        if (s.from != nullptr) {
            find<QWidget>(QString::fromUtf8(s.from))->setFocus(Qt::OtherFocusReason);
        }
        QTest::keyClick(window.windowHandle(), kKeys[static_cast<int>(s.key)],
                        (s.control ? Qt::ControlModifier : Qt::NoModifier) |
                            (s.shift ? Qt::ShiftModifier : Qt::NoModifier));
        EXPECT_EQ(window.settings_tabs()->currentIndex(), s.page) << s.name;
        const QWidget* focus = QApplication::focusWidget();
        EXPECT_EQ(focus == strip ? "strip" : focus->objectName().toStdString(), s.to) << s.name;
    }
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

// An hour the settings must not take, typed on the tab the user clicked: a move to another control
// of the window checks it, another window or a menu taking the keyboard does not, and a fast click
// on "更　新" (press and release before that check has run) reaches the save, which refuses it
// once. Nothing refused reaches the file.
class LeavingATimeBoxTest : public AppFixture,
                            public ::testing::WithParamInterface<std::string_view> {};

TEST_P(LeavingATimeBoxTest, IsCheckedOnlyWhenTheFocusMovesWithinTheWindow) {
    const std::string_view how = GetParam();
    show_window();
    auto* tabs = window.settings_tabs()->rows();  // three rows
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->row_tab_rect(kStartEventsTab).center());
    QLineEdit* edit = find<QLineEdit>(u"hour_txt(0)"_s);
    ASSERT_TRUE(edit->isVisible());
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClicks(edit, u"25"_s);
    if (how == "update") {
        QTest::mouseClick(find<QPushButton>(u"ok_bt"_s), Qt::LeftButton);
    } else if (how == "menu") {
        QMenu* menu = window.menu(PopupMenu::mnumain);
        QTimer::singleShot(50, menu, &QMenu::close);
        window.popup_menu(PopupMenu::mnumain);
    } else {
        find<QWidget>(u"min_txt(2)"_s)
            ->setFocus(how == "tab" ? Qt::TabFocusReason : Qt::ActiveWindowFocusReason);
    }
    bool settled = false;  // once a focus-leave check still queued has run
    QTimer::singleShot(0, &window, [&settled] { settled = true; });
    ASSERT_TRUE(QTest::qWaitFor([&settled] { return settled; }));
    const bool checked = how == "tab" || how == "update";
    EXPECT_EQ(ui.box_texts().size(), checked ? 1u : 0u);
    EXPECT_TRUE(!checked || (ui.box_texts()[0] == "入力された時間が範囲外です！" &&
                             QApplication::focusWidget() == edit));
    EXPECT_FALSE(exists(tmp / "system.dat"));
}

INSTANTIATE_TEST_SUITE_P(Typed, LeavingATimeBoxTest,
                         ::testing::Values("tab", "another_window", "menu", "update"),
                         [](const auto& p) { return std::string(p.param); });

class BackupFlowTest : public AppFixture {};

// Set 1 filled in as the user does (typed, picked with its "参照" button, a box
// ticked, an option chosen) and saved with "更　新"; "ﾊﾞｯｸｱｯﾌﾟ開始" then
// starts its copy with the progress dialog showing the source, and a click on
// the dialog's "中　止" stops the run.
TEST_F(BackupFlowTest, BackupButtonStartsTheRunAndTheCancelButtonStopsIt) {
    make_dirs(tmp / "src/sub");
    make_dirs(tmp / "dst");
    for (int i = 0; i < 20; ++i) {
        write_file(tmp / ("src/sub/f" + std::to_string(i) + ".txt"), "x");
    }
    show_window();
    QTest::keyClicks(find<QLineEdit>(u"srcfld_txt(0)"_s), qt::to_qstring(tmp / "src"));
    ui.pick_next_folder(tmp / "dst");
    find<QPushButton>(u"refsrc_bt(1)"_s)->click();  // set 1's destination
    for (const int option : {1, 0, 0}) {            // a click on the selected one keeps it
        find<QRadioButton>(u"cp_skip(%1)"_s.arg(option))->click();
        EXPECT_EQ(context.settings.page.selected_option(Control::cp_skip), option);
    }
    EXPECT_TRUE(find<QRadioButton>(u"cp_skip(0)"_s)->isChecked());
    QCheckBox* subfolders = find<QCheckBox>(u"subfld_chk(0)"_s);
    // On the box itself: the control is wider than its caption.
    QTest::mouseClick(subfolders, Qt::LeftButton, {}, QPoint(6, subfolders->height() / 2));
    QTest::mouseClick(find<QPushButton>(u"ok_bt"_s), Qt::LeftButton);
    EXPECT_TRUE(context.settings.model.sets[0].copies_subfolders());
    QString source_shown;
    bool clicked = false;
    ui.on_every_pump([&] {
        QCoreApplication::processEvents();  // as the program's pump does
        source_shown = progress.label(ProgressLabel::srcfld)->text();
        if (!clicked && !progress.label(ProgressLabel::cpfname)->text().isEmpty()) {
            clicked = true;
            QTest::mouseClick(progress.findChild<QPushButton*>(u"copyccl_bt"_s), Qt::LeftButton);
        }
    });
    QTest::mouseClick(find<QPushButton>(u"bkup_bt"_s), Qt::LeftButton);
    EXPECT_EQ(source_shown, qt::to_qstring(tmp / "src"));
    EXPECT_TRUE(clicked);
    EXPECT_FALSE(progress.isVisible());
    EXPECT_EQ(ui.box_texts(), std::vector<std::string>{"バックアップが中止されました！"});
    EXPECT_NE(read_file(tmp / "history.txt").find("[Cancel]"), std::string::npos);
}

// What the progress dialog has painted (screen pixels, not label texts) as the
// copy of each large file starts, with the real Qt pump, each copy taking
// 200 ms of a clock the test moves: the file's name and size, and its folder,
// too long for its label, shortened to the label's one line.
class PaintedProgressTest : public ::testing::Test, public ProgressView, public EventPumpPort {
protected:
    // ProgressView: the dialog's presenter, keeping the file being copied.
    void show() override { progress.presenter().show(); }
    void hide() override { progress.presenter().hide(); }
    bool visible() const override { return progress.isVisible(); }
    void set_label(ProgressLabel which, std::string_view text) override {
        progress.presenter().set_label(which, text);
    }
    void file_started(std::string_view name, std::uint64_t bytes) override {
        progress.presenter().file_started(name, bytes);
        file = {qt::to_qstring(name), qt::to_qstring(format_kbytes(bytes))};
    }
    void file_finished() override {
        progress.presenter().file_finished();
        file = {};
    }
    // EventPumpPort: the real pump; a call while a file is started is
    // followed by its copy.
    void process_events() override {
        pump.process_events();
        if (!file.first.isEmpty()) {
            folder = progress.label(ProgressLabel::subfld);
            const bool whole = painted(ProgressLabel::cpfname, file.first) &&
                               painted(ProgressLabel::filesize, file.second) &&
                               painted(ProgressLabel::subfld, folder->text());
            starts_shown += whole ? 1 : 0;
            ++copies;
        }
        ui.advance(file.first.isEmpty() ? 0.00005 : 0.2);
    }
    void wait_for_events(double) override { pump.wait_for_events(0); }

    // Whether the label's pixels on screen show the text, on one line.
    bool painted(ProgressLabel which, const QString& text) {
        const QLabel* label = progress.label(which);
        const QRect r = label->geometry();
        QLabel twin(text);
        twin.setFont(label->font());
        twin.setPalette(label->palette());
        twin.setAlignment(label->alignment());
        twin.resize(r.size());
        return progress.screen()
                   ->grabWindow(progress.winId(), r.x(), r.y(), r.width(), r.height())
                   .toImage()
                   .convertToFormat(QImage::Format_RGB32) ==
               twin.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    TempDir tmp;
    ScriptedUi ui;
    qt::QtEventPump pump{ui};
    qt::ProgressDialog progress{ui, pump};
    std::pair<QString, QString> file;
    const QLabel* folder = nullptr;
    int copies = 0, starts_shown = 0;
};

TEST_F(PaintedProgressTest, EachLargeFileIsOnScreenAsItsCopyStarts) {
    const QString sub = u"/第一四半期の資料"_s.repeated(6) + u"/最後のフォルダ"_s;
    make_dirs(tmp / "src" + qt::to_std(sub));
    make_dirs(tmp / "dst");
    for (int i = 0; i < 3; ++i) {
        write_file(tmp / "src" + qt::to_std(sub) + "/報告書" + std::to_string(i) + ".doc",
                   std::string(1'200'000, 'x'));
    }
    ProgramContext context(Ports{ui, ui, ui, *this, ui, ui, ui, ui, ui}, *this, tmp.path());
    context.settings.model.sets[0] = BackupSet{tmp / "src", tmp / "dst", true, false};
    context.settings.model.options.copy_mode = CopyMode::overwrite_all;
    context.settings.model.options.skip_open_files = OpenFileRule::copy_anyway;
    ASSERT_TRUE(context.store.write_settings_file());
    EXPECT_EQ(context.engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    EXPECT_EQ(copies, 3) << (ui.box_texts().empty() ? "" : ui.box_texts()[0]);
    EXPECT_EQ(starts_shown, copies);
    ASSERT_NE(folder, nullptr);
    EXPECT_LE(folder->fontMetrics().horizontalAdvance(folder->text()), folder->width());
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

// The caption the window manager holds (_NET_WM_NAME), in quotes.
QString wm_name(const QWidget* window) {
    return xprop(window, u"_NET_WM_NAME"_s).section(u" = "_s, 1);
}

// How the window manager holds a window: "Normal", "Iconic", or "none" when
// the window is not managed (unmapped).
QString wm_state(const QWidget* window) {
    const QString state = xprop(window, u"WM_STATE"_s).section(u"window state: "_s, 1);
    return state.isEmpty() ? u"none"_s : state.section(u'\n', 0, 0).trimmed();
}

class X11Test : public AppFixture {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != u"xcb"_s) {
            GTEST_SKIP() << "needs an X server with a window manager (tests/app/qt/under_x11.sh)";
        }
    }
};

// The captions the window manager holds; the fixed dialogs, message boxes
// included, framed by nothing but the program's caption bar (openbox's frame
// would offer to minimise and maximise them).
TEST_F(X11Test, CaptionsAndFramesAreTheProgramsOwn) {
    window.timer1()->stop();  // the caption below stays as set
    window.show();
    context.settings.page.set_caption("Tarvenix   (Now 09:30:05)  変更有り");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return wm_name(&window) == u"\"Tarvenix   (Now 09:30:05)  変更有り\""_s; }, 10000));
    const std::unique_ptr<QWidget> box =
        qt::QtMessageBoxes::make_box("確認", "text", box_style::kYesNo);
    box->show();
    for (QWidget* dialog : {open(face::splash_window()), open(face::about_window()),
                            open(face::progress_dialog()), box.get()}) {
        const QString title = dialog->windowTitle();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
        EXPECT_TRUE(QTest::qWaitFor([&] { return wm_name(dialog) == u'"' + title + u'"'; }, 10000))
            << title.toStdString();
        // The frame is told asynchronously.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return xprop(dialog, u"_NET_FRAME_EXTENTS"_s).endsWith(u"= 0, 0, 0, 0"_s); },
            5000))
            << title.toStdString() << ": " << xprop(dialog, u"_NET_FRAME_EXTENTS"_s).toStdString();
    }
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
// window comes back within seconds with the menus as its menu bar when none is.
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
    qt::TrayIcon& tray = window.tray_icon();
    const auto item_registered = [&] {
        return watcher.said().contains(u" id=tarvenix tip=左-Menu:右-Help pixmaps=32x32,64x64"_s);
    };
    const auto watcher_up = [&] {
        ASSERT_TRUE(watcher.up(item_registered)) << watcher.shown.toStdString();
    };
    const auto xembed_up = [&] { ASSERT_TRUE(xembed.up(QSystemTrayIcon::isSystemTrayAvailable)); };
    // Once it has the keyboard: Qt's deferred activation would undo a minimise.
    const auto mini = [&] {
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        find<QPushButton>(u"mini_bt"_s)->click();
    };
    // The panel's clicks, as it sends them to the registered item.
    const auto panel_click = [&](const QString& method) {
        auto call = QDBusMessage::createMethodCall(
            watcher.shown.section(u"registered "_s, -1).section(u' ', 0, 0),
            u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem"_s, method);
        return popped_up_by([&] { QDBusConnection::sessionBus().send(call << 0 << 0); }, true);
    };
    controller.start_up();  // no tray yet: the window stands in
    ASSERT_TRUE(window.standing_in_for_tray());
    EXPECT_EQ(joined(window.menuBar()->actions(), std::mem_fn(&QAction::text)), u"ﾒﾆｭｰ|ﾍﾙﾌﾟ"_s);
    const struct {
        const char* name;
        std::function<void()> action;
        H holder;
        QString wm_states;  // the main window's, any of these
    } steps[] = {
        {"a StatusNotifier tray appears", watcher_up, H::kStatusNotifier, u"Normal"_s},
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
        {"the XEmbed tray goes away: the other takes the icon at once",
         [&] {
             bool stood_in = false;
             QTimer watch;
             QObject::connect(&watch, &QTimer::timeout,
                              [&] { stood_in = stood_in || window.standing_in_for_tray(); });
             watch.start(20);
             xembed.gone();
             EXPECT_TRUE(QTest::qWaitFor(item_registered, 5000)) << watcher.shown.toStdString();
             EXPECT_FALSE(stood_in);
         },
         H::kStatusNotifier, u"Normal"_s},
        {"no tray is left", [&] { watcher.gone(); }, H::kNone, u"Normal"_s},
    };
    for (const auto& step : steps) {
        step.action();
        const bool settled = QTest::qWaitFor(
            [&] {
                return tray.holder() == step.holder &&
                       step.wm_states.split(u'|').contains(wm_state(&window));
            },
            5000);
        EXPECT_TRUE(settled) << step.name << ": state " << wm_state(&window).toStdString()
                             << ", icon in " << static_cast<int>(tray.holder());
        EXPECT_EQ(window.menuBar()->isVisibleTo(&window), step.holder == H::kNone) << step.name;
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

// Ours cannot open at the icon: the panel gets the main menu (ﾍﾙﾌﾟ its submenu).
TEST_F(WaylandTest, ThePanelShowsThePublishedMainMenuOnActivation) {
    Tray watcher{u"/usr/bin/python3"_s, {QStringLiteral(TARVENIX_SNI_WATCHER)}};
    if (!QDBusConnection::sessionBus().isConnected() ||
        QProcess::execute(watcher.program, {u"-c"_s, u"import dbus, gi"_s}) != 0) {
        GTEST_SKIP() << "needs a session bus (dbus-daemon), python3-dbus and python3-gi";
    }
    ASSERT_TRUE(watcher.up([&] { return watcher.said().contains(u"ready"_s); }));
    controller.start_up();
    ASSERT_TRUE(QTest::qWaitFor([&] { return watcher.said().contains(u" id=tarvenix"_s); }));
    EXPECT_TRUE(watcher.shown.contains(
        u" is_menu=1 "
        u"menu=ﾊﾞｯｸｱｯﾌﾟ後Windows終了|ﾊﾞｯｸｱｯﾌﾟ実行|-|Windows終了|Windows再起動|ログオフ|-|"
        u"設定|履歴表示|-|Tarvenix終了|ﾍﾙﾌﾟ[ﾍﾙﾌﾟ|About]\n"_s))
        << watcher.shown.toStdString();
    const QString item = watcher.shown.section(u"registered "_s, -1).section(u' ', 0, 0);
    QDBusConnection::sessionBus().send(
        QDBusMessage::createMethodCall(item, u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"Event"_s)
        << 14 << u"clicked"_s << QVariant::fromValue(QDBusVariant(0)) << 0U);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.about() && window.about()->isVisible(); }));
}

TEST(QtMessageBoxesTest, EachKindShowsItsButtonsAndAnswersKeysAndClicks) {
    using namespace box_style;
    using button::kCancel, button::kNo, button::kRetry, button::kYes;
    using B = QMessageBox;
    using Act = std::function<void(B*)>;
    const auto key = [](Qt::Key k) -> Act { return [k](B* box) { QTest::keyClick(box, k); }; };
    const auto press = [](B::StandardButton b) -> Act {
        return [b](B* box) { box->button(b)->click(); };
    };
    const QString ok_cancel = u"OK|キャンセル"_s, yes_no = u"いいえ(&N)|はい(&Y)"_s;
    // What the user does in an open box and what the program gets back.
    const struct {
        const char* name;
        std::int32_t style;
        Act act;
        std::int16_t answer;
        B::Icon icon;
        QString buttons;  // sorted, joined by "|"
    } cases[] = {
        {"okcancel_enter_takes_ok", kOkCancel | kIconExclamation, key(Qt::Key_Return), button::kOk,
         B::Warning, ok_cancel},
        {"yesnocancel_close", kYesNoCancel | kIconQuestion, [](B* box) { box->close(); }, kCancel,
         B::Question, yes_no + u"|キャンセル"_s},
        {"yesnocancel_no", kYesNoCancel | kIconQuestion, press(B::No), kNo, B::Question,
         yes_no + u"|キャンセル"_s},
        {"retrycancel_retry", kRetryCancel | kIconQuestion, press(B::Retry), kRetry, B::Question,
         u"キャンセル|再試行(&R)"_s},
        {"ok_escape", kOk | kIconStop, key(Qt::Key_Escape), button::kOk, B::Critical, u"OK"_s},
        // Escape and the close button leave a yes/no box open: the user answers.
        {"yesno_waits_for_an_answer", kYesNo | kIconQuestion,
         [](B* box) {
             QTest::keyClick(box, Qt::Key_Escape);
             box->close();
             QTimer::singleShot(30, box, [box] { box->button(B::Yes)->click(); });
         },
         kYes, B::Question, yes_no},
    };
    for (const auto& c : cases) {
        QString seen;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<B*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr) << c.name;
            QStringList buttons =
                joined(box->buttons(), std::mem_fn(&QAbstractButton::text)).split(u'|');
            buttons.sort();
            seen = box->windowTitle() + u'/' + box->text() + u'/' + buttons.join(u'|');
            EXPECT_EQ(box->icon(), c.icon) << c.name;
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
        EXPECT_EQ(seen, u"確認/一行目\n二行目\n\n四行目/"_s + c.buttons) << c.name;
    }
}

}  // namespace
}  // namespace tarvenix::testing
