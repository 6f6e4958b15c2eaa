#pragma once

// The desktop program assembled as main() does, on a temporary program
// folder, with a scripted user and session in place of the real ones.

#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <QWidget>
#include <string>

#include "app/core/app_controller.h"
#include "app/core/program_context.h"
#include "app/qt/main_window.h"
#include "app/qt/progress_dialog.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace tarvenix::testing {

class AppFixture : public ::testing::Test {
protected:
    AppFixture()
        : context(ui.ports(), progress, tmp.path())
        , window(context.settings.page, &progress)
        , controller(context, window) {
        window.set_controller(&controller);
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

    template <typename T>
    T* find(const QString& name) {
        T* widget = window.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }

    TempDir tmp;
    ScriptedUi ui;
    qt::ProgressDialog progress;
    ProgramContext context;
    qt::MainWindow window;
    AppController controller;
    int quit_calls = 0;
};

}  // namespace tarvenix::testing
