// The Qt ports: message boxes with their answers, and the shell.

#include "app/qt/qt_ports.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>

#include "app/qt/ui_common.h"
#include "support/temp_dir.h"

using namespace Qt::StringLiterals;

namespace tarvenix::testing {
namespace {

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
        {"okcancel_escape", kOkCancel | kIconExclamation, key(Qt::Key_Escape), kCancel, kCancel,
         B::Warning, ok_cancel},
        {"yesnocancel_close", kYesNoCancel | kIconQuestion, close, kCancel, kCancel, B::Question,
         yes_no_cancel},
        {"yesnocancel_no", kYesNoCancel | kIconQuestion, press(B::No), kNo, kCancel, B::Question,
         yes_no_cancel},
        {"retrycancel_retry", kRetryCancel | kIconQuestion, press(B::Retry), kRetry, kCancel,
         B::Question, u"キャンセル|再試行(&R)"_s},
        {"ok_escape", kOk | kIconStop, key(Qt::Key_Escape), button::kOk, button::kOk, B::Critical,
         u"OK"_s},
        {"ok_close", kOk | kIconInformation, close, button::kOk, button::kOk, B::Information,
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
                                               {B::Critical, u"dialog-error"_s},
                                               {B::Information, u"dialog-information"_s}};
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
