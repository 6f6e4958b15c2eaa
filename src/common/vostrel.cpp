#include "common/vostrel.h"

#include <cerrno>
#include <utility>

#include "common/ini_file.h"
#include "common/platform/copy.h"
#include "common/platform/file_writes.h"
#include "common/platform/files.h"
#include "common/platform/process.h"
#include "common/text_codec.h"
#include "common/toolbox_ports.h"

namespace tarvenix {

std::string Vostrel::make_version_text(int major, int minor, int revision) {
    return std::to_string(major) + "." + std::to_string(minor) + std::to_string(revision);
}

Vostrel::Vostrel(const Ports& ports, TrayHost& tray)
    : ports_(ports)
    , tray_host_(tray) {
    AppVersion = make_version_text(kVersionMajor, kVersionMinor, kVersionRevision);
    KindErr = "err";
    KindChk = "chk";
    KindInfo = "info";
    KindOkc = "okc";
    KindYn = "yn";
    KindYnc = "ync";
    KindRc = "rc";
    MB_Syserr = 16;
    MB_Question = 32;
    MB_Warning = 48;
    MB_Info = 64;
    WaitStartTime = "";
    WaitFinishTime = "";
    GetOSVersion();
    ExwShutdown = 1;
    ExwLogOff = 0;
    ExwReboot = 2;
    WM_MOUSEMOVE = 0x200;
    WM_LBUTTONDOWN = 0x201;
    WM_LBUTTONUP = 0x202;
    WM_LBUTTONDBLCLK = 0x203;
    WM_RBUTTONDOWN = 0x204;
    WM_RBUTTONUP = 0x205;
    WM_RBUTTONDBLCLK = 0x206;
    HH_DISPLAY_TREE = 1.0F;
    HH_DISPLAY_CONTEXT = 15.0F;
    HH_DISPLAY_INDEX = 2.0F;
}

Vostrel::OsFields Vostrel::os_fields_for(int major, int minor, int platform_id) {
    OsFields f;
    f.ver_id = std::to_string(major) + "." + std::to_string(minor);
    f.platform_id = std::to_string(platform_id);
    switch (platform_id) {
        case 0:
            f.ver_name = "32s";
            f.platform_name = "32s";
            break;
        case 1:
            f.platform_name = "95";
            if (minor < 10) {
                f.ver_name = "95";
            } else if (minor == 10) {
                f.ver_name = "98";
            } else if (minor == 90) {
                f.ver_name = "Me";
            }
            break;
        case 2:
            f.platform_name = "NT";
            if (major == 4) {
                f.ver_name = "NT";
            } else if (major == 5) {
                f.ver_name = "2000";
            }
            break;
        default:
            break;
    }
    return f;
}

void Vostrel::GetOSVersion() {
    const platform::OsVersion v = platform::os_version();
    OsFields f = os_fields_for(v.major, v.minor, v.platform_id);
    OSVerID = std::move(f.ver_id);
    OSPlatformID = std::move(f.platform_id);
    OSVerName = std::move(f.ver_name);
    OSPlatformName = std::move(f.platform_name);
}

std::int16_t Vostrel::Err_Msg(std::optional<SystemError>& pending, std::string_view Project_name,
                              std::string_view Procedure_name) {
    MsgBeep(MB_Syserr);
    const std::int32_t number = pending ? pending->code() : 0;
    std::string text =
        "エラー番号" + std::to_string(number) + " " + (pending ? pending->text() : "");
    text += "\r\n\r\nプロジェクト名 = [";
    text += Project_name;
    text += "]\r\nプロシージャ名 = [";
    text += Procedure_name;
    text += "]";
    const HelpReference* help =
        (pending && !pending->help().file.empty()) ? &pending->help() : nullptr;
    ports_.boxes.show_box("予期せぬエラー", text, box_style::kIconStop | box_style::kSystemModal,
                          help);
    pending.reset();
    return static_cast<std::int16_t>(number);
}

std::int16_t Vostrel::Msg_Box(std::string_view BT_kind, std::string_view prompt) {
    return Boxes(ports_.boxes, ports_.sound).show(BT_kind, prompt);
}

void Vostrel::MsgBeep(std::int32_t sound) {
    ports_.sound.message_beep(sound);
}

void Vostrel::Wait(float second) {
    WaitStartTime = "";
    WaitFinishTime = "";
    WaitTimes times = wait_serving_events(ports_.clock, ports_.pump, second);
    WaitStartTime = std::move(times.start);
    WaitFinishTime = std::move(times.finish);
}

std::string Vostrel::GetTime() {
    return time_of_day_text(ports_.clock);
}

std::int32_t Vostrel::LenByte(std::string_view str) {
    return static_cast<std::int32_t>(text::cp932_length(str));
}

bool Vostrel::IniWrite(std::string_view sectionName, std::string_view keyName,
                       std::string_view keyStr, const std::string& fileName) {
    const auto bytes = platform::read_file(fileName);
    if (!bytes && bytes.error() != ENOENT) {
        return false;
    }
    IniDocument doc(text::from_cp932(bytes ? *bytes : std::string()));
    doc.set(sectionName, keyName, keyStr);
    const auto encoded = text::to_cp932(doc.text());
    if (!encoded) {
        return false;
    }
    return platform::replace_file_contents(fileName, *encoded).ok();
}

std::string Vostrel::IniRead(std::string_view sectionName, std::string_view keyName,
                             const std::string& fileName) {
    const auto bytes = platform::read_file(fileName);
    if (!bytes) {
        return "error";
    }
    const IniDocument doc(text::from_cp932(*bytes));
    const auto value = doc.get(sectionName, keyName);
    if (!value || value->empty()) {
        return "error";
    }
    // The value as it would fit a 255-character buffer, trailing blanks removed.
    return std::string(text::trim_right_spaces(text::first_chars(*value, 254)));
}

bool Vostrel::Search_path(std::string_view FPath) {
    const std::string path(FPath);
    if (platform::is_root_path(path)) {
        // The root of a file system that is there is a folder that exists,
        // empty or not (a freshly formatted stick); a drive without its
        // medium, or no drive of that letter, has none.
        const auto root = platform::status(path, true);
        return root && root->type == platform::EntryType::kFolder;
    }
    const auto slash = path.rfind(platform::kPathSeparator);
    if (slash == std::string::npos) {
        throw SystemError(error_code::kInvalidArgument,
                          std::string(describe_error_code(error_code::kInvalidArgument)) +
                              error_detail("フォルダの確認", path));
    }
    if (slash + 1 == path.size()) {
        return false;  // the name part is empty
    }
    return platform::status(path, true).has_value();
}

namespace {
// FileCopy replaces the target but refuses a read-only one (a file the user
// marked read-only is not overwritten behind their back), and reads what the
// platform lets it read, locked or not.
platform::CopyOptions file_copy_options() {
    platform::CopyOptions options;
    options.refuse_read_only_target = true;
    options.refuse_locked_source = false;
    return options;
}
}  // namespace

std::int32_t Vostrel::FileCopy(const std::string& OldFile, const std::string& NewFile) {
    last_error_ = platform::copy_file(OldFile, NewFile, file_copy_options()).error();
    return last_error_ == 0 ? 1 : 0;
}

std::int32_t Vostrel::FileCopy(const platform::OpenFile& old_file,
                               const platform::Directory& new_folder, std::string_view new_name,
                               platform::CopyOptions options) {
    options.refuse_locked_source = false;
    last_error_ = platform::copy_open_file(old_file, new_folder, new_name, options).error();
    return last_error_ == 0 ? 1 : 0;
}

std::string Vostrel::WinDir() {
    return platform::system_folder();
}

std::string Vostrel::SysDir() {
    return platform::system_library_folder();
}

bool Vostrel::HtmlHelp_open(float /*winhand*/, const std::string& Help_file, float /*dispMode*/,
                            float /*contextID*/) {
    // The desktop's help viewer opens the file at its table of contents;
    // topics by context id are not offered there.
    return open_help_file(ports_.shell, Boxes(ports_.boxes, ports_.sound), Help_file);
}

void Vostrel::ExitWindows(std::int32_t bootnum) {
    if (bootnum != ExwLogOff && OSPlatformID == "2") {
        SetAccessToken();
    }
    if (bootnum == ExwLogOff) {
        ports_.session.request_session_end(SessionRequest::kLogOff);
    } else if (bootnum == ExwShutdown) {
        ports_.session.request_session_end(SessionRequest::kPowerOff);
    } else if (bootnum == ExwReboot) {
        ports_.session.request_session_end(SessionRequest::kReboot);
    }
}

void Vostrel::SetAccessToken() {
    // The session port switches on what the system wants before it asks:
    // nothing on Linux, where the session manager decides who may power off
    // (polkit); the shut-down privilege on Windows.
}

bool Vostrel::Shell_Excute(std::int32_t /*hWnd*/, std::string_view fileName) {
    return open_document_or_tell(ports_.shell, Boxes(ports_.boxes, ports_.sound), fileName);
}

std::string Vostrel::FolderDialog(std::int32_t /*hWnd*/) {
    return choose_folder(ports_.folders);
}

std::string Vostrel::OpenDialog(std::int32_t hWnd, std::string_view Filter,
                                std::string_view IniPath) {
    const std::string path =
        ports_.desktop.open_file_dialog(hWnd, "ファイルを開く", Filter, IniPath);
    const auto slash = path.rfind(platform::kPathSeparator);
    OpenFileLen = path.empty() ? std::int16_t{0}
                               : static_cast<std::int16_t>(text::char_count(
                                     slash == std::string::npos ? path : path.substr(slash + 1)));
    return path;
}

std::string Vostrel::SaveDialog(std::int32_t hWnd, std::string_view Filter,
                                std::string_view IniPath, std::string_view Inifile) {
    return ports_.desktop.save_file_dialog(hWnd, "ファイルを保存する", Filter, IniPath, Inifile);
}

std::string Vostrel::tray_tip_field(std::string_view tip) {
    return std::string(text::first_chars(tip, 63));
}

bool Vostrel::TrayAddIcon(std::int32_t hWnd, std::int32_t Icon, std::string_view ToolTip) {
    tray_.cbSize = 88;
    tray_.hWnd = hWnd;
    tray_.uID = 1;
    tray_.uFlags = 7;
    tray_.uCallbackMessage = WM_MOUSEMOVE;
    tray_.hIcon = Icon;
    tray_.szTip = tray_tip_field(ToolTip);
    if (tray_shown_) {
        return false;  // the icon with this id is there already
    }
    tray_shown_ = tray_host_.add_tray_icon(tray_.szTip);
    return tray_shown_;
}

bool Vostrel::TrayModifyIcon(std::int32_t Icon, std::string_view ToolTip) {
    if (tray_.cbSize == 0) {
        return false;  // never added: the record is empty
    }
    tray_.hIcon = Icon;
    tray_.szTip = tray_tip_field(ToolTip);
    return tray_shown_ && tray_host_.modify_tray_tip(tray_.szTip);
}

bool Vostrel::TrayDelIcon() {
    if (tray_.cbSize == 0 || !tray_shown_) {
        return false;
    }
    tray_host_.remove_tray_icon();
    tray_shown_ = false;
    return true;
}

std::int32_t Vostrel::Find_Window(std::string_view AppName) {
    return ports_.desktop.find_window(AppName);
}

void Vostrel::WindowTop(std::int32_t hWnd) {
    ports_.desktop.bring_to_front(hWnd);
}

void Vostrel::WindowTopMost(std::int32_t hWnd) {
    ports_.desktop.set_top_most(hWnd, true);
}

void Vostrel::WindowTopMostRst(std::int32_t hWnd) {
    ports_.desktop.set_top_most(hWnd, false);
}

bool Vostrel::AppClose(std::string_view AppName) {
    const std::int32_t window = ports_.desktop.find_window(AppName);
    if (window == 0) {
        return false;
    }
    ports_.desktop.request_close(window);
    return true;
}

void Vostrel::PlayWaveSound(std::string_view WavFileName) {
    ports_.sound.play_sound_file(WavFileName);
}

}  // namespace tarvenix
