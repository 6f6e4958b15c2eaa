#include "app/qt/ui_common.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

// The icons are compiled into the static library; the linker keeps them only
// when something refers to their initialiser.
static void init_program_resources() {
    Q_INIT_RESOURCE(tarvenix);
}

using namespace Qt::StringLiterals;

namespace tarvenix::qt {

QString to_qstring(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string to_std(const QString& text) {
    return text.toStdString();
}

namespace {
void ensure_resources() {
    static const bool done = [] {
        init_program_resources();
        return true;
    }();
    (void)done;
}
}  // namespace

QIcon program_icon() {
    ensure_resources();
    QIcon icon;
    icon.addFile(u":/tarvenix/tarvenix-32.png"_s, QSize(32, 32));
    icon.addFile(u":/tarvenix/tarvenix-64.png"_s, QSize(64, 64));
    return icon;
}

QPixmap program_pixmap32() {
    ensure_resources();
    return QPixmap(u":/tarvenix/tarvenix-32.png"_s);
}

Twips::Twips(const QWidget* widget)
    : pixels_per_twip_(widget->logicalDpiX() / 96.0 / 15.0) {}

int Twips::operator()(int twips) const {
    return static_cast<int>(std::lround(twips * pixels_per_twip_));
}

QRect Twips::rect(int left, int top, int width, int height) const {
    // Edges are rounded, not sizes, so controls laid side by side in twips
    // meet without gaps or overlaps after rounding.
    const int x0 = (*this)(left);
    const int y0 = (*this)(top);
    return {x0, y0, (*this)(left + width) - x0, (*this)(top + height) - y0};
}

QSize Twips::size(int width, int height) const {
    return {(*this)(width), (*this)(height)};
}

QString first_available_family(const QStringList& candidates) {
    const QStringList known = QFontDatabase::families();
    for (const QString& family : candidates) {
        if (known.contains(family, Qt::CaseInsensitive)) {
            return family;
        }
    }
    return candidates.value(0);
}

QFont japanese_font(double point_size, bool bold) {
    static const QString family = first_available_family(
        {u"ＭＳ Ｐゴシック"_s, u"MS PGothic"_s, u"IPAPGothic"_s, u"Noto Sans CJK JP"_s,
         u"IPAGothic"_s, u"VL PGothic"_s, u"TakaoPGothic"_s, u"Droid Sans Fallback"_s});
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(point_size);
    font.setBold(bold);
    return font;
}

QFont serif_font(double point_size, bool bold, bool italic) {
    static const QString family =
        first_available_family({u"Times New Roman"_s, u"Liberation Serif"_s, u"Nimbus Roman"_s,
                                u"DejaVu Serif"_s, u"Noto Serif"_s});
    QFont font(family);
    font.setStyleHint(QFont::Serif);
    font.setPointSizeF(point_size);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

void centre_on_screen(QWidget* window) {
    QScreen* screen =
        window->screen() != nullptr ? window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->geometry();
    const QSize frame = window->frameGeometry().size();
    window->move(area.x() + (area.width() - frame.width()) / 2,
                 area.y() + (area.height() - frame.height()) / 2);
}

void apply_program_font() {
    QApplication::setFont(japanese_font(9.0));
}

void configure_application() {
    QApplication::setApplicationName(u"tarvenix"_s);
    QApplication::setWindowIcon(program_icon());
    QApplication::setQuitOnLastWindowClosed(false);
    apply_program_font();
}

void fit_line_height(QLabel* label) {
    label->resize(label->width(), std::max(label->height(), label->fontMetrics().height()));
}

void fit_text_width(QLabel* label) {
    const int needed = label->fontMetrics().horizontalAdvance(label->text()) + 4;
    QRect area = label->geometry();
    if (needed <= area.width()) {
        return;
    }
    const int available =
        label->parentWidget() != nullptr ? label->parentWidget()->width() : needed;
    const int width = std::min(needed, available);
    if ((label->alignment() & Qt::AlignHCenter) != 0) {
        const int centre = area.center().x();
        area.setLeft(std::clamp(centre - width / 2, 0, std::max(0, available - width)));
    } else {
        area.moveLeft(std::min(area.left(), std::max(0, available - width)));
    }
    area.setWidth(width);
    label->setGeometry(area);
}

}  // namespace tarvenix::qt
