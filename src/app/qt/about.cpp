#include "app/qt/about.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "app/qt/dialog_frame.h"
#include "app/qt/ui_common.h"

using namespace Qt::StringLiterals;

namespace tarvenix::qt {

namespace {

QLabel* make_label(QWidget* parent, const QString& name, const QString& text, const QRect& geometry,
                   Qt::Alignment alignment) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(alignment | Qt::AlignTop);
    label->setGeometry(geometry);
    fit_line_height(label);
    fit_text_width(label);
    return label;
}

}  // namespace

AboutWindow::AboutWindow(const QString& version_text, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(u"frmAbout"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u"TARVENIXのﾊﾞｰｼﾞｮﾝ情報"_s);
    setWindowIcon(program_icon());

    const Twips tw(this);
    setFixedSize(tw.size(3975, 2940));

    auto* frame = new QGroupBox(this);
    frame->setObjectName(u"Frame1"_s);
    frame->setGeometry(tw.rect(180, 180, 3570, 960));

    // Inside the frame, positions are the frame's own.
    auto* icon = new QLabel(frame);
    icon->setObjectName(u"picIcon"_s);
    icon->setPixmap(program_pixmap32());
    icon->setAlignment(Qt::AlignCenter);
    icon->setGeometry(tw.rect(270, 270, 540, 540));

    QLabel* name =
        make_label(frame, u"Label2"_s, u"Tarvenix"_s, tw.rect(1365, 225, 1515, 345), Qt::AlignLeft);
    name->setFont(serif_font(14.25, true, true));
    fit_line_height(name);
    fit_text_width(name);
    make_label(frame, u"lbl_ver"_s, version_text, tw.rect(1665, 630, 960, 225), Qt::AlignHCenter);

    make_label(this, u"lblDescription"_s, u"ファイルバックアップユーティリティー"_s,
               tw.rect(585, 1305, 2805, 180), Qt::AlignHCenter);
    make_label(this, u"Label4"_s, u"for Win95/98/Me/NT4.0/2000/XP"_s, tw.rect(645, 1575, 2595, 180),
               Qt::AlignHCenter);
    make_label(this, u"Label1"_s, u"© Tarvenix developers"_s, tw.rect(360, 1935, 3255, 285),
               Qt::AlignHCenter);

    auto* ok = new QPushButton(u"OK"_s, this);
    ok->setObjectName(u"cmdOK"_s);
    ok->setGeometry(tw.rect(1320, 2385, 1310, 435));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);
    give_fixed_dialog_frame(this, true);
}

void AboutWindow::keyPressEvent(QKeyEvent* event) {
    // OK is both the default and the cancel button of the window.
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            close();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

}  // namespace tarvenix::qt
