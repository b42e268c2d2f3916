#include "Win32UserDialogs.h"

#include <utility>

#include "PasswordPrompt.h"
#include "WideText.h"
#include "config/text/CodePage.h"

namespace veltrona::ui {

namespace {

std::string toSystem(const std::string& utf8) {
    return config::CodePage::system().fromUtf8(utf8);
}

}  // namespace

Win32UserDialogs::Win32UserDialogs(std::string applicationTitle, std::string_view fontFamily,
                                   int fontPointSize)
    : applicationTitle_(std::move(applicationTitle)), font_(fontFamily, fontPointSize) {}

void Win32UserDialogs::handleWaitingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));  // left for the main loop
            return;
        }
        if (owner() != nullptr && IsDialogMessageW(owner(), &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Win32UserDialogs::showInfo(const std::string& text) {
    handleWaitingMessages();
    MessageBoxA(owner(), toSystem(text).c_str(), "Information", MB_TOPMOST);
}

bool Win32UserDialogs::passwordQuery(const std::string& caption, const std::string& prompt,
                                     std::string& value) {
    PasswordPrompt dialog(owner(), font_.handle(), toSystem(caption), toSystem(prompt),
                          toSystem(value));
    const std::optional<std::string> entered = dialog.run();
    if (!entered) {
        return false;
    }
    value = config::CodePage::system().toUtf8(*entered);
    return true;
}

void Win32UserDialogs::showError(const std::string& message) {
    MessageBoxW(owner(), widen(message).c_str(), widen(applicationTitle_).c_str(),
                MB_ICONERROR | MB_OK);
}

void Win32UserDialogs::showStopFailure(const std::string& text) {
    MessageBoxW(owner(), widen(text).c_str(), L"Information", MB_ICONINFORMATION | MB_OK);
}

}  // namespace veltrona::ui
