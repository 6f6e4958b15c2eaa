#include "app/qt/qt_ports.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

#include "app/core/window_face.h"
#include "app/qt/dialog_frame.h"
#include "app/qt/display_link.h"
#include "app/qt/ui_common.h"
#include "common/platform/files.h"

using namespace Qt::StringLiterals;

namespace tarvenix::qt {

// --- message boxes ---------------------------------------------------------

ProgramMessageBox::ProgramMessageBox(bool dismissable, QWidget* parent)
    : QMessageBox(parent)
    , dismissable_(dismissable) {}

void ProgramMessageBox::set_frame(bool stays_on_top) {
    // Set after the modality, which gives a message box the default dialog
    // flags again. No close button where closing would have no answer to give.
    if (!dismissable_) {
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    }
    setWindowFlag(Qt::WindowStaysOnTopHint, stays_on_top);
    give_fixed_dialog_frame(this, dismissable_);
}

void ProgramMessageBox::keyPressEvent(QKeyEvent* event) {
    // QMessageBox would take the "No" button as the escape button of a Yes/No
    // box; here the user has to answer.
    if (!dismissable_ && event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QMessageBox::keyPressEvent(event);
}

void ProgramMessageBox::closeEvent(QCloseEvent* event) {
    if (!dismissable_) {
        event->ignore();
        return;
    }
    QMessageBox::closeEvent(event);
}

namespace {

struct BoxButtons {
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton first;   // the default button
    QMessageBox::StandardButton escape;  // NoButton: the box cannot be dismissed
};

BoxButtons buttons_for(std::int32_t style) {
    using B = QMessageBox;
    switch (style & 0xF) {
        case box_style::kOkCancel:
            return {B::Ok | B::Cancel, B::Ok, B::Cancel};
        case box_style::kYesNoCancel:
            return {B::Yes | B::No | B::Cancel, B::Yes, B::Cancel};
        case box_style::kYesNo:
            return {B::Yes | B::No, B::Yes, B::NoButton};
        case box_style::kRetryCancel:
            return {B::Retry | B::Cancel, B::Retry, B::Cancel};
        default:
            return {B::Ok, B::Ok, B::Ok};
    }
}

// The buttons a box can have, with their answers (their captions are the
// core's).
struct ButtonFace {
    QMessageBox::StandardButton button;
    std::int16_t answer;
};
constexpr ButtonFace kButtons[] = {
    {QMessageBox::Ok, button::kOk},       {QMessageBox::Cancel, button::kCancel},
    {QMessageBox::Yes, button::kYes},     {QMessageBox::No, button::kNo},
    {QMessageBox::Retry, button::kRetry},
};

// The icon a box of that icon code shows, and the freedesktop sound of it.
std::pair<QMessageBox::Icon, QString> icon_for(std::int32_t code) {
    switch (code) {
        case box_style::kIconStop:
            return {QMessageBox::Critical, u"dialog-error"_s};
        case box_style::kIconQuestion:
            return {QMessageBox::Question, u"dialog-question"_s};
        case box_style::kIconExclamation:
            return {QMessageBox::Warning, u"dialog-warning"_s};
        case box_style::kIconInformation:
            return {QMessageBox::Information, u"dialog-information"_s};
        default:
            return {QMessageBox::NoIcon, {}};
    }
}

std::int16_t answer_for(QMessageBox::StandardButton pressed) {
    for (const ButtonFace& face : kButtons) {
        if (face.button == pressed) {
            return face.answer;
        }
    }
    return button::kNone;
}

}  // namespace

std::unique_ptr<ProgramMessageBox> QtMessageBoxes::make_box(std::string_view caption,
                                                            std::string_view text,
                                                            std::int32_t style, QWidget* owner) {
    const BoxButtons buttons = buttons_for(style);
    // A box with its window as parent is that window's transient: the window
    // manager keeps it in front of the window, whichever of the two is clicked.
    auto box = std::make_unique<ProgramMessageBox>(buttons.escape != QMessageBox::NoButton, owner);
    box->setWindowTitle(to_qstring(caption));
    box->setTextFormat(Qt::PlainText);
    // "\r\n" and "\r" line ends as the box shows them.
    box->setText(to_qstring(text).replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n'));
    box->setIcon(icon_for(style & 0xF0).first);
    box->setStandardButtons(buttons.buttons);
    for (const ButtonFace& known : kButtons) {
        if (QAbstractButton* shown = box->button(known.button)) {
            shown->setText(to_qstring(face::box_button_caption(known.answer)));
        }
    }
    box->setDefaultButton(buttons.first);
    if (buttons.escape != QMessageBox::NoButton) {
        box->setEscapeButton(buttons.escape);
    }
    box->setWindowModality(Qt::ApplicationModal);
    box->set_frame((style & box_style::kSystemModal) != 0);
    return box;
}

std::int16_t QtMessageBoxes::show_box(std::string_view caption, std::string_view text,
                                      std::int32_t style, const HelpReference* /*help*/) {
    // The help topic of a box points into a Windows help file that cannot be
    // shown here; the box is shown without its help.
    const BoxButtons buttons = buttons_for(style);
    const std::unique_ptr<ProgramMessageBox> shown_box = make_box(caption, text, style, owner());
    ProgramMessageBox& box = *shown_box;
    open_.push_back(&box);
    box.exec();
    open_.pop_back();
    QAbstractButton* clicked = box.clickedButton();
    const std::int16_t answer =
        clicked != nullptr ? answer_for(box.standardButton(clicked)) : button::kNone;
    if (answer != button::kNone) {
        return answer;
    }
    // Closed some other way (the application quitting under it).
    return buttons.escape != QMessageBox::NoButton ? answer_for(buttons.escape) : button::kNo;
}

QWidget* QtMessageBoxes::owner() const {
    const bool main_shown =
        main_window_ && main_window_->isVisible() && !main_window_->isMinimized();
    switch (face::box_owner(progress_dialog_ && progress_dialog_->isVisible(), main_shown)) {
        case face::BoxOwner::kProgressDialog:
            return progress_dialog_;
        case face::BoxOwner::kMainWindow:
            return main_window_;
        case face::BoxOwner::kNone:
            break;
    }
    return nullptr;
}

void QtMessageBoxes::close_open_boxes() {
    if (display_lost()) {
        return;  // nothing is on a screen any more, nothing can be drawn
    }
    for (QMessageBox* box : open_) {
        box->done(0);
    }
}

// --- sound -----------------------------------------------------------------

QtSound::QtSound()
    : canberra_(QStandardPaths::findExecutable(u"canberra-gtk-play"_s)) {
    file_player_ = QStandardPaths::findExecutable(u"paplay"_s);
    if (file_player_.isEmpty()) {
        file_player_ = QStandardPaths::findExecutable(u"aplay"_s);
    }
}

QString QtSound::sound_name(std::int32_t sound) {
    return icon_for(sound).second;
}

void QtSound::message_beep(std::int32_t sound) {
    if (display_lost()) {
        return;  // the bell and the sound theme are the display's
    }
    const QString name = sound_name(sound);
    if (!canberra_.isEmpty() && !name.isEmpty() &&
        QProcess::startDetached(canberra_, {u"-i"_s, name})) {
        return;
    }
    QApplication::beep();
}

void QtSound::play_sound_file(std::string_view path) {
    const QString file = to_qstring(path);
    if (file_player_.isEmpty() || !QFileInfo::exists(file)) {
        return;
    }
    QProcess::startDetached(file_player_, {file});
}

// --- busy pointer ----------------------------------------------------------

QtBusyPointer::~QtBusyPointer() {
    if (busy_ && QGuiApplication::instance() != nullptr) {
        QGuiApplication::restoreOverrideCursor();
    }
}

void QtBusyPointer::set_busy(bool busy) {
    if (busy == busy_) {
        return;
    }
    busy_ = busy;
    if (display_lost()) {
        return;
    }
    if (busy) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
}

// --- event pump ------------------------------------------------------------

bool QtEventPump::display_gone() {
    if (!display_lost()) {
        return false;
    }
    if (!display_loss_told_ && on_display_lost_) {
        display_loss_told_ = true;
        on_display_lost_();
    }
    return true;
}

void QtEventPump::process_events() {
    const double now = clock_.monotonic_seconds();
    if (gate_.should_serve(now) && !display_gone()) {
        QCoreApplication::processEvents();
        gate_.served(now, clock_.monotonic_seconds());
    }
}

void QtEventPump::wait_for_events(double max_seconds) {
    const double ms =
        std::clamp(max_seconds * 1000.0, 0.0, static_cast<double>(std::numeric_limits<int>::max()));
    const int wait_ms = static_cast<int>(std::lround(ms));
    if (display_gone()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(wait_ms));
    } else if (wait_ms > 0) {
        // processEvents(flags, maxtime) strips WaitForMoreEvents and would
        // spin; a one-shot timer bounds the sleep of a single blocking pass.
        QTimer wake;
        wake.setSingleShot(true);
        wake.start(wait_ms);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    } else {
        QCoreApplication::processEvents();
    }
    // Waiting is no cost of serving: it spends none of the prompt budget.
    const double now = clock_.monotonic_seconds();
    gate_.served(now, now);
}

// --- shell and folder picker -------------------------------------------------

bool QtShell::open_document(std::string_view path) {
    if (path.empty() || !platform::status(std::string(path), true)) {
        return false;
    }
    // The path is the file system's bytes, which need not be UTF-8 (a program
    // folder with a Shift-JIS name): it goes out as a URL percent-encoded byte
    // for byte, so the viewer is handed exactly that file.
    const QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
    const QUrl url = bytes.front() == '/'
                         ? QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"))
                         : QUrl::fromLocalFile(to_qstring(path));
    const QString opener = QStandardPaths::findExecutable(u"xdg-open"_s);
    if (opener.isEmpty()) {
        return QDesktopServices::openUrl(url);
    }
    // Owned by the application, not this call: a viewer the opener runs in
    // its foreground must outlive the wait.
    auto* process = new QProcess(qApp);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    QEventLoop wait;
    QObject::connect(process, &QProcess::finished, &wait, &QEventLoop::quit);
    QObject::connect(process, &QProcess::errorOccurred, &wait, &QEventLoop::quit);
    QTimer::singleShot(wait_ms_, &wait, &QEventLoop::quit);
    process->start(opener, {QString::fromLatin1(url.toEncoded())});
    if (process->state() != QProcess::NotRunning) {
        wait.exec();
    }
    if (process->state() != QProcess::NotRunning) {
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        return true;  // the viewer runs in the opener's foreground
    }
    const bool opened = process->error() == QProcess::UnknownError &&
                        process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    process->deleteLater();
    return opened;
}

std::string QtFolderPicker::pick_folder(std::string_view title) {
    const QString folder = QFileDialog::getExistingDirectory(parent_.data(), to_qstring(title),
                                                             QString(), QFileDialog::ShowDirsOnly);
    return to_std(folder);
}

}  // namespace tarvenix::qt
