#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "GdiFont.h"
#include "ui/UserDialogs.h"

namespace veltrona::ui {

// The dialogs of the Windows window: the system's message boxes and the password prompt
// built in code. Texts come as UTF-8 and reach the 8-bit boxes and the prompt in the
// system code page.
class Win32UserDialogs final : public UserDialogs {
  public:
    // `applicationTitle` is the caption of the error box; the prompt uses the font named.
    Win32UserDialogs(std::string applicationTitle, std::string_view fontFamily, int fontPointSize);

    // The application's main window, which owns every dialog; none before it exists,
    // nor after it is destroyed.
    void setOwner(HWND owner) { owner_ = owner; }

    // Handles the messages already waiting, without waiting for more, then shows the
    // 8-bit message box with the caption "Information" and MB_TOPMOST alone.
    void showInfo(const std::string& text) override;
    bool passwordQuery(const std::string& caption, const std::string& prompt,
                       std::string& value) override;
    void showError(const std::string& message) override;
    void showStopFailure(const std::string& text) override;

  private:
    void handleWaitingMessages();
    HWND owner() const { return IsWindow(owner_) ? owner_ : nullptr; }

    std::string applicationTitle_;
    GdiFont font_;
    HWND owner_ = nullptr;
};

}  // namespace veltrona::ui
