#include "app/qt/multi_row_tab_bar.h"

#include <QMouseEvent>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <algorithm>
#include <map>

#include "app/core/window_face.h"

namespace tarvenix::qt {

MultiRowTabBar::MultiRowTabBar(int tabs_per_row, QWidget* parent)
    : QTabBar(parent)
    , tabs_per_row_(std::max(1, tabs_per_row)) {
    setUsesScrollButtons(false);
    setDrawBase(false);
    setExpanding(false);
    setElideMode(Qt::ElideNone);
    // The base class tracks hover by its own single-row geometry, which is
    // not where the tabs are drawn here.
    setAttribute(Qt::WA_Hover, false);
}

int MultiRowTabBar::row_height() const {
    if (count() == 0) {
        return fontMetrics().height() + 8;
    }
    return QTabBar::tabSizeHint(0).height();
}

int MultiRowTabBar::row_count() const {
    return (count() + tabs_per_row_ - 1) / tabs_per_row_;
}

QSize MultiRowTabBar::sizeHint() const {
    int widest = 0;
    for (int i = 0; i < count(); ++i) {
        widest = std::max(widest, QTabBar::tabSizeHint(i).width());
    }
    int width = widest * tabs_per_row_;
    // Inside the tab widget the rows take its whole width.
    if (parentWidget() != nullptr) {
        width = std::max(parentWidget()->width(), 1);
    }
    return {width, row_height() * std::max(1, row_count())};
}

QSize MultiRowTabBar::minimumSizeHint() const {
    return {tabs_per_row_ * 20, sizeHint().height()};
}

QRect MultiRowTabBar::row_tab_rect(int index) const {
    if (index < 0 || index >= count()) {
        return {};
    }
    const int row = index / tabs_per_row_;
    const int column = index % tabs_per_row_;
    const int h = row_height();
    const int left = width() * column / tabs_per_row_;
    const int right = width() * (column + 1) / tabs_per_row_;
    return {left, row * h, right - left, h};
}

int MultiRowTabBar::row_tab_at(const QPoint& point) const {
    for (int i = 0; i < count(); ++i) {
        if (row_tab_rect(i).contains(point)) {
            return i;
        }
    }
    return -1;
}

void MultiRowTabBar::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    const int selected = currentIndex();
    auto draw = [&](int i) {
        QStyleOptionTab option;
        initStyleOption(&option, i);
        option.rect = row_tab_rect(i);
        const int column = i % tabs_per_row_;
        const int last_column =
            std::min(tabs_per_row_, count() - (i / tabs_per_row_) * tabs_per_row_) - 1;
        if (last_column == 0) {
            option.position = QStyleOptionTab::OnlyOneTab;
        } else if (column == 0) {
            option.position = QStyleOptionTab::Beginning;
        } else if (column == last_column) {
            option.position = QStyleOptionTab::End;
        } else {
            option.position = QStyleOptionTab::Middle;
        }
        option.selectedPosition = QStyleOptionTab::NotAdjacent;
        // Some styles draw a selected tab down to where a single row would
        // meet the page, which here is over the next row of tabs.
        painter.setClipRect(option.rect.adjusted(-1, -1, 1, 1));
        painter.drawControl(QStyle::CE_TabBarTab, option);
    };
    for (int i = 0; i < count(); ++i) {
        if (i != selected) {
            draw(i);
        }
    }
    // The selected tab last, so it stands above its neighbours.
    if (selected >= 0) {
        draw(selected);
    }
}

void MultiRowTabBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const int index = row_tab_at(event->position().toPoint());
    if (index < 0) {
        event->ignore();
        return;
    }
    setCurrentIndex(index);
    event->accept();
}

void MultiRowTabBar::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
}

void MultiRowTabBar::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
}

void MultiRowTabBar::mouseDoubleClickEvent(QMouseEvent* event) {
    event->ignore();
}

void MultiRowTabBar::keyPressEvent(QKeyEvent* event) {
    static const std::map<int, face::Key> arrows = {{Qt::Key_Left, face::Key::kLeft},
                                                    {Qt::Key_Right, face::Key::kRight},
                                                    {Qt::Key_Up, face::Key::kUp},
                                                    {Qt::Key_Down, face::Key::kDown}};
    const auto arrow = arrows.find(event->key());
    const Qt::KeyboardModifiers held = event->modifiers() & ~Qt::KeypadModifier;
    if (arrow == arrows.end() || held != Qt::NoModifier) {
        QTabBar::keyPressEvent(event);
        return;
    }
    if (const auto next = face::turned_page(currentIndex(), arrow->second, false, false, true)) {
        setCurrentIndex(*next);
    }
    event->accept();
}

SettingsTabWidget::SettingsTabWidget(int tabs_per_row, QWidget* parent)
    : QTabWidget(parent)
    , bar_(new MultiRowTabBar(tabs_per_row, this)) {
    setTabBar(bar_);
}

}  // namespace tarvenix::qt
