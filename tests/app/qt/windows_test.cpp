// The progress dialog, the splash and the About window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "app/qt/about.h"
#include "app/qt/progress_dialog.h"
#include "app/qt/splash.h"
#include "app/qt/ui_common.h"

using namespace Qt::StringLiterals;

namespace tarvenix::testing {
namespace {

QString caption(const QWidget* parent, const QString& name) {
    const auto* widget = parent->findChild<QWidget*>(name);
    if (widget == nullptr) {
        return u"<missing>"_s;
    }
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
        return button->text();
    }
    return u"<no caption>"_s;
}

TEST(ProgressDialogTest, HasItsLabelsAndButton) {
    qt::ProgressDialog dialog;
    EXPECT_EQ(dialog.objectName(), u"copydlg"_s);
    EXPECT_EQ(dialog.windowTitle(), u"Tarvenix  バックアップ中 ．．．"_s);
    const std::pair<QString, QString> rows[] = {
        {u"Label1"_s, u"コピー元フォルダ"_s},
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
        {u"copyccl_bt"_s, u"中　止"_s},
    };
    for (const auto& [name, text] : rows) {
        EXPECT_EQ(caption(&dialog, name), text) << name.toStdString();
    }
    const qt::Twips tw(&dialog);
    EXPECT_EQ(dialog.size(), tw.size(7485, 3420));
    EXPECT_EQ(dialog.findChild<QWidget*>(u"copyccl_bt"_s)->geometry(),
              tw.rect(3240, 2880, 1185, 435));
    const auto* size = dialog.findChild<QLabel*>(u"filesize"_s);
    EXPECT_TRUE((size->alignment() & Qt::AlignRight) != 0);
    EXPECT_EQ(dialog.findChild<QLabel*>(u"Label1"_s)->palette().color(QPalette::WindowText),
              QColor(0, 0, 255));
    EXPECT_EQ(dialog.findChild<QLabel*>(u"Label2"_s)->palette().color(QPalette::WindowText),
              QColor(255, 0, 255));
    EXPECT_FALSE(dialog.isModal());
}

TEST(ProgressDialogTest, EveryLabelShowsItsWholeTextInTheFontsOfADebianDesktop) {
    const QFont program_font = QApplication::font();
    // The program's own pick, the fixed-width face, and a face the system
    // lacks (fontconfig falls back).
    for (const QString& family : {program_font.family(), u"IPAGothic"_s, u"No Such Face"_s}) {
        QFont font(family);
        font.setPointSizeF(9.0);
        QApplication::setFont(font);
        qt::ProgressDialog dialog;
        for (const QLabel* label : dialog.findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) {
                EXPECT_GE(label->contentsRect().width(),
                          label->fontMetrics().horizontalAdvance(label->text()))
                    << family.toStdString() << " " << label->objectName().toStdString();
                EXPECT_TRUE(dialog.rect().contains(label->geometry()))
                    << label->objectName().toStdString();
            }
        }
    }
    QApplication::setFont(program_font);
}

TEST(ProgressDialogTest, ShowsLabelsAndForwardsTheCancelButton) {
    qt::ProgressDialog dialog;
    int cancels = 0;
    dialog.set_cancel_handler([&cancels] { ++cancels; });
    ProgressView& view = dialog;
    EXPECT_FALSE(view.visible());
    view.show();
    EXPECT_TRUE(view.visible());
    view.set_label(ProgressLabel::srcfld, "/ホーム/元");
    view.set_label(ProgressLabel::dstfld, "/バックアップ/先");
    view.set_label(ProgressLabel::subfld, "/2004");
    view.set_label(ProgressLabel::cpfname, "報告.txt");
    view.set_label(ProgressLabel::filesize, "1,235");
    QCoreApplication::processEvents();  // the labels show when the user interface is served
    EXPECT_EQ(caption(&dialog, u"srcfld"_s), u"/ホーム/元"_s);
    EXPECT_EQ(caption(&dialog, u"dstfld"_s), u"/バックアップ/先"_s);
    EXPECT_EQ(caption(&dialog, u"subfld"_s), u"/2004"_s);
    EXPECT_EQ(caption(&dialog, u"cpfname"_s), u"報告.txt"_s);
    EXPECT_EQ(caption(&dialog, u"filesize"_s), u"1,235"_s);

    QTest::mouseClick(dialog.findChild<QPushButton*>(u"copyccl_bt"_s), Qt::LeftButton);
    QTest::mouseClick(dialog.findChild<QPushButton*>(u"copyccl_bt"_s), Qt::LeftButton);
    EXPECT_EQ(cancels, 2);
    EXPECT_TRUE(view.visible());  // the button only asks; the run hides it

    // Neither Escape nor a close request takes it off the screen.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(view.visible());
    EXPECT_FALSE(dialog.close());
    EXPECT_TRUE(view.visible());

    view.hide();
    EXPECT_FALSE(view.visible());
    EXPECT_EQ(caption(&dialog, u"cpfname"_s), u"報告.txt"_s);  // kept until overwritten
}

