// Entry of the widget tests: one QApplication for all of them, on the
// offscreen platform unless the caller chose another, and without the
// desktop's platform theme (its native dialogs would not be scriptable).

#include <gtest/gtest.h>

#include <QApplication>

#include "app/qt/ui_common.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    }
    qunsetenv("QT_QPA_PLATFORMTHEME");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    tarvenix::qt::configure_application();  // as the program does
    return RUN_ALL_TESTS();
}
