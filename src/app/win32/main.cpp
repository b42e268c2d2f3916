// Veltrona Administration on Windows: the window that runs the storage server beside it.
#include <windows.h>

#include <exception>
#include <filesystem>
#include <string>

#include "ServerAdminWindow.h"
#include "app/ServerAdminFormDescription.h"
#include "process/windows/WindowsProcessPlatform.h"
#include "ui/win32/Win32UserDialogs.h"

namespace {

// The title of the application, the caption of its error boxes.
constexpr const char* kApplicationTitle = "Veltrona Administration";

// The folder of the running executable, ending with a separator.
std::filesystem::path programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return std::filesystem::path(path).parent_path() / "";
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace veltrona;
    const ui::FormSpec& form = app::serverAdminFormSpec();
    ui::Win32UserDialogs dialogs(kApplicationTitle, form.fontFamily, form.fontPointSize);
    try {
        process::WindowsProcessPlatform processes;
        const app::SystemClock clock;
        app::ServerAdminWindow window(
            {processes, dialogs, clock, app::readLocaleTimeFormat, programFolder()});
        dialogs.setOwner(window.window().handle());
        processes.setOwnerWindow(window.window().handle());
        if (!window.open()) {
            return 0;  // refused at the password gate: nothing shown, nothing written
        }
        return window.window().runMessageLoop();
    } catch (const std::exception& error) {
        dialogs.setOwner(nullptr);
        dialogs.showError(std::string(error.what()) + ".");
        return 1;
    }
}
