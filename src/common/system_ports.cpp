#include "common/system_ports.h"

#include "common/platform/clock.h"

namespace tarvenix {

double SystemClock::seconds_since_midnight() {
    return platform::seconds_since_midnight();
}

LocalDateTime SystemClock::local_now() {
    return platform::local_now();
}

double SystemClock::monotonic_seconds() {
    return platform::monotonic_seconds();
}

bool TrayHostDesktop::tray_add(std::int32_t, std::int32_t, std::string_view tip) {
    return tray_host_ != nullptr && tray_host_->add_tray_icon(tip);
}

bool TrayHostDesktop::tray_modify(std::int32_t, std::string_view tip) {
    return tray_host_ != nullptr && tray_host_->modify_tray_tip(tip);
}

bool TrayHostDesktop::tray_delete() {
    if (tray_host_ == nullptr) {
        return false;
    }
    tray_host_->remove_tray_icon();
    return true;
}

}  // namespace tarvenix
