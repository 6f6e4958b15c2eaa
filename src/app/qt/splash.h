#pragma once

// `frmSplash`: the window that shows the product name for the two seconds of
// start-up. A key press closes it early.

#include <QWidget>

class QLabel;

namespace tarvenix::qt {

class SplashWindow final : public QWidget {
    Q_OBJECT

public:
    explicit SplashWindow(QWidget* parent = nullptr);

    void set_product_text(const QString& text);
    // Shows it centred and takes the keyboard, so a key press reaches it.
    void present();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QLabel* lblProductName_ = nullptr;
};

}  // namespace tarvenix::qt
