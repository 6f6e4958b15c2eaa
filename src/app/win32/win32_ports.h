#pragma once

// The desktop services of the program, done with Win32: message boxes,
// sounds, the busy pointer, the event pump, opening documents (the help file
// with HTML Help), the folder picker, and the file dialogs and windows the
// toolbox object reaches by handle.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "app/core/progress_presenter.h"
#include "common/ports.h"

namespace tarvenix::win32 {

// MessageBoxW gives the program's boxes as they are meant to be: the style
// word is the Win32 one, the answers are the Win32 button numbers, and a
// Yes/No box cannot be waved away with Escape or its close button.
class Win32MessageBoxes final : public MessageBoxPort {
public:
    std::int16_t show_box(std::string_view caption, std::string_view text, std::int32_t style,
                          const HelpReference* help) override;
    // Ends every dialog box of this thread that is open now (the message
    // boxes and the folder picker) as if it was cancelled; the calls that
    // opened them return.
    void close_open_boxes() override;
    // The program's windows a box may belong to (the core's face::box_owner
    // picks one as each box opens); a box without one stands alone.
    void set_windows(HWND progress_dialog, HWND main_window) {
        progress_dialog_ = progress_dialog;
        main_window_ = main_window;
    }

private:
    HWND progress_dialog_ = nullptr;
    HWND main_window_ = nullptr;
};

class Win32Sound final : public SoundPort {
public:
    void message_beep(std::int32_t sound) override;
    void play_sound_file(std::string_view path) override;
};

class Win32BusyPointer final : public BusyPointerPort {
public:
    void set_busy(bool busy) override {
        SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
    }
};

// The one message loop of the program. Keyboard navigation (Tab, arrows,
// Enter, Escape) works in the program's dialog-like windows (those whose
// controls take the keyboard in turn, WS_EX_CONTROLPARENT). A pump call
// serves the waiting messages when the core's PumpGate says so.
class Win32EventPump final : public EventPumpPort {
public:
    explicit Win32EventPump(ClockPort& clock)
        : clock_(clock) {}

    // Runs until WM_QUIT; returns its exit code.
    int run();
    void process_events() override;
    void wait_for_events(double max_seconds) override;
    // The next pump call serves at once, within the prompt budget.
    void request_prompt_pass() { gate_.request_prompt_pass(); }

private:
    // Handles every message that is waiting; a WM_QUIT met here is posted
    // again for the loop in run().
    void serve();
    static void dispatch(MSG& msg);

    ClockPort& clock_;
    PumpGate gate_;
};

// Documents open with their associated program (ShellExecuteW); a .chm help
// file opens in HTML Help at its table of contents (hhctrl.ocx, loaded when
// first needed).
class Win32Shell final : public ShellPort {
public:
    ~Win32Shell() override;
    bool open_document(std::string_view path) override;

private:
    bool open_help(const std::wstring& path);
    HMODULE hhctrl_ = nullptr;
};

class Win32FolderPicker final : public FolderPickerPort {
public:
    // The window the picker belongs to (the main window).
    void set_owner(HWND owner) { owner_ = owner; }
    std::string pick_folder(std::string_view title) override;

private:
    HWND owner_ = nullptr;
};

// A window as the toolbox object holds it: its handle's number, which 64-bit
// Windows keeps within 32 bits (sign-extended back) for 32-bit programs'
// sake; 0 for none. window_of answers nullptr for a window that is gone.
inline std::int32_t handle_of(HWND window) {
    return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(window));
}
HWND window_of(std::int32_t handle);

class Win32Desktop final : public DesktopPort {
public:
    std::string open_file_dialog(std::int32_t owner, std::string_view title,
                                 std::string_view filter,
                                 std::string_view initial_folder) override {
        return file_dialog(false, owner, title, filter, initial_folder, {});
    }
    std::string save_file_dialog(std::int32_t owner, std::string_view title,
                                 std::string_view filter, std::string_view initial_folder,
                                 std::string_view proposed_name) override {
        return file_dialog(true, owner, title, filter, initial_folder, proposed_name);
    }
    std::int32_t find_window(std::string_view title) override;
    void bring_to_front(std::int32_t window) override { SetForegroundWindow(window_of(window)); }
    void set_top_most(std::int32_t window, bool top_most) override;
    void request_close(std::int32_t window) override {
        SendMessageW(window_of(window), WM_CLOSE, 0, 0);
    }

private:
    static std::string file_dialog(bool save, std::int32_t owner, std::string_view title,
                                   std::string_view filter, std::string_view initial_folder,
                                   std::string_view proposed_name);
};

}  // namespace tarvenix::win32
