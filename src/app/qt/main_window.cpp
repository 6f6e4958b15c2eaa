#include "app/qt/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include "app/core/app_controller.h"
#include "app/qt/about.h"
#include "app/qt/multi_row_tab_bar.h"
#include "app/qt/progress_dialog.h"
#include "app/qt/splash.h"
#include "app/qt/ui_common.h"
#include "app/qt/wrap_button.h"

using namespace Qt::StringLiterals;

namespace tarvenix::qt {

namespace {

constexpr int kTabsPerRow = 4;
constexpr int kTrayRetryMs = 5000;

QString indexed(const QString& name, int index) {
    return name + u'(' + QString::number(index) + u')';
}

const QString kSetTabCaptions[kSetCount] = {
    u"フォルダ１"_s, u"フォルダ２"_s, u"フォルダ３"_s, u"フォルダ４"_s,
    u"フォルダ５"_s, u"フォルダ６"_s, u"フォルダ７"_s, u"フォルダ８"_s,
};
const QString kStartRowCaptions[kStartTimeCount] = {u"設定１"_s, u"設定２"_s, u"設定３"_s};

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
    connect(leave_check_, &QTimer::timeout, this, [this] {
        const bool hour = leave_check_hour_;
        const int k = leave_check_index_;
        forward([hour, k](AppController& c) {
            if (hour) {
                c.hour_lost_focus(k);
            } else {
                c.min_lost_focus(k);
            }
        });
    });

    tray_retry_ = new QTimer(this);
    tray_retry_->setObjectName(u"tray_retry"_s);
    tray_retry_->setInterval(kTrayRetryMs);
    connect(tray_retry_, &QTimer::timeout, this, &MainWindow::retry_tray);

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

QPushButton* MainWindow::make_button(QWidget* parent, const QString& name, const QString& caption) {
    auto* button = new WrapButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QLineEdit* MainWindow::make_text(QWidget* parent, ControlId id) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(to_qstring(id.name()));
    connect(edit, &QLineEdit::textChanged, this,
            [this, id](const QString& text) { page_.set_text(id, to_std(text)); });
    return edit;
}

QCheckBox* MainWindow::make_check(QWidget* parent, ControlId id, const QString& caption) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(to_qstring(id.name()));
    connect(box, &QCheckBox::toggled, this,
            [this, id](bool checked) { page_.set_checked(id, checked); });
    return box;
}

QRadioButton* MainWindow::make_option(QWidget* parent, Control group, int index,
                                      const QString& caption) {
    auto* option = new QRadioButton(caption, parent);
    option->setObjectName(to_qstring(ControlId{group, index}.name()));
    connect(option, &QRadioButton::toggled, this, [this, group, index](bool on) {
        if (on) {
            page_.select_option(group, index);
        }
    });
    return option;
}

void MainWindow::forward(const std::function<void(AppController&)>& action) {
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
    for (int k = 0; k < kSetCount; ++k) {
        tabs_->addTab(build_set_tab(k), kSetTabCaptions[k]);
    }
    tabs_->addTab(build_copy_rules_tab(), u"コピー条件"_s);
    tabs_->addTab(build_start_events_tab(), u"起動イベント"_s);
    tabs_->addTab(build_history_tab(), u"履歴"_s);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (index >= 0) {
            page_.select_tab(index);
        }
    });
}

