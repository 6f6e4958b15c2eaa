#pragma once

// The desktop's file dialogs, tray icon and windows for the toolbox object,
// done with Win32. Windows are handed out as small handles, the same one
// every time for a window.

#include <windows.h>

#include <vector>

#include "common/ports.h"

namespace tarvenix::win32 {

class Win32Desktop final : public TrayHostDesktop {
public:
    std::int32_t handle_of(HWND window);
    HWND window_of(std::int32_t handle) const;

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
    std::vector<HWND> windows_;
};

}  // namespace tarvenix::win32
