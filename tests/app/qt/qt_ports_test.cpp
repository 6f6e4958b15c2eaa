// The Qt ports: message boxes with their answers, the event pump, the busy
// pointer, the shell and the folder picker.

#include "app/qt/qt_ports.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/qt/ui_common.h"
#include "support/temp_dir.h"

using namespace Qt::StringLiterals;

namespace tarvenix::testing {
namespace {

QMessageBox* open_box() {
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

// Shows a box through the port; `script` runs once the box is open.
std::int16_t show_with(std::int32_t style, const std::function<void(QMessageBox*)>& script,
                       std::string_view text = "text", std::string_view caption = "確認") {
    qt::QtMessageBoxes boxes;
    // Should the script fail to answer, a watchdog does, so the test fails
    // instead of hanging.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
                ADD_FAILURE() << "the box was left open";
                box->buttons().constFirst()->click();
            }
        }
    });
    watchdog.start(5000);
    bool ran = false;
    QTimer::singleShot(0, [&] {
        ran = true;
        QMessageBox* box = open_box();
        ASSERT_NE(box, nullptr);
        script(box);
    });
    const std::int16_t answer = boxes.show_box(caption, text, style, nullptr);
    EXPECT_TRUE(ran);
    return answer;
}

void press_escape(QMessageBox* box) {
    QTest::keyClick(box, Qt::Key_Escape);
}

TEST(QtMessageBoxesTest, EscapeAnswersCancelWhereThereIsOne) {
    EXPECT_EQ(show_with(box_style::kOkCancel | box_style::kIconQuestion, press_escape),
              button::kCancel);
    EXPECT_EQ(show_with(box_style::kYesNoCancel | box_style::kIconQuestion, press_escape),
              button::kCancel);
    EXPECT_EQ(show_with(box_style::kRetryCancel | box_style::kIconQuestion, press_escape),
              button::kCancel);
}

TEST(QtMessageBoxesTest, EscapeAnswersOkOnAOneButtonBox) {
    EXPECT_EQ(show_with(box_style::kOk | box_style::kIconStop, press_escape), button::kOk);
    EXPECT_EQ(show_with(box_style::kOk | box_style::kIconQuestion, press_escape), button::kOk);
}

TEST(QtMessageBoxesTest, CloseButtonAnswersLikeEscape) {
    EXPECT_EQ(show_with(box_style::kYesNoCancel | box_style::kIconQuestion,
                        [](QMessageBox* box) { box->close(); }),
              button::kCancel);
    EXPECT_EQ(show_with(box_style::kOk | box_style::kIconInformation,
                        [](QMessageBox* box) { box->close(); }),
              button::kOk);
}

TEST(QtMessageBoxesTest, AYesNoBoxWaitsForAnAnswer) {
    bool open_after_escape = false;
    bool open_after_close = false;
    const std::int16_t answer =
        show_with(box_style::kYesNo | box_style::kIconQuestion, [&](QMessageBox* box) {
            QTest::keyClick(box, Qt::Key_Escape);
            open_after_escape = box->isVisible();
            box->close();
            open_after_close = box->isVisible();
            // Let the event loop run: a dismissal would have ended exec().
            QTimer::singleShot(30, box, [box] { box->button(QMessageBox::No)->click(); });
        });
    EXPECT_TRUE(open_after_escape);
    EXPECT_TRUE(open_after_close);
    EXPECT_EQ(answer, button::kNo);
}

TEST(QtMessageBoxesTest, ButtonsAnswerWithTheirNumbers) {
    auto press = [](QMessageBox::StandardButton which) {
        return [which](QMessageBox* box) {
            ASSERT_NE(box->button(which), nullptr);
            box->button(which)->click();
        };
    };
    EXPECT_EQ(show_with(box_style::kYesNo, press(QMessageBox::Yes)), button::kYes);
    EXPECT_EQ(show_with(box_style::kYesNoCancel, press(QMessageBox::No)), button::kNo);
    EXPECT_EQ(show_with(box_style::kRetryCancel, press(QMessageBox::Retry)), button::kRetry);
    EXPECT_EQ(show_with(box_style::kOkCancel, press(QMessageBox::Ok)), button::kOk);
}

