#pragma once

// `copydlg`: the small window shown while a backup run is in progress, with
// the set's folders, the file being copied and the "中　止" button.

#include <QDialog>
#include <QElapsedTimer>
#include <array>
#include <functional>
#include <string>

#include "engine/progress_view.h"

class QLabel;
class QTimer;
class QPushButton;

namespace tarvenix::qt {

class ProgressDialog final : public QDialog, public ProgressView {
    Q_OBJECT

public:
    explicit ProgressDialog(QWidget* parent = nullptr);

    // What "中　止" does (the controller's copyccl_bt).
    void set_cancel_handler(std::function<void()> handler) { cancel_ = std::move(handler); }

    // ProgressView
    void show() override;
    void hide() override;
    bool visible() const override;
    // Labels change several times per copied file; the texts are kept and
    // painted the next time the event loop is served, so a run pays for one
    // repaint per pump, not for every change. The file name and size cleared
    // after a copy stay on screen until the next file replaces them (or the
    // pause between files outlasts kClearDelayMs), so a served pass between
    // two small files never paints the labels blank.
    void set_label(ProgressLabel label, std::string_view text) override;

    static constexpr int kClearDelayMs = 100;
    // A file of at least this size (in the thousands of bytes the size label
    // shows) may take long enough to copy that its name must be on screen
    // before the copy starts: the dialog asks for a prompt pass.
    static constexpr long kPromptKbytes = 1000;
    // What asks the event pump to serve its next call at once.
    void set_prompt_pass_request(std::function<void()> request) {
        request_prompt_pass_ = std::move(request);
    }

    // The label, with the texts waiting for the next pass applied (a cleared
    // file name waits for its delay).
    QLabel* label(ProgressLabel label) const;

    // Escape does not close it: only the run takes it off the screen.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void show_pending_labels();
    void apply_clear();
    QLabel* label_widget(ProgressLabel label) const;
    QLabel* add_label(const char* name, const QString& text, const QRect& geometry,
                      const QColor& colour);

    std::function<void()> cancel_;
    std::function<void()> request_prompt_pass_;
    QTimer* clear_timer_ = nullptr;
    QElapsedTimer clear_since_;
    QLabel* srcfld_ = nullptr;
    QLabel* dstfld_ = nullptr;
    QLabel* subfld_ = nullptr;
    QLabel* cpfname_ = nullptr;
    QLabel* filesize_ = nullptr;
    QPushButton* copyccl_bt_ = nullptr;
    bool centred_ = false;
    bool closing_ = false;
    static constexpr std::size_t kLabels = 5;
    std::array<std::string, kLabels> pending_;
    std::array<bool, kLabels> changed_{};
    bool update_queued_ = false;
    bool clear_pending_ = false;
};

}  // namespace tarvenix::qt
