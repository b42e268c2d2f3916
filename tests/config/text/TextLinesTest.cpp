#include "config/text/TextLines.h"

#include <gtest/gtest.h>

namespace veltrona::config {
namespace {

using namespace std::string_literals;

struct SplitCase {
    const char* name;
    std::string content;
    std::vector<std::string> lines;
};

TEST(TextLines, SplitsAtEveryKindOfLineEnd) {
    const SplitCase cases[] = {
        {"Empty", "", {}},
        {"NoLineEnd", "a", {"a"}},
        {"CrLf", "a\r\nb\r\n", {"a", "b"}},
        {"LoneCrAndLoneLf", "a\rb\nc", {"a", "b", "c"}},
        {"LfCrIsTwoLineEnds", "a\n\rb", {"a", "", "b"}},
        {"EmptyLinesKept", "a\r\n\r\n\r\nb", {"a", "", "", "b"}},
        {"FinalLineEndAddsNoLine", "a\r\n\r\n", {"a", ""}},
        {"OnlyLineEnd", "\r\n", {""}},
        {"CrCrLf", "a\r\r\n", {"a", ""}},
        {"NulEndsText", "a\r\nb\0c\r\nd"s, {"a", "b"}},
        {"NulFirst", "\0a\r\n"s, {}},
        {"HighBytesKept", "-od = R\xF6ntgen\r\n", {"-od = R\xF6ntgen"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(splitLines(c.content), c.lines) << c.name;
    }
}

TEST(TextLines, TrimsCodesUpTo32Only) {
    const struct {
        const char* name;
        std::string text;
        std::string trimmed;
    } cases[] = {
        {"Blanks", "  a b  ", "a b"},
        {"TabsAndControls",
         "\t\x01\x1F"
         "a\x0B\x0C\r",
         "a"},
        {"NulIsAControl", "\0a\0"s, "a"},
        {"OnlyControls", " \t ", ""},
        {"DeleteIsNoControl",
         "\x7F"
         "a\x7F",
         "\x7F"
         "a\x7F"},
        // Bytes of 0x80 and above are letters of the code page; a signed comparison would
        // take them for controls.
        {"HighBytesAreLetters", "\xA0\xF6\x81", "\xA0\xF6\x81"},
        {"InnerBlanksKept", "a \t b", "a \t b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(trimControls(c.text), c.trimmed) << c.name;
    }
}

}  // namespace
}  // namespace veltrona::config
