#include "app/qt/progress_dialog.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QRegion>
#include <QTimer>
#include <utility>

#include "app/qt/dialog_frame.h"
#include "app/core/path_ellipsis.h"
#include "app/qt/ui_common.h"
#include "common/platform/files.h"

using namespace Qt::StringLiterals;

namespace tarvenix::qt {

ProgressDialog::ProgressDialog(QWidget* parent)
    : QDialog(parent) {
    setObjectName(u"copydlg"_s);
    // No close button: the run ends the dialog, the user stops the run with
    // "中　止".
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(u"Tarvenix  バックアップ中 ．．．"_s);
    setWindowIcon(program_icon());
    setModal(false);

    const Twips tw(this);
    setFixedSize(tw.size(7485, 3420));

    const QColor blue(0, 0, 255);
    const QColor magenta(255, 0, 255);
    const QColor green(0, 128, 0);
    const QColor teal(0, 128, 128);
    const QColor black(0, 0, 0);

    add_label("Label1", u"コピー元フォルダ"_s, tw.rect(315, 240, 1380, 225), blue);
    srcfld_ = add_label("srcfld", {}, tw.rect(1920, 240, 5295, 495), black);
    add_label("Label2", u"コピー先フォルダ"_s, tw.rect(315, 840, 1380, 225), magenta);
    dstfld_ = add_label("dstfld", {}, tw.rect(1920, 840, 5295, 495), black);
    add_label("Label3", u"<サブフォルダ>"_s, tw.rect(360, 1440, 1380, 225), green);
    subfld_ = add_label("subfld", {}, tw.rect(1920, 1440, 5310, 495), black);
    add_label("cpinfo_lvl", u"ファイル名"_s, tw.rect(360, 2160, 945, 180), teal);
    cpfname_ = add_label("cpfname", {}, tw.rect(1920, 2160, 5370, 300), black);
    add_label("Label4", u"ファイルサイズ"_s, tw.rect(360, 2520, 1185, 180), teal);
    filesize_ = add_label("filesize", {}, tw.rect(1920, 2520, 855, 255), black);
    filesize_->setAlignment(Qt::AlignRight | Qt::AlignTop);
    add_label("Label5", u"Kbyte"_s, tw.rect(2880, 2520, 495, 255), black);

    // The single-line labels are shorter than a line of the font in use here;
    // let them overflow downwards rather than cut the glyphs off. The fixed
    // captions take the width their text needs: the fonts of a Linux desktop
    // are wider than the designed widths allow. Every label is one line: a
    // long path is shortened to its label's width (show_pending_labels).
    for (QLabel* caption : findChildren<QLabel*>()) {
        fit_line_height(caption);
        if (!caption->text().isEmpty()) {
            fit_text_width(caption);
        }
    }

    clear_timer_ = new QTimer(this);
    clear_timer_->setSingleShot(true);
    connect(clear_timer_, &QTimer::timeout, this, [this] {
        if (!clear_pending_) {
            return;
        }
        const qint64 waited = clear_since_.elapsed();
        if (waited >= kClearDelayMs) {
            apply_clear();
        } else {
            clear_timer_->start(static_cast<int>(kClearDelayMs - waited));
        }
    });

    copyccl_bt_ = new QPushButton(u"中　止"_s, this);
    copyccl_bt_->setObjectName(u"copyccl_bt"_s);
    copyccl_bt_->setGeometry(tw.rect(3240, 2880, 1185, 435));
    copyccl_bt_->setAutoDefault(false);
    connect(copyccl_bt_, &QPushButton::clicked, this, [this] {
        if (cancel_) {
            cancel_();
        }
    });
    give_fixed_dialog_frame(this, false);
}

QLabel* ProgressDialog::add_label(const char* name, const QString& text, const QRect& geometry,
                                  const QColor& colour) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

void ProgressDialog::show() {
    closing_ = false;
    if (!centred_) {
        // Centred on the first showing; later the user may have moved it.
        centred_ = true;
        QDialog::show();
        centre_on_screen(this);
        return;
    }
    QDialog::show();
}

void ProgressDialog::hide() {
    // The labels keep the last texts set until the next run.
    clear_timer_->stop();
    apply_clear();
    closing_ = true;
    QDialog::hide();
    closing_ = false;
}

bool ProgressDialog::visible() const {
    return isVisible();
}

void ProgressDialog::set_label(ProgressLabel which, std::string_view text) {
    const auto i = static_cast<std::size_t>(which);
    if (i >= kLabels) {
        return;
    }
    const bool file_label = which == ProgressLabel::cpfname || which == ProgressLabel::filesize;
    if (file_label) {
        if (which == ProgressLabel::cpfname ? text.empty() : text.empty() && clear_pending_) {
            // The copy is over. The name stays (painted or still to be
            // painted) until the next file replaces it; only a pause longer
            // than kClearDelayMs clears it.
            if (!clear_pending_) {
                clear_pending_ = true;
                clear_since_.start();
                // One timer for many files: re-arming it per file would cost
                // more than copying a small file.
                if (!clear_timer_->isActive()) {
                    clear_timer_->start(kClearDelayMs);
                }
            }
            return;
        }
        clear_pending_ = false;
    }
    if (pending_[i] == text) {
        return;
    }
    pending_[i].assign(text);
    changed_[i] = true;
    if (file_label && request_prompt_pass_) {
        // The size as shown: thousands of bytes with "," between groups.
        long kbytes = 0;
        for (const char ch : pending_[static_cast<std::size_t>(ProgressLabel::filesize)]) {
            if (ch >= '0' && ch <= '9' && kbytes < kPromptKbytes) {
                kbytes = kbytes * 10 + (ch - '0');
            }
        }
        if (kbytes >= kPromptKbytes) {
            request_prompt_pass_();
        }
    }
    if (!update_queued_) {
        update_queued_ = true;
        QTimer::singleShot(0, this, [this] { show_pending_labels(); });
    }
}

void ProgressDialog::apply_clear() {
    if (std::exchange(clear_pending_, false)) {
        for (ProgressLabel which : {ProgressLabel::cpfname, ProgressLabel::filesize}) {
            const auto i = static_cast<std::size_t>(which);
            changed_[i] = changed_[i] || !pending_[i].empty();
            pending_[i].clear();
        }
    }
    show_pending_labels();
}

void ProgressDialog::show_pending_labels() {
    update_queued_ = false;
    QRegion changed;
    for (std::size_t i = 0; i < kLabels; ++i) {
        if (!std::exchange(changed_[i], false)) {
            continue;
        }
        const auto which = static_cast<ProgressLabel>(i);
        QLabel* shown = label_widget(which);
        if (which == ProgressLabel::filesize) {
            shown->setText(to_qstring(pending_[i]));
        } else {
            // A path too long for its line loses its middle; the whole of it
            // is in the tool tip.
            const QFontMetrics metrics = shown->fontMetrics();
            const std::string text = shorten_path(
                pending_[i], shown->contentsRect().width(),
                [&metrics](std::string_view part) {
                    return metrics.horizontalAdvance(to_qstring(part));
                },
                platform::kPathSeparator);
            shown->setText(to_qstring(text));
            shown->setToolTip(text == pending_[i] ? QString() : to_qstring(pending_[i]));
        }
        changed += shown->geometry();
    }
    if (isVisible() && !changed.isEmpty()) {
        // Painted now, in one go: the engine may go on copying as soon as
        // this pass returns, and the next pass may be many megabytes away.
        repaint(changed);
    }
}

QLabel* ProgressDialog::label(ProgressLabel which) const {
    const_cast<ProgressDialog*>(this)->show_pending_labels();
    return label_widget(which);
}

QLabel* ProgressDialog::label_widget(ProgressLabel which) const {
    switch (which) {
        case ProgressLabel::srcfld:
            return srcfld_;
        case ProgressLabel::dstfld:
            return dstfld_;
        case ProgressLabel::subfld:
            return subfld_;
        case ProgressLabel::cpfname:
            return cpfname_;
        case ProgressLabel::filesize:
            return filesize_;
    }
    return nullptr;
}

void ProgressDialog::reject() {}

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
