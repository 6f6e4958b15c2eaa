#include "app/qt/face_widgets.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStylePainter>

#include "app/qt/dialog_frame.h"
#include "app/qt/ui_common.h"

namespace tarvenix::qt {

namespace {

// A push button whose caption wraps onto a second line when it does not fit:
// some captions are wider than their button (the choice to shut the
// computer down after a backup, on a button a hundred pixels wide) and must
// still be read whole, as the Windows program's multi-line buttons show
// them. text() stays the caption.
class WrapButton final : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override {
        QStyleOptionButton option;
        initStyleOption(&option);
        const QRect contents =
            style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        if (fontMetrics().horizontalAdvance(option.text) <= contents.width()) {
            QPushButton::paintEvent(event);
            return;
        }
        QStylePainter painter(this);
        const QString caption = option.text;
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                       QPalette::ButtonText));
        painter.drawText(contents, Qt::AlignCenter | Qt::TextWordWrap, caption);
    }
};

// By face::Align.
constexpr Qt::AlignmentFlag kAlignments[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};

Qt::Alignment alignment_of(face::Align align) {
    return kAlignments[static_cast<std::size_t>(align)];
}

void set_colour(QWidget* widget, QPalette::ColorRole role, face::Rgb colour) {
    QPalette palette = widget->palette();
    palette.setColor(role, QColor(colour.red, colour.green, colour.blue));
    widget->setPalette(palette);
}

QWidget* make_widget(const face::ControlRow& c, QWidget* parent, const Click& click) {
    const QString text = to_qstring(c.text);
    switch (c.kind) {
        case face::Kind::kLabel:
        case face::Kind::kIcon: {
            auto* label = new QLabel(text, parent);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(alignment_of(c.align) | Qt::AlignTop);
            if (c.kind == face::Kind::kIcon) {
                label->setPixmap(program_icon().pixmap(32, 32));
                label->setAlignment(Qt::AlignCenter);
            }
            return label;
        }
        case face::Kind::kText: {
            auto* edit = new QLineEdit(parent);
            edit->setAlignment(alignment_of(c.align) | Qt::AlignVCenter);
            return edit;
        }
        case face::Kind::kCheck:
            return new QCheckBox(text, parent);
        case face::Kind::kOption:
            return new QRadioButton(text, parent);
        case face::Kind::kFrame:
            return new QGroupBox(text, parent);
        case face::Kind::kButton:
            break;
    }
    auto* button = new WrapButton(text, parent);
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, button,
                     [click, action = c.action, index = c.index] { click(action, index); });
    return button;
}

}  // namespace

void make_controls(const face::WindowTable& window, int page, QWidget* parent, const Click& click) {
    for (const face::ControlRow& c : window.controls) {
        if (c.page != page) {
            continue;
        }
        QWidget* in = c.frame.empty() ? parent : parent->findChild<QGroupBox*>(to_qstring(c.frame));
        QWidget* widget = make_widget(c, in, click);
        widget->setObjectName(to_qstring(c.full_name()));
        widget->setGeometry(Twips(in).rect(c.at));
        widget->setToolTip(to_qstring(c.tool_tip));
        if (c.font) {
            widget->setFont(font_of(*c.font));
        }
        if (c.colour) {
            set_colour(widget, QPalette::WindowText, *c.colour);
        }
        if (auto* label = qobject_cast<QLabel*>(widget); label != nullptr && !c.path) {
            fit_label(label);
        }
    }
}

void set_up_window(QWidget* widget, const face::WindowTable& window) {
    widget->setObjectName(to_qstring(window.name));
    widget->setWindowTitle(to_qstring(window.caption));
    widget->setWindowIcon(program_icon());
    widget->setFixedSize(Twips(widget).size(window.width, window.height));
    if (window.background) {
        widget->setAutoFillBackground(true);
        set_colour(widget, QPalette::Window, *window.background);
    }
}

QMenu* make_menu(const face::MenuTable& table, QWidget* parent, const Click& click) {
    auto* menu = new QMenu(to_qstring(table.caption), parent);
    menu->setObjectName(to_qstring(table.name));
    for (const face::MenuItem& item : table.items) {
        if (item.name.empty()) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(to_qstring(item.caption));
        action->setObjectName(to_qstring(item.name));
        QObject::connect(action, &QAction::triggered, menu,
                         [click, run = item.action] { click(run, -1); });
    }
    return menu;
}

FaceWindow::FaceWindow(const face::WindowTable& window, bool closable, const Click& click)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           (closable ? Qt::WindowCloseButtonHint : Qt::WindowType{}))
    , closable_(closable) {
    setAttribute(Qt::WA_DeleteOnClose);
    set_up_window(this, window);
    make_controls(window, -1, this, click);
    if (auto* ok = findChild<QPushButton*>(to_qstring(window.default_button));
        ok != nullptr && !window.default_button.empty()) {
        ok->setDefault(true);
    }
    setFocusPolicy(Qt::StrongFocus);
    give_fixed_dialog_frame(this, closable);
}

void FaceWindow::set_text(std::string_view control, std::string_view text) {
    auto* label = findChild<QLabel*>(to_qstring(control));
    label->setText(to_qstring(text));
    fit_label(label);
}

void FaceWindow::present() {
    show();
    centre_on_screen(this);
    raise();
    activateWindow();
    setFocus(Qt::OtherFocusReason);
}

void FaceWindow::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (!closable_ || key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) {
        event->accept();
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FaceWindow::changeEvent(QEvent* event) {
    // The splash is centred again whenever it becomes active: the window
    // manager may have placed it elsewhere when it first mapped it.
    if (!closable_ && event->type() == QEvent::ActivationChange && isActiveWindow()) {
        centre_on_screen(this);
    }
    QWidget::changeEvent(event);
}

}  // namespace tarvenix::qt
