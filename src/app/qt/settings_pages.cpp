#include "app/qt/settings_pages.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <stdexcept>

#include "app/core/app_controller.h"
#include "app/qt/ui_common.h"
#include "app/qt/wrap_button.h"

using namespace Qt::StringLiterals;

namespace tarvenix::qt {

namespace {

QString indexed(const QString& name, int index) {
    return name + u'(' + QString::number(index) + u')';
}

const QString kSetTabCaptions[kSetCount] = {
    u"フォルダ１"_s, u"フォルダ２"_s, u"フォルダ３"_s, u"フォルダ４"_s,
    u"フォルダ５"_s, u"フォルダ６"_s, u"フォルダ７"_s, u"フォルダ８"_s,
};
const QString kStartRowCaptions[kStartTimeCount] = {u"設定１"_s, u"設定２"_s, u"設定３"_s};

}  // namespace

QPushButton* make_button(QWidget* parent, const QString& name, const QString& caption) {
    auto* button = new WrapButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

// --- the map -------------------------------------------------------------------

void ControlMap::add(ControlId id, ControlBinding binding) {
    if (!controls_.emplace(std::pair{id.control, id.index}, std::move(binding)).second) {
        throw std::logic_error("control registered twice: " + id.name());
    }
}

QWidget* ControlMap::widget(ControlId id) const {
    const auto it = controls_.find({id.control, id.index});
    if (it == controls_.end()) {
        throw std::out_of_range("no such control on the settings pages: " + id.name());
    }
    return it->second.widget;
}

std::vector<ControlId> ControlMap::ids() const {
    std::vector<ControlId> ids;
    ids.reserve(controls_.size());
    for (const auto& [id, binding] : controls_) {
        ids.push_back({id.first, id.second});
    }
    return ids;
}

const ControlBinding* ControlMap::find(const QObject* widget) const {
    for (const auto& [id, binding] : controls_) {
        if (binding.widget == widget) {
            return &binding;
        }
    }
    return nullptr;
}

// --- the page ------------------------------------------------------------------

TabPage::TabPage(QString caption, const QString& name)
    : caption_(std::move(caption)) {
    setObjectName(name);
}

void TabPage::create(SettingsPage& model, ControlMap& map, Forward forward,
                     QObject* focus_watcher) {
    model_ = &model;
    map_ = &map;
    forward_ = std::move(forward);
    focus_watcher_ = focus_watcher;
    build();
}

QLineEdit* TabPage::add_text(QWidget* parent, ControlId id, Command on_lost_focus) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(to_qstring(id.name()));
    connect(edit, &QLineEdit::textChanged, this,
            [model = model_, id](const QString& text) { model->set_text(id, to_std(text)); });
    if (on_lost_focus) {
        edit->installEventFilter(focus_watcher_);
    }
    map_->add(id, {edit, std::move(on_lost_focus)});
    return edit;
}

QCheckBox* TabPage::add_check(QWidget* parent, ControlId id, const QString& caption) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(to_qstring(id.name()));
    connect(box, &QCheckBox::toggled, this,
            [model = model_, id](bool checked) { model->set_checked(id, checked); });
    map_->add(id, {box, {}});
    return box;
}

QGroupBox* TabPage::add_option_frame(const QString& name, const QString& caption, Control group,
                                     const QString& first, const QString& second) {
    auto* frame = new QGroupBox(caption, this);
    frame->setObjectName(name);
    auto* inner = new QVBoxLayout(frame);
    const QString captions[2] = {first, second};
    for (int index = 0; index < 2; ++index) {
        auto* option = new QRadioButton(captions[index], frame);
        option->setObjectName(to_qstring(ControlId{group, index}.name()));
        connect(option, &QRadioButton::toggled, this, [model = model_, group, index](bool on) {
            if (on) {
                model->select_option(group, index);
            }
        });
        map_->add({group, index}, {option, {}});
        inner->addWidget(option);
    }
    return frame;
}

QPushButton* TabPage::add_button(QWidget* parent, const QString& name, const QString& caption,
                                 Command on_click) {
    QPushButton* button = make_button(parent, name, caption);
    connect(button, &QPushButton::clicked, this,
            [forward = forward_, on_click = std::move(on_click)] { forward(on_click); });
    return button;
}

// --- the pages -------------------------------------------------------------------

SetPage::SetPage(int k)
    : TabPage(kSetTabCaptions[k], indexed(u"set_tab"_s, k))
    , k_(k) {}

