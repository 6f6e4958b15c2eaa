#pragma once

// The settings window's tab pages. Each page is a child window over the tab
// control's display area that creates the controls of one tab and registers
// each of them, by its control identifier, in the one ControlMap of the
// window; the main window then handles every control through that map.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/core/controller_command.h"
#include "app/win32/win_util.h"
#include "settings/settings_page.h"

namespace tarvenix::win32 {

// What a control does: it mirrors a control of the page model (a text box,
// check box or option button), or runs a command when clicked, or when it
// loses the focus to another control of the window.
struct ControlBinding {
    HWND window = nullptr;
    std::optional<ControlId> page_control;
    Command on_click;
    Command on_lost_focus;
};

class ControlMap {
public:
    void add(int id, ControlBinding binding) { controls_[id] = std::move(binding); }
    const ControlBinding* find(int id) const;
    HWND window(int id) const;
    // By the control's name ("srcfld_txt(3)"); nullptr for none.
    HWND window(std::string_view name) const;

private:
    std::map<int, ControlBinding> controls_;
};

class TabPage : public Window {
public:
    explicit TabPage(std::wstring caption)
        : caption_(std::move(caption)) {}

    const std::wstring& caption() const { return caption_; }
    // Creates the page (hidden) as a child of the tab control over `area`
    // (the display area, in the tab control's coordinates), with its controls
    // registered in `map`. Their notifications go to `main_window`.
    void create(HWND tab_control, HWND main_window, const RECT& area, ControlMap& map);

protected:
    virtual void build(ControlMap& map) = 0;

    // A control at a position in twips inside the page, registered by id.
    HWND add(ControlMap& map, int id, const wchar_t* window_class, std::wstring_view text,
             DWORD style, const RECT& twips, ControlBinding binding = {});
    // Binding helpers.
    static ControlBinding mirror(ControlId control) { return {nullptr, control, {}, {}}; }
    static ControlBinding click(Command command) { return {nullptr, {}, std::move(command), {}}; }

    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    std::wstring caption_;
    Twips tw_;
    HWND main_window_ = nullptr;
};

// Tabs 0 to 7: one backup set each.
class SetPage final : public TabPage {
public:
    explicit SetPage(int k);

protected:
    void build(ControlMap& map) override;

private:
    int k_;
};

// Tab 8 "コピー条件".
class CopyRulesPage final : public TabPage {
public:
    CopyRulesPage();

protected:
    void build(ControlMap& map) override;
};

// Tab 9 "起動イベント".
class StartEventsPage final : public TabPage {
public:
    StartEventsPage();

protected:
    void build(ControlMap& map) override;
};

// Tab 10 "履歴".
class HistoryPage final : public TabPage {
public:
    HistoryPage();

protected:
    void build(ControlMap& map) override;
};

// The eleven pages in tab order.
std::vector<std::unique_ptr<TabPage>> make_settings_pages();

// RECT from twips (left, top, width, height) for the page tables.
constexpr RECT twips(int left, int top, int width, int height) {
    return RECT{left, top, left + width, top + height};
}

}  // namespace tarvenix::win32