TEST(ProgressDialogTest, CentresItselfOnItsFirstShowing) {
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

TEST(SplashTest, ShowsTheProductAndClosesOnAKey) {
    QPointer<qt::SplashWindow> splash = new qt::SplashWindow;
    splash->set_product_text(u" Tarvenix Ver7.00 "_s);
    splash->present();
    EXPECT_EQ(splash->objectName(), u"frmSplash"_s);
    EXPECT_EQ(splash->windowTitle(), u" "_s);
    EXPECT_EQ(caption(splash, u"lblProductName"_s), u" Tarvenix Ver7.00 "_s);
    EXPECT_EQ(caption(splash, u"Label1"_s), u"For Win 98/Me/NT4/2000/XP"_s);
    EXPECT_EQ(caption(splash, u"lblCompanyProduct"_s), u"© Tarvenix developers"_s);
    EXPECT_FALSE(splash->findChild<QLabel*>(u"imgLogo"_s)->pixmap().isNull());
    EXPECT_EQ(splash->palette().color(QPalette::Window), QColor(192, 192, 192));
    const QFont product = splash->findChild<QLabel*>(u"lblProductName"_s)->font();
    EXPECT_TRUE(product.bold());
    EXPECT_TRUE(product.italic());

    QTest::mouseClick(splash, Qt::LeftButton);  // a click does nothing
    EXPECT_TRUE(splash->isVisible());
    QTest::keyClick(splash, Qt::Key_Space);
    EXPECT_FALSE(splash->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(splash.isNull());
}

TEST(AboutTest, ShowsVersionAndClosesWithOk) {
    QPointer<qt::AboutWindow> about = new qt::AboutWindow(u"Ver7.00"_s);
    about->show();
    EXPECT_EQ(about->objectName(), u"frmAbout"_s);
    EXPECT_EQ(about->windowTitle(), u"TARVENIXのﾊﾞｰｼﾞｮﾝ情報"_s);
    EXPECT_EQ(caption(about, u"lbl_ver"_s), u"Ver7.00"_s);
    EXPECT_EQ(caption(about, u"Label2"_s), u"Tarvenix"_s);
    EXPECT_EQ(caption(about, u"lblDescription"_s), u"ファイルバックアップユーティリティー"_s);
    EXPECT_EQ(caption(about, u"Label4"_s), u"for Win95/98/Me/NT4.0/2000/XP"_s);
    EXPECT_EQ(caption(about, u"Label1"_s), u"© Tarvenix developers"_s);
    EXPECT_EQ(caption(about, u"cmdOK"_s), u"OK"_s);
    EXPECT_NE(about->findChild<QWidget*>(u"Frame1"_s), nullptr);
    EXPECT_TRUE(about->findChild<QWidget*>(u"Frame1"_s)
                    ->isAncestorOf(about->findChild<QWidget*>(u"picIcon"_s)));
    // Every label shows its whole text.
    for (const QLabel* label : about->findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()))
                << label->objectName().toStdString();
        }
    }
    about->findChild<QPushButton*>(u"cmdOK"_s)->click();
    EXPECT_FALSE(about->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(about.isNull());
}

TEST(ProgramIconTest, HasBothSizes) {
    const QIcon icon = qt::program_icon();
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    EXPECT_TRUE(sizes.contains(QSize(64, 64)));
    EXPECT_EQ(qt::program_pixmap32().size(), QSize(32, 32));
}

}  // namespace
}  // namespace tarvenix::testing
