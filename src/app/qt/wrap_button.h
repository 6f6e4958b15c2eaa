#pragma once

// A push button whose caption wraps onto a second line when it does not fit,
// as the captions of the program's buttons were written for ("ﾊﾞｯｸｱｯﾌﾟ後
// Windows終了" on a button a hundred pixels wide). text() stays the caption.

#include <QPushButton>

namespace tarvenix::qt {

class WrapButton final : public QPushButton {
    Q_OBJECT

public:
    explicit WrapButton(const QString& caption, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace tarvenix::qt
