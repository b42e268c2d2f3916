// The splitter of the server's command line never makes up bytes: every byte of an
// argument was in the command line, a blank or tab survives only inside quotes, and the
// arguments are no more than the bytes allow. Without quotes and backslashes it splits
// at blanks and tabs and nowhere else.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "config/settings/WindowsCommandLine.h"

namespace {

using veltrona::fuzz::escaped;
using veltrona::fuzz::escapedList;

std::vector<std::string> splitAtBlanks(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (const char c : text) {
        if (c == ' ' || c == '\t') {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> arguments = veltrona::config::splitWindowsArguments(line);
    const std::string report = escaped(line) + " -> " + escapedList(arguments);

    std::array<bool, 256> present{};
    for (const char c : line) {
        present[static_cast<unsigned char>(c)] = true;
    }
    const bool quoted = present['"'];

    FUZZ_CHECK(arguments.size() <= line.size() + 1, report);
    for (const std::string& argument : arguments) {
        for (const char c : argument) {
            FUZZ_CHECK(present[static_cast<unsigned char>(c)], "made-up byte in " + report);
        }
        FUZZ_CHECK(quoted || argument.find_first_of(" \t") == std::string::npos,
                   "blank without quotes in " + report);
        FUZZ_CHECK(quoted || !argument.empty(), "empty argument without quotes in " + report);
    }
    if (!quoted && !present['\\']) {
        FUZZ_CHECK(arguments == splitAtBlanks(line), report);
    }
    return 0;
}
