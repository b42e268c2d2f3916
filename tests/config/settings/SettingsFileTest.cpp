#include "config/settings/SettingsFile.h"

#include <gtest/gtest.h>

#include <random>

#include "config/text/TextLines.h"

namespace veltrona::config {
namespace {

using namespace std::string_literals;

SettingsReadResult readText(std::string_view text, FileSettings initial = {}) {
    return readSettings(splitLines(text), std::move(initial));
}

struct ReadCase {
    const char* name;
    std::string file;
    FileSettings expected;
    std::vector<FileInvalidInteger> invalid = {};
    FileSettings initial = {};
};

TEST(SettingsReader, MatchesKeysAndTakesValuesAsTheFileFormatSays) {
    const ReadCase cases[] = {
        {"KeyIsPrefix", "Portal = 5", {.port = {"5"}}},
        {"NoBlanks", "Port=104", {.port = {"104"}}},
        {"ManyBlanks", "Port   =   104", {.port = {"104"}}},
        {"NoEqualsTakesWholeLine", "Port : 104", {.port = {"Port : 104"}}},
        {"BlankBeforeKeyIgnored", " Port = 104", {}},
        {"TabBeforeKeyIgnored", "\tPort = 104", {}},
        {"KeyCaseMatters", "port = 104", {}},
        {"KeyAloneIsItsOwnValue", "-aet", {.aeTitle = {"-aet"}}},
        {"HashIsPartOfValue", "-aet = MAIN # note", {.aeTitle = {"MAIN # note"}}},
        {"ControlsTrimmed", "Port =\x01 104 \x1F\t", {.port = {"104"}}},
        {"InnerBlanksKept", "-od = C:\\My Images\\", {.imageFolder = {"C:\\My Images\\"}}},
        {"SecondEqualsStays", "-od=C:\\a=b", {.imageFolder = {"C:\\a=b"}}},
        {"PasswordWithEqualsAndBlanks",
         "AdminPassword=  se=cr et \t",
         {.adminPassword = {"se=cr et"}}},
        {"PasswordKeyAlone", "AdminPassword", {.adminPassword = {"AdminPassword"}}},
        {"ParameterPrefix", "parameters=x", {.parameters = {"x"}}},
        {"Database", "-db = D:\\DB", {.database = {"D:\\DB"}}},
        {"CodePageBytesKept",
         "-od = D:\\R\xF6ntgen\\\x81",
         {.imageFolder = {"D:\\R\xF6ntgen\\\x81"}}},
        {"FifoDecimal", "FIFOMax = 007\r\nFIFOMin = -3", {.fifoMax = 7, .fifoMin = -3}},
        {"FifoHex", "FIFOMax = $10\r\nFIFOMin = 0x20", {.fifoMax = 16, .fifoMin = 32}},
        {"FifoWithUnitReported",
         "FIFOMax = 10 MB",
         {.fifoMax = 3},
         {{"FIFOMax", "10 MB", "FIFOMax = 10 MB"}},
         {.fifoMax = 3}},
        {"FifoEmptyReported",
         "FIFOMin =",
         {.fifoMin = 4},
         {{"FIFOMin", "", "FIFOMin ="}},
         {.fifoMin = 4}},
        {"FifoOutOfRangeReported",
         "FIFOMax = 2147483648",
         {},
         {{"FIFOMax", "2147483648", "FIFOMax = 2147483648"}}},
        {"ReadingGoesOnAfterBadNumbers",
         "FIFOMax = x\r\nFIFOMin = y\r\nPort = 1\r\nAdminPassword=pw",
         {.port = {"1"}, .adminPassword = {"pw"}},
         {{"FIFOMax", "x", "FIFOMax = x"}, {"FIFOMin", "y", "FIFOMin = y"}}},
        {"MaxDaysLocal", "MaxDaysLocal = 30", {.maxDaysLocalChecked = true, .maxDaysLocal = 30}},
        {"MaxDaysLocalBadKeepsValueSilently",
         "MaxDaysLocal = abc",
         {.maxDaysLocalChecked = true, .maxDaysLocal = 9},
         {},
         {.maxDaysLocal = 9}},
        {"MaxDaysLocalAlone", "MaxDaysLocal", {.maxDaysLocalChecked = true}},
        {"RegNewOnView", "RegNewOnView", {.regNewOnView = true}},
        {"LaterDuplicateWins", "Port = 1\r\nPort = 2", {.port = {"2"}}},
        {"LaterPasswordWins",
         "AdminPassword=first\r\nAdminPassword=second",
         {.adminPassword = {"second"}}},
        {"LaterEmptyPasswordWins", "AdminPassword=first\r\nAdminPassword=", {}},
        {"LaterTransferSyntaxWins",
         "+xs    # JPeg lossless\r\n+x=    # unkomprimiert",
         {.transferSyntax = TransferSyntax::Uncompressed}},
        {"LaterTransferSyntaxWinsOtherWay",
         "+x=\r\n+xi\r\n+xy",
         {.transferSyntax = TransferSyntax::JpegLossy}},
        {"ImplicitVR", "+xi    # x", {.transferSyntax = TransferSyntax::ImplicitVR}},
        {"JpegLossless", "+xs", {.transferSyntax = TransferSyntax::JpegLossless}},
        {"DhcpPrefix", "-dhlx", {.noDhcp = true}},
        {"HeadingAndUnknownKeysIgnored", "#Server Settings\r\n\r\nFoo = 1\r\n[Server]\r\n-x", {}},
        {"AbsentKeysKeepInitial",
         "Port = 1",
         {.aeTitle = {"A"}, .port = {"1"}, .regNewOnView = true, .noDhcp = true},
         {},
         {.aeTitle = {"A"}, .port = {"9"}, .regNewOnView = true, .noDhcp = true}},
        {"EmptyValueEmptiesText", "-db =", {}, {}, {.database = {"X"}}},
        {"SyntaxKeyNeverClearsFlags",
         "+xs",
         {.maxDaysLocalChecked = true, .transferSyntax = TransferSyntax::JpegLossless},
         {},
         {.maxDaysLocalChecked = true, .transferSyntax = TransferSyntax::ImplicitVR}},
        {"NulEndsFile", "Port = 1\0\r\nPort = 2"s, {.port = {"1"}}},
    };
    for (const auto& c : cases) {
        const SettingsReadResult result = readText(c.file, c.initial);
        EXPECT_EQ(result.settings, c.expected) << c.name;
        EXPECT_EQ(result.invalidIntegers, c.invalid) << c.name;
    }
}

TEST(SettingsReader, InvalidIntegerMessageQuotesTheValue) {
    EXPECT_EQ(invalidIntegerMessage("10 MB"), "'10 MB' ist kein g\u00fcltiger Integerwert");
    EXPECT_EQ(invalidIntegerMessage(""), "'' ist kein g\u00fcltiger Integerwert");
}

TEST(SettingsWriter, DefaultsGiveExactlyEightLines) {
    EXPECT_EQ(writeSettings({}),
              "#Server Settings\r\n"
              "\r\n"
              "-aet = \r\n"
              "Port = \r\n"
              "FIFOMax = 0\r\n"
              "FIFOMin = 0\r\n"
              "-od = \r\n"
              "-db = \r\n");
}

FileSettings fullSettings() {
    return {
        .aeTitle = {" ARCHIVE "},
        .port = {"104"},
        .fifoMax = 2000,
        .fifoMin = -5,
        .maxDaysLocalChecked = true,
        .maxDaysLocal = 30,
        .regNewOnView = true,
        .imageFolder = {"D:\\Images\\"},
        .database = {"D:\\DB"},
        .transferSyntax = TransferSyntax::JpegLossy,
        .adminPassword = {"a=b"},
        .parameters = {"-v"},
        .noDhcp = true,
    };
}

TEST(SettingsWriter, WritesEveryLineInItsOrderWithExactBlanks) {
    EXPECT_EQ(writeSettings(fullSettings()),
              "#Server Settings\r\n"
              "\r\n"
              "-aet =  ARCHIVE \r\n"
              "Port = 104\r\n"
              "FIFOMax = 2000\r\n"
              "FIFOMin = -5\r\n"
              "RegNewOnView\r\n"
              "MaxDaysLocal = 30\r\n"
              "-od = D:\\Images\\\r\n"
              "-db = D:\\DB\r\n"
              "+xy    # Jpeg lossless 8bit (baseline)\r\n"
              "-dhl   # No DHCP available\r\n"
              "parameter=-v\r\n"
              "AdminPassword=a=b\r\n");
}

TEST(SettingsWriter, WritesTheLineOfTheCheckedTransferSyntaxOnly) {
    const struct {
        TransferSyntax syntax;
        const char* line;
    } cases[] = {
        {TransferSyntax::Uncompressed, "+x=    # unkomprimiert"},
        {TransferSyntax::JpegLossless, "+xs    # JPeg lossless"},
        {TransferSyntax::JpegLossy, "+xy    # Jpeg lossless 8bit (baseline)"},
        {TransferSyntax::ImplicitVR, "+xi    # ImplicitVR Little Endian only (Compatiblity mode)"},
    };
    for (const auto& c : cases) {
        const auto lines = splitLines(writeSettings({.transferSyntax = c.syntax}));
        ASSERT_EQ(lines.size(), 9u) << c.line;
        EXPECT_EQ(lines[8], c.line);
    }
}

// A value that holds a line break must not plant a line of its own, least of all an
// admin password that the gate would then ask for, or one that replaces the real one.
TEST(SettingsWriter, LineBreaksAndNulInTextsBecomeBlanks) {
    const struct {
        const char* name;
        FileSettings settings;
        std::string expectedPassword;
    } cases[] = {
        {"AeTitleCrLf", {.aeTitle = {"X\r\nAdminPassword=evil"}}, ""},
        {"PortLoneLf", {.port = {"1\nAdminPassword=evil"}}, ""},
        {"FolderLoneCr", {.imageFolder = {"D:\\\rAdminPassword=evil"}}, ""},
        {"DatabaseNul", {.database = {"D\0AdminPassword=evil"s}}, ""},
        {"ParametersAfterPassword",
         {.adminPassword = {"real"}, .parameters = {"-v\r\nAdminPassword=evil"}},
         "real"},
        {"PasswordItself", {.adminPassword = {"p\rAdminPassword=evil"}}, "p AdminPassword=evil"},
    };
    for (const auto& c : cases) {
        const std::string file = writeSettings(c.settings);
        const auto lines = splitLines(file);
        std::size_t passwordLines = 0;
        for (const auto& line : lines) {
            passwordLines += line.starts_with("AdminPassword") ? 1 : 0;
        }
        EXPECT_EQ(passwordLines, c.expectedPassword.empty() ? 0u : 1u) << c.name;
        EXPECT_EQ(file.find('\0'), std::string::npos) << c.name;
        EXPECT_EQ(readSettings(lines).settings.adminPassword.bytes, c.expectedPassword) << c.name;
    }
}

TEST(SettingsRoundTrip, ReadingWhatWasWrittenGivesTheSameSettingsAndBytes) {
    FileSettings trimmedFull = fullSettings();
    trimmedFull.aeTitle = {"ARCHIVE"};
    const struct {
        const char* name;
        FileSettings settings;
    } cases[] = {
        {"Defaults", {}},
        {"Full", trimmedFull},
        {"CodePageBytes",
         {.aeTitle = {"R\xD6NTGEN"}, .imageFolder = {"D:\\R\xF6ntgen\\\x81\x8D\x8F\x90\x9D"}}},
        {"Extremes",
         {.fifoMax = INT32_MAX,
          .fifoMin = INT32_MIN,
          .maxDaysLocalChecked = true,
          .maxDaysLocal = -1}},
        {"ValuesThatLookLikeKeys",
         {.aeTitle = {"Port = 5"}, .port = {"="}, .parameters = {"AdminPassword=x"}}},
        {"Uncompressed", {.transferSyntax = TransferSyntax::Uncompressed}},
        {"JpegLossless", {.transferSyntax = TransferSyntax::JpegLossless}},
        {"ImplicitVR", {.transferSyntax = TransferSyntax::ImplicitVR}},
    };
    for (const auto& c : cases) {
        const std::string first = writeSettings(c.settings);
        const FileSettings reread = readText(first).settings;
        EXPECT_EQ(reread, c.settings) << c.name;
        EXPECT_EQ(writeSettings(reread), first) << c.name;
    }
}

TEST(SettingsRoundTrip, EditBlanksAreLostOnceThenStable) {
    const std::string first = writeSettings(fullSettings());
    const FileSettings reread = readText(first).settings;
    EXPECT_EQ(reread.aeTitle.bytes, "ARCHIVE");
    const std::string second = writeSettings(reread);
    EXPECT_EQ(writeSettings(readText(second).settings), second);
}

// Texts of random bytes (without the line breaks and NUL the writer blanks out, and with
// no blanks or controls at their ends, which reading trims) survive a write and a read.
TEST(SettingsRoundTrip, RandomSettingsSurvive) {
    std::mt19937 random(20240611);
    const auto text = [&random] {
        std::string s(random() % 12, ' ');
        for (char& c : s) {
            do {
                c = static_cast<char>(random() % 256);
            } while (c == '\r' || c == '\n' || c == '\0');
        }
        return std::string(trimControls(s));
    };
    const auto number = [&random] { return static_cast<std::int32_t>(random()); };
    for (int i = 0; i < 2000; ++i) {
        // SpinEdit2's value is written only with its box checked.
        const bool daysChecked = random() % 2 == 0;
        const FileSettings s{
            .aeTitle = {text()},
            .port = {text()},
            .fifoMax = number(),
            .fifoMin = number(),
            .maxDaysLocalChecked = daysChecked,
            .maxDaysLocal = daysChecked ? number() : 0,
            .regNewOnView = random() % 2 == 0,
            .imageFolder = {text()},
            .database = {text()},
            .transferSyntax = static_cast<TransferSyntax>(random() % 5),
            .adminPassword = {text()},
            .parameters = {text()},
            .noDhcp = random() % 2 == 0,
        };
        const std::string written = writeSettings(s);
        const FileSettings reread = readText(written).settings;
        ASSERT_EQ(reread, s) << "iteration " << i << "\n" << written;
        ASSERT_EQ(writeSettings(reread), written) << "iteration " << i;
    }
}

}  // namespace
}  // namespace veltrona::config
