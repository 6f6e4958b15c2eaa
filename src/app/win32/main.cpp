// tarvenix.exe: the Windows program. Creates the ports, the windows and the
// program's state, and hands every event to the AppController.

// <windows.h> comes before the other Windows headers, which rely on it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
// clang-format on

#include "app/core/file_locations.h"
#include "app/core/program_context.h"
#include "app/win32/main_window.h"
#include "app/win32/win32_ports.h"
#include "common/platform/process.h"
#include "common/platform/termination.h"
#include "common/system_ports.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    tarvenix::platform::raise_open_file_limit();  // a run's batches hold folders open
    // The folder picker and HTML Help are COM objects of this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    namespace w = tarvenix::win32;
    w::Win32MessageBoxes boxes;
    w::Win32Sound sound;
    w::Win32BusyPointer busy;
    tarvenix::SystemClock clock;
    w::Win32EventPump pump(clock);
    tarvenix::WindowsSession session;
    w::Win32Shell shell;
    w::Win32FolderPicker folders;
    w::Win32Desktop desktop;
    const tarvenix::Ports ports{boxes, sound, busy, pump, clock, session, shell, folders, desktop};

    // The settings and the history live beside the executable, or in
    // %APPDATA%\Tarvenix when the user cannot write there (Program Files).
    const std::string program_folder = tarvenix::platform::executable_folder();
    if (program_folder.empty()) {
        boxes.show_box("Tarvenix", tarvenix::face::kNoProgramFolder,
                       tarvenix::box_style::kOk | tarvenix::box_style::kIconStop, nullptr);
        return 1;
    }
    // A console's Ctrl+C or closing asks the program to end through the
    // platform layer, which Timer1 checks; the session's end comes as messages.
    tarvenix::platform::watch_termination_signals();

    int exit_code = 0;
    {
        // The rest in the order program_context.h describes.
        w::ProgressDialog progress(pump, clock);
        tarvenix::ProgramContext context(ports, progress.view(),
                                         tarvenix::locate_program_files(program_folder));
        w::TrayIcon tray;
        w::MainWindow window(context.settings.page, progress, tray);
        tarvenix::AppController controller(context.controller_parts(), window);
        window.set_controller(&controller);
        folders.set_owner(window.hwnd());
        boxes.set_windows(progress.hwnd(), window.hwnd());

        controller.start_up();
        exit_code = pump.run();
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return exit_code;
}
