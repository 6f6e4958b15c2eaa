#pragma once

// The toolbox's operations that need only a port or two, for the parts that
// use nothing else of it: they take these ports, not the whole toolbox. The
// toolbox's own members (Msg_Box, Shell_Excute, Wait, GetTime) are these.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/ports.h"

namespace tarvenix {

// Boxes named by their kind word: the kind's alert sound, then the box with
// its caption, icon and buttons.
class Boxes {
public:
    Boxes(MessageBoxPort& boxes, SoundPort& sound)
        : boxes_(boxes)
        , sound_(sound) {}

    static constexpr std::string_view kErr = "err";
    static constexpr std::string_view kChk = "chk";
    static constexpr std::string_view kInfo = "info";
    static constexpr std::string_view kOkc = "okc";
    static constexpr std::string_view kYn = "yn";
    static constexpr std::string_view kYnc = "ync";
    static constexpr std::string_view kRc = "rc";

    // Beeps, shows the box of the kind word and returns the pressed button;
    // an unknown kind word shows nothing and returns 0.
    std::int16_t show(std::string_view kind, std::string_view prompt) const;

private:
    MessageBoxPort& boxes_;
    SoundPort& sound_;
};

// Opens the document with the program the desktop associates with it; when
// none does, says so in an error box and returns false.
bool open_document_or_tell(ShellPort& shell, const Boxes& boxes, std::string_view path);

// Opens the help file with the desktop's viewer, at its table of contents;
// when it cannot, says so in an error box (naming the viewer to install when
// the file is there but the desktop brings none) and returns false.
bool open_help_file(ShellPort& shell, const Boxes& boxes, const std::string& path);

// Returns after about `seconds`, serving the user interface. The end is
// fixed on the time-of-day clock, counted from the whole second the wait
// starts in, but measured on the monotonic clock, so midnight or a clock
// change cannot make it end early or never. Gives the start (that whole
// second) and the end as "hh:mm:ss".
struct WaitTimes {
    std::string start;
    std::string finish;
};
WaitTimes wait_serving_events(ClockPort& clock, EventPumpPort& pump, float seconds);

// The folder the user chooses in the folder picker, trailing blanks
// removed; "" when cancelled.
std::string choose_folder(FolderPickerPort& folders);

// The time of day, rounded to the second, as "hh:mm:ss".
std::string time_of_day_text(ClockPort& clock);

}  // namespace tarvenix
