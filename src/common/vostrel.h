#pragma once

// The program's toolbox object: named constants and thin operations over the
// desktop and the operating system, each built on the ports it needs (most on
// the free functions of toolbox_ports.h). The program's parts take those
// ports themselves, never the toolbox whole.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/platform/copy.h"
#include "common/ports.h"
#include "common/system_error.h"

namespace tarvenix {

inline constexpr int kVersionMajor = 7;
inline constexpr int kVersionMinor = 0;
inline constexpr int kVersionRevision = 0;

class Vostrel {
public:
    // tray: where the icon TrayAddIcon describes goes.
    Vostrel(const Ports& ports, TrayHost& tray);

    // The version text: major, ".", minor and revision written one after the
    // other (7, 0, 0 gives "7.00"; 7, 1, 12 gives "7.112").
    static std::string make_version_text(int major, int minor, int revision);

    // --- public fields: the toolbox's named constants and the values its
    // operations leave for the caller (Wait's start and end, the OS fields)
    std::string AppVersion;
    std::string KindErr;
    std::string KindChk;
    std::string KindInfo;
    std::string KindOkc;
    std::string KindYnc;
    std::string KindYn;
    std::string KindRc;
    std::string WaitStartTime;
    std::string WaitFinishTime;
    std::int32_t MB_Syserr = 0;
    std::int32_t MB_Question = 0;
    std::int32_t MB_Warning = 0;
    std::int32_t MB_Info = 0;
    std::string OSVerID;
    std::string OSVerName;
    std::string OSPlatformID;
    std::string OSPlatformName;
    std::int32_t ExwLogOff = 0;
    std::int32_t ExwShutdown = 0;
    std::int32_t ExwReboot = 0;
    std::int16_t OpenFileLen = 0;
    std::int32_t WM_MOUSEMOVE = 0;
    std::int32_t WM_LBUTTONDOWN = 0;
    std::int32_t WM_LBUTTONUP = 0;
    std::int32_t WM_LBUTTONDBLCLK = 0;
    std::int32_t WM_RBUTTONDOWN = 0;
    std::int32_t WM_RBUTTONUP = 0;
    std::int32_t WM_RBUTTONDBLCLK = 0;
    float HH_DISPLAY_TREE = 0;
    float HH_DISPLAY_CONTEXT = 0;
    float HH_DISPLAY_INDEX = 0;

    // --- message boxes and beeps ------------------------------------------
    // Reports the pending error in a "予期せぬエラー" box, clears it and
    // returns its number (0 when nothing was pending).
    std::int16_t Err_Msg(std::optional<SystemError>& pending, std::string_view Project_name,
                         std::string_view Procedure_name);
    // Beeps, shows the box of the kind word and returns the pressed button;
    // an unknown kind word shows nothing and returns 0.
    std::int16_t Msg_Box(std::string_view BT_kind, std::string_view prompt);
    void MsgBeep(std::int32_t sound);

    // --- path, time and text helpers --------------------------------------
    // Returns after about `second` seconds, serving the user interface.
    void Wait(float second);
    // The time of day, rounded to the second, as "hh:mm:ss".
    std::string GetTime();
    // Bytes the text takes in code page 932.
    std::int32_t LenByte(std::string_view str);
    bool IniWrite(std::string_view sectionName, std::string_view keyName, std::string_view keyStr,
                  const std::string& fileName);
    std::string IniRead(std::string_view sectionName, std::string_view keyName,
                        const std::string& fileName);
    // Whether the file or folder exists. Throws SystemError for a path with no
    // "/" at all (an invalid argument).
    bool Search_path(std::string_view FPath);
    // Copies OldFile over NewFile; not 0 on success, 0 on failure, with the
    // reason in LastError().
    std::int32_t FileCopy(const std::string& OldFile, const std::string& NewFile);
    // The same copy of a file already open into an open folder, for callers
    // that walk a tree, with the caller's options: it reads the file whether
    // or not another program has it open, and it replaces a read-only old
    // copy (a backup must not get stuck on the bits it copied itself).
    std::int32_t FileCopy(const platform::OpenFile& old_file, const platform::Directory& new_folder,
                          std::string_view new_name, platform::CopyOptions options = {});
    int LastError() const { return last_error_; }
    std::string WinDir();
    std::string SysDir();
    bool HtmlHelp_open(float winhand, const std::string& Help_file, float dispMode,
                       float contextID);

    // --- session control ---------------------------------------------------
    void ExitWindows(std::int32_t bootnum);
    void SetAccessToken();

    // --- shell and dialog helpers ------------------------------------------
    bool Shell_Excute(std::int32_t hWnd, std::string_view fileName);
    std::string FolderDialog(std::int32_t hWnd);
    // The file chosen in the open dialog ("" on cancel); OpenFileLen gets the
    // length of its name part.
    std::string OpenDialog(std::int32_t hWnd, std::string_view Filter, std::string_view IniPath);
    std::string SaveDialog(std::int32_t hWnd, std::string_view Filter, std::string_view IniPath,
                           std::string_view Inifile);
    void PlayWaveSound(std::string_view WavFileName);

    // --- tray and window helpers --------------------------------------------
    // The tray icon this object describes: added once, then modified or
    // removed through the same record.
    bool TrayAddIcon(std::int32_t hWnd, std::int32_t Icon, std::string_view ToolTip);
    bool TrayModifyIcon(std::int32_t Icon, std::string_view ToolTip);
    bool TrayDelIcon();
    std::int32_t Find_Window(std::string_view AppName);
    void WindowTop(std::int32_t hWnd);
    void WindowTopMost(std::int32_t hWnd);
    void WindowTopMostRst(std::int32_t hWnd);
    bool AppClose(std::string_view AppName);

    // The tip as the tray record holds it: 63 characters and the record's
    // terminating NUL fill its 64-character field.
    static std::string tray_tip_field(std::string_view tip);

    // --- number conversions ------------------------------------------------
    std::string LongTo16bit(std::int32_t cvLong);
    std::int16_t LongToInt(std::int32_t cvLong);
    std::string LongToHex(std::int32_t cvLong);
    std::int16_t HexToInt(std::string& cvHex);
    std::int32_t HexToLong(std::string& cvHex);
    std::int32_t IntToLong(std::int16_t cvInt);
    std::string IntToHex(std::int16_t cvInt);

    // The OS fields for a version record (kept apart for testing).
    struct OsFields {
        std::string ver_id;
        std::string ver_name;
        std::string platform_id;
        std::string platform_name;
    };
    static OsFields os_fields_for(int major, int minor, int platform_id);

private:
    void GetOSVersion();
    void conversion_failure(std::string_view line, std::string_view member, std::string_view value);

    Ports ports_;
    TrayHost& tray_host_;
    int last_error_ = 0;

    // The tray record (the part the platform keeps: size, window, id, flags,
    // callback message, icon, tip). Size 0 until TrayAddIcon fills it.
    struct TrayIconData {
        std::int32_t cbSize = 0;
        std::int32_t hWnd = 0;
        std::int32_t uID = 0;
        std::int32_t uFlags = 0;
        std::int32_t uCallbackMessage = 0;
        std::int32_t hIcon = 0;
        std::string szTip;
    };
    TrayIconData tray_;
    bool tray_shown_ = false;
};

}  // namespace tarvenix
