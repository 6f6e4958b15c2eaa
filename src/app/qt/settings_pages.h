#pragma once

// The settings window's tab pages. Each page is a widget that creates the
// controls of one tab and registers each control that mirrors the page model,
// by the model's control id, in the one ControlMap of the window; the main
// window then reaches every such control through that map.

#include <QString>
#include <QWidget>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "app/core/controller_command.h"
#include "settings/settings_page.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace tarvenix::qt {

// What a control of the page model is on screen: a QLineEdit (text), a
// QCheckBox (check) or a QRadioButton (one option of a group), and what runs
// when the focus leaves it for another control of the window.
struct ControlBinding {
    QWidget* widget = nullptr;
    Command on_lost_focus;
};

class ControlMap {
public:
    // Throws std::logic_error for an id registered twice.
    void add(ControlId id, ControlBinding binding);
    // Throws std::out_of_range, naming the id, for an id no page registered:
    // an unknown control is a fault, never another control.
    QWidget* widget(ControlId id) const;
    // The binding of a registered widget; nullptr for any other object.
    const ControlBinding* find(const QObject* widget) const;
    // Every registered id, in the model's order.
    std::vector<ControlId> ids() const;

private:
    std::map<std::pair<Control, int>, ControlBinding> controls_;
};

class TabPage : public QWidget {
public:
    TabPage(QString caption, const QString& name);

    const QString& caption() const { return caption_; }
    // Creates the page's controls, mirroring `model` both ways, registered in
    // `map`. Clicks reach the controller through `forward`; the focus leaving
    // a control with a lost-focus command is watched by `focus_watcher`.
    void create(SettingsPage& model, ControlMap& map, Forward forward, QObject* focus_watcher);

protected:
    virtual void build() = 0;

    QLineEdit* add_text(QWidget* parent, ControlId id, Command on_lost_focus = {});
    QCheckBox* add_check(QWidget* parent, ControlId id, const QString& caption);
    // A frame holding the two option buttons of a group, one under the other.
    QGroupBox* add_option_frame(const QString& name, const QString& caption, Control group,
                                const QString& first, const QString& second);
    QPushButton* add_button(QWidget* parent, const QString& name, const QString& caption,
                            Command on_click);

private:
    QString caption_;
    SettingsPage* model_ = nullptr;
    ControlMap* map_ = nullptr;
    Forward forward_;
    QObject* focus_watcher_ = nullptr;
};

// Tabs 0 to 7: one backup set each.
class SetPage final : public TabPage {
public:
    explicit SetPage(int k);

protected:
    void build() override;

private:
    int k_;
};

// Tab 8 "コピー条件".
class CopyRulesPage final : public TabPage {
public:
    CopyRulesPage();

protected:
    void build() override;
};

// Tab 9 "起動イベント".
class StartEventsPage final : public TabPage {
public:
    StartEventsPage();

protected:
    void build() override;
};

// Tab 10 "履歴".
class HistoryPage final : public TabPage {
public:
    HistoryPage();

protected:
    void build() override;
};

// A push button of the window, by name, its caption wrapped as needed.
QPushButton* make_button(QWidget* parent, const QString& name, const QString& caption);

// The eleven pages in tab order.
std::vector<std::unique_ptr<TabPage>> make_settings_pages();

}  // namespace tarvenix::qt
