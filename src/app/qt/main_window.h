#pragma once

// `Menu`: the settings page with its buttons, the two menus the tray icon pops
// up, the tray icon itself and Timer1. The window draws what the settings
// page model holds and hands every event to the AppController; it decides
// nothing itself.

#include <QMainWindow>
#include <QPointer>
#include <QSystemTrayIcon>
#include <array>
#include <functional>

#include "app/core/app_views.h"
#include "app/qt/qt_desktop.h"
#include "settings/settings_model.h"
#include "settings/settings_page.h"

class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTimer;

namespace tarvenix {
class AppController;
}

namespace tarvenix::qt {

class AboutWindow;
class ProgressDialog;
class SettingsTabWidget;
class SplashWindow;

class MainWindow final : public QMainWindow, public MainWindowView, public TrayHost {
    Q_OBJECT

public:
    // Mouse messages of the tray icon, as the controller numbers them.
    static constexpr std::int32_t kWmLButtonDown = 0x201;
    static constexpr std::int32_t kWmLButtonDblClk = 0x203;
    static constexpr std::int32_t kWmRButtonDown = 0x204;

    // The window is created hidden; Timer1 starts ticking at once.
    MainWindow(SettingsPage& page, ProgressDialog* progress, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Events are handed to the controller from here on.
    void set_controller(AppController* controller) { controller_ = controller; }
    // Where the window gets its handle from.
    void set_desktop(QtDesktop* desktop) { desktop_ = desktop; }
    // What ends the program (QCoreApplication::exit by default).
    void set_quit_handler(std::function<void()> quit) { quit_ = std::move(quit); }

    // MainWindowView
    void set_window_visible(bool visible) override;
    bool window_visible() const override;
    std::int32_t window_handle() const override;
    void popup_menu(PopupMenu menu) override;
    void stand_in_for_tray() override;
    void show_splash(std::string_view product_text) override;
    void close_splash() override;
    void show_about(std::string_view version_text) override;
    void close_about() override;
    void close_progress() override;
    void close_main_window() override;
    void quit_immediately() override;

    // TrayHost: false when the desktop has no notification area.
    bool add_tray_icon(std::string_view tool_tip) override;
    bool modify_tray_tip(std::string_view tool_tip) override;
    void remove_tray_icon() override;

    QMenu* menu(PopupMenu which) const;
    SettingsTabWidget* settings_tabs() const { return tabs_; }
    QSystemTrayIcon* tray_icon() const { return tray_; }
    // True while the desktop has no notification area and the window stands
    // in for the tray icon (menu bar shown, "hidden" = minimised).
    bool standing_in_for_tray() const { return no_tray_; }
    QTimer* timer1() const { return timer1_; }
    SplashWindow* splash() const;
    AboutWindow* about() const;

    // The tray icon was clicked.
    void on_tray_activated(QSystemTrayIcon::ActivationReason reason);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build_buttons(QWidget* client);
    void build_tabs(QWidget* client);
    QWidget* build_set_tab(int k);
    QWidget* build_copy_rules_tab();
    QWidget* build_start_events_tab();
    QWidget* build_history_tab();
    void build_menus();

    QPushButton* make_button(QWidget* parent, const QString& name, const QString& caption);
    QLineEdit* make_text(QWidget* parent, ControlId id);
    QCheckBox* make_check(QWidget* parent, ControlId id, const QString& caption);
    QRadioButton* make_option(QWidget* parent, Control group, int index, const QString& caption);
    void forward(const std::function<void(AppController&)>& action);

    void on_page_event(const PageEvent& event);
    void show_control(ControlId id);
    void show_all_controls();
    QLineEdit* text_box(ControlId id) const;
    QCheckBox* check_box(ControlId id) const;
    std::array<QRadioButton*, 2> option_group(Control group) const;
    std::array<QRadioButton*, 2>& option_slots(Control group);
    // A frame holding the two option buttons of a group, one under the other.
    QGroupBox* make_option_frame(QWidget* parent, const QString& name, const QString& caption,
                                 Control group, const QString& first, const QString& second);

    void create_tray_icon();
    // Every 5 seconds (the "tray_retry" timer): a tray that appeared takes
    // the icon, one that went away leaves the window standing in.
    void retry_tray();

    SettingsPage& page_;
    ProgressDialog* progress_;
    QtDesktop* desktop_ = nullptr;
    AppController* controller_ = nullptr;
    std::function<void()> quit_;

    SettingsTabWidget* tabs_ = nullptr;
    std::array<QLineEdit*, kSetCount> srcfld_txt_{};
    std::array<QLineEdit*, kSetCount> dstfld_txt_{};
    std::array<QCheckBox*, kSetCount> subfld_chk_{};
    std::array<QCheckBox*, kSetCount> skip_chk_{};
    std::array<QLineEdit*, kStartTimeCount> hour_txt_{};
    std::array<QLineEdit*, kStartTimeCount> min_txt_{};
    std::array<QCheckBox*, kStartTimeCount> sdown_{};
    QCheckBox* start_chk_ = nullptr;
    QCheckBox* timer_chk_ = nullptr;
    std::array<QRadioButton*, 2> copy_op_{};
    std::array<QRadioButton*, 2> cp_skip_{};
    std::array<QRadioButton*, 2> rec_op_{};

    QMenu* mnumain_ = nullptr;
    QMenu* help_ = nullptr;
    QTimer* timer1_ = nullptr;
    QTimer* tray_retry_ = nullptr;
    // The range check of the start-time box the focus has just left.
    QTimer* leave_check_ = nullptr;
    QPointer<QWidget> leave_check_box_;
    bool leave_check_hour_ = true;
    int leave_check_index_ = 0;
    QSystemTrayIcon* tray_ = nullptr;
    QString tray_tip_;
    bool no_tray_ = false;
    int tray_missing_checks_ = 0;
    bool centred_ = false;
    bool closing_ = false;

    QPointer<SplashWindow> splash_;
    QPointer<AboutWindow> about_;
};

}  // namespace tarvenix::qt