QWidget* MainWindow::build_set_tab(int k) {
    auto* tab = new QWidget;
    tab->setObjectName(indexed(u"set_tab"_s, k));
    auto* grid = new QGridLayout(tab);
    grid->setContentsMargins(10, 8, 10, 8);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);

    auto* source_label = new QLabel(u"コピー元フォルダ"_s, tab);
    source_label->setObjectName(indexed(u"Label1"_s, k));
    srcfld_txt_[static_cast<std::size_t>(k)] = make_text(tab, {Control::srcfld_txt, k});
    QPushButton* source_browse = make_button(tab, indexed(u"refsrc_bt"_s, 2 * k), u"参照"_s);

    auto* target_label = new QLabel(u"コピー先フォルダ"_s, tab);
    target_label->setObjectName(indexed(u"Label2"_s, k));
    dstfld_txt_[static_cast<std::size_t>(k)] = make_text(tab, {Control::dstfld_txt, k});
    QPushButton* target_browse = make_button(tab, indexed(u"refsrc_bt"_s, 2 * k + 1), u"参照"_s);

    subfld_chk_[static_cast<std::size_t>(k)] =
        make_check(tab, {Control::subfld_chk, k}, u"サブフォルダもコピーする"_s);
    skip_chk_[static_cast<std::size_t>(k)] =
        make_check(tab, {Control::skip_chk, k}, u"この設定をスキップする"_s);
    QPushButton* clear = make_button(tab, indexed(u"set_clr_bt"_s, k), u"設定ｸﾘｱ"_s);

    grid->addWidget(source_label, 0, 0, 1, 2);
    grid->addWidget(srcfld_txt_[static_cast<std::size_t>(k)], 1, 0);
    grid->addWidget(source_browse, 1, 1);
    grid->addItem(new QSpacerItem(0, 6), 2, 0);
    grid->addWidget(target_label, 3, 0, 1, 2);
    grid->addWidget(dstfld_txt_[static_cast<std::size_t>(k)], 4, 0);
    grid->addWidget(target_browse, 4, 1);
    grid->addItem(new QSpacerItem(0, 8), 5, 0);
    grid->addWidget(subfld_chk_[static_cast<std::size_t>(k)], 6, 0, 1, 2);
    grid->addWidget(skip_chk_[static_cast<std::size_t>(k)], 7, 0);
    grid->addWidget(clear, 7, 1);
    grid->setRowStretch(8, 1);
    grid->setColumnStretch(0, 1);

    connect(source_browse, &QPushButton::clicked, this,
            [this, k] { forward([k](AppController& c) { c.refsrc_bt(2 * k); }); });
    connect(target_browse, &QPushButton::clicked, this,
            [this, k] { forward([k](AppController& c) { c.refsrc_bt(2 * k + 1); }); });
    connect(clear, &QPushButton::clicked, this,
            [this, k] { forward([k](AppController& c) { c.set_clr_bt(k); }); });
    return tab;
}

QWidget* MainWindow::build_copy_rules_tab() {
    auto* tab = new QWidget;
    tab->setObjectName(u"copy_rules_tab"_s);
    auto* column = new QVBoxLayout(tab);
    column->setContentsMargins(10, 8, 10, 8);

    QGroupBox* rules = make_option_frame(tab, u"copy_frm"_s, u"条件"_s, Control::copy_op,
                                         u"無条件で全て上書きコピー"_s,
                                         u"同一ファイル名は日付の新しいものだけ上書きコピー"_s);
    QGroupBox* open_files =
        make_option_frame(tab, u"open_frm"_s, u"オープン中のファイル"_s, Control::cp_skip,
                          u"コピーをスキップする"_s, u"無視してコピーする"_s);
    column->addWidget(rules);
    column->addWidget(open_files);
    column->addStretch(1);
    return tab;
}

