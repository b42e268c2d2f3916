// Veltrona Administration on Windows: the window that runs the storage server beside it.
#include <windows.h>

#include "app/AdminProgram.h"
#include "app/ServerAdminFormDescription.h"
#include "process/ProgramFolder.h"
#include "process/windows/WindowsProcessPlatform.h"
#include "ui/win32/ApplicationWindow.h"
#include "ui/win32/NativeFormWindow.h"
#include "ui/win32/Win32UserDialogs.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace veltrona;
    const ui::FormSpec& form = app::serverAdminFormSpec();
    ui::Win32UserDialogs dialogs(app::kApplicationTitle, form.fontFamily, form.fontPointSize);
    return app::runGuarded(dialogs, [&] {
        process::WindowsProcessPlatform processes;
        const app::SystemClock clock;
        // The application's window has the taskbar button and owns the form's window.
        const ui::ApplicationWindow application(app::kApplicationTitle);
        ui::NativeFormWindow window(form, application.handle());
        // The window owns every dialog and every window the server's launch opens.
        dialogs.setOwner(window.handle());
        processes.setOwnerWindow(window.handle());
        return app::runAdminProgram(window, {processes, dialogs, clock, app::readLocaleTimeFormat,
                                             process::programFolder()});
    });
}