TEST(QtMessageBoxesTest, BoxShowsCaptionTextIconAndDefaultButton) {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    const std::int16_t answer = show_with(
        box_style::kOkCancel | box_style::kIconExclamation,
        [&](QMessageBox* box) {
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = static_cast<int>(box->buttons().size());
            // Enter presses the default button, the first one.
            box->defaultButton()->click();
        },
        "一行目\r二行目\r\n\r四行目", "確認");
    EXPECT_EQ(title, u"確認"_s);
    EXPECT_EQ(text, u"一行目\n二行目\n\n四行目"_s);
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, 2);
    EXPECT_EQ(answer, button::kOk);

    QMessageBox::Icon stop = QMessageBox::NoIcon;
    show_with(box_style::kOk | box_style::kIconStop, [&](QMessageBox* box) {
        stop = box->icon();
        box->defaultButton()->click();
    });
    EXPECT_EQ(stop, QMessageBox::Critical);

    QStringList captions;
    show_with(box_style::kYesNoCancel | box_style::kIconQuestion, [&](QMessageBox* box) {
        for (QMessageBox::StandardButton which :
             {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}) {
            captions << box->button(which)->text();
        }
        box->button(QMessageBox::Cancel)->click();
    });
    EXPECT_EQ(captions, (QStringList{u"はい(&Y)"_s, u"いいえ(&N)"_s, u"キャンセル"_s}));
    QString retry;
    show_with(box_style::kRetryCancel | box_style::kIconQuestion, [&](QMessageBox* box) {
        retry = box->button(QMessageBox::Retry)->text();
        box->button(QMessageBox::Retry)->click();
    });
    EXPECT_EQ(retry, u"再試行(&R)"_s);
}

TEST(QtMessageBoxesTest, DismissAnswersFollowTheButtons) {
    EXPECT_EQ(qt::QtMessageBoxes::dismiss_answer(box_style::kOk | box_style::kIconStop),
              button::kOk);
    EXPECT_EQ(qt::QtMessageBoxes::dismiss_answer(box_style::kOkCancel), button::kCancel);
    EXPECT_EQ(qt::QtMessageBoxes::dismiss_answer(box_style::kYesNoCancel), button::kCancel);
    EXPECT_EQ(qt::QtMessageBoxes::dismiss_answer(box_style::kRetryCancel), button::kCancel);
    EXPECT_EQ(qt::QtMessageBoxes::dismiss_answer(box_style::kYesNo), button::kNone);
}

TEST(QtSoundTest, IconCodesNameTheFreedesktopSounds) {
    EXPECT_EQ(qt::QtSound::sound_name(16), u"dialog-error"_s);
    EXPECT_EQ(qt::QtSound::sound_name(32), u"dialog-question"_s);
    EXPECT_EQ(qt::QtSound::sound_name(48), u"dialog-warning"_s);
    EXPECT_EQ(qt::QtSound::sound_name(64), u"dialog-information"_s);
    EXPECT_EQ(qt::QtSound::sound_name(0), QString());
    EXPECT_EQ(qt::QtSound::sound_name(-1), QString());
}

TEST(QtEventPumpTest, PassesCloserThanFifteenMillisecondsAreSkippedUnlessPrompt) {
    constexpr std::int64_t ms = 1'000'000;
    std::int64_t now = 1000 * ms;
    qt::QtEventPump pump([&now] { return now; });
    int handled = 0;
    struct Step {
        std::int64_t advance;  // since the previous step
        bool prompt;           // a prompt pass asked for
        bool wait;             // wait_for_events(0) instead
        int handled;           // posted events handled after the step
    };
    const Step steps[] = {
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
        if (steps[i].wait) {
            pump.wait_for_events(0.0);
        } else {
            pump.process_events();
        }
        EXPECT_EQ(handled, steps[i].handled) << "step " << i;
        QCoreApplication::processEvents();  // drain what was skipped
        handled = steps[i].handled;
    }
    // Prompt passes that each cost 1 ms: after the saved-up allowance they
    // are served only within their share of the time (2 %: one per 50 ms).
    int served = 0;
    bool posted = false;
    for (int i = 0; i < 200; ++i) {
        now += ms;  // one file copied
        pump.request_prompt_pass();
        if (!std::exchange(posted, true)) {
            QMetaObject::invokeMethod(
                qApp,
                [&] {
                    ++served;
                    now += ms;
                    posted = false;
                },
                Qt::QueuedConnection);
        }
        pump.process_events();
    }
    QCoreApplication::processEvents();  // nothing left to run after the test
    // 400 ms passed: the 15 ms passes (about 26), the allowance (20) and the
    // share earned (about 8), far from one per call.
    EXPECT_GT(served, 30);
    EXPECT_LT(served, 70);
}

