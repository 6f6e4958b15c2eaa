#pragma once

// The services the program needs from the user's desktop and session. Each is
// a small interface with a real implementation for the desktop and a scripted
// one for the tests, so every behaviour that asks, tells, waits or ends the
// session can be tested without a display and without touching the machine.

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvenix {

// A help topic attached to a message box (file and context id).
struct HelpReference {
    std::string file;
    std::int32_t context = 0;
};

// Answers of a message box: the numbers MessageBoxW returns (IDOK 1,
// IDCANCEL 2, IDRETRY 4, IDYES 6, IDNO 7), so the Win32 boxes pass them
// through unchanged and every front end answers alike.
namespace button {
inline constexpr std::int16_t kNone = 0;
inline constexpr std::int16_t kOk = 1;
inline constexpr std::int16_t kCancel = 2;
inline constexpr std::int16_t kRetry = 4;
inline constexpr std::int16_t kYes = 6;
inline constexpr std::int16_t kNo = 7;
}  // namespace button

// Message-box style words: buttons in the low nibble, icon in the next.
namespace box_style {
inline constexpr std::int32_t kOk = 0;
inline constexpr std::int32_t kOkCancel = 1;
inline constexpr std::int32_t kYesNoCancel = 3;
inline constexpr std::int32_t kYesNo = 4;
inline constexpr std::int32_t kRetryCancel = 5;
inline constexpr std::int32_t kIconStop = 16;
inline constexpr std::int32_t kIconQuestion = 32;
inline constexpr std::int32_t kIconExclamation = 48;
inline constexpr std::int32_t kIconInformation = 64;
inline constexpr std::int32_t kSystemModal = 4096;
}  // namespace box_style

class MessageBoxPort {
public:
    virtual ~MessageBoxPort() = default;
    // Shows a modal box and returns the pressed button (see `button`). The
    // text's lines are separated by "\r" or "\r\n".
    virtual std::int16_t show_box(std::string_view caption, std::string_view text,
                                  std::int32_t style, const HelpReference* help) = 0;
    // Closes the boxes that are open now, as if dismissed; their show_box
    // calls then return. The program is ending and nobody may be there.
    virtual void close_open_boxes() {}
};

class SoundPort {
public:
    virtual ~SoundPort() = default;
    // One of the system's alert sounds, named by its icon code (16, 32, 48, 64)
    // or 0 / -1 for the default beep.
    virtual void message_beep(std::int32_t sound) = 0;
    // Starts playing a sound file and returns at once.
    virtual void play_sound_file(std::string_view path) = 0;
};

class BusyPointerPort {
public:
    virtual ~BusyPointerPort() = default;
    virtual void set_busy(bool busy) = 0;
};

class EventPumpPort {
public:
    virtual ~EventPumpPort() = default;
    // Lets the user interface handle what is pending (clicks, timer ticks,
    // repaints) and returns.
    virtual void process_events() = 0;
    // Like process_events, but may sleep up to max_seconds waiting for an
    // event; used by busy waits so they do not spin a core.
    virtual void wait_for_events(double max_seconds) = 0;
};

struct LocalDateTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class ClockPort {
public:
    virtual ~ClockPort() = default;
    // Local time of day in seconds since midnight, with fraction.
    virtual double seconds_since_midnight() = 0;
    // Local calendar date and time.
    virtual LocalDateTime local_now() = 0;
    // A clock that never jumps or wraps, in seconds.
    virtual double monotonic_seconds() = 0;
};

enum class SessionRequest { kLogOff, kPowerOff, kReboot };

class SessionPort {
public:
    virtual ~SessionPort() = default;
    // Asks the system to end the session; returns at once, reports nothing.
    virtual void request_session_end(SessionRequest request) = 0;
};

class ShellPort {
public:
    virtual ~ShellPort() = default;
    // Opens a document with the program the desktop associates with it.
    virtual bool open_document(std::string_view path) = 0;
};

class FolderPickerPort {
public:
    virtual ~FolderPickerPort() = default;
    // Lets the user choose a folder; "" when cancelled.
    virtual std::string pick_folder(std::string_view title) = 0;
};

// File dialogs and the program's top-level windows. Windows are named by small integer handles the
// port hands out.
class DesktopPort {
public:
    virtual ~DesktopPort() = default;
    // filter: pairs of description and pattern, each ended by a NUL
    // ("Text\0*.txt\0"). Both return the chosen full path, "" on cancel.
    virtual std::string open_file_dialog(std::int32_t owner, std::string_view title,
                                         std::string_view filter,
                                         std::string_view initial_folder) = 0;
    virtual std::string save_file_dialog(std::int32_t owner, std::string_view title,
                                         std::string_view filter, std::string_view initial_folder,
                                         std::string_view proposed_name) = 0;
    // A top-level window of the program with exactly this title; 0 for none.
    virtual std::int32_t find_window(std::string_view title) = 0;
    virtual void bring_to_front(std::int32_t window) = 0;
    // Into or out of the always-on-top band, shown, not moved or resized.
    virtual void set_top_most(std::int32_t window, bool top_most) = 0;
    // Asks the window to close, as its close button would; returns when the
    // window has handled the request.
    virtual void request_close(std::int32_t window) = 0;
};

// The program's icon in the notification area (one per program).
class TrayHost {
public:
    virtual ~TrayHost() = default;
    virtual bool add_tray_icon(std::string_view tool_tip) = 0;
    virtual bool modify_tray_tip(std::string_view tool_tip) = 0;
    virtual void remove_tray_icon() = 0;
};

// The set of services handed to the toolbox object and the program's parts.
struct Ports {
    MessageBoxPort& boxes;
    SoundPort& sound;
    BusyPointerPort& busy;
    EventPumpPort& pump;
    ClockPort& clock;
    SessionPort& session;
    ShellPort& shell;
    FolderPickerPort& folders;
    DesktopPort& desktop;
};

}  // namespace tarvenix