void SetPage::build() {
    const int k = k_;
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(10, 8, 10, 8);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);

    auto* source_label = new QLabel(u"コピー元フォルダ"_s, this);
    source_label->setObjectName(indexed(u"Label1"_s, k));
    QLineEdit* source = add_text(this, {Control::srcfld_txt, k});
    QPushButton* source_browse = add_button(this, indexed(u"refsrc_bt"_s, 2 * k), u"参照"_s,
                                            [k](AppController& c) { c.refsrc_bt(2 * k); });

    auto* target_label = new QLabel(u"コピー先フォルダ"_s, this);
    target_label->setObjectName(indexed(u"Label2"_s, k));
    QLineEdit* target = add_text(this, {Control::dstfld_txt, k});
    QPushButton* target_browse = add_button(this, indexed(u"refsrc_bt"_s, 2 * k + 1), u"参照"_s,
                                            [k](AppController& c) { c.refsrc_bt(2 * k + 1); });

    QCheckBox* subfolders =
        add_check(this, {Control::subfld_chk, k}, u"サブフォルダもコピーする"_s);
    QCheckBox* skip = add_check(this, {Control::skip_chk, k}, u"この設定をスキップする"_s);
    QPushButton* clear = add_button(this, indexed(u"set_clr_bt"_s, k), u"設定ｸﾘｱ"_s,
                                    [k](AppController& c) { c.set_clr_bt(k); });

    grid->addWidget(source_label, 0, 0, 1, 2);
    grid->addWidget(source, 1, 0);
    grid->addWidget(source_browse, 1, 1);
    grid->addItem(new QSpacerItem(0, 6), 2, 0);
    grid->addWidget(target_label, 3, 0, 1, 2);
    grid->addWidget(target, 4, 0);
    grid->addWidget(target_browse, 4, 1);
    grid->addItem(new QSpacerItem(0, 8), 5, 0);
    grid->addWidget(subfolders, 6, 0, 1, 2);
    grid->addWidget(skip, 7, 0);
    grid->addWidget(clear, 7, 1);
    grid->setRowStretch(8, 1);
    grid->setColumnStretch(0, 1);
}

CopyRulesPage::CopyRulesPage()
    : TabPage(u"コピー条件"_s, u"copy_rules_tab"_s) {}

void CopyRulesPage::build() {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 8, 10, 8);
    column->addWidget(add_option_frame(u"copy_frm"_s, u"条件"_s, Control::copy_op,
                                       u"無条件で全て上書きコピー"_s,
                                       u"同一ファイル名は日付の新しいものだけ上書きコピー"_s));
    column->addWidget(add_option_frame(u"open_frm"_s, u"オープン中のファイル"_s, Control::cp_skip,
                                       u"コピーをスキップする"_s, u"無視してコピーする"_s));
    column->addStretch(1);
}

StartEventsPage::StartEventsPage()
    : TabPage(u"起動イベント"_s, u"start_events_tab"_s) {}

void StartEventsPage::build() {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 6, 10, 6);
    column->setSpacing(2);

    column->addWidget(add_check(this, {Control::start_chk, 0}, u"　プログラム起動時開始"_s));
    column->addWidget(add_check(this, {Control::timer_chk, 0}, u"　指定時刻に開始 (24時間制)"_s));

    auto* times = new QGroupBox(u"時刻設定"_s, this);
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
        auto* row_label = new QLabel(kStartRowCaptions[k], times);
        row_label->setObjectName(indexed(u"time_lbl"_s, k));
        QLineEdit* hour = add_text(times, {Control::hour_txt, k},
                                   [k](AppController& c) { c.hour_lost_focus(k); });
        hour->setToolTip(u"24時間制で入力"_s);
        hour->setFixedWidth(box_width);
        hour->setAlignment(Qt::AlignRight);
        auto* hour_label = new QLabel(u"時"_s, times);
        hour_label->setObjectName(indexed(u"hour_lbl"_s, k));
        QLineEdit* minute =
            add_text(times, {Control::min_txt, k}, [k](AppController& c) { c.min_lost_focus(k); });
        minute->setFixedWidth(box_width);
        minute->setAlignment(Qt::AlignRight);
        auto* minute_label = new QLabel(u"分"_s, times);
        minute_label->setObjectName(indexed(u"min_lbl"_s, k));
        QCheckBox* shut_down = add_check(times, {Control::sdown, k}, QString());

        grid->addWidget(row_label, k + 1, 0);
        grid->addWidget(hour, k + 1, 1);
        grid->addWidget(hour_label, k + 1, 2);
        grid->addWidget(minute, k + 1, 3);
        grid->addWidget(minute_label, k + 1, 4);
        grid->addWidget(shut_down, k + 1, 5, Qt::AlignCenter);
    }
    grid->setColumnMinimumWidth(4, fontMetrics().horizontalAdvance(u"分"_s) + 12);
    grid->setColumnStretch(5, 1);

    column->addSpacing(4);
    column->addWidget(times);
    column->addStretch(1);
}

HistoryPage::HistoryPage()
    : TabPage(u"履歴"_s, u"history_tab"_s) {}

void HistoryPage::build() {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 8, 10, 8);

    QGroupBox* frame = add_option_frame(u"hist_frm"_s, u"コピー履歴"_s, Control::rec_op,
                                        u"　履歴の記録をしない"_s, u"　履歴の記録をする"_s);
    auto* inner = static_cast<QVBoxLayout*>(frame->layout());
    inner->addSpacing(6);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add_button(frame, u"histclr_bt"_s, u"履歴クリア"_s,
                                  [](AppController& c) { c.histclr_bt(); }));
    buttons->addWidget(add_button(frame, u"recedit_bt"_s, u"履歴表示"_s,
                                  [](AppController& c) { c.recedit_bt(); }));
    buttons->addStretch(1);
    inner->addLayout(buttons);

    column->addWidget(frame);
    column->addStretch(1);
}

std::vector<std::unique_ptr<TabPage>> make_settings_pages() {
    std::vector<std::unique_ptr<TabPage>> pages;
    for (int k = 0; k < kSetCount; ++k) {
        pages.push_back(std::make_unique<SetPage>(k));
    }
    pages.push_back(std::make_unique<CopyRulesPage>());
    pages.push_back(std::make_unique<StartEventsPage>());
    pages.push_back(std::make_unique<HistoryPage>());
    return pages;
}

}  // namespace tarvenix::qt
