#pragma once

// The program's windows as data: every control with its kind, name, text,
// place in twips (1/1440 inch: one size on every screen, each front end turns
// it into its own pixels), the settings-page control it mirrors and the action
// a click runs; the tabs and the two tray menus with the action of each item.
// Both front ends build their widgets from these tables, so the windows, their
// texts and what each control does are one thing, whatever toolkit draws them.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/ports.h"
#include "settings/settings_page.h"

namespace tarvenix {

namespace face {

struct Twips {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

enum class Kind : std::uint8_t {
    kLabel,   // a line of text (a path label is shortened to one line)
    kText,    // a text box
    kCheck,   // a check box
    kOption,  // an option button of a group of two
    kButton,  // a push button
    kFrame,   // a frame around other controls, with its caption
    kIcon,    // the program's icon
};

// What a click on a button or a menu item asks for; the controller carries
// it out (AppController::run). A button and a tray item that ask for the same
// thing share one action.
enum class Action : std::uint8_t {
    kNone,
    kHide,                // "閉じる": the settings window goes, the tray icon stays
    kSave,                // "更　新"
    kExit,                // "終　了": asks whether to keep unsaved edits, then ends
    kTrayExit,            // "Tarvenix終了": keeps the edits if told to, then ends
    kBackup,              // "ﾊﾞｯｸｱｯﾌﾟ開始", "ﾊﾞｯｸｱｯﾌﾟ実行"
    kBackupThenShutDown,  // "ﾊﾞｯｸｱｯﾌﾟ後Windows終了"
    kBrowseFolder,        // the control's index: 2k source, 2k + 1 destination of set k
    kClearSet,            // the control's index: the set
    kClearHistory,
    kShowHistory,
    kShutDown,
    kRestart,
    kLogOff,
    kShowSettings,
    kShowHelp,
    kShowAbout,
    kCancelRun,   // the progress dialog's "中　止"
    kCloseAbout,  // the About window's "OK"
};

enum class Align : std::uint8_t { kLeft, kCentre, kRight };

// A font by the face its text is measured for (the controls' sizes fit it); a
// desktop without that face gets the nearest one it has ("Times New Roman": a
// serif; "ＭＳ Ｐゴシック": a proportional Japanese gothic). Controls without
// one use the window's font.
struct Font {
    std::string_view face;
    double points = 9;
    bool bold = false;
    bool italic = false;
};
inline constexpr std::string_view kSerif = "Times New Roman";
// Every window's own font, and the message boxes': the face and size the
// controls' places are measured for.
inline constexpr Font kProgramFont{"ＭＳ Ｐゴシック", 9};

struct ControlRow {
    Kind kind = Kind::kLabel;
    std::string_view name;             // the control's name: "srcfld_txt", "Label1"
    int index = -1;                    // its index in a control array; -1 for none
    std::string_view text;             // its caption (a label's or button's text)
    Twips at;                          // in its page, its frame, or the window's client area
    int page = -1;                     // the settings tab it is on; -1: on the window itself
    std::string_view frame;            // the frame (by name) whose corner `at` counts from
    std::optional<ControlId> mirrors;  // the settings-page control it shows
    Action action = Action::kNone;
    std::string_view tool_tip;
    Align align = Align::kLeft;
    std::optional<Rgb> colour;  // of its text
    std::optional<Font> font;
    // A label whose text is a path, kept on one line and shortened in the
    // middle when it does not fit.
    bool path = false;

    // "srcfld_txt(3)" for an array member, else the name.
    std::string full_name() const;
};

struct WindowTable {
    std::string_view name;  // "Menu", "copydlg", "frmSplash", "frmAbout"
    std::string_view caption;
    int width = 0;  // client area, in twips
    int height = 0;
    std::optional<Rgb> background;
    // The label the program fills in as the window opens (its name and
    // version), and the button Enter presses; "" for none.
    std::string_view filled_label;
    std::string_view default_button;
    // In the order the focus moves through them.
    std::vector<ControlRow> controls;

