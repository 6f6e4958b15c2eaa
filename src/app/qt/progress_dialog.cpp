#include "app/qt/progress_dialog.h"

#include <QCloseEvent>
#include <QLabel>
#include <QTimer>

#include "app/core/path_ellipsis.h"
#include "app/qt/dialog_frame.h"
#include "app/qt/display_link.h"
#include "app/qt/qt_ports.h"
#include "app/qt/ui_common.h"
#include "common/platform/files.h"

namespace tarvenix::qt {

ProgressDialog::ProgressDialog(ClockPort& clock, QtEventPump& pump)
    : pump_(pump)
    , presenter_(*this, clock) {
    // No close button: the run ends the dialog, the user stops the run with
    // its cancel button (copyccl_bt).
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    set_up_window(this, face::progress_dialog());
    make_controls(face::progress_dialog(), -1, this, [this](face::Action action, int index) {
        if (click_) {
            click_(action, index);
        }
    });
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] { presenter_.on_timer(); });
    give_fixed_dialog_frame(this, false);
}

QLabel* ProgressDialog::label(ProgressLabel which) const {
    return findChild<QLabel*>(to_qstring(progress_label_name(which)));
}

void ProgressDialog::show_dialog(bool first_time) {
    closing_ = false;
    if (display_lost()) {
        return;  // a close-time run after the X server went: nothing to show it on
    }
    show();
    if (first_time) {
        // Centred on the first showing; later the user may have moved it.
        centre_on_screen(this);
    }
}

void ProgressDialog::hide_dialog() {
    closing_ = true;
    if (!display_lost()) {
        hide();
    }
    closing_ = false;
}

void ProgressDialog::set_text(ProgressLabel which, std::string_view text) {
    QLabel* shown = label(which);
    const face::ControlRow* row = face::progress_dialog().find(progress_label_name(which));
    std::string line(text);
    if (row != nullptr && row->path) {
        // A path too long for its line loses its middle; the whole of it is
        // in the tool tip.
        const QFontMetrics metrics = shown->fontMetrics();
        line = shorten_path(
            text, shown->contentsRect().width(),
            [&metrics](std::string_view part) {
                return metrics.horizontalAdvance(to_qstring(part));
            },
            platform::kPathSeparator);
        shown->setToolTip(line == text ? QString() : to_qstring(text));
    }
    shown->setText(to_qstring(line));
    changed_ += shown->geometry();
}

void ProgressDialog::paint_now() {
    // Painted now, in one go: the engine may go on copying as soon as this
    // pass returns, and the next pass may be many megabytes away.
    if (!display_lost()) {
        repaint(changed_);
    }
    changed_ = QRegion();
}

void ProgressDialog::queue_pass() {
    QTimer::singleShot(0, this, [this] { presenter_.pass(); });
}

void ProgressDialog::start_timer(int ms) {
    timer_->start(ms);
}

void ProgressDialog::request_prompt_pass() {
    pump_.request_prompt_pass();
}

void ProgressDialog::closeEvent(QCloseEvent* event) {
    // The window manager may still offer to close it (Alt+F4); the run owns
    // the dialog, so only the program's own hide closes it.
    if (closing_) {
        QDialog::closeEvent(event);
    } else {
        event->ignore();
    }
}

}  // namespace tarvenix::qt
