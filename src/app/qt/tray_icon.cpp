#include "app/qt/tray_icon.h"

#include <QTimer>

#include "app/qt/status_notifier_item.h"
#include "app/qt/ui_common.h"

using namespace Qt::StringLiterals;

namespace tarvenix::qt {

namespace {
constexpr int kRetryMs = 1000;
// A tray away for this many checks in a row is gone (a panel that restarts
// at once takes the icon back without the window flashing up).
constexpr int kChecksUntilGone = 2;
}  // namespace

TrayIcon::TrayIcon(QObject* parent)
    : QObject(parent) {
    setObjectName(u"tray"_s);
    retry_ = new QTimer(this);
    retry_->setObjectName(u"tray_retry"_s);
    retry_->setInterval(kRetryMs);
    connect(retry_, &QTimer::timeout, this, &TrayIcon::check);

    item_ = new StatusNotifierItem(this);
    item_->set_click_handler([this](StatusNotifierItem::Click click) {
        if (on_activated_) {
            on_activated_(click == StatusNotifierItem::Click::kPrimary ? QSystemTrayIcon::Trigger
                                                                       : QSystemTrayIcon::Context);
        }
    });
    // A watcher that comes or goes is acted on at once, not at the next check.
    item_->set_change_handler([this] {
        if (retry_->isActive()) {
            check();
        }
    });
}

bool TrayIcon::add_tray_icon(std::string_view tool_tip) {
    tip_ = to_qstring(tool_tip);
    if (!place_icon()) {
        return false;
    }
    // Watched from now on: a tray can go away too.
    retry_->start();
    return true;
}

bool TrayIcon::modify_tray_tip(std::string_view tool_tip) {
    tip_ = to_qstring(tool_tip);
    item_->set_tool_tip(tip_);
    if (xembed_icon_ != nullptr) {
        xembed_icon_->setToolTip(tip_);
    }
    return holder_ != Holder::kNone;
}

void TrayIcon::remove_tray_icon() {
    retry_->stop();
    item_->hide();
    if (xembed_icon_ != nullptr) {
        xembed_icon_->hide();
    }
    holder_ = Holder::kNone;
}

void TrayIcon::stand_in() {
    missing_ = true;
    retry_->start();
}

void TrayIcon::stop_watching() {
    retry_->stop();
}

bool TrayIcon::xembed_tray_present() {
    // Qt settles once, at the first question, whether its icons are
    // StatusNotifier or XEmbed ones; asked while no watcher is there, it
    // settles on XEmbed and the answers are about the X server's tray alone.
    if (!qt_tray_asked_ && item_->tray_present()) {
        return false;
    }
    qt_tray_asked_ = true;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TrayIcon::place_icon() {
    if (item_->tray_present() && item_->show(tip_)) {
        if (xembed_icon_ != nullptr) {
            xembed_icon_->hide();
        }
        holder_ = Holder::kStatusNotifier;
        return true;
    }
    if (xembed_tray_present()) {
        item_->hide();
        show_in_xembed_tray();
        holder_ = Holder::kXEmbed;
        return true;
    }
    return false;
}

void TrayIcon::show_in_xembed_tray() {
    if (xembed_icon_ == nullptr) {
        xembed_icon_ = new QSystemTrayIcon(program_icon(), this);
        xembed_icon_->setObjectName(u"tray_icon"_s);
        connect(xembed_icon_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (on_activated_) {
                        on_activated_(reason);
                    }
                });
    }
    xembed_icon_->setToolTip(tip_);
    xembed_icon_->show();
}

bool TrayIcon::holder_present() {
    switch (holder_) {
        case Holder::kStatusNotifier:
            return item_->tray_present();
        case Holder::kXEmbed:
            return xembed_tray_present();
        case Holder::kNone:
            break;
    }
    return false;
}

void TrayIcon::check() {
    if (missing_) {
        // A tray appeared: the icon goes there. The window is left as it is
        // (the user may be working in it); "閉じる" hides it from now on.
        if (place_icon()) {
            missing_ = false;
            missing_checks_ = 0;
        }
        return;
    }
    if (holder_ == Holder::kNone || holder_present()) {
        missing_checks_ = 0;
        return;
    }
    // The icon's tray went away: another kind of tray takes it at once;
    // with none, the window stands in once the tray has stayed away (its
    // panel was closed, or is taking long to restart).
    if (place_icon()) {
        missing_checks_ = 0;
    } else if (++missing_checks_ >= kChecksUntilGone) {
        missing_checks_ = 0;
        remove_tray_icon();
        stand_in();
        if (on_lost_) {
            on_lost_();
        }
    }
}

}  // namespace tarvenix::qt
