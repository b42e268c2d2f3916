#include "TextLines.h"

namespace veltrona::config {

std::vector<std::string> splitLines(std::string_view content) {
    // Whatever follows a NUL was never part of the text, as for any C string.
    content = content.substr(0, content.find('\0'));

    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(content.substr(start));
            break;
        }
        lines.emplace_back(content.substr(start, end - start));
        start = end + 1;
        if (content[end] == '\r' && start < content.size() && content[start] == '\n') {
            ++start;
        }
    }
    return lines;
}

std::string_view trimControls(std::string_view text) {
    // Bytes are compared unsigned: 0x80 and above are letters of the code page, not controls.
    const auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isControl(text[begin])) {
        ++begin;
    }
    while (end > begin && isControl(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

}  // namespace veltrona::config
