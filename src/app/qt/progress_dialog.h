#pragma once

// `copydlg`: the small window shown while a backup run is in progress, with
// the set's folders, the file being copied and the cancel button. What it
// shows, and when, is the core's ProgressPresenter's to decide (the engine's
// ProgressView); the dialog draws it.

#include <QDialog>
#include <QRegion>

#include "app/core/progress_presenter.h"
#include "app/qt/face_widgets.h"

class QLabel;
class QTimer;

namespace tarvenix::qt {

class QtEventPump;

class ProgressDialog final : public QDialog, public ProgressSurface {
public:
    ProgressDialog(ClockPort& clock, QtEventPump& pump);

    ProgressPresenter& presenter() { return presenter_; }
    // What the cancel button (copyccl_bt) runs.
    void set_click_handler(Click click) { click_ = std::move(click); }
    QLabel* label(ProgressLabel label) const;

    // ProgressSurface
    void show_dialog(bool first_time) override;
    void hide_dialog() override;
    bool dialog_visible() const override { return isVisible(); }
    void set_text(ProgressLabel label, std::string_view text) override;
    void paint_now() override;
    void queue_pass() override;
    void start_timer(int ms) override;
    void request_prompt_pass() override;

    // Escape does not close it: only the run takes it off the screen.
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QtEventPump& pump_;
    ProgressPresenter presenter_;
    Click click_;
    QTimer* timer_ = nullptr;
    QRegion changed_;
    bool closing_ = false;
};

}  // namespace tarvenix::qt
