// What the Windows layers of the tool share: the system's text for an error code, and a
// handle that is closed on every path out of the scope that holds it. Header only, so
// that every library with Windows code can use it without a platform file of its own.
#pragma once

#include <windows.h>

#include "config/text/windows/WideText.h"

#include <string>
#include <utility>

namespace veltrona::config {

// The system's description of `code` in UTF-8, without the line break and closing period
// of the message table: the box or line that shows it ends the sentence itself.
// "Systemfehler <code>" where the system has no text for the code.
inline std::string systemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (length > 0) {
        message = narrow(std::wstring_view(text, length), CP_UTF8);
    }
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "Systemfehler " + std::to_string(code) : message;
}

// A handle closed when the object goes, unless it was released.
class OwnedHandle {
  public:
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() { close(); }

    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }
    HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

    // Returns false when closing failed, which for a written file can mean lost data.
    bool close() {
        const bool closed = !valid() || CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }

  private:
    HANDLE handle_;
};

}  // namespace veltrona::config
