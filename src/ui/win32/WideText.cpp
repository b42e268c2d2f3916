#include "WideText.h"

#include <windows.h>

#include "config/text/windows/WideText.h"

namespace veltrona::ui {

std::wstring widen(std::string_view utf8) {
    return config::widen(utf8, CP_UTF8);
}

std::string narrow(std::wstring_view wide) {
    return config::narrow(wide, CP_UTF8);
}

std::wstring windowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

}  // namespace veltrona::ui
