#pragma once

// The desktop's file dialogs and windows (DesktopPort).
// Windows are handed out as small handles; only the program's own top-level
// windows can be found (a Linux desktop offers no portable way to reach other
// programs' windows).

#include <QPointer>
#include <QWidget>
#include <vector>

#include "common/ports.h"

namespace tarvenix::qt {

class QtDesktop final : public DesktopPort {
public:
    // The handle of a window (the same one every time).
    std::int32_t handle_of(QWidget* window);
    QWidget* window_of(std::int32_t handle) const;

    // "Text\0*.txt;*.log\0" as Qt writes it: "Text (*.txt *.log)".
    static QString qt_filter(std::string_view filter);

    std::string open_file_dialog(std::int32_t owner, std::string_view title,
                                 std::string_view filter, std::string_view initial_folder) override;
    std::string save_file_dialog(std::int32_t owner, std::string_view title,
                                 std::string_view filter, std::string_view initial_folder,
                                 std::string_view proposed_name) override;
    std::int32_t find_window(std::string_view title) override;
    void bring_to_front(std::int32_t window) override;
    void set_top_most(std::int32_t window, bool top_most) override;
    void request_close(std::int32_t window) override;

private:
    std::vector<QPointer<QWidget>> windows_;
};

}  // namespace tarvenix::qt
