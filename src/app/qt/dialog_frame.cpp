#include "app/qt/dialog_frame.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QWidget>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace tarvenix::qt {

namespace {

// The caption bar: dragged, it moves its window (the window manager or the
// compositor does the moving, as with a frame of its own).
class CaptionBar final : public QWidget {
public:
    CaptionBar(QWidget* dialog, bool close_button)
        : QWidget(dialog) {
        setObjectName(u"caption_bar"_s);
        QFont bold = font();
        bold.setBold(true);
        setFont(bold);
        setFixedHeight(fontMetrics().height() + 8);
        if (close_button) {
            auto* close = new QToolButton(this);
            close->setObjectName(u"caption_close"_s);
            close->setText(u"×"_s);
            close->setFocusPolicy(Qt::NoFocus);
            close->setAutoRaise(true);
            connect(close, &QToolButton::clicked, dialog, &QWidget::close);
            close_ = close;
        }
        dialog->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Resize:
                setGeometry(0, 0, parentWidget()->width(), height());
                break;
            case QEvent::WindowTitleChange:
            case QEvent::WindowIconChange:
            case QEvent::ActivationChange:
                update();
                break;
            default:
                break;
        }
        return QWidget::eventFilter(watched, event);
    }

    void resizeEvent(QResizeEvent* /*event*/) override {
        if (close_ != nullptr) {
            const int side = height() - 4;
            close_->setGeometry(width() - side - 2, 2, side, side);
        }
    }

    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        const bool active = window()->isActiveWindow();
        QLinearGradient fill(rect().topLeft(), rect().topRight());
        fill.setColorAt(0, active ? QColor(0, 0, 128) : QColor(128, 128, 128));
        fill.setColorAt(1, active ? QColor(16, 132, 208) : QColor(192, 192, 192));
        painter.fillRect(rect(), fill);
        int left = 4;
        const QIcon icon = window()->windowIcon();
        if (!icon.isNull()) {
            const int side = height() - 6;
            icon.paint(&painter, QRect(left, 3, side, side));
            left += side + 4;
        }
        const int right = close_ != nullptr ? close_->x() - 4 : width() - 4;
        painter.setPen(active ? Qt::white : QColor(212, 208, 200));
        painter.drawText(
            QRect(left, 0, right - left, height()), Qt::AlignVCenter | Qt::AlignLeft,
            fontMetrics().elidedText(window()->windowTitle(), Qt::ElideRight, right - left));
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && window()->windowHandle() != nullptr) {
            window()->windowHandle()->startSystemMove();
        }
    }

private:
    QToolButton* close_ = nullptr;
};

bool frames_drawn_by_the_program() {
    const QString platform = QGuiApplication::platformName();
    return platform == u"xcb"_s || platform.startsWith(u"wayland"_s);
}

}  // namespace

void give_fixed_dialog_frame(QWidget* dialog, bool close_button) {
    if (!frames_drawn_by_the_program()) {
        return;
    }
    // Kept: the dialog's type and whether it stays on top.
    dialog->setWindowFlags(
        (dialog->windowFlags() & (Qt::WindowType_Mask | Qt::WindowStaysOnTopHint)) |
        Qt::FramelessWindowHint);
    auto* bar = new CaptionBar(dialog, close_button);
    const int caption = bar->height();
    // The client area keeps its size and its controls their places below the
    // caption: laid-out dialogs through their margins, placed ones moved.
    if (dialog->layout() == nullptr) {
        for (QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child != bar) {
                child->move(child->x(), child->y() + caption);
            }
        }
    }
    const QMargins margins = dialog->contentsMargins();
    dialog->setContentsMargins(margins.left(), margins.top() + caption, margins.right(),
                               margins.bottom());
    if (dialog->minimumSize() == dialog->maximumSize()) {
        dialog->setFixedSize(dialog->width(), dialog->height() + caption);
    }
    bar->setGeometry(0, 0, dialog->width(), caption);
    bar->raise();
}

}  // namespace tarvenix::qt