QWidget* MainWindow::build_start_events_tab() {
    auto* tab = new QWidget;
    tab->setObjectName(u"start_events_tab"_s);
    auto* column = new QVBoxLayout(tab);
    column->setContentsMargins(10, 6, 10, 6);
    column->setSpacing(2);

    start_chk_ = make_check(tab, {Control::start_chk, 0}, u"　プログラム起動時開始"_s);
    timer_chk_ = make_check(tab, {Control::timer_chk, 0}, u"　指定時刻に開始 (24時間制)"_s);
    column->addWidget(start_chk_);
    column->addWidget(timer_chk_);

    auto* times = new QGroupBox(u"時刻設定"_s, tab);
    times->setObjectName(u"time_frm"_s);
    auto* grid = new QGridLayout(times);
    grid->setContentsMargins(10, 4, 10, 6);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);

    auto* heading = new QLabel(u"ﾊﾞｯｸｱｯﾌﾟ後 Shut down"_s, times);
    heading->setObjectName(u"sdown_lbl"_s);
    heading->setAlignment(Qt::AlignCenter);
    grid->addWidget(heading, 0, 5);

    const int box_width = fontMetrics().horizontalAdvance(u"0000"_s) + 12;
    for (int k = 0; k < kStartTimeCount; ++k) {
        const auto slot = static_cast<std::size_t>(k);
        auto* row_label = new QLabel(kStartRowCaptions[k], times);
        row_label->setObjectName(indexed(u"time_lbl"_s, k));
        hour_txt_[slot] = make_text(times, {Control::hour_txt, k});
        hour_txt_[slot]->setToolTip(u"24時間制で入力"_s);
        hour_txt_[slot]->setFixedWidth(box_width);
        hour_txt_[slot]->setAlignment(Qt::AlignRight);
        hour_txt_[slot]->installEventFilter(this);
        auto* hour_label = new QLabel(u"時"_s, times);
        hour_label->setObjectName(indexed(u"hour_lbl"_s, k));
        min_txt_[slot] = make_text(times, {Control::min_txt, k});
        min_txt_[slot]->setFixedWidth(box_width);
        min_txt_[slot]->setAlignment(Qt::AlignRight);
        min_txt_[slot]->installEventFilter(this);
        auto* minute_label = new QLabel(u"分"_s, times);
        minute_label->setObjectName(indexed(u"min_lbl"_s, k));
        sdown_[slot] = make_check(times, {Control::sdown, k}, QString());

        grid->addWidget(row_label, k + 1, 0);
        grid->addWidget(hour_txt_[slot], k + 1, 1);
        grid->addWidget(hour_label, k + 1, 2);
        grid->addWidget(min_txt_[slot], k + 1, 3);
        grid->addWidget(minute_label, k + 1, 4);
        grid->addWidget(sdown_[slot], k + 1, 5, Qt::AlignCenter);
    }
    grid->setColumnMinimumWidth(4, fontMetrics().horizontalAdvance(u"分"_s) + 12);
    grid->setColumnStretch(5, 1);

    column->addSpacing(4);
    column->addWidget(times);
    column->addStretch(1);
    return tab;
}

