#pragma once

#include <windows.h>

#include <string_view>

namespace veltrona::ui {

// The application's own window: the one taskbar button and Alt+Tab entry, titled with the
// application title and showing the program's icon, while the windows it owns (the form's
// window and its dialogs) carry their own captions and get no button of their own.
// Activating it through the taskbar brings back the window that was active last; closing
// it from there asks the form's window to close.
class ApplicationWindow {
  public:
    explicit ApplicationWindow(std::string_view title);
    ApplicationWindow(const ApplicationWindow&) = delete;
    ApplicationWindow& operator=(const ApplicationWindow&) = delete;
    ~ApplicationWindow();

    HWND handle() const { return window_; }

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    HICON icon_ = nullptr;
};

// The program's icon: the first icon resource of its executable, or the system's default.
HICON applicationIcon(int size);

}  // namespace veltrona::ui