TEST(QtEventPumpTest, WaitingSleepsInsteadOfSpinning) {
    qt::QtEventPump pump;
    QElapsedTimer clock;
    clock.start();
    int calls = 0;
    while (clock.elapsed() < 200) {
        pump.wait_for_events(static_cast<double>(200 - clock.elapsed()) / 1000.0);
        ++calls;
    }
    EXPECT_LT(calls, 50);
    EXPECT_LT(clock.elapsed(), 1000);

    // And it wakes for an event that arrives.
    bool handled = false;
    QTimer::singleShot(20, [&handled] { handled = true; });
    clock.restart();
    while (!handled && clock.elapsed() < 2000) {
        pump.wait_for_events(1.0);
    }
    EXPECT_TRUE(handled);
    EXPECT_LT(clock.elapsed(), 900);
}

TEST(QtBusyPointerTest, ShowsTheWaitCursorOnce) {
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    {
        qt::QtBusyPointer busy;
        busy.set_busy(true);
        busy.set_busy(true);
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        busy.set_busy(false);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        busy.set_busy(false);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        busy.set_busy(true);
    }
    // Left busy when it went away: the pointer is restored.
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(QtShellTest, TellsWhetherTheOpenerShowedTheDocument) {
    TempDir tmp;
    make_dirs(tmp / "bin");
    write_file(tmp / "history.txt", "line\r\n");
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", qt::to_qstring(tmp / "bin").toLocal8Bit() + ':' + path);
    const struct {
        const char* opener;  // the body of a stand-in xdg-open
        std::string document;
        bool opened;
    } cases[] = {
        {"echo \"$1\" > \"$0.seen\"; exit 0", tmp / "history.txt", true},
        {"echo 'xdg-open: no method available for opening' >&2; exit 3", tmp / "history.txt",
         false},
        {"exec sleep 3", tmp / "history.txt", true},  // a viewer in the opener's foreground
        {"exit 0", tmp / "missing.txt", false},
        {"exit 0", "", false},
    };
    for (const auto& c : cases) {
        write_file(tmp / "bin/xdg-open", std::string("#!/bin/sh\n") + c.opener + "\n");
        ::chmod((tmp / "bin/xdg-open").c_str(), 0755);
        EXPECT_EQ(qt::QtShell(300).open_document(c.document), c.opened) << c.opener;
    }
    EXPECT_EQ(read_file(tmp / "bin/xdg-open.seen"), "file://" + tmp / "history.txt" + "\n");
    qputenv("PATH", path);
}

// A document in a folder whose name is not UTF-8 (Shift-JIS bytes) reaches
// the opener as exactly its bytes.
TEST(QtShellTest, APathThatIsNotUtf8IsHandedOverByteForByte) {
    TempDir tmp;
    const std::string folder = tmp / "\x83\x76\x83\x8D";
    make_dirs(folder);
    write_file(folder + "/history.txt", "x");
    make_dirs(tmp / "bin");
    write_file(tmp / "bin/xdg-open", "#!/bin/sh\nprintf %s \"$1\" > \"$0.seen\"\n");
    ::chmod((tmp / "bin/xdg-open").c_str(), 0755);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", qt::to_qstring(tmp / "bin").toLocal8Bit() + ':' + path);
    EXPECT_TRUE(qt::QtShell(3000).open_document(folder + "/history.txt"));
    qputenv("PATH", path);
    const std::string seen = read_file(tmp / "bin/xdg-open.seen");
    EXPECT_EQ(QByteArray::fromPercentEncoding(QByteArray::fromStdString(seen)).toStdString(),
              "file://" + folder + "/history.txt");
}

TEST(QtFolderPickerTest, ReturnsTheChosenFolderOrNothing) {
    TempDir tmp;
    make_dirs(tmp / "chosen");
    qt::QtFolderPicker picker;

    QString title;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        dialog->reject();
    });
    EXPECT_EQ(picker.pick_folder("フォルダの選択"), "");
    EXPECT_EQ(title, u"フォルダの選択"_s);

    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->setDirectory(qt::to_qstring(tmp / "chosen"));
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, as OK does
    });
    EXPECT_EQ(picker.pick_folder("フォルダの選択"), tmp / "chosen");
}

}  // namespace
}  // namespace tarvenix::testing
