// The progress dialog, the splash and the About window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <functional>

#include "app/qt/about.h"
#include "app/qt/progress_dialog.h"
#include "app/qt/splash.h"
#include "app/qt/ui_common.h"

using namespace Qt::StringLiterals;

namespace tarvenix::testing {
namespace {

// What a label or button shows: its text, or the size of its picture.
QString caption(const QWidget* parent, const QString& name) {
    const auto* widget = parent->findChild<QWidget*>(name);
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        const QPixmap picture = label->pixmap();
        return picture.isNull() ? label->text()
                                : u"<%1x%2>"_s.arg(picture.width()).arg(picture.height());
    }
    const auto* button = qobject_cast<const QPushButton*>(widget);
    return button != nullptr ? button->text() : u"<missing>"_s;
}

struct WindowCase {
    const char* name;
    std::function<QWidget*()> open;  // made and shown as the program does
    QString title;
    std::vector<std::pair<QString, QString>> captions;  // (object name, caption)
    std::function<void(QWidget*)> act;                  // what the user does
    bool goes_away;                                     // closed and deleted by it
};

std::vector<WindowCase> windows() {
    const auto splash = [] {
        auto* window = new qt::SplashWindow;
        window->set_product_text(u" Tarvenix Ver7.00 "_s);
        window->present();
        return window;
    };
    const std::vector<std::pair<QString, QString>> splash_captions = {
        {u"lblProductName"_s, u" Tarvenix Ver7.00 "_s},
        {u"Label1"_s, u"For Win 98/Me/NT4/2000/XP"_s},
        {u"lblCompanyProduct"_s, u"© Tarvenix developers"_s},
        {u"imgLogo"_s, u"<32x32>"_s}};
    return {
        {"splash_click", splash, u" "_s, splash_captions,
         [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }, false},
        {"splash_key", splash, u" "_s, splash_captions,
         [](QWidget* w) { QTest::keyClick(w, Qt::Key_Space); }, true},
        {"about_ok",
         [] {
             auto* about = new qt::AboutWindow(u"Ver7.00"_s);
             about->show();
             return about;
         },
         u"TARVENIXのﾊﾞｰｼﾞｮﾝ情報"_s,
         {{u"lbl_ver"_s, u"Ver7.00"_s},
          {u"Label2"_s, u"Tarvenix"_s},
          {u"lblDescription"_s, u"ファイルバックアップユーティリティー"_s},
          {u"Label4"_s, u"for Win95/98/Me/NT4.0/2000/XP"_s},
          {u"Label1"_s, u"© Tarvenix developers"_s},
          {u"picIcon"_s, u"<32x32>"_s},
          {u"cmdOK"_s, u"OK"_s}},
         [](QWidget* w) {
             QTest::mouseClick(w->findChild<QPushButton*>(u"cmdOK"_s), Qt::LeftButton);
         },
         true},
        // Neither Escape nor a close request takes the progress off the screen.
        {"progress_escape_and_close",
         [] {
             auto* dialog = new qt::ProgressDialog;
             dialog->show();
             return dialog;
         },
         u"Tarvenix  バックアップ中 ．．．"_s,
         {{u"Label1"_s, u"コピー元フォルダ"_s},
          {u"srcfld"_s, QString()},
          {u"Label2"_s, u"コピー先フォルダ"_s},
          {u"dstfld"_s, QString()},
          {u"Label3"_s, u"<サブフォルダ>"_s},
          {u"subfld"_s, QString()},
          {u"cpinfo_lvl"_s, u"ファイル名"_s},
          {u"cpfname"_s, QString()},
          {u"Label4"_s, u"ファイルサイズ"_s},
          {u"filesize"_s, QString()},
          {u"Label5"_s, u"Kbyte"_s},
          {u"copyccl_bt"_s, u"中　止"_s}},
         [](QWidget* w) {
             QTest::keyClick(w, Qt::Key_Escape);
             w->close();
         },
         false},
    };
}

TEST(WindowsTest, ShowTheirCaptionsAndCloseAsTheUserExpects) {
    for (const WindowCase& c : windows()) {
        QPointer<QWidget> window = c.open();
        EXPECT_EQ(window->windowTitle(), c.title) << c.name;
        for (const auto& [name, text] : c.captions) {
            EXPECT_EQ(caption(window, name), text) << c.name << " " << name.toStdString();
        }
        c.act(window);
        EXPECT_EQ(window->isVisible(), !c.goes_away) << c.name;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(window.isNull(), c.goes_away) << c.name;
        delete window;
    }
}

TEST(WindowsTest, EveryLabelShowsItsWholeTextInTheFontsOfADebianDesktop) {
    const QFont program_font = QApplication::font();
    // The program's own pick, the fixed-width face, and a face the system
    // lacks (fontconfig falls back).
    for (const QString& family : {program_font.family(), u"IPAGothic"_s, u"No Such Face"_s}) {
        QFont font(family);
        font.setPointSizeF(9.0);
        QApplication::setFont(font);
        for (const WindowCase& c : windows()) {
            const std::unique_ptr<QWidget> window(c.open());
            for (const QLabel* label : window->findChildren<QLabel*>()) {
                const std::string where = c.name + (" " + label->objectName().toStdString()) +
                                          " in " + family.toStdString();
                if (!label->text().isEmpty()) {
                    EXPECT_GE(label->contentsRect().width(),
                              label->fontMetrics().horizontalAdvance(label->text()))
                        << where;
                    const QRect placed(label->mapTo(window.get(), QPoint()), label->size());
                    EXPECT_TRUE(window->rect().contains(placed)) << where;
                }
            }
        }
    }
    QApplication::setFont(program_font);
}

TEST(WindowsTest, TheProgressDialogCentresItselfOnItsFirstShowingOnly) {
    qt::ProgressDialog dialog;
    dialog.show();
    const QRect screen = dialog.screen()->geometry();
    const QPoint centre = dialog.frameGeometry().center();
    EXPECT_LE(std::abs(centre.x() - screen.center().x()), 2);
    EXPECT_LE(std::abs(centre.y() - screen.center().y()), 2);
    dialog.hide();
    dialog.move(screen.topLeft());
    dialog.show();
    EXPECT_EQ(dialog.pos(), screen.topLeft());  // where the user left it
    dialog.hide();
}

}  // namespace
}  // namespace tarvenix::testing
