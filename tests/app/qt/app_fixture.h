#pragma once

// The desktop program assembled as main() does, on a temporary program
// folder, with a scripted user and session in place of the real ones (the
// desktop port is the real one: tray icon and windows are Qt's).

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QTest>
#include <QWidget>
#include <string>

#include "app/core/app_controller.h"
#include "app/core/program_context.h"
#include "app/qt/main_window.h"
#include "app/qt/progress_dialog.h"
#include "app/qt/qt_desktop.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace tarvenix::testing {

class AppFixture : public ::testing::Test {
protected:
    AppFixture()
        : context(with_real_desktop(ui.ports(), desktop), progress, tmp.path())
        , window(context.settings.page, &progress)
        , controller(context, window) {
        window.set_controller(&controller);
        window.set_desktop(&desktop);
        desktop.set_tray_host(&window.tray());
        window.set_quit_handler([this] { ++quit_calls; });
        progress.set_cancel_handler([this] { controller.copyccl_bt(); });
        context.store.load_settings();
    }

    ~AppFixture() override {
        // Leave nothing on screen for the next test.
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && widget != &window && widget != &progress) {
                widget->close();
            }
        }
    }

    // Shows the settings window and waits until it has the keyboard.
    void show_window() {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    template <typename T>
    T* find(const QString& name) {
        T* widget = window.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }

    static Ports with_real_desktop(const Ports& p, DesktopPort& desktop) {
        return Ports{p.boxes,   p.sound, p.busy,    p.pump, p.clock,
                     p.session, p.shell, p.folders, desktop};
    }

    TempDir tmp;
    ScriptedUi ui;
    qt::QtDesktop desktop;
    qt::ProgressDialog progress;
    ProgramContext context;
    qt::MainWindow window;
    AppController controller;
    int quit_calls = 0;
};

}  // namespace tarvenix::testing
