// The Qt ports: message boxes with their answers, the event pump, the busy
// pointer, the shell and the folder picker.

#include "app/qt/qt_ports.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <tuple>

#include "app/qt/ui_common.h"
#include "support/temp_dir.h"

using namespace Qt::StringLiterals;

namespace tarvenix::testing {
namespace {

using Act = std::function<void(QMessageBox*)>;
Act key(Qt::Key which) {
    return [which](QMessageBox* box) { QTest::keyClick(box, which); };
}
Act press(QMessageBox::StandardButton which) {
    return [which](QMessageBox* box) { box->button(which)->click(); };
}
void close_box(QMessageBox* box) {
    box->close();
}

// What the user does in an open box and what the program gets back. A box is
// dismissed without a click (the session ending) with `dismissed`.
struct BoxCase {
    const char* name;
    std::int32_t style;
    Act act;
    std::int16_t answer;
    std::int16_t dismissed;
    QMessageBox::Icon icon;
    QString sound;
    QStringList buttons;
};

TEST(QtMessageBoxesTest, EachKindShowsItsButtonsAndAnswersKeysAndClicks) {
    using namespace box_style;
    using B = QMessageBox;
    const QStringList ok_cancel{u"OK"_s, u"キャンセル"_s};
    const QStringList yes_no{u"はい(&Y)"_s, u"いいえ(&N)"_s};
    const QStringList yes_no_cancel = yes_no + QStringList{u"キャンセル"_s};
    const QStringList retry_cancel{u"再試行(&R)"_s, u"キャンセル"_s};
    const BoxCase cases[] = {
        {"okcancel_enter_takes_ok", kOkCancel | kIconExclamation, key(Qt::Key_Return), button::kOk,
         button::kCancel, B::Warning, u"dialog-warning"_s, ok_cancel},
        {"okcancel_escape", kOkCancel | kIconExclamation, key(Qt::Key_Escape), button::kCancel,
         button::kCancel, B::Warning, u"dialog-warning"_s, ok_cancel},
        {"yesnocancel_escape", kYesNoCancel | kIconQuestion, key(Qt::Key_Escape), button::kCancel,
         button::kCancel, B::Question, u"dialog-question"_s, yes_no_cancel},
        {"yesnocancel_close", kYesNoCancel | kIconQuestion, close_box, button::kCancel,
         button::kCancel, B::Question, u"dialog-question"_s, yes_no_cancel},
        {"yesnocancel_no", kYesNoCancel | kIconQuestion, press(B::No), button::kNo, button::kCancel,
         B::Question, u"dialog-question"_s, yes_no_cancel},
        {"retrycancel_escape", kRetryCancel | kIconQuestion, key(Qt::Key_Escape), button::kCancel,
         button::kCancel, B::Question, u"dialog-question"_s, retry_cancel},
        {"retrycancel_retry", kRetryCancel | kIconQuestion, press(B::Retry), button::kRetry,
         button::kCancel, B::Question, u"dialog-question"_s, retry_cancel},
        {"ok_escape",
         kOk | kIconStop,
         key(Qt::Key_Escape),
         button::kOk,
         button::kOk,
         B::Critical,
         u"dialog-error"_s,
         {u"OK"_s}},
        {"ok_close",
         kOk | kIconInformation,
         close_box,
         button::kOk,
         button::kOk,
         B::Information,
         u"dialog-information"_s,
         {u"OK"_s}},
        // Escape and the close button leave a yes/no box open: the user answers.
        {"yesno_waits_for_an_answer", kYesNo | kIconQuestion,
         [](QMessageBox* box) {
             QTest::keyClick(box, Qt::Key_Escape);
             box->close();
             QTimer::singleShot(30, box, [box] { box->button(QMessageBox::Yes)->click(); });
         },
         button::kYes, button::kNone, B::Question, u"dialog-question"_s, yes_no},
    };
    for (const BoxCase& c : cases) {
        QString title, text;
        QStringList buttons;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr) << c.name;
            std::tie(title, text, icon) = std::tuple(box->windowTitle(), box->text(), box->icon());
            for (const QAbstractButton* shown : box->buttons()) {
                buttons << shown->text();
            }
            c.act(box);
        });
        // Should the case fail to answer, this does, so the test fails instead
        // of hanging.
        QTimer watchdog;
        QObject::connect(&watchdog, &QTimer::timeout, [&c] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
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
        EXPECT_EQ(title, u"確認"_s) << c.name;
        EXPECT_EQ(text, u"一行目\n二行目\n\n四行目"_s) << c.name;
        EXPECT_EQ(icon, c.icon) << c.name;
        EXPECT_EQ(qt::QtSound::sound_name(c.style & 0xF0), c.sound) << c.name;
        buttons.sort();
        QStringList expected = c.buttons;
        expected.sort();
        EXPECT_EQ(buttons, expected) << c.name;
    }
}

TEST(QtEventPumpTest, PassesCloserThanFifteenMillisecondsAreSkippedUnlessPrompt) {
    constexpr std::int64_t ms = 1'000'000;
    std::int64_t now = 1000 * ms;
    qt::QtEventPump pump([&now] { return now; });
    int handled = 0;
    const struct {
        std::int64_t advance;  // since the previous step
        bool prompt;           // a prompt pass asked for
        bool wait;             // wait_for_events(0) instead
        int handled;           // posted events handled after the step
    } steps[] = {
        {0, false, false, 1},      {14 * ms, false, false, 1},  // too soon: skipped
        {1 * ms, false, false, 2}, {3 * ms, false, false, 2},
        {0, false, true, 3},        // a wait always serves
        {1 * ms, true, false, 4},   // asked for: served at once
        {1 * ms, false, false, 4},  // the request was for one call only
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        QMetaObject::invokeMethod(
            qApp, [&handled] { ++handled; }, Qt::QueuedConnection);
        now += steps[i].advance;
        if (steps[i].prompt) {
            pump.request_prompt_pass();
        }
        steps[i].wait ? pump.wait_for_events(0.0) : pump.process_events();
        EXPECT_EQ(handled, steps[i].handled) << "step " << i;
        QCoreApplication::processEvents();  // drain what was skipped
        handled = steps[i].handled;
    }
}

TEST(QtBusyPointerTest, ShowsTheWaitCursorOnceAndRestoresIt) {
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    {
        qt::QtBusyPointer busy;
        busy.set_busy(true);
        busy.set_busy(true);
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        busy.set_busy(false);  // one call ends it
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        busy.set_busy(true);
    }
    // Left busy when it went away: the pointer is restored.
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
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

TEST(QtFolderPickerTest, ReturnsTheChosenFolderOrNothing) {
    TempDir tmp;
    make_dirs(tmp / "chosen");
    for (const bool choose : {false, true}) {
        QString title;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            title = dialog->windowTitle();
            dialog->setDirectory(qt::to_qstring(tmp / "chosen"));
            // QFileDialog::accept, as OK does
            choose ? static_cast<QDialog*>(dialog)->accept() : dialog->reject();
        });
        EXPECT_EQ(qt::QtFolderPicker().pick_folder("フォルダの選択"), choose ? tmp / "chosen" : "");
        EXPECT_EQ(title, u"フォルダの選択"_s);
    }
}

}  // namespace
}  // namespace tarvenix::testing
