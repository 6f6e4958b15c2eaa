#include "app/qt/main_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTimer>

#include "app/core/app_controller.h"
#include "app/qt/display_link.h"
#include "app/qt/multi_row_tab_bar.h"
#include "app/qt/progress_dialog.h"
#include "app/qt/qt_desktop.h"
#include "app/qt/ui_common.h"

using namespace Qt::StringLiterals;

namespace tarvenix::qt {

namespace {}  // namespace

MainWindow::MainWindow(SettingsPage& page, ProgressDialog& progress, QtDesktop& desktop,
                       QWidget* parent)
    : QMainWindow(parent)
    , page_(page)
    , progress_(progress)
    , click_([this](face::Action action, int index) {
        forward([action, index](AppController& c) { c.run(action, index); });
    })
    , handle_(desktop.handle_of(this))
    , quit_([] { QCoreApplication::exit(0); }) {
    const face::WindowTable& table = face::main_window();
    setObjectName(to_qstring(table.name));
    setWindowIcon(program_icon());
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    const Twips tw(this);
    auto* client = new QWidget(this);
    client->setFixedSize(tw.size(table.width, table.height));
    setCentralWidget(client);
    // The window takes the size of its client area plus the menu bar while
    // that is shown, and cannot be resized.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    tray_ = new TrayIcon(this);
    tray_->set_activation_handler(
        [this](QSystemTrayIcon::ActivationReason reason) { on_tray_activated(reason); });
    tray_->set_menu_click_handler([this](face::Action action) { click_(action, -1); });
    // A tray coming or going is looked at once, not at the next tick.
    tray_->set_change_handler([this] { forward([](AppController& c) { c.on_tray_changed(); }); });
    progress_.set_click_handler(click_);

    // Created in focus order: the buttons first, then the settings tabs.
    make_controls(table, -1, client, click_);
    tabs_ = new SettingsTabWidget(face::kTabsPerRow, client);
    tabs_->setObjectName(u"SSTab1"_s);
    tabs_->setGeometry(tw.rect(face::kSettingsTabs));
    for (int tab = 0; tab < kTabCount; ++tab) {
        auto* tab_page = new QWidget;
        tab_page->resize(tw.rect(face::kPageArea).size());  // its labels fit within it
        make_controls(table, tab, tab_page, click_);
        tabs_->addTab(tab_page, to_qstring(face::tab_captions()[static_cast<std::size_t>(tab)]));
    }
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (index >= 0) {
            page_.select_tab(index);
        }
    });
    // The Ctrl keys that turn the pages, wherever the focus is in the window.
    static const std::map<face::Key, Qt::Key> keys = {{face::Key::kTab, Qt::Key_Tab},
                                                      {face::Key::kPageUp, Qt::Key_PageUp},
                                                      {face::Key::kPageDown, Qt::Key_PageDown}};
    for (const face::PageKey& k : face::kPageKeys) {
        if (k.control) {
            const Qt::KeyboardModifiers held =
                Qt::ControlModifier | (k.shift ? Qt::ShiftModifier : Qt::NoModifier);
            const QKeySequence sequence(QKeyCombination(held, keys.at(k.key)));
            connect(new QShortcut(sequence, this), &QShortcut::activated, this,
                    [this, k] { turn_page(k); });
        }
    }

    // Each control that shows a settings-page control changes it too.
    std::map<Control, QButtonGroup*> groups;
    for (const face::ControlRow& c : table.controls) {
        if (!c.mirrors) {
            continue;
        }
        const ControlId id = *c.mirrors;
        QWidget* widget = control(id);
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            connect(edit, &QLineEdit::textChanged, this,
                    [this, id](const QString& text) { page_.set_text(id, to_std(text)); });
            if (LeaveChecks::checked_on_leave(id)) {
                edit->installEventFilter(this);
                leave_checked_.emplace(edit, id);
            }
        } else if (auto* option = qobject_cast<QRadioButton*>(widget)) {
            QButtonGroup*& group = groups[id.control];
            group = group != nullptr ? group : new QButtonGroup(this);
            group->addButton(option, id.index);
            connect(option, &QRadioButton::toggled, this, [this, id](bool on) {
                if (on) {
                    page_.select_option(id.control, id.index);
                }
            });
        } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            connect(box, &QCheckBox::toggled, this,
                    [this, id](bool checked) { page_.set_checked(id, checked); });
        }
        show_control(id);
    }
    setWindowTitle(to_qstring(page_.caption()));
    on_page_event({PageEvent::Kind::kTab});

    // The menus live in the tray; a menu bar only stands in for a missing one.
    mnumain_ = make_menu(face::tray_menus()[0], this, click_);
    help_ = make_menu(face::tray_menus()[1], this, click_);
    menuBar()->setNativeMenuBar(false);
    menuBar()->addMenu(mnumain_);
    menuBar()->addMenu(help_);
    menuBar()->setVisible(false);

    QPointer<MainWindow> guard(this);
    page_.add_listener([guard](const PageEvent& event) {
        if (guard) {
            guard->on_page_event(event);
        }
    });

    timer1_ = new QTimer(this);
    timer1_->setObjectName(u"Timer1"_s);
    timer1_->setInterval(face::kTickMs);
    connect(timer1_, &QTimer::timeout, this,
            [this] { forward([](AppController& c) { c.on_timer_tick(); }); });
    timer1_->start();
}

