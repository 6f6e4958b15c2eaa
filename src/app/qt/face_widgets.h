#pragma once

// The windows of the core's tables as Qt widgets: one widget class per kind
// of control, named after the control, placed at its twips, with its text,
// tool tip, font, colour and alignment; a click runs the control's action.

#include <QWidget>
#include <functional>
#include <string_view>

#include "app/core/window_face.h"

class QMenu;

namespace tarvenix::qt {

// What a click on a button or a menu item runs (AppController::run, once
// there is a controller).
using Click = std::function<void(face::Action action, int index)>;

// Makes the controls of `window` that are on `page` (-1: on the window
// itself) in `parent`, in the table's order, which is the focus order; one
// inside a frame goes into that frame's group box, whose corner its place
// counts from. Frames come before their controls, so they lie behind them.
void make_controls(const face::WindowTable& window, int page, QWidget* parent, const Click& click);

// Names `widget` after the window, gives it the window's caption, icon and
// background, and fixes it at the size of the window's client area.
void set_up_window(QWidget* widget, const face::WindowTable& window);

QMenu* make_menu(const face::MenuTable& menu, QWidget* parent, const Click& click);

// The splash and About windows: fixed windows made from their tables, deleted
// once closed. The splash closes at any key; About at Escape, Return and
// Enter (its OK is both the default and the cancel button).
class FaceWindow final : public QWidget {
public:
    FaceWindow(const face::WindowTable& window, bool closable, const Click& click);

    // A text the program fills in (the product name, the version).
    void set_text(std::string_view control, std::string_view text);
    // Shows it centred, raised, with the keyboard.
    void present();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool closable_;
};

}  // namespace tarvenix::qt
