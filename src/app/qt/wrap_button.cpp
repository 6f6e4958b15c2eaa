#include "app/qt/wrap_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace tarvenix::qt {

WrapButton::WrapButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {}

void WrapButton::paintEvent(QPaintEvent* event) {
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    if (fontMetrics().horizontalAdvance(option.text) <= contents.width()) {
        QPushButton::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(contents, Qt::AlignCenter | Qt::TextWordWrap, caption);
}

}  // namespace tarvenix::qt