MainWindow::~MainWindow() {
    delete splash_.data();
    delete about_.data();
}

void MainWindow::forward(const Command& event) {
    if (controller_ != nullptr) {
        event(*controller_);
    }
}

// --- mirroring the settings page --------------------------------------------

QWidget* MainWindow::control(ControlId id) const {
    const face::ControlRow* row = face::main_window().find(id);
    return row == nullptr ? nullptr : findChild<QWidget*>(to_qstring(row->full_name()));
}

void MainWindow::show_control(ControlId id) {
    QWidget* widget = control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        const QString text = to_qstring(page_.text(id));
        if (edit->text() != text) {
            const QSignalBlocker block(edit);
            edit->setText(text);
        }
    } else if (auto* option = qobject_cast<QRadioButton*>(widget)) {
        // Neither option selected is a state the page can hold; an exclusive
        // group cannot show it unless exclusivity is lifted.
        QButtonGroup* group = option->group();
        group->setExclusive(false);
        for (QAbstractButton* each : group->buttons()) {
            const QSignalBlocker block(each);
            each->setChecked(group->id(each) == page_.selected_option(id.control));
        }
        group->setExclusive(true);
    } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        const QSignalBlocker block(box);
        box->setChecked(page_.checked(id));
    }
}

void MainWindow::on_page_event(const PageEvent& event) {
    if (display_lost()) {
        return;  // never seen again: a caption set now would reach for the X server
    }
    switch (event.kind) {
        case PageEvent::Kind::kControl:
            show_control(event.id);
            break;
        case PageEvent::Kind::kCaption:
            setWindowTitle(to_qstring(page_.caption()));
            redraw_title_bar();
            break;
        case PageEvent::Kind::kTab:
            if (tabs_->currentIndex() != page_.selected_tab()) {
                const QSignalBlocker block(tabs_);
                tabs_->setCurrentIndex(page_.selected_tab());
            }
            break;
        case PageEvent::Kind::kFocus: {
            const auto& focus = page_.focus();
            QWidget* target = !focus           ? nullptr
                              : focus->control ? control(*focus->control)
                                               : findChild<QWidget*>(to_qstring(focus->name()));
            if (target != nullptr) {
                target->setFocus(Qt::OtherFocusReason);
            }
            break;
        }
    }
}

void MainWindow::turn_page(const face::PageKey& key) {
    const auto next =
        face::turned_page(page_.selected_tab(), key.key, key.control, key.shift, false);
    if (!next) {
        return;
    }
    if (const QWidget* shown = tabs_->currentWidget();
        shown != nullptr && shown->isAncestorOf(QApplication::focusWidget())) {
        tabs_->rows()->setFocus(Qt::TabFocusReason);
    }
    page_.select_tab(*next);
}

