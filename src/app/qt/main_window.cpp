#include "app/qt/main_window.h"

#include <QAction>
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
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>

#include "app/core/app_controller.h"
#include "app/qt/about.h"
#include "app/qt/multi_row_tab_bar.h"
#include "app/qt/progress_dialog.h"
#include "app/qt/splash.h"
#include "app/qt/ui_common.h"

using namespace Qt::StringLiterals;

namespace tarvenix::qt {

namespace {

constexpr int kTabsPerRow = 4;

}  // namespace

MainWindow::MainWindow(SettingsPage& page, ProgressDialog* progress, QWidget* parent)
    : QMainWindow(parent)
    , page_(page)
    , progress_(progress)
    , quit_([] { QCoreApplication::exit(0); }) {
    setObjectName(u"Menu"_s);
    setWindowIcon(program_icon());
    setWindowTitle(to_qstring(page_.caption()));
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);

    auto* client = new QWidget(this);
    client->setObjectName(u"Menu_client"_s);
    const Twips tw(this);
    client->setFixedSize(tw.size(5745, 5640));
    setCentralWidget(client);

    // The window takes the size of its client area plus the menu bar while
    // that is shown, and cannot be resized.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    tray_ = new TrayIcon(this);
    tray_->set_activation_handler(
        [this](QSystemTrayIcon::ActivationReason reason) { on_tray_activated(reason); });
    // A tray that went away leaves the window on screen, standing in for it.
    tray_->set_lost_handler([this] { set_window_visible(true); });

    // Created in focus order: the buttons first, then the settings page.
    build_buttons(client);
    build_tabs(client);
    build_menus();
    show_all_controls();

    // The menus live in the tray; a menu bar only stands in for a missing one.
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

    leave_check_ = new QTimer(this);
    leave_check_->setSingleShot(true);
    leave_check_->setInterval(0);
    connect(leave_check_, &QTimer::timeout, this, [this] { forward(leave_check_command_); });

    timer1_ = new QTimer(this);
    timer1_->setObjectName(u"Timer1"_s);
    timer1_->setInterval(1000);
    connect(timer1_, &QTimer::timeout, this,
            [this] { forward([](AppController& c) { c.on_timer_tick(); }); });
    timer1_->start();
}

MainWindow::~MainWindow() {
    if (splash_) {
        delete splash_.data();
    }
    if (about_) {
        delete about_.data();
    }
}

// --- building the window ---------------------------------------------------

void MainWindow::forward(const Command& action) {
    if (controller_ != nullptr) {
        action(*controller_);
        controller_->after_event();
    }
}

void MainWindow::build_buttons(QWidget* client) {
    const Twips tw(this);
    struct ButtonDef {
        const char16_t* name;
        const char16_t* caption;
        QRect geometry;
        void (AppController::*action)();
    };
    // Focus order: 閉じる, 更　新, 終　了, the two backup buttons.
    const ButtonDef buttons[] = {
        {u"mini_bt", u"閉じる", tw.rect(1995, 5025, 1095, 495), &AppController::mini_bt},
        {u"ok_bt", u"更　新", tw.rect(3240, 5025, 1140, 495), &AppController::ok_bt},
        {u"close_bt", u"終　了", tw.rect(4515, 5025, 1155, 495), &AppController::close_bt},
        {u"bkup_bt", u"ﾊﾞｯｸｱｯﾌﾟ開始", tw.rect(120, 4440, 1455, 495), &AppController::bkup_bt},
        {u"bkup_exit_bt", u"ﾊﾞｯｸｱｯﾌﾟ後Windows終了", tw.rect(120, 5040, 1455, 495),
         &AppController::bkup_exit_bt},
    };
    for (const ButtonDef& def : buttons) {
        QPushButton* button =
            make_button(client, QString::fromUtf16(def.name), QString::fromUtf16(def.caption));
        button->setGeometry(def.geometry);
        const auto action = def.action;
        connect(button, &QPushButton::clicked, this,
                [this, action] { forward([action](AppController& c) { (c.*action)(); }); });
    }
    for (const QString& name : {u"bkup_bt"_s, u"bkup_exit_bt"_s}) {
        client->findChild<QPushButton*>(name)->setToolTip(u"ﾏﾆｭｱﾙ起動"_s);
    }
}

