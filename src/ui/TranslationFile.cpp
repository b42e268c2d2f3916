#include "TranslationFile.h"

#include <algorithm>
#include <cstddef>

#include "config/text/AsciiCase.h"

namespace veltrona::ui {

namespace {

// Codes 0 to 32 count as blank at both ends of a line, a name, a key and a value.
bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view trim(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size() && isBlank(text[begin])) {
        ++begin;
    }
    std::size_t end = text.size();
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// Calls `onLine` with every line of `content`, split at CR LF, lone CR and lone LF.
template <typename OnLine>
void forEachLine(std::string_view content, OnLine&& onLine) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < content.size(); ++i) {
        const char c = content[i];
        if (c != '\r' && c != '\n') {
            continue;
        }
        onLine(content.substr(start, i - start));
        if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    // Text after the last break is a line of its own; a final break adds no empty line.
    if (start < content.size()) {
        onLine(content.substr(start));
    }
}

}  // namespace

TranslationFile TranslationFile::parse(std::string_view content) {
    const std::size_t nul = content.find('\0');
    if (nul != std::string_view::npos) {
        content = content.substr(0, nul);
    }

    TranslationFile file;
    forEachLine(content, [&file](std::string_view raw) {
        const std::string_view line = trim(raw);
        if (line.empty() || line.front() == ';') {
            return;
        }
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            file.sections_.push_back(
                Section{std::string(trim(line.substr(1, line.size() - 2))), {}});
            return;
        }
        if (file.sections_.empty()) {
            return;
        }
        auto& entries = file.sections_.back().entries;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            entries.emplace_back(line);
            return;
        }
        std::string entry(trim(line.substr(0, equals)));
        entry += '=';
        entry += trim(line.substr(equals + 1));
        entries.push_back(std::move(entry));
    });
    return file;
}

std::string TranslationFile::lookup(std::string_view section, std::string_view key,
                                    std::string_view fallback) const {
    // Only the last section of a name is seen, so earlier ones are not searched at all.
    const auto found = std::find_if(
        sections_.rbegin(), sections_.rend(),
        [section](const Section& s) { return config::equalsIgnoringAsciiCase(s.name, section); });
    if (found == sections_.rend()) {
        return std::string(fallback);
    }
    const auto& entries = found->entries;
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        const std::string_view text(*entry);
        const std::size_t equals = text.find('=');
        if (equals != std::string_view::npos &&
            config::equalsIgnoringAsciiCase(text.substr(0, equals), key)) {
            return std::string(text.substr(equals + 1));
        }
    }
    return std::string(fallback);
}

}  // namespace veltrona::ui