void MainWindow::redraw_title_bar() {
    // Where the compositor leaves the frame to the program (weston, GNOME on
    // Wayland), Qt draws the title bar into the window's own frames and only
    // redraws it with the next one: the window's contents rarely change, so
    // without a frame of its own the caption's clock would stand still.
    if (isVisible() && QGuiApplication::platformName().startsWith(u"wayland"_s)) {
        update(QRect(0, 0, 1, 1));
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const auto box = leave_checked_.find(watched);
    if (box != leave_checked_.end() && controller_ != nullptr) {
        LeaveChecks& checks = controller_->leave_checks();
        if (event->type() == QEvent::FocusIn) {
            checks.focus_entered(box->second);
        } else if (event->type() == QEvent::FocusOut) {
            // Another window or a menu taking the keyboard is no move to
            // another control of this window.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            checks.focus_left(box->second, reason != Qt::ActiveWindowFocusReason &&
                                               reason != Qt::PopupFocusReason);
            // Settled once the events of the move have been handled.
            QTimer::singleShot(0, this,
                               [this] { controller_->leave_checks().settle(*controller_); });
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- the window --------------------------------------------------------------

void MainWindow::set_window_visible(bool visible) {
    if (visible) {
        // Shown and raised whatever state it was left in: a window that was
        // minimised when it was hidden would otherwise map iconic.
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
        if (!centred_) {
            centred_ = true;
            centre_on_screen(this);
        }
        raise();
        activateWindow();
    } else if (standing_in_) {
        // With no tray icon to come back through, "hidden" is minimised.
        showMinimized();
    } else {
        // Unmapped first, then no longer minimised: asked the other way
        // round, the window manager would map it again.
        hide();
        setWindowState(windowState() & ~Qt::WindowMinimized);
    }
}

bool MainWindow::window_visible() const {
    return isVisible() && !isMinimized();
}

void MainWindow::popup_menu(PopupMenu which) {
    menu(which)->exec(QCursor::pos());
}

void MainWindow::stand_in_for_tray(bool standing_in) {
    standing_in_ = standing_in;
    menuBar()->setVisible(standing_in);
}

void MainWindow::on_tray_activated(QSystemTrayIcon::ActivationReason reason) {
    // A double click or a middle click does nothing.
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context) {
        const TrayClick click =
            reason == QSystemTrayIcon::Trigger ? TrayClick::kPrimary : TrayClick::kContext;
        forward([click](AppController& c) { c.on_tray_click(click); });
    }
}

void MainWindow::show_splash(std::string_view product_text) {
    if (!splash_) {
        splash_ = new FaceWindow(face::splash_window(), false, click_);
    }
    splash_->set_text(face::splash_window().filled_label, product_text);
    splash_->present();
}

void MainWindow::close_splash() {
    if (splash_) {
        splash_->close();
    }
}

void MainWindow::show_about(std::string_view version_text) {
    if (!about_) {
        about_ = new FaceWindow(face::about_window(), true, click_);
        about_->set_text(face::about_window().filled_label, version_text);
        about_->show();
        centre_on_screen(about_);
    } else {
        about_->show();
    }
    about_->raise();
    about_->activateWindow();
}

void MainWindow::close_about() {
    if (about_ && !display_lost()) {
        about_->close();
    }
}

void MainWindow::close_progress() {
    progress_.presenter().hide();
}

void MainWindow::close_main_window() {
    end_if_display_lost();
    closing_ = true;
    close_splash();
    close();
    // Closing from inside the window's own close event is a no-op; make sure
    // the window is off the screen either way.
    hide();
    quit_();
}

void MainWindow::quit_immediately() {
    end_if_display_lost();
    closing_ = true;
    quit_();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closing_ || controller_ == nullptr || controller_->shut_down()) {
        event->accept();
        return;
    }
    // The window never simply closes: the controller runs the shut-down
    // sequence, which ends by closing it (or, during a backup, does so once
    // the run has stopped).
    event->ignore();
    controller_->on_close_request();
    if (controller_->shut_down()) {
        event->accept();
    }
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    // Reached by double-clicks on the window's background and on the tabs,
    // which the controls above them pass on.
    event->accept();
    forward([](AppController& c) { c.on_window_double_click(); });
}

}  // namespace tarvenix::qt