void MainWindow::build_tabs(QWidget* client) {
    const Twips tw(this);
    tabs_ = new SettingsTabWidget(kTabsPerRow, client);
    tabs_->setObjectName(u"SSTab1"_s);
    tabs_->setGeometry(tw.rect(120, 120, 5535, 4095));
    const Forward forward_to_controller = [this](const Command& action) { forward(action); };
    for (std::unique_ptr<TabPage>& page : make_settings_pages()) {
        page->create(page_, controls_, forward_to_controller, this);
        const QString caption = page->caption();
        tabs_->addTab(page.release(), caption);
    }
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (index >= 0) {
            page_.select_tab(index);
        }
    });
}

void MainWindow::build_menus() {
    struct Item {
        const char16_t* name;  // nullptr: a separator
        const char16_t* caption;
        void (AppController::*action)();
    };
    const auto fill = [this](QMenu* menu, std::initializer_list<Item> items) {
        for (const Item& item : items) {
            if (item.name == nullptr) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromUtf16(item.caption));
            action->setObjectName(QString::fromUtf16(item.name));
            const auto command = item.action;
            connect(action, &QAction::triggered, this,
                    [this, command] { forward([command](AppController& c) { (c.*command)(); }); });
        }
    };

    mnumain_ = new QMenu(u"ﾒﾆｭｰ"_s, this);
    mnumain_->setObjectName(u"mnumain"_s);
    fill(mnumain_, {
                       {u"bkup_exitwin", u"ﾊﾞｯｸｱｯﾌﾟ後Windows終了", &AppController::bkup_exitwin},
                       {u"start_bkup", u"ﾊﾞｯｸｱｯﾌﾟ実行", &AppController::start_bkup},
                       {nullptr, nullptr, nullptr},
                       {u"exit_win", u"Windows終了", &AppController::exit_win},
                       {u"reboot_win", u"Windows再起動", &AppController::reboot_win},
                       {u"log_off", u"ログオフ", &AppController::log_off},
                       {nullptr, nullptr, nullptr},
                       {u"mnuset", u"設定", &AppController::mnuset},
                       {u"History_Disp", u"履歴表示", &AppController::History_Disp},
                       {nullptr, nullptr, nullptr},
                       {u"mnuend", u"Tarvenix終了", &AppController::mnuend},
                   });

    help_ = new QMenu(u"ﾍﾙﾌﾟ"_s, this);
    help_->setObjectName(u"help"_s);
    fill(help_, {
                    {u"help_show", u"ﾍﾙﾌﾟ", &AppController::help_show},
                    {u"about_show", u"About", &AppController::about_show},
                });
}

// --- mirroring the settings page --------------------------------------------

void MainWindow::show_control(ControlId id) {
    QWidget* control = controls_.widget(id);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        const QString text = to_qstring(page_.text(id));
        if (edit->text() != text) {
            const QSignalBlocker block(edit);
            edit->setText(text);
        }
    } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
        const QSignalBlocker block(box);
        box->setChecked(page_.checked(id));
    } else if (qobject_cast<QRadioButton*>(control) != nullptr) {
        const int selected = page_.selected_option(id.control);
        for (int i = 0; i < 2; ++i) {
            auto* option = static_cast<QRadioButton*>(controls_.widget({id.control, i}));
            const QSignalBlocker block(option);
            // Neither option selected is a state the page can hold; exclusive
            // radio buttons cannot show it unless exclusivity is lifted.
            option->setAutoExclusive(false);
            option->setChecked(i == selected);
            option->setAutoExclusive(true);
        }
    }
}

void MainWindow::show_all_controls() {
    for (const ControlId id : controls_.ids()) {
        show_control(id);
    }
    setWindowTitle(to_qstring(page_.caption()));
    const QSignalBlocker block(tabs_);
    tabs_->setCurrentIndex(page_.selected_tab());
}

