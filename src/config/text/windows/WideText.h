#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace veltrona::config {

// Bytes in a Windows code page (CP_ACP, CP_UTF8, 1252...) and UTF-16, in which the
// system's wide-character functions take text. A byte sequence the code page does not
// define becomes what the system's own conversion makes of it, as an ANSI call would.
inline std::wstring widen(std::string_view bytes, unsigned int codePage) {
    if (bytes.empty()) {
        return {};
    }
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), length);
    return wide;
}

inline std::string narrow(std::wstring_view wide, unsigned int codePage) {
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), size, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

}  // namespace veltrona::config
