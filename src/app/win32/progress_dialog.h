#pragma once

// `copydlg`: the small window shown while a backup run is in progress, with
// the set's folders, the file being copied and the "中　止" button.

#include <array>
#include <functional>
#include <string>

#include "app/win32/win_util.h"
#include "engine/progress_view.h"

namespace tarvenix::win32 {

class Win32EventPump;

class ProgressDialog final : public Window, public ProgressView {
public:
    explicit ProgressDialog(Win32EventPump* pump = nullptr);
    ~ProgressDialog() override;

    // What "中　止" does (the controller's copyccl_bt).
    void set_cancel_handler(std::function<void()> handler) { cancel_ = std::move(handler); }

    // ProgressView
    void show() override;
    void hide() override;
    bool visible() const override;
    void set_label(ProgressLabel label, std::string_view text) override;

    // The window of a label (srcfld ... filesize) or of the button.
    HWND control(int id) const;

    // Closes the window for good (the program is ending).
    void close();

protected:
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    void create();

    Win32EventPump* pump_;
    std::function<void()> cancel_;
    std::array<std::string, 5> texts_;
    bool centred_ = false;
};

}  // namespace tarvenix::win32