void MainWindow::on_page_event(const PageEvent& event) {
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
        case PageEvent::Kind::kFocus:
            if (auto* target = findChild<QWidget*>(to_qstring(page_.focus()))) {
                target->setFocus(Qt::OtherFocusReason);
            }
            break;
    }
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
    const bool focus_out = event->type() == QEvent::FocusOut;
    const ControlBinding* binding = nullptr;
    if (leave_check_ != nullptr && (focus_out || event->type() == QEvent::FocusIn)) {
        binding = controls_.find(watched);
    }
    if (binding != nullptr && binding->on_lost_focus) {
        if (!focus_out) {
            // The focus came back before the check ran (a save that refused
            // the value put it back): nothing has been left.
            if (leave_check_->isActive() && leave_check_box_ == watched) {
                leave_check_->stop();
            }
        } else {
            // Only a move of the focus inside the window counts as leaving
            // the box: not another window or a menu taking the keyboard (the
            // range check's own message box would otherwise trigger it again).
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
                // Run once the focus has settled on its new widget: the check
                // may show a box and put the focus back here.
                leave_check_box_ = binding->widget;
                leave_check_command_ = binding->on_lost_focus;
                leave_check_->start();
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- the window --------------------------------------------------------------

void MainWindow::set_window_visible(bool visible) {
    if (visible) {
        // Shown and raised whatever state it was left in: a window that was
        // minimised when it was hidden would otherwise map iconic.
        menuBar()->setVisible(tray_->missing());
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
        if (!centred_) {
            centred_ = true;
            centre_on_screen(this);
        }
        raise();
        activateWindow();
        return;
    }
    if (tray_->missing()) {
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

void MainWindow::set_desktop(QtDesktop* desktop) {
    handle_ = desktop != nullptr ? desktop->handle_of(this) : 0;
}

std::int32_t MainWindow::window_handle() const {
    return handle_;
}

SplashWindow* MainWindow::splash() const {
    return splash_.data();
}

AboutWindow* MainWindow::about() const {
    return about_.data();
}

bool MainWindow::standing_in_for_tray() const {
    return tray_->missing();
}

void MainWindow::popup_menu(PopupMenu which) {
    menu(which)->exec(QCursor::pos());
}

QMenu* MainWindow::menu(PopupMenu which) const {
    return which == PopupMenu::mnumain ? mnumain_ : help_;
}

void MainWindow::stand_in_for_tray() {
    // No notification area (a plain GNOME session, a tiling window manager,
    // a panel that went away): the window stays on screen with the menus as
    // its menu bar, and a tray that appears later is taken up.
    tray_->stand_in();
    menuBar()->setVisible(true);
}

void MainWindow::on_tray_activated(QSystemTrayIcon::ActivationReason reason) {
    // Handed on as the mouse message the toolbox names.
    std::int32_t Vostrel::*message = nullptr;
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            message = &Vostrel::WM_LBUTTONDOWN;
            break;
        case QSystemTrayIcon::Context:
            message = &Vostrel::WM_RBUTTONDOWN;
            break;
        case QSystemTrayIcon::DoubleClick:
            message = &Vostrel::WM_LBUTTONDBLCLK;
            break;
        default:
            return;
    }
    forward([message](AppController& c) { c.on_tray_message(c.toolbox().*message); });
}

void MainWindow::show_splash(std::string_view product_text) {
    if (!splash_) {
        splash_ = new SplashWindow;
    }
    splash_->set_product_text(to_qstring(product_text));
    splash_->present();
}

void MainWindow::close_splash() {
    if (splash_) {
        splash_->close();
    }
}

void MainWindow::show_about(std::string_view version_text) {
    if (!about_) {
        about_ = new AboutWindow(to_qstring(version_text));
        about_->show();
        centre_on_screen(about_);
    } else {
        about_->show();
    }
    about_->raise();
    about_->activateWindow();
}

void MainWindow::close_about() {
    if (about_) {
        about_->close();
    }
}

void MainWindow::close_progress() {
    if (progress_ != nullptr) {
        progress_->hide();
    }
}

void MainWindow::close_main_window() {
    closing_ = true;
    tray_->stop_watching();
    close_splash();
    close();
    // Closing from inside the window's own close event is a no-op; make sure
    // the window is off the screen either way.
    hide();
    quit_();
}

void MainWindow::quit_immediately() {
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
