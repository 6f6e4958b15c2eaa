#include "app/qt/splash.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>

#include "app/qt/dialog_frame.h"
#include "app/qt/ui_common.h"

using namespace Qt::StringLiterals;

namespace tarvenix::qt {

namespace {

QLabel* make_label(QWidget* parent, const QString& name, const QString& text, const QRect& geometry,
                   const QColor& colour, const QFont& font, Qt::Alignment alignment) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->setAlignment(alignment);
    label->setGeometry(geometry);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    fit_line_height(label);
    fit_text_width(label);
    return label;
}

}  // namespace

SplashWindow::SplashWindow(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(u"frmSplash"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u" "_s);
    setWindowIcon(program_icon());
    setFocusPolicy(Qt::StrongFocus);

    const Twips tw(this);
    setFixedSize(tw.size(4575, 1635));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(palette);

    lblProductName_ =
        make_label(this, u"lblProductName"_s, {}, tw.rect(1080, 240, 3270, 450), QColor(0, 0, 128),
                   serif_font(15.75, true, true), Qt::AlignHCenter | Qt::AlignTop);
    make_label(this, u"Label1"_s, u"For Win 98/Me/NT4/2000/XP"_s, tw.rect(960, 840, 3495, 255),
               QColor(128, 0, 128), japanese_font(12.0, true), Qt::AlignHCenter | Qt::AlignTop);
    make_label(this, u"lblCompanyProduct"_s, u"© Tarvenix developers"_s,
               tw.rect(1260, 1200, 2400, 210), QColor(0, 0, 0), serif_font(8.25, false, false),
               Qt::AlignLeft | Qt::AlignTop);

    auto* logo = new QLabel(this);
    logo->setObjectName(u"imgLogo"_s);
    logo->setPixmap(program_pixmap32());
    logo->setGeometry(tw.rect(300, 300, 480, 480));
    logo->setAlignment(Qt::AlignCenter);
    give_fixed_dialog_frame(this, false);
}

void SplashWindow::set_product_text(const QString& text) {
    lblProductName_->setText(text);
    fit_text_width(lblProductName_);
}

void SplashWindow::present() {
    show();
    centre_on_screen(this);
    raise();
    activateWindow();
    setFocus(Qt::OtherFocusReason);
}

void SplashWindow::keyPressEvent(QKeyEvent* event) {
    event->accept();
    close();
}

void SplashWindow::changeEvent(QEvent* event) {
    // Centred again whenever it becomes active: the window manager may have
    // placed it elsewhere when it first mapped it.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        centre_on_screen(this);
    }
    QWidget::changeEvent(event);
}

}  // namespace tarvenix::qt
