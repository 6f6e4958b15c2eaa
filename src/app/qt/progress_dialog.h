#pragma once

// `copydlg`: the small window shown while a backup run is in progress, with
// the set's folders, the file being copied and the "中　止" button.

#include <QDialog>
#include <array>
#include <functional>
#include <string>

#include "engine/progress_view.h"

class QLabel;
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
    // shown the next time the event loop is served, so a run pays for one
    // repaint per pump, not for every change.
    void set_label(ProgressLabel label, std::string_view text) override;

    // The label, showing the latest text set.
    QLabel* label(ProgressLabel label) const;

    // Escape does not close it: only the run takes it off the screen.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void show_pending_labels();
    QLabel* label_widget(ProgressLabel label) const;
    QLabel* add_label(const char* name, const QString& text, const QRect& geometry,
                      const QColor& colour);

    std::function<void()> cancel_;
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
};

}  // namespace tarvenix::qt