    // The control of that name and index; nullptr for none.
    const ControlRow* find(std::string_view name, int index = -1) const;
    // The control that shows a settings-page control; nullptr for none.
    const ControlRow* find(ControlId mirrored) const;
    // Its position in `controls`, which front ends may use as an identifier.
    int position(const ControlRow& control) const;
};

struct MenuItem {
    std::string_view name;  // "" for a separator
    std::string_view caption;
    Action action = Action::kNone;
};

struct MenuTable {
    std::string_view name;  // "mnumain", "help"
    std::string_view caption;
    std::vector<MenuItem> items;
};

// `Menu`: the settings tabs' controls (page 0 to 10), then its buttons.
const WindowTable& main_window();
// The tab control that holds the settings pages, the room a page has below
// its three rows of tabs, and the tabs' captions in order.
inline constexpr Twips kSettingsTabs{120, 120, 5535, 4095};
// Eleven captions do not fit one row of the window's fixed width: rows of
// four fixed-width tabs keep every caption whole and readable.
inline constexpr int kTabsPerRow = 4;
inline constexpr Twips kPageArea{0, 0, 5415, 2955};
const std::array<std::string_view, kTabCount>& tab_captions();
// The narrowest margin the layouts leave between a label and the window's
// edge: a label grown to fit its text stays inside it.
inline constexpr int kEdgeMarginTwips = 120;

// The keys that turn the settings pages, as both front ends name them.
enum class Key : std::uint8_t { kTab, kPageUp, kPageDown, kLeft, kRight, kUp, kDown };

// A key that turns the pages by `step`. The Ctrl keys work wherever the focus
// is in the window and go round past the last page to the first and back, as
// in any tabbed window; the arrows move along the tab strip while it has the
// focus and stop at its ends, as on any tab strip. Where the focus was on the
// page that is turned away, it goes to the tab strip, so it is never left on
// a control that cannot be seen.
struct PageKey {
    Key key;
    bool control;
    bool shift;
    int step;
};
inline constexpr std::array<PageKey, 8> kPageKeys = {{
    {Key::kTab, true, false, 1},
    {Key::kTab, true, true, -1},
    {Key::kPageDown, true, false, 1},
    {Key::kPageUp, true, false, -1},
    {Key::kRight, false, false, 1},
    {Key::kDown, false, false, 1},
    {Key::kLeft, false, false, -1},
    {Key::kUp, false, false, -1},
}};
// The page a key press turns to from `current`; nullopt for a key that turns
// none there (an arrow away from the strip, a key of no entry).
std::optional<int> turned_page(int current, Key key, bool control, bool shift, bool on_strip);

// The window a message box belongs to, so that it stays in front of it and
// goes where it goes: the progress dialog while a run shows it, else the
// settings window while it is on the screen (not minimised), else none.
enum class BoxOwner : std::uint8_t { kNone, kProgressDialog, kMainWindow };
BoxOwner box_owner(bool progress_shown, bool main_window_shown);

// The tray icon's menus: `mnumain` (left button) and `help` (right button);
// also the main window's menu bar while it stands in for the tray.
const std::array<MenuTable, 2>& tray_menus();
// The menu a tray icon hands to panels that draw only a menu published to
// them (dbusmenu): the help menu as the icon's context menu where the front
// end pops up the main menu itself; where it cannot place a menu of its own
// at the icon (on Wayland no client positions a window), the main menu, the
// help menu as a submenu after its rows, shown by the panel on activation.
struct PublishedTrayMenu {
    bool shown_on_activation = false;  // the icon is the menu (ItemIsMenu)
    const MenuTable* rows = nullptr;
    const MenuTable* submenu = nullptr;  // under its caption; nullptr for none
    bool operator==(const PublishedTrayMenu&) const = default;
};
PublishedTrayMenu published_tray_menu(bool pops_up_own_menu);
const WindowTable& progress_dialog();
const WindowTable& splash_window();
const WindowTable& about_window();

// Timer1's period: the clock in the caption and the daily start times are
// looked at once a second.
inline constexpr int kTickMs = 1000;

// A message box's buttons by the answer each gives, with their captions: the
// program speaks Japanese whatever the desktop's language, and its buttons
// read as on a Japanese desktop. (Where the system draws the boxes, its own
// captions are those.)
struct BoxButton {
    std::int16_t answer;
    std::string_view caption;
};
inline constexpr std::array<BoxButton, 5> kBoxButtons = {{
    {button::kOk, "OK"},
    {button::kCancel, "キャンセル"},
    {button::kYes, "はい(&Y)"},
    {button::kNo, "いいえ(&N)"},
    {button::kRetry, "再試行(&R)"},
}};
// The caption of the button that gives that answer; "" for none.
std::string_view box_button_caption(std::int16_t answer);

// The texts that are not a control's.
inline constexpr std::string_view kTrayTip = "左-Menu:右-Help";
inline constexpr std::string_view kNoProgramFolder =
    "プログラムのフォルダが見つかりません！\r"
    "設定ファイルと履歴ファイルの場所が決まらないため、起動できません。";

}  // namespace face
}  // namespace tarvenix
