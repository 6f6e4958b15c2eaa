#include "common/toolbox_ports.h"

#include <array>

#include "common/platform/files.h"
#include "common/text_codec.h"
#include "common/time_text.h"

namespace tarvenix {
namespace {

struct BoxKind {
    std::string_view word;
    std::int32_t beep;
    std::string_view caption;
    std::int32_t style;
};

// The seven kinds of box, in the order the kind word is matched.
constexpr std::array<BoxKind, 7> kBoxKinds{{
    {Boxes::kErr, 48, "Error", 16},
    {Boxes::kChk, 32, "確認", 32},
    {Boxes::kInfo, 64, "情報", 64},
    {Boxes::kOkc, 32, "確認", 33},
    {Boxes::kYn, 32, "確認", 36},
    {Boxes::kYnc, 32, "確認", 35},
    {Boxes::kRc, 32, "再試行", 37},
}};

}  // namespace

std::int16_t Boxes::show(std::string_view kind, std::string_view prompt) const {
    for (const BoxKind& k : kBoxKinds) {
        if (k.word == kind) {
            sound_.message_beep(k.beep);
            return boxes_.show_box(k.caption, prompt, k.style, nullptr);
        }
    }
    return button::kNone;
}

bool open_document_or_tell(ShellPort& shell, const Boxes& boxes, std::string_view path) {
    if (shell.open_document(path)) {
        return true;
    }
    std::string message(path);
    message += "が見つからないか、拡張子に\r関連付けられたアプリケーションが有りません！";
    boxes.show(Boxes::kErr, message);
    return false;
}

bool open_help_file(ShellPort& shell, const Boxes& boxes, const std::string& path) {
    const auto st = platform::status(path, true);
    const bool is_file = st && st->type == platform::EntryType::kFile;
    if (is_file && shell.open_document(path)) {
        return true;
    }
    std::string message = "Help File = " + path + " を開けませんでした！";
    if (is_file && !platform::kShowsHelpFiles) {
        // The file is there: what is missing is a viewer, which a Linux
        // desktop does not bring along, and the user is told which to install.
        message +=
            "\r\rヘルプの表示には CHM ビューア（xchm など）が必要です\r"
            "例：sudo apt install xchm";
    }
    boxes.show(Boxes::kErr, message);
    return false;
}

WaitTimes wait_serving_events(ClockPort& clock, EventPumpPort& pump, float seconds) {
    const double now = clock.seconds_since_midnight();
    const std::int64_t start = round_half_even(now);
    const double mono_start = clock.monotonic_seconds();
    const double duration = static_cast<double>(static_cast<float>(start) + seconds) - now;
    for (;;) {
        const double remaining = duration - (clock.monotonic_seconds() - mono_start);
        if (remaining <= 0) {
            break;
        }
        pump.wait_for_events(remaining < 0.01 ? remaining : 0.01);
    }
    return WaitTimes{time_text(static_cast<double>(start)),
                     time_text(clock.seconds_since_midnight())};
}

std::string choose_folder(FolderPickerPort& folders) {
    return std::string(text::trim_right_spaces(folders.pick_folder("フォルダの選択")));
}

std::string time_of_day_text(ClockPort& clock) {
    return time_text(static_cast<double>(round_half_even(clock.seconds_since_midnight())));
}

}  // namespace tarvenix