QWidget* MainWindow::build_history_tab() {
    auto* tab = new QWidget;
    tab->setObjectName(u"history_tab"_s);
    auto* column = new QVBoxLayout(tab);
    column->setContentsMargins(10, 8, 10, 8);

    QGroupBox* frame =
        make_option_frame(tab, u"hist_frm"_s, u"コピー履歴"_s, Control::rec_op,
                          u"　履歴の記録をしない"_s, u"　履歴の記録をする"_s);
    auto* inner = static_cast<QVBoxLayout*>(frame->layout());
    inner->addSpacing(6);

    auto* buttons = new QHBoxLayout;
    QPushButton* clear = make_button(frame, u"histclr_bt"_s, u"履歴クリア"_s);
    QPushButton* view = make_button(frame, u"recedit_bt"_s, u"履歴表示"_s);
    buttons->addWidget(clear);
    buttons->addWidget(view);
    buttons->addStretch(1);
    inner->addLayout(buttons);
    connect(clear, &QPushButton::clicked, this,
            [this] { forward([](AppController& c) { c.histclr_bt(); }); });
    connect(view, &QPushButton::clicked, this,
            [this] { forward([](AppController& c) { c.recedit_bt(); }); });

    column->addWidget(frame);
    column->addStretch(1);
    return tab;
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

QLineEdit* MainWindow::text_box(ControlId id) const {
    const auto i = static_cast<std::size_t>(id.index);
    switch (id.control) {
        case Control::srcfld_txt:
            return i < srcfld_txt_.size() ? srcfld_txt_[i] : nullptr;
        case Control::dstfld_txt:
            return i < dstfld_txt_.size() ? dstfld_txt_[i] : nullptr;
        case Control::hour_txt:
            return i < hour_txt_.size() ? hour_txt_[i] : nullptr;
        case Control::min_txt:
            return i < min_txt_.size() ? min_txt_[i] : nullptr;
        default:
            return nullptr;
    }
}

QCheckBox* MainWindow::check_box(ControlId id) const {
    const auto i = static_cast<std::size_t>(id.index);
    switch (id.control) {
        case Control::subfld_chk:
            return i < subfld_chk_.size() ? subfld_chk_[i] : nullptr;
        case Control::skip_chk:
            return i < skip_chk_.size() ? skip_chk_[i] : nullptr;
        case Control::sdown:
            return i < sdown_.size() ? sdown_[i] : nullptr;
        case Control::start_chk:
            return start_chk_;
        case Control::timer_chk:
            return timer_chk_;
        default:
            return nullptr;
    }
}

std::array<QRadioButton*, 2> MainWindow::option_group(Control group) const {
    if (group != Control::copy_op && group != Control::cp_skip && group != Control::rec_op) {
        return {nullptr, nullptr};
    }
    return const_cast<MainWindow*>(this)->option_slots(group);
}

std::array<QRadioButton*, 2>& MainWindow::option_slots(Control group) {
    switch (group) {
        case Control::copy_op:
            return copy_op_;
        case Control::cp_skip:
            return cp_skip_;
        default:
            return rec_op_;
    }
}

QGroupBox* MainWindow::make_option_frame(QWidget* parent, const QString& name,
                                         const QString& caption, Control group,
                                         const QString& first, const QString& second) {
    auto* frame = new QGroupBox(caption, parent);
    frame->setObjectName(name);
    auto* inner = new QVBoxLayout(frame);
    std::array<QRadioButton*, 2>& options = option_slots(group);
    options[0] = make_option(frame, group, 0, first);
    options[1] = make_option(frame, group, 1, second);
    inner->addWidget(options[0]);
    inner->addWidget(options[1]);
    return frame;
}

void MainWindow::show_control(ControlId id) {
    if (QLineEdit* edit = text_box(id)) {
        const QString text = to_qstring(page_.text(id));
        if (edit->text() != text) {
            const QSignalBlocker block(edit);
            edit->setText(text);
        }
        return;
    }
    if (QCheckBox* box = check_box(id)) {
        const QSignalBlocker block(box);
        box->setChecked(page_.checked(id));
        return;
    }
    const std::array<QRadioButton*, 2> options = option_group(id.control);
    if (options[0] == nullptr) {
        return;
    }
    const int selected = page_.selected_option(id.control);
    for (int i = 0; i < 2; ++i) {
        QRadioButton* option = options[static_cast<std::size_t>(i)];
        const QSignalBlocker block(option);
        // Neither option selected is a state the page can hold; exclusive
        // radio buttons cannot show it unless exclusivity is lifted.
        option->setAutoExclusive(false);
        option->setChecked(i == selected);
        option->setAutoExclusive(true);
    }
}

void MainWindow::show_all_controls() {
    for (int k = 0; k < kSetCount; ++k) {
        for (Control c :
             {Control::srcfld_txt, Control::dstfld_txt, Control::subfld_chk, Control::skip_chk}) {
            show_control({c, k});
        }
    }
    for (int k = 0; k < kStartTimeCount; ++k) {
        for (Control c : {Control::hour_txt, Control::min_txt, Control::sdown}) {
            show_control({c, k});
        }
    }
    for (Control c : {Control::start_chk, Control::timer_chk, Control::copy_op, Control::cp_skip,
                      Control::rec_op}) {
        show_control({c, 0});
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

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const bool focus_out = event->type() == QEvent::FocusOut;
    if (leave_check_ != nullptr && (focus_out || event->type() == QEvent::FocusIn)) {
        for (int k = 0; k < kStartTimeCount; ++k) {
            const auto slot = static_cast<std::size_t>(k);
            const bool hour = watched == hour_txt_[slot];
            if (!hour && watched != min_txt_[slot]) {
                continue;
            }
            if (!focus_out) {
                // The focus came back before the check ran (a save that
                // refused the value put it back): nothing has been left.
                if (leave_check_->isActive() && leave_check_box_ == watched) {
                    leave_check_->stop();
                }
                break;
            }
            // Only a move of the focus inside the window counts as leaving the
            // box: not another window or a menu taking the keyboard (the range
            // check's own message box would otherwise trigger it again).
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
                // Run once the focus has settled on its new widget: the check
                // may show a box and put the focus back here.
                leave_check_box_ = static_cast<QWidget*>(watched);
                leave_check_hour_ = hour;
                leave_check_index_ = k;
                leave_check_->start();
            }
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- the window --------------------------------------------------------------

void MainWindow::set_window_visible(bool visible) {
    if (visible) {
        // Shown and raised whatever state it was left in: a window that was
        // minimised when it was hidden would otherwise map iconic.
        menuBar()->setVisible(no_tray_);
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
    if (no_tray_) {
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

std::int32_t MainWindow::window_handle() const {
    return desktop_ != nullptr ? desktop_->handle_of(const_cast<MainWindow*>(this)) : 0;
}

void MainWindow::popup_menu(PopupMenu which) {
    menu(which)->exec(QCursor::pos());
}

SplashWindow* MainWindow::splash() const {
    return splash_.data();
}

AboutWindow* MainWindow::about() const {
    return about_.data();
}

QMenu* MainWindow::menu(PopupMenu which) const {
    return which == PopupMenu::mnumain ? mnumain_ : help_;
}

bool MainWindow::add_tray_icon(std::string_view tool_tip) {
    tray_tip_ = to_qstring(tool_tip);
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return false;
    }
    create_tray_icon();
    return true;
}

bool MainWindow::modify_tray_tip(std::string_view tool_tip) {
    tray_tip_ = to_qstring(tool_tip);
    if (tray_ == nullptr) {
        return false;
    }
    tray_->setToolTip(tray_tip_);
    return true;
}

void MainWindow::stand_in_for_tray() {
    // No notification area (a plain GNOME session, a tiling window manager,
    // a panel that went away): the window stays on screen with the menus as
    // its menu bar, and a tray that appears later is taken up.
    no_tray_ = true;
    menuBar()->setVisible(true);
    tray_retry_->start();
}

void MainWindow::create_tray_icon() {
    if (tray_ == nullptr) {
        tray_ = new QSystemTrayIcon(program_icon(), this);
        tray_->setObjectName(u"tray_icon"_s);
        connect(tray_, &QSystemTrayIcon::activated, this, &MainWindow::on_tray_activated);
    }
    tray_->setToolTip(tray_tip_);
    tray_->show();
    // Watched from now on: a tray can go away too.
    tray_retry_->start();
}

void MainWindow::retry_tray() {
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (no_tray_ && available) {
        // A tray appeared: the icon goes there. The window is left as it is
        // (the user may be working in it); "閉じる" hides it from now on.
        no_tray_ = false;
        create_tray_icon();
        tray_missing_checks_ = 0;
    } else if (!no_tray_ && tray_ != nullptr && available) {
        tray_missing_checks_ = 0;
    } else if (!no_tray_ && tray_ != nullptr && ++tray_missing_checks_ >= 2) {
        // The tray went away with the icon (its panel was closed, or is
        // taking longer than one check to restart): the window stands in
        // again until a tray returns.
        tray_missing_checks_ = 0;
        tray_->hide();
        stand_in_for_tray();
        set_window_visible(true);
    }
}

void MainWindow::remove_tray_icon() {
    tray_retry_->stop();
    if (tray_ != nullptr) {
        tray_->hide();
    }
}

void MainWindow::on_tray_activated(QSystemTrayIcon::ActivationReason reason) {
    std::int32_t message = 0;
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            message = kWmLButtonDown;
            break;
        case QSystemTrayIcon::Context:
            message = kWmRButtonDown;
            break;
        case QSystemTrayIcon::DoubleClick:
            message = kWmLButtonDblClk;
            break;
        default:
            return;
    }
    forward([message](AppController& c) { c.on_tray_message(message); });
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
    tray_retry_->stop();
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

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        forward([](AppController& c) { c.on_window_activated(); });
    }
    QMainWindow::changeEvent(event);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    forward([](AppController& c) { c.on_window_shown(); });
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    // Reached by double-clicks on the window's background and on the tabs,
    // which the controls above them pass on.
    event->accept();
    forward([](AppController& c) { c.on_window_double_click(); });
}

}  // namespace tarvenix::qt
