#include "config/CodePage.h"

#include <windows.h>

namespace veltrona::config {

namespace {

std::wstring widen(std::string_view text, unsigned int codePage) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string narrow(const std::wstring& wide, unsigned int codePage) {
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), size, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

}  // namespace

CodePage CodePage::ofFile(std::string_view /*content*/) {
    return system();  // the system reads every 8-bit file in its ANSI code page
}

CodePage CodePage::system() {
    return CodePage(GetACP());
}

std::string CodePage::toUtf8(std::string_view bytes) const {
    return narrow(widen(bytes, identifier_), CP_UTF8);
}

std::string CodePage::fromUtf8(std::string_view utf8) const {
    return narrow(widen(utf8, CP_UTF8), identifier_);
}

}  // namespace veltrona::config
