#pragma once

// The desktop services of the program, done with Qt: message boxes, sounds,
// the busy pointer, the event pump, opening documents and the folder picker.

#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/ports.h"

namespace tarvenix::qt {

// The message box the program shows. A box whose buttons all answer a
// question (Yes/No) cannot be waved away: Escape and the window's close
// button do nothing there, as on the desktop the program comes from.
class ProgramMessageBox : public QMessageBox {
    Q_OBJECT

public:
    explicit ProgramMessageBox(bool dismissable, QWidget* parent = nullptr);
    // The box's frame, once its modality is set.
    void set_frame(bool stays_on_top);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool dismissable_;
};

class QtMessageBoxes final : public MessageBoxPort {
public:
    std::int16_t show_box(std::string_view caption, std::string_view text, std::int32_t style,
                          const HelpReference* help) override;
    void close_open_boxes() override;

    // The box `show_box` shows, not shown yet.
    static std::unique_ptr<ProgramMessageBox> make_box(std::string_view caption,
                                                       std::string_view text, std::int32_t style);
    // The answer a box of the given style gives when it is dismissed with
    // Escape or its close button; kNone when it cannot be dismissed.
    static std::int16_t dismiss_answer(std::int32_t style);
    // "\r\n" and "\r" line ends as the box shows them.
    static QString box_text(std::string_view text);

private:
    // The boxes open now, innermost last (a box can open inside another's
    // event loop).
    std::vector<QMessageBox*> open_;
};

// Alert sounds: the desktop's sound theme through canberra-gtk-play when it
// is installed, otherwise the display's bell. Sound files play through
// paplay or aplay. Every player starts detached; nothing waits for it.
class QtSound final : public SoundPort {
public:
    QtSound();
    void message_beep(std::int32_t sound) override;
    void play_sound_file(std::string_view path) override;

    // The freedesktop sound name for an icon code ("" for the plain bell).
    static QString sound_name(std::int32_t sound);

private:
    QString canberra_;
    QString file_player_;
};

class QtBusyPointer final : public BusyPointerPort {
public:
    ~QtBusyPointer() override;
    void set_busy(bool busy) override;

private:
    bool busy_ = false;
};

// Lets Qt handle pending events. The engine pumps several times per copied
// file; a full pass over the event queue costs more than copying a small
// file, so passes closer together than kMinimumIntervalNs are skipped. A
// prompt pass, asked for by the progress dialog when a large file's name is
// to be shown before its copy starts, is served at once, as long as prompt
// passes have taken no more than kPromptShare of the time (plus a saved-up
// allowance of kPromptAllowanceNs), so a run of many such files on a fast
// disk is not slowed by them.
class QtEventPump final : public EventPumpPort {
public:
    static constexpr std::int64_t kMinimumIntervalNs = 15'000'000;
    static constexpr double kPromptShare = 0.02;
    static constexpr std::int64_t kPromptAllowanceNs = 20'000'000;

    // now_ns: a monotonic clock in nanoseconds (tests pass their own).
    explicit QtEventPump(std::function<std::int64_t()> now_ns = {});

    void process_events() override;
    void wait_for_events(double max_seconds) override;
    // The next call of process_events serves, within the prompt budget.
    void request_prompt_pass() { prompt_requested_ = true; }

private:
    void passed(std::int64_t started_ns);

    std::function<std::int64_t()> now_ns_;
    QElapsedTimer elapsed_;
    bool processed_once_ = false;
    bool prompt_requested_ = false;
    std::int64_t last_pass_ns_ = 0;
    std::int64_t last_call_ns_ = 0;
    std::int64_t last_cost_ns_ = 0;
    std::int64_t prompt_budget_ns_ = kPromptAllowanceNs;
};

// Opens documents with xdg-open and tells whether that worked: the opener's
// exit status is waited for (serving the event loop) up to wait_ms; an opener
// still running then has started a viewer in its foreground. Without xdg-open
// the toolkit's own opener is asked.
class QtShell final : public ShellPort {
public:
    explicit QtShell(int wait_ms = 5000)
        : wait_ms_(wait_ms) {}
    bool open_document(std::string_view path) override;

private:
    int wait_ms_;
};

class QtFolderPicker final : public FolderPickerPort {
public:
    // The window the picker belongs to (the main window).
    void set_parent(QWidget* parent) { parent_ = parent; }
    std::string pick_folder(std::string_view title) override;

private:
    QPointer<QWidget> parent_;
};

}  // namespace tarvenix::qt
