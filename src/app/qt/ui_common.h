#pragma once

// Small helpers the desktop windows share: text between the core and Qt, the
// program icon, the fonts of a Linux desktop in place of the faces the window
// tables name (which it seldom has), and positions given in twips (1/1440
// inch), the unit of the window tables.

#include <QFont>
#include <QIcon>
#include <QRect>
#include <QString>
#include <string>
#include <string_view>

#include "app/core/window_face.h"

class QLabel;
class QWidget;

namespace tarvenix::qt {

// UTF-8 text of the core <-> QString.
QString to_qstring(std::string_view text);
std::string to_std(const QString& text);

// The program icon (32 x 32 and 64 x 64).
QIcon program_icon();

// Converts twips to pixels for a widget's screen: 15 twips per pixel at
// 96 dpi, scaled by the widget's logical dpi.
class Twips {
public:
    explicit Twips(const QWidget* widget);
    int operator()(int twips) const;
    QRect rect(const face::Twips& at) const;
    QSize size(int width, int height) const;

private:
    double pixels_per_twip_;
};

// The nearest face the desktop has to the one a control's row names: a serif
// for face::kSerif, a Japanese gothic for the others.
QFont font_of(const face::Font& font);

// Places a window centred on the screen it is on (or the primary screen).
void centre_on_screen(QWidget* window);

// What the program sets on the application before its first window: its
// name, icon and font (a Japanese face at 9 pt, the size its windows were
// laid out for), and that closing windows never ends it (the program lives in
// the tray; the shut-down sequence ends it). No display name: the toolkit
// would append it to every caption, and the captions are the program's own.
void configure_application();

// Lets a label grow to one line of its font (glyphs of a font taller than the
// one its row names are not cut off) and sideways, around its centre when
// centred, to show its whole text within its parent: the fonts of a Linux
// desktop are wider than the row's width allows.
void fit_label(QLabel* label);

}  // namespace tarvenix::qt
