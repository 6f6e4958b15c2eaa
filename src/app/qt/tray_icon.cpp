#include "app/qt/tray_icon.h"

#include <QTimer>

#include "app/qt/ui_common.h"

using namespace Qt::StringLiterals;

namespace tarvenix::qt {

namespace {
constexpr int kRetryMs = 5000;
}

TrayIcon::TrayIcon(QObject* parent)
    : QObject(parent) {
    setObjectName(u"tray"_s);
    retry_ = new QTimer(this);
    retry_->setObjectName(u"tray_retry"_s);
    retry_->setInterval(kRetryMs);
    connect(retry_, &QTimer::timeout, this, &TrayIcon::check);
}

bool TrayIcon::add_tray_icon(std::string_view tool_tip) {
    tip_ = to_qstring(tool_tip);
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return false;
    }
    show_icon();
    return true;
}

bool TrayIcon::modify_tray_tip(std::string_view tool_tip) {
    tip_ = to_qstring(tool_tip);
    if (icon_ == nullptr) {
        return false;
    }
    icon_->setToolTip(tip_);
    return true;
}

void TrayIcon::remove_tray_icon() {
    retry_->stop();
    if (icon_ != nullptr) {
        icon_->hide();
    }
}

void TrayIcon::stand_in() {
    missing_ = true;
    retry_->start();
}

void TrayIcon::stop_watching() {
    retry_->stop();
}

void TrayIcon::show_icon() {
    if (icon_ == nullptr) {
        icon_ = new QSystemTrayIcon(program_icon(), this);
        icon_->setObjectName(u"tray_icon"_s);
        connect(icon_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (on_activated_) {
                        on_activated_(reason);
                    }
                });
    }
    icon_->setToolTip(tip_);
    icon_->show();
    // Watched from now on: a tray can go away too.
    retry_->start();
}

void TrayIcon::check() {
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (missing_ && available) {
        // A tray appeared: the icon goes there. The window is left as it is
        // (the user may be working in it); "閉じる" hides it from now on.
        missing_ = false;
        show_icon();
        missing_checks_ = 0;
    } else if (!missing_ && icon_ != nullptr && available) {
        missing_checks_ = 0;
    } else if (!missing_ && icon_ != nullptr && ++missing_checks_ >= 2) {
        // The tray went away with the icon (its panel was closed, or is
        // taking longer than one check to restart): the window stands in
        // again until a tray returns.
        missing_checks_ = 0;
        icon_->hide();
        stand_in();
        if (on_lost_) {
            on_lost_();
        }
    }
}

}  // namespace tarvenix::qt
