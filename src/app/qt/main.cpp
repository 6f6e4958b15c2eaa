// tarvenix: the desktop program. Creates the ports, the windows and the
// program's state, and hands every event to the AppController.

#include <QApplication>
#include <QLibraryInfo>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

#include "app/core/app_controller.h"
#include "app/core/file_locations.h"
#include "app/core/program_context.h"
#include "app/qt/display_link.h"
#include "app/qt/main_window.h"
#include "app/qt/progress_dialog.h"
#include "app/qt/qt_desktop.h"
#include "app/qt/qt_ports.h"
#include "app/qt/ui_common.h"
#include "common/platform/process.h"
#include "common/platform/termination.h"
#include "common/system_ports.h"

using namespace Qt::StringLiterals;
using namespace tarvenix;

int main(int argc, char* argv[]) {
    tarvenix::platform::raise_open_file_limit();  // a run's batches hold folders open
    // The settings and the history live beside the executable, or in the
    // user's own folder when the program is installed where the user cannot
    // write (locate_program_files). Its folder is taken as the file system's
    // bytes, so a folder name that is not UTF-8 still works.
    const std::string program_folder = platform::executable_folder();
    // Watched from the first moment: a termination request that comes while
    // the program is still coming up waits in the handle until the event
    // loop runs, instead of killing the program without its sequence. (A
    // program that cannot start has nothing to finish: a signal ends it.)
    const int termination_handle =
        program_folder.empty() ? -1 : platform::watch_termination_signals();
    if (!program_folder.empty() && termination_handle < 0) {
        std::perror("tarvenix: termination signals");
    }
    QApplication app(argc, argv);
    qt::configure_application();
    // Qt's own dialogs (the folder picker where the desktop has none) in
    // Japanese, like the rest of the program, when the translation is there.
    QTranslator qt_japanese;
    if (qt_japanese.load(u"qtbase_ja"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qt_japanese);
    }

    qt::QtMessageBoxes boxes;
    qt::QtSound sound;
    qt::QtBusyPointer busy;
    SystemClock clock;
    qt::QtEventPump pump(clock);
    LogindSession session;
    session.set_failure_reporter([&boxes](std::string_view message) {
        boxes.show_box("Error", message, box_style::kOk | box_style::kIconStop, nullptr);
    });
    qt::QtShell shell;
    qt::QtFolderPicker folders;
    qt::QtDesktop desktop;
    const Ports ports{boxes, sound, busy, pump, clock, session, shell, folders, desktop};

    if (program_folder.empty()) {
        std::fputs("tarvenix: the folder of the program cannot be found\n", stderr);
        boxes.show_box("Tarvenix", face::kNoProgramFolder, box_style::kOk | box_style::kIconStop,
                       nullptr);
        return 1;
    }
    // The rest in the order program_context.h describes.
    qt::ProgressDialog progress(clock, pump);
    ProgramContext context(ports, progress.presenter(), locate_program_files(program_folder));
    qt::MainWindow window(context.settings.page, progress, desktop);
    AppController controller(context.controller_parts(), window);
    window.set_controller(&controller);
    folders.set_parent(&window);
    boxes.set_windows(&progress, &window);

    if (termination_handle >= 0) {
        auto* notifier = new QSocketNotifier(termination_handle, QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [&controller] {
            if (platform::termination_requested()) {
                controller.on_termination_request();
            }
        });
    }
    // The X server gone (a log-out ends it first): the program ends as on the
    // system's termination request, unseen (display_link.h). A pass the run
    // asks for finds it before Qt does; so does the program's own watch of
    // the connection, which an idle event loop wakes on before Qt's pass.
    pump.set_display_lost_handler([&controller] { controller.on_termination_request(); });
    // The same when one of Qt's own calls finds the connection broken first.
    const std::function<void()> lost_in_a_call = [&pump] { (void)pump.display_gone(); };
    qt::on_display_lost_in_a_call(&lost_in_a_call);
    if (const int display = qt::display_descriptor(); display >= 0) {
        auto* watch = new QSocketNotifier(display, QSocketNotifier::Read, &app);
        QObject::connect(watch, &QSocketNotifier::activated, &app, [&pump, watch] {
            // Qt would end the program as soon as this returns: the shut-down
            // sequence runs here (in display_gone), to the program's end.
            // Still here means a run or a box this pass interrupted, which
            // cannot go on.
            if (pump.display_gone()) {
                watch->setEnabled(false);
                std::exit(1);
            }
            // Otherwise the server's messages, which Qt reads.
        });
    }
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [&controller](QSessionManager& /*manager*/) {
                         // The session is ending: nothing waits for a click.
                         controller.on_termination_request();
                     });

    QTimer::singleShot(0, &app, [&controller] { controller.start_up(); });
    return QApplication::exec();
}
