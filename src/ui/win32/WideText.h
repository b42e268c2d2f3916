#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace veltrona::ui {

// UTF-8, in which the form's logic holds display text, and UTF-16, in which the system's
// wide-character functions take it.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);

// A window's text, whole.
std::wstring windowText(HWND window);

}  // namespace veltrona::ui
