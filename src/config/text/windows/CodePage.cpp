#include "config/text/CodePage.h"

#include <windows.h>

#include "config/text/windows/WideText.h"

namespace veltrona::config {

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
