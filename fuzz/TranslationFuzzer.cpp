// The translation file reader takes any bytes, and every value a lookup finds is a piece
// of the file: trimmed, on one line, without NUL, found whatever the letter case of the
// section and key asked for.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "ui/TranslationFile.h"

namespace {

using veltrona::fuzz::escaped;
using veltrona::ui::TranslationFile;

// No value can hold a NUL, so a fallback with one is told apart from any found value.
const std::string kFallback("\0absent", 7);

// Letters outside ASCII are bytes of the file's code page and keep their case.
std::string asciiCase(std::string_view text, bool upper) {
    std::string out(text);
    for (char& c : out) {
        if (upper && c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        } else if (!upper && c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    return asciiCase(a, true) == asciiCase(b, true);
}

// Looks `key` up in `section` as written, in capitals and in small letters, checks the
// value and returns it (kFallback when absent).
std::string checkedLookup(const TranslationFile& file, std::string_view content,
                          std::string_view section, std::string_view key) {
    const std::string value = file.lookup(section, key, kFallback);
    const std::string where = "[" + escaped(section) + "] " + escaped(key);
    for (const bool upper : {true, false}) {
        FUZZ_CHECK(
            file.lookup(asciiCase(section, upper), asciiCase(key, upper), kFallback) == value,
            "letter case changes the value of " + where);
    }
    if (value == kFallback) {
        return value;
    }
    FUZZ_CHECK(value.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos,
               where + " = " + escaped(value));
    FUZZ_CHECK(value.empty() || (!isBlank(value.front()) && !isBlank(value.back())),
               "untrimmed value " + where + " = " + escaped(value));
    FUZZ_CHECK(content.find(value) != std::string_view::npos,
               where + " = " + escaped(value) + " is not in the file");
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view content(reinterpret_cast<const char*>(data), size);
    const TranslationFile file = TranslationFile::parse(content);
    content = content.substr(0, content.find('\0'));  // nothing after a NUL is read

    const auto& sections = file.sections();
    for (std::size_t i = 0; i < sections.size(); ++i) {
        // Only the last section of a name is seen, so only its keys are sure to be found.
        bool last = true;
        for (std::size_t j = i + 1; j < sections.size(); ++j) {
            last = last && !sameNameIgnoringCase(sections[j].name, sections[i].name);
        }
        for (const std::string& entry : sections[i].entries) {
            const std::size_t equals = entry.find('=');
            if (equals == std::string::npos) {
                continue;
            }
            const std::string_view key = std::string_view(entry).substr(0, equals);
            const std::string value = checkedLookup(file, content, sections[i].name, key);
            FUZZ_CHECK(!last || value != kFallback,
                       "[" + escaped(sections[i].name) + "] " + escaped(key) + " not found");
        }
    }
    // The lookups the window makes, whatever the file holds.
    for (const char* key : {"ServerAdminForm.Caption", "ServerAdminForm.Button2.Caption",
                            "ServerAdminForm.ServerMessage.lines[0]"}) {
        checkedLookup(file, content, "ServerAdminForm", key);
    }
    return 0;
}
