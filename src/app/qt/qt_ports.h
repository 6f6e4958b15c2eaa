#pragma once

// The desktop services of the program, done with Qt: message boxes, sounds,
// the busy pointer, the event pump, opening documents and the folder picker.

#include <QMessageBox>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/progress_presenter.h"
#include "common/ports.h"

namespace tarvenix::qt {

// The message box the program shows. A box whose buttons all answer a
// question (Yes/No) cannot be waved away: Escape and the window's close
// button do nothing there, the user has to choose.
class ProgramMessageBox : public QMessageBox {
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
    // The program's windows a box may belong to (the core's face::box_owner
    // picks one as each box opens); a box without one stands alone.
    void set_windows(QWidget* progress_dialog, QWidget* main_window) {
        progress_dialog_ = progress_dialog;
        main_window_ = main_window;
    }

    // The box `show_box` shows, not shown yet.
    static std::unique_ptr<ProgramMessageBox> make_box(std::string_view caption,
                                                       std::string_view text, std::int32_t style,
                                                       QWidget* owner = nullptr);

private:
    QWidget* owner() const;

    QPointer<QWidget> progress_dialog_;
    QPointer<QWidget> main_window_;
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

// Lets Qt handle pending events, when the core's PumpGate says so: the
// engine pumps several times per copied file, and a pass over the event queue
// costs more than copying a small file.
class QtEventPump final : public EventPumpPort {
public:
    explicit QtEventPump(ClockPort& clock)
        : clock_(clock) {}

    void process_events() override;
    void wait_for_events(double max_seconds) override;
    // Called once, by the first pass asked for after the X server has gone;
    // from then on no pass serves Qt, and a wait only sleeps.
    void set_display_lost_handler(std::function<void()> handler) {
        on_display_lost_ = std::move(handler);
    }
    // True once the X server has gone; the first call that finds it gone
    // calls the handler.
    bool display_gone();
    // The next call of process_events serves, within the prompt budget.
    void request_prompt_pass() { gate_.request_prompt_pass(); }

private:
    ClockPort& clock_;
    PumpGate gate_;
    std::function<void()> on_display_lost_;
    bool display_loss_told_ = false;
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
