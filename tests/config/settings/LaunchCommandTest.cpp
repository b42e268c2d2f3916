#include "config/settings/LaunchCommand.h"

#include <gtest/gtest.h>

#include "config/settings/WindowsCommandLine.h"

namespace veltrona::config {
namespace {

LaunchInput archive() {
    return {.settings = {.aeTitle = "ARCHIVE",
                         .port = "104",
                         .imageFolder = "D:\\Images\\",
                         .transferSyntax = TransferSyntax::JpegLossless}};
}

LaunchInput with(LaunchInput input, void (*change)(LaunchInput&)) {
    change(input);
    return input;
}

TEST(LaunchCommand, OptionTextIsSyntaxOrProfileThenParameters) {
    const struct {
        const char* name;
        LaunchInput input;
        const char* option;
    } cases[] = {
        {"Nothing", {}, ""},
        {"Uncompressed", {.settings = {.transferSyntax = TransferSyntax::Uncompressed}}, "+x="},
        {"JpegLossless", {.settings = {.transferSyntax = TransferSyntax::JpegLossless}}, "+xs"},
        {"JpegLossy", {.settings = {.transferSyntax = TransferSyntax::JpegLossy}}, "+xy"},
        {"ImplicitVR", {.settings = {.transferSyntax = TransferSyntax::ImplicitVR}}, "+xi"},
        {"ParametersOnly", {.settings = {.parameters = "-v"}}, " -v"},
        {"SyntaxAndParameters",
         {.settings = {.transferSyntax = TransferSyntax::ImplicitVR, .parameters = "-v -x"}},
         "+xi -v -x"},
        {"ProfileReplacesSyntax",
         {.settings = {.transferSyntax = TransferSyntax::JpegLossless},
          .profilePath = "C:\\A\\setup.cfg"},
         " -xf \"C:\\A\\setup.cfg\" \"default\""},
        {"ProfileThenParameters",
         {.settings = {.transferSyntax = TransferSyntax::Uncompressed, .parameters = "-v"},
          .profilePath = "/opt/a b/Setup.cfg"},
         " -xf \"/opt/a b/Setup.cfg\" \"default\" -v"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(buildOptionText(c.input), c.option) << c.name;
    }
}

TEST(LaunchCommand, ParameterStringHasEveryBlankAndQuoteInPlace) {
    const struct {
        const char* name;
        LaunchInput input;
        const char* parameters;
    } cases[] = {
        {"WorkedExampleDhcp", with(archive(), [](LaunchInput& i) { i.settings.noDhcp = true; }),
         " -dw -dhl +xs -od \"D:\\Images\"  -aet ARCHIVE 104"},
        {"WorkedExampleProfileVerbose",
         with(archive(),
              [](LaunchInput& i) {
                  i.verbose = true;
                  i.profilePath = "C:\\Tools\\Admin\\setup.cfg";
              }),
         " -d -dw  -xf \"C:\\Tools\\Admin\\setup.cfg\" \"default\" -od \"D:\\Images\"  -aet "
         "ARCHIVE 104"},
        {"WorkedExampleParameters",
         with(archive(), [](LaunchInput& i) { i.settings.parameters = "-v"; }),
         " -dw +xs -v -od \"D:\\Images\"  -aet ARCHIVE 104"},
        {"EverythingEmpty", {}, " -dw  -od \"\"  -aet  "},
        {"VerboseAlone", {.verbose = true}, " -d -dw  -od \"\"  -aet  "},
        // Only a closing separator is cut; the folder's own last letter stays.
        {"FolderWithoutSeparatorKept",
         with(archive(), [](LaunchInput& i) { i.settings.imageFolder = "D:\\Images"; }),
         " -dw +xs -od \"D:\\Images\"  -aet ARCHIVE 104"},
        {"SlashSeparatorCut",
         with(archive(), [](LaunchInput& i) { i.settings.imageFolder = "/srv/images/"; }),
         " -dw +xs -od \"/srv/images\"  -aet ARCHIVE 104"},
        {"OnlyOneSeparatorCut",
         with(archive(), [](LaunchInput& i) { i.settings.imageFolder = "D:\\Images\\\\"; }),
         " -dw +xs -od \"D:\\Images\\\"  -aet ARCHIVE 104"},
        {"OneSeparatorFolder",
         with(archive(), [](LaunchInput& i) { i.settings.imageFolder = "\\"; }),
         " -dw +xs -od \"\"  -aet ARCHIVE 104"},
        {"OneLetterFolder", with(archive(), [](LaunchInput& i) { i.settings.imageFolder = "D"; }),
         " -dw +xs -od \"D\"  -aet ARCHIVE 104"},
        {"BlanksPassedUnquoted",
         with(archive(),
              [](LaunchInput& i) {
                  i.settings.aeTitle = "MY AE";
                  i.settings.port = " 104 ";
              }),
         " -dw +xs -od \"D:\\Images\"  -aet MY AE  104 "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(buildParameterString(c.input), c.parameters) << c.name;
    }
}

// The window's texts are UTF-8; the command line takes them in its own code page.
TEST(LaunchCommand, TextsAreWrittenInTheCommandLinesCodePage) {
    LaunchInput input = archive();
    input.settings.imageFolder = "D:\\R\xC3\xB6ntgen\\";
    input.settings.parameters = "-v \xC3\xA4";
    input.commandLine = CodePage(1252);
    EXPECT_EQ(buildParameterString(input),
              " -dw +xs -v \xE4 -od \"D:\\R\xF6ntgen\"  -aet ARCHIVE 104");
}

// What the server finally receives, split as its C runtime splits its command line.
TEST(LaunchCommand, ServerReceivesTheExpectedArguments) {
    using Args = std::vector<std::string>;
    const struct {
        const char* name;
        LaunchInput input;
        Args arguments;
    } cases[] = {
        {"Plain", archive(), {"-dw", "+xs", "-od", "D:\\Images", "-aet", "ARCHIVE", "104"}},
        {"EverythingEmpty", {}, {"-dw", "-od", "", "-aet"}},
        {"ProfileInFolderWithBlanks",
         with(archive(),
              [](LaunchInput& i) {
                  i.verbose = true;
                  i.settings.noDhcp = true;
                  i.profilePath = "C:\\Program Files\\Admin\\setup.cfg";
              }),
         {"-d", "-dw", "-dhl", "-xf", "C:\\Program Files\\Admin\\setup.cfg", "default", "-od",
          "D:\\Images", "-aet", "ARCHIVE", "104"}},
        {"FolderWithBlanks",
         with(archive(), [](LaunchInput& i) { i.settings.imageFolder = "C:\\srv dir\\"; }),
         {"-dw", "+xs", "-od", "C:\\srv dir", "-aet", "ARCHIVE", "104"}},
        {"ShellSyntaxStaysPlain",
         with(archive(), [](LaunchInput& i) { i.settings.parameters = "; touch /tmp/x $(id)"; }),
         {"-dw", "+xs", ";", "touch", "/tmp/x", "$(id)", "-od", "D:\\Images", "-aet", "ARCHIVE",
          "104"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(splitWindowsArguments(buildParameterString(c.input)), c.arguments) << c.name;
    }
}

}  // namespace
}  // namespace veltrona::config
