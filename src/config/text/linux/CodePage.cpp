#include "config/text/CodePage.h"

#include "config/text/TextEncoding.h"

namespace veltrona::config {

namespace {

constexpr unsigned int kUtf8 = 65001;
constexpr unsigned int kWindows1252 = 1252;

TextEncoding encodingOf(unsigned int identifier) {
    return identifier == kUtf8 ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

}  // namespace

CodePage CodePage::ofFile(std::string_view content) {
    return CodePage(detectEncoding(content) == TextEncoding::Utf8 ? kUtf8 : kWindows1252);
}

CodePage CodePage::system() {
    return CodePage(kUtf8);
}

std::string CodePage::toUtf8(std::string_view bytes) const {
    return config::toUtf8(bytes, encodingOf(identifier_));
}

std::string CodePage::fromUtf8(std::string_view utf8) const {
    return config::fromUtf8(utf8, encodingOf(identifier_));
}

}  // namespace veltrona::config
