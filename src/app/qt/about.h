#pragma once

// `frmAbout`: the program's name, version and maker. Not modal; one at a time.

#include <QWidget>

class QLabel;

namespace tarvenix::qt {

class AboutWindow final : public QWidget {
    Q_OBJECT

public:
    explicit AboutWindow(const QString& version_text, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace tarvenix::qt
