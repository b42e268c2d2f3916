#include "config/text/TextEncoding.h"

#include <gtest/gtest.h>

#include <set>

#include "config/file/FileAccess.h"
#include "config/settings/SettingsFile.h"
#include "config/text/TextLines.h"

namespace veltrona::config {
namespace {

TEST(TextEncoding, AcceptsOnlyWellFormedUtf8) {
    const struct {
        const char* name;
        std::string bytes;
        bool valid;
    } cases[] = {
        {"Empty", "", true},
        {"Ascii", "Port = 104", true},
        {"TwoByte", "R\xC3\xB6ntgen", true},
        {"ThreeByte", "\xE2\x82\xAC", true},
        {"FourByte", "\xF0\x9F\x98\x80", true},
        {"HighestCodePoint", "\xF4\x8F\xBF\xBF", true},
        {"C1Control", "\xC2\x81", true},
        {"Windows1252", "R\xF6ntgen", false},
        {"OverlongSlash", "\xC0\xAF", false},
        {"OverlongTwoByteLead", "\xC1\xBF", false},
        {"OverlongThreeByte", "\xE0\x80\xAF", false},
        {"OverlongFourByte", "\xF0\x80\x80\xAF", false},
        {"HighSurrogate", "\xED\xA0\x80", false},
        {"LowSurrogate", "\xED\xBF\xBF", false},
        {"BeyondUnicode", "\xF4\x90\x80\x80", false},
        {"LeadF5", "\xF5\x80\x80\x80", false},
        {"TruncatedAtEnd", "a\xE2\x82", false},
        {"TruncatedBeforeAscii",
         "\xE2\x82"
         "a",
         false},
        {"StrayContinuation", "\x80", false},
        {"ByteFF", "\xFF", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << c.name;
        EXPECT_EQ(detectEncoding(c.bytes), c.valid ? TextEncoding::Utf8 : TextEncoding::Windows1252)
            << c.name;
    }
}

TEST(TextEncoding, EveryWindows1252ByteHasItsOwnCharacterAndComesBack) {
    std::set<std::string> characters;
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::string utf8 = toUtf8(byte, TextEncoding::Windows1252);
        EXPECT_TRUE(isValidUtf8(utf8)) << "byte " << b;
        EXPECT_EQ(fromUtf8(utf8, TextEncoding::Windows1252), byte) << "byte " << b;
        characters.insert(utf8);
    }
    EXPECT_EQ(characters.size(), 256u);
}

TEST(TextEncoding, ConvertsWindows1252Characters) {
    const struct {
        const char* name;
        std::string windows1252;
        std::string utf8;
    } cases[] = {
        {"Umlaut", "R\xF6ntgen", "R\xC3\xB6ntgen"},
        {"Euro", "\x80", "\xE2\x82\xAC"},
        {"Dash", "\x96", "\xE2\x80\x93"},
        {"YDiaeresis", "\x9F", "\xC5\xB8"},
        {"Undefined81", "\x81", "\xC2\x81"},
        {"Undefined8D", "\x8D", "\xC2\x8D"},
        {"Undefined8F", "\x8F", "\xC2\x8F"},
        {"Undefined90", "\x90", "\xC2\x90"},
        {"Undefined9D", "\x9D", "\xC2\x9D"},
        {"NoBreakSpace", "\xA0", "\xC2\xA0"},
        {"Controls", std::string("\0\t\x7F", 3), std::string("\0\t\x7F", 3)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toUtf8(c.windows1252, TextEncoding::Windows1252), c.utf8) << c.name;
        EXPECT_EQ(fromUtf8(c.utf8, TextEncoding::Windows1252), c.windows1252) << c.name;
    }
}

TEST(TextEncoding, WritesQuestionMarkForWhatTheTargetCannotHold) {
    const struct {
        const char* name;
        std::string utf8;
        TextEncoding target;
        std::string expected;
    } cases[] = {
        {"CjkTo1252",
         "\xE6\x97\xA5"
         "1",
         TextEncoding::Windows1252, "?1"},
        {"EmojiTo1252", "\xF0\x9F\x98\x80", TextEncoding::Windows1252, "?"},
        // Byte 0x80 is the euro sign, so the C1 control U+0080 has no byte.
        {"C1WithoutByte", "\xC2\x80", TextEncoding::Windows1252, "?"},
        {"IllFormedTo1252",
         "a\xFF"
         "b",
         TextEncoding::Windows1252, "a?b"},
        {"IllFormedToUtf8",
         "a\xC0\xAF"
         "b",
         TextEncoding::Utf8, "a??b"},
        {"ValidStaysUtf8", "\xE6\x97\xA5\xF0\x9F\x98\x80", TextEncoding::Utf8,
         "\xE6\x97\xA5\xF0\x9F\x98\x80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fromUtf8(c.utf8, c.target), c.expected) << c.name;
    }
}

TEST(TextEncoding, IllFormedUtf8IsShownAsReplacementCharacters) {
    EXPECT_EQ(toUtf8("a\xFF\xE2\x82"
                     "b",
                     TextEncoding::Utf8),
              "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(toUtf8("R\xC3\xB6ntgen", TextEncoding::Utf8), "R\xC3\xB6ntgen");
}

// The path of a settings file through the tool: read, shown in the window (UTF-8), taken
// back from the window and written. A file in the written form must come out unchanged.
std::string throughTheWindow(const std::string& bytes) {
    const TextEncoding encoding = detectEncoding(bytes);
    FileSettings s = readSettings(splitLines(bytes)).settings;
    for (FileText* text :
         {&s.aeTitle, &s.port, &s.imageFolder, &s.database, &s.adminPassword, &s.parameters}) {
        text->bytes = fromUtf8(toUtf8(text->bytes, encoding), encoding);
    }
    return writeSettings(s);
}

TEST(TextEncoding, SettingsFilesComeBackByteForByte) {
    const struct {
        const char* file;
        TextEncoding encoding;
    } cases[] = {
        {"Server-windows1252.ini", TextEncoding::Windows1252},
        {"Server-utf8.ini", TextEncoding::Utf8},
    };
    for (const auto& c : cases) {
        const FileReadResult file =
            readWholeFile(std::filesystem::path(VELTRONA_TEST_DATA_DIR) / "config" / c.file);
        ASSERT_EQ(file.status, FileReadResult::Status::Ok) << c.file;
        EXPECT_EQ(detectEncoding(file.content), c.encoding) << c.file;
        EXPECT_EQ(throughTheWindow(file.content), file.content) << c.file;

        const FileSettings s = readSettings(splitLines(file.content)).settings;
        EXPECT_EQ(toUtf8(s.imageFolder.bytes, c.encoding), "D:\\R\xC3\xB6ntgen\\Bilder\\")
            << c.file;
    }
}

// "a", "ä", "€", a four-byte emoji and an ill-formed lead byte: five characters.
TEST(TextEncoding, CountsAndCutsUtf8ByCharacter) {
    const std::string text = "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80\xFF";
    EXPECT_EQ(utf8CharacterCount(text), 5u);
    EXPECT_EQ(firstUtf8Characters(text, 0), "");
    EXPECT_EQ(firstUtf8Characters(text, 3), "a\xC3\xA4\xE2\x82\xAC");
    EXPECT_EQ(firstUtf8Characters(text, 4), "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(firstUtf8Characters(text, 9), text);
}

}  // namespace
}  // namespace veltrona::config
