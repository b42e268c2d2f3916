#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "FormDoubles.h"
#include "NativeFormWindow.h"
#include "WindowsTestSupport.h"
#include "app/AdminProgram.h"
#include "app/Clock.h"
#include "app/ServerAdminFormDescription.h"
#include "process/windows/WindowsProcessPlatform.h"
#include "ui/PromptGeometry.h"
#include "ui/UserDialogs.h"

namespace veltrona::testing {

using app::testing::RecordingDialogs;

// The program's window as its entry puts it together: the native window made from the
// form's description, with the form's behaviour bound to its events.
class NativeAdminWindow {
  public:
    explicit NativeAdminWindow(app::FormServices services)
        : window_(app::serverAdminFormSpec()), admin_(window_, std::move(services)) {}

    ui::NativeFormWindow& window() { return window_; }
    app::TServerAdminForm& form() { return admin_.form(); }
    bool open() { return admin_.open(); }

  private:
    ui::NativeFormWindow window_;
    app::AdminProgram admin_;
};

// The administration window over a program folder of its own, the real processes and
// the system clock; dialogs are answered by the test.
class AdminWindowTest : public ::testing::Test {
  protected:
    void TearDown() override;

    // The window over the program folder, which holds `settings` as "Server.INI" when given.
    NativeAdminWindow& makeWindow(const std::optional<std::string>& settings = std::nullopt,
                                  process::ProcessPlatform* processes = nullptr);
    ui::NativeFormWindow& view() { return window_->window(); }
    std::filesystem::path folder() const { return programFolder_; }
    // Places the stand-in server in the program folder.
    void addServer() const;

    TempFolder folder_;
    std::filesystem::path programFolder_ = folder_.path() / "";  // ends with a separator
    process::WindowsProcessPlatform processes_;
    RecordingDialogs dialogs_;
    app::SystemClock clock_;
    std::unique_ptr<NativeAdminWindow> window_;
};

// The real VeltronaAdmin.exe, copied into `folder` and started there as a user starts
// it, watched from this process. Ended hard when the test leaves it running.
class StartedAdminProgram {
  public:
    explicit StartedAdminProgram(const std::filesystem::path& folder);
    StartedAdminProgram(const StartedAdminProgram&) = delete;
    StartedAdminProgram& operator=(const StartedAdminProgram&) = delete;
    ~StartedAdminProgram();

    bool started() const { return started_.hProcess != nullptr; }
    std::vector<HWND> topLevelWindows() const;
    // Its visible top-level window titled `title`, once it shows; null after ten seconds.
    HWND waitForWindow(const std::wstring& title) const;
    // Whether it ended within ten seconds.
    bool waitForExit() const;

  private:
    PROCESS_INFORMATION started_{};
};

// Handles the thread's messages as the application's loop does, until `condition` holds
// or `timeout` has passed; the condition's last answer.
bool pumpUntil(ui::NativeFormWindow& window, const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));
void pumpFor(ui::NativeFormWindow& window, std::chrono::milliseconds duration);

// Presses and releases `key` on the keyboard, with Shift held when asked, and lets the
// window handle it.
void typeKey(ui::NativeFormWindow& window, WORD key, bool shift = false);

ui::Rect boundsIn(HWND window, HWND reference);  // in the client area of `reference`
std::wstring windowText(HWND window);
std::string fileContent(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);
void endAllServers();  // every stand-in server that runs

// Watches from a thread of its own for a visible window of this process with the given
// class, then runs `action` on it there, while the test's thread sits in the modal loop
// that shows it. Fails the test when none opens within ten seconds.
class WhenWindowOpens {
  public:
    WhenWindowOpens(std::wstring windowClass, std::function<void(HWND)> action);
    ~WhenWindowOpens();

  private:
    std::thread watcher_;
    bool found_ = false;
};

}  // namespace veltrona::testing
