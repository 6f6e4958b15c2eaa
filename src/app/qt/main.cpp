// tarvenix: the desktop program. Creates the ports, the windows and the
// program's state, and hands every event to the AppController.

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QLibraryInfo>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>
#include <QTranslator>
#include <array>
#include <csignal>
#include <cstdio>

#include "app/core/app_controller.h"
#include "app/core/program_context.h"
#include "app/qt/main_window.h"
#include "app/qt/progress_dialog.h"
#include "app/qt/qt_desktop.h"
#include "app/qt/qt_ports.h"
#include "app/qt/ui_common.h"
#include "common/system_ports.h"

using namespace Qt::StringLiterals;

namespace {

// A termination signal is turned into a byte on this socket pair; the event
// loop reads it and runs the shut-down sequence as closing the window would.
std::array<int, 2> g_signal_pipe{-1, -1};

void on_termination_signal(int signal_number) {
    const auto byte = static_cast<unsigned char>(signal_number);
    // Nothing to do when the pipe is full: a close is already pending.
    [[maybe_unused]] const ssize_t written = ::write(g_signal_pipe[0], &byte, 1);
}

bool install_signal_handlers() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0,
                     g_signal_pipe.data()) != 0) {
        std::perror("tarvenix: socketpair");
        return false;
    }
    struct sigaction action {};
    action.sa_handler = on_termination_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        if (::sigaction(signal_number, &action, nullptr) != 0) {
            std::perror("tarvenix: sigaction");
        }
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    tarvenix::qt::configure_application();
    // Qt's own dialogs (the folder picker where the desktop has none) in
    // Japanese, like the rest of the program, when the translation is there.
    QTranslator qt_japanese;
    if (qt_japanese.load(u"qtbase_ja"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qt_japanese);
    }

    tarvenix::qt::QtMessageBoxes boxes;
    tarvenix::qt::QtSound sound;
    tarvenix::qt::QtBusyPointer busy;
    tarvenix::qt::QtEventPump pump;
    tarvenix::SystemClock clock;
    tarvenix::LogindSession session;
    session.set_failure_reporter([&boxes](std::string_view message) {
        boxes.show_box("Error", message, tarvenix::box_style::kOk | tarvenix::box_style::kIconStop,
                       nullptr);
    });
    tarvenix::qt::QtShell shell;
    tarvenix::qt::QtFolderPicker folders;
    tarvenix::qt::QtDesktop desktop;
    const tarvenix::Ports ports{boxes, sound, busy, pump, clock, session, shell, folders, desktop};

    tarvenix::qt::ProgressDialog progress;
    tarvenix::ProgramContext context(ports, progress,
                                     tarvenix::qt::to_std(QCoreApplication::applicationDirPath()));
    tarvenix::qt::MainWindow window(context.settings.page, &progress);
    tarvenix::AppController controller(context, window);
    window.set_controller(&controller);
    window.set_desktop(&desktop);
    desktop.set_tray_host(&window);
    progress.set_cancel_handler([&controller] { controller.copyccl_bt(); });
    progress.set_prompt_pass_request([&pump] { pump.request_prompt_pass(); });
    folders.set_parent(&window);

    if (install_signal_handlers()) {
        auto* notifier = new QSocketNotifier(g_signal_pipe[1], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [&controller] {
            unsigned char byte = 0;
            while (::read(g_signal_pipe[1], &byte, 1) == 1) {
            }
            controller.on_close_request();
        });
    }
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [&controller](QSessionManager& manager) {
                         // The unsaved-change question may need the user.
                         manager.allowsInteraction();
                         controller.on_close_request();
                     });

    QTimer::singleShot(0, &app, [&controller] { controller.start_up(); });
    return QApplication::exec();
}
