#include "Win32TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/TimeFormat.h"

namespace veltrona::testing {

void AdminWindowTest::TearDown() {
    window_.reset();
    // A window closed by the user asks the application to quit; that request ends here.
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    endAllServers();
}

NativeAdminWindow& AdminWindowTest::makeWindow(const std::optional<std::string>& settings,
                                               process::ProcessPlatform* processes) {
    if (settings) {
        writeFile(folder() / L"Server.INI", *settings);
    }
    window_ = std::make_unique<NativeAdminWindow>(
        app::FormServices{processes != nullptr ? *processes : processes_, dialogs_, clock_,
                          app::readLocaleTimeFormat, folder()});
    processes_.setOwnerWindow(view().handle());
    return *window_;
}

void AdminWindowTest::addServer() const {
    const std::filesystem::path server = std::filesystem::path(programFolder()) / "ZarvoServer.exe";
    std::filesystem::copy_file(server, folder() / L"ZarvoServer.exe");
}

StartedAdminProgram::StartedAdminProgram(const std::filesystem::path& folder) {
    const std::filesystem::path program = folder / L"VeltronaAdmin.exe";
    std::filesystem::copy_file(std::filesystem::path(programFolder()) / "VeltronaAdmin.exe",
                               program);
    std::wstring commandLine = L"\"" + program.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &started_)) {
        started_ = {};
        return;
    }
    WaitForInputIdle(started_.hProcess, 10000);
}

StartedAdminProgram::~StartedAdminProgram() {
    if (!started()) {
        return;
    }
    if (WaitForSingleObject(started_.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(started_.hProcess, 1);
    }
    CloseHandle(started_.hThread);
    CloseHandle(started_.hProcess);
}

namespace {

struct ProcessWindows {
    DWORD process;
    std::vector<HWND> windows;
};

BOOL CALLBACK collectWindowOf(HWND window, LPARAM found) {
    auto* seen = reinterpret_cast<ProcessWindows*>(found);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == seen->process) {
        seen->windows.push_back(window);
    }
    return TRUE;
}

}  // namespace

std::vector<HWND> StartedAdminProgram::topLevelWindows() const {
    ProcessWindows seen{started_.dwProcessId, {}};
    EnumWindows(collectWindowOf, reinterpret_cast<LPARAM>(&seen));
    return seen.windows;
}

HWND StartedAdminProgram::waitForWindow(const std::wstring& title) const {
    HWND found = nullptr;
    waitUntil(
        [&] {
            for (const HWND window : topLevelWindows()) {
                if (IsWindowVisible(window) && windowText(window) == title) {
                    found = window;
                }
            }
            return found != nullptr;
        },
        std::chrono::seconds(10));
    return found;
}

bool StartedAdminProgram::waitForExit() const {
    return started() && WaitForSingleObject(started_.hProcess, 10000) == WAIT_OBJECT_0;
}

bool pumpUntil(ui::NativeFormWindow& window, const std::function<bool()>& condition,
               std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return condition();
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));
                return condition();
            }
            window.deliver(message);
        }
    }
    return true;
}

void pumpFor(ui::NativeFormWindow& window, std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    pumpUntil(
        window, [&] { return std::chrono::steady_clock::now() >= end; }, duration * 2);
}

void typeKey(ui::NativeFormWindow& window, WORD key, bool shift) {
    std::vector<INPUT> inputs;
    const auto add = [&](WORD vk, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    if (shift) {
        add(VK_SHIFT, false);
    }
    add(key, false);
    add(key, true);
    if (shift) {
        add(VK_SHIFT, true);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    pumpFor(window, std::chrono::milliseconds(150));
}

ui::Rect boundsIn(HWND window, HWND reference) {
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, reference, reinterpret_cast<POINT*>(&r), 2);
    return ui::Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::string fileContent(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

void endAllServers() {
    process::WindowsProcessPlatform processes;
    for (const process::ProcessEntry& entry : processes.listProcesses()) {
        const std::string& path = entry.executable;
        if (path.size() >= 15 &&
            _stricmp(path.c_str() + path.size() - 15, "ZarvoServer.exe") == 0) {
            processes.terminate(entry);
        }
    }
}

namespace {

struct Search {
    std::wstring windowClass;
    HWND found = nullptr;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<Search*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && search.windowClass == name) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

WhenWindowOpens::WhenWindowOpens(std::wstring windowClass, std::function<void(HWND)> action)
    : watcher_([this, windowClass = std::move(windowClass), action = std::move(action)] {
          Search search{windowClass};
          found_ = waitUntil(
              [&] {
                  EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
                  return search.found != nullptr;
              },
              std::chrono::seconds(10));
          if (found_) {
              Sleep(100);  // lets the modal loop take the window's first messages
              action(search.found);
              // A window the action left open is closed, so a wrong guess fails, not hangs.
              if (!waitUntil([&] { return !IsWindowVisible(search.found); },
                             std::chrono::seconds(10))) {
                  ADD_FAILURE() << "the window stayed open";
                  PostMessageW(search.found, WM_CLOSE, 0, 0);
              }
          }
      }) {}

WhenWindowOpens::~WhenWindowOpens() {
    watcher_.join();
    EXPECT_TRUE(found_) << "no such window opened";
}

}  // namespace veltrona::testing
