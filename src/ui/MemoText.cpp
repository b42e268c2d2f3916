#include "MemoText.h"

namespace veltrona::ui {

std::vector<std::string> memoLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t found = text.find('\n', start);
        const std::size_t end = found == std::string_view::npos ? text.size() : found;
        const bool crlf = found != std::string_view::npos && end > start && text[end - 1] == '\r';
        const std::size_t lineEnd = crlf ? end - 1 : end;
        lines.emplace_back(text.substr(start, lineEnd - start));
        start = end + 1;
    }
    return lines;
}

std::string memoText(const std::vector<std::string>& lines, std::string_view lineBreak) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += lineBreak;
    }
    return text;
}

}  // namespace veltrona::ui
