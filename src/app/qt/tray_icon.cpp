#include "app/qt/tray_icon.h"

#include "app/qt/display_link.h"
#include "app/qt/status_notifier_item.h"
#include "app/qt/ui_common.h"

using namespace Qt::StringLiterals;

namespace tarvenix::qt {

TrayIcon::TrayIcon(QObject* parent)
    : QObject(parent) {
    setObjectName(u"tray"_s);
    item_ = new StatusNotifierItem(this);
    item_->set_click_handler([this](StatusNotifierItem::Click click) {
        if (on_activated_) {
            on_activated_(click == StatusNotifierItem::Click::kPrimary ? QSystemTrayIcon::Trigger
                                                                       : QSystemTrayIcon::Context);
        }
    });
}

void TrayIcon::set_menu_click_handler(std::function<void(face::Action)> handler) {
    item_->set_menu_click_handler(std::move(handler));
}

void TrayIcon::set_change_handler(std::function<void()> handler) {
    item_->set_change_handler(std::move(handler));
}

bool TrayIcon::add_tray_icon(std::string_view tool_tip) {
    tip_ = to_qstring(tool_tip);
    return place_icon();
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
    item_->hide();
    if (xembed_icon_ != nullptr && !display_lost()) {
        xembed_icon_->hide();
    }
    holder_ = Holder::kNone;
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
    if (!xembed_tray_present()) {
        return false;
    }
    item_->hide();
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
    holder_ = Holder::kXEmbed;
    return true;
}

bool TrayIcon::tray_present() {
    const bool still_there = holder_ == Holder::kStatusNotifier ? item_->tray_present()
                             : holder_ == Holder::kXEmbed       ? xembed_tray_present()
                                                                : false;
    return still_there || (holder_ != Holder::kNone && place_icon());
}

}  // namespace tarvenix::qt
