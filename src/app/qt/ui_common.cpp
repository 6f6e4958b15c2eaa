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

QIcon program_icon() {
    static const bool loaded = (init_program_resources(), true);
    (void)loaded;
    QIcon icon;
    icon.addFile(u":/tarvenix/tarvenix-32.png"_s, QSize(32, 32));
    icon.addFile(u":/tarvenix/tarvenix-64.png"_s, QSize(64, 64));
    return icon;
}

Twips::Twips(const QWidget* widget)
    : pixels_per_twip_(widget->logicalDpiX() / 96.0 / 15.0) {}

int Twips::operator()(int twips) const {
    return static_cast<int>(std::lround(twips * pixels_per_twip_));
}

QRect Twips::rect(const face::Twips& at) const {
    // Edges are rounded, not sizes, so controls laid side by side in twips
    // meet without gaps or overlaps after rounding.
    const int x0 = (*this)(at.left);
    const int y0 = (*this)(at.top);
    return {x0, y0, (*this)(at.left + at.width) - x0, (*this)(at.top + at.height) - y0};
}

QSize Twips::size(int width, int height) const {
    return {(*this)(width), (*this)(height)};
}

namespace {
// The first family of `candidates` that the font database knows, else the
// first candidate (fontconfig then picks its nearest match).
QString first_available_family(const QStringList& candidates) {
    const QStringList known = QFontDatabase::families();
    for (const QString& family : candidates) {
        if (known.contains(family, Qt::CaseInsensitive)) {
            return family;
        }
    }
    return candidates.value(0);
}
}  // namespace

QFont font_of(const face::Font& wanted) {
    static const QString serif =
        first_available_family({to_qstring(face::kSerif), u"Liberation Serif"_s, u"Nimbus Roman"_s,
                                u"DejaVu Serif"_s, u"Noto Serif"_s});
    static const QString gothic =
        first_available_family({to_qstring(face::kProgramFont.face), u"MS PGothic"_s,
                                u"IPAPGothic"_s, u"Noto Sans CJK JP"_s, u"IPAGothic"_s,
                                u"VL PGothic"_s, u"TakaoPGothic"_s, u"Droid Sans Fallback"_s});
    const bool is_serif = wanted.face == face::kSerif;
    QFont font(is_serif ? serif : gothic);
    font.setStyleHint(is_serif ? QFont::Serif : QFont::SansSerif);
    font.setPointSizeF(wanted.points);
    font.setBold(wanted.bold);
    font.setItalic(wanted.italic);
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

void configure_application() {
    QApplication::setApplicationName(u"tarvenix"_s);
    QApplication::setWindowIcon(program_icon());
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setFont(font_of(face::kProgramFont));
}

void fit_label(QLabel* label) {
    QRect area = label->geometry();
    area.setHeight(std::max(area.height(), label->fontMetrics().height()));
    const int needed = label->fontMetrics().horizontalAdvance(label->text()) + 4;
    if (!label->text().isEmpty() && needed > area.width()) {
        const int available =
            label->parentWidget() != nullptr ? label->parentWidget()->width() : needed;
        const int width = std::min(needed, available);
        if ((label->alignment() & Qt::AlignHCenter) != 0) {
            area.moveLeft(area.center().x() - width / 2);
        }
        area.moveLeft(std::clamp(area.left(), 0, std::max(0, available - width)));
        area.setWidth(width);
    }
    label->setGeometry(area);
}

}  // namespace tarvenix::qt
