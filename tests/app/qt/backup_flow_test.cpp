// A backup started from the window's buttons, on real files in a temporary
// program folder.

#include <QCheckBox>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QScreen>

#include "app/qt/qt_ports.h"
#include "app/qt/ui_common.h"
#include "app_fixture.h"

using namespace Qt::StringLiterals;

namespace tarvenix::testing {
namespace {

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

// What the progress dialog has painted while a run copies: the screen's pixels
// of the file name and size, not the labels' pending texts. The engine runs
// with the real Qt pump and dialog on a clock the test moves, so each copy
// takes the time the case gives it.
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

}  // namespace
}  // namespace tarvenix::testing
