#pragma once

// Small helpers the desktop windows share: the program icon, fonts that exist
// on a Linux desktop in place of the Windows ones, and window positions given
// in twips (1/1440 inch), the unit the window layouts are designed in.

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QStringList>
#include <string>
#include <string_view>

class QLabel;
class QWidget;

namespace tarvenix::qt {

// UTF-8 text of the core <-> QString.
QString to_qstring(std::string_view text);
std::string to_std(const QString& text);

// The program icon (32 x 32 and 64 x 64) and its 32 x 32 picture.
QIcon program_icon();
QPixmap program_pixmap32();

// Converts twips to pixels for a widget's screen: 15 twips per pixel at
// 96 dpi, scaled by the widget's logical dpi.
class Twips {
public:
    explicit Twips(const QWidget* widget);
    int operator()(int twips) const;
    QRect rect(int left, int top, int width, int height) const;
    QSize size(int width, int height) const;

private:
    double pixels_per_twip_;
};

// The first family of `candidates` that the font database knows, else the
// first candidate (fontconfig then picks its nearest match).
QString first_available_family(const QStringList& candidates);
// A Japanese sans-serif face for ＭＳ Ｐゴシック / ＭＳ ゴシック.
QFont japanese_font(double point_size, bool bold = false);
// A serif face for Times New Roman.
QFont serif_font(double point_size, bool bold, bool italic);

// Places a window centred on the screen it is on (or the primary screen).
void centre_on_screen(QWidget* window);

// The program's font: a Japanese face at 9 pt, the size its windows were
// laid out for.
void apply_program_font();

// What the program sets on the application before its first window: its
// name, icon and font, and that closing windows never ends it (the program
// lives in the tray; the shut-down sequence ends it). No display name: the
// toolkit would append it to every caption, and the captions are the
// program's own texts.
void configure_application();

// Lets a fixed-height label grow to one line of its font, so glyphs of a
// font taller than the designed one are not cut off.
void fit_line_height(QLabel* label);
// Lets a label grow sideways (around its centre when centred) to show its
// whole text, within its parent.
void fit_text_width(QLabel* label);

}  // namespace tarvenix::qt
