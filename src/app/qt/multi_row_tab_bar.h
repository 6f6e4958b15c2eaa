#pragma once

// A tab bar that lays its tabs out in rows of a fixed count, as the Windows
// program's tab control does: eleven tabs in a window a few hundred pixels
// wide stay readable without scroll arrows.

#include <QTabBar>
#include <QTabWidget>

namespace tarvenix::qt {

class MultiRowTabBar final : public QTabBar {
public:
    explicit MultiRowTabBar(int tabs_per_row, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    int row_count() const;
    // Where tab `index` is drawn, and which tab lies at a point (-1: none).
    QRect row_tab_rect(int index) const;
    int row_tab_at(const QPoint& point) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    // Left to the window behind: a double-click on the tabs opens About.
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // The arrows move along the rows as the core's page keys say.
    void keyPressEvent(QKeyEvent* event) override;

private:
    int row_height() const;
    int tabs_per_row_;
};

// `SSTab1`: a QTabWidget with the multi-row tab bar.
class SettingsTabWidget final : public QTabWidget {
public:
    explicit SettingsTabWidget(int tabs_per_row, QWidget* parent = nullptr);
    MultiRowTabBar* rows() const { return bar_; }

private:
    MultiRowTabBar* bar_;
};

}  // namespace tarvenix::qt
