#include "config/settings/LaunchCommand.h"

#include <gtest/gtest.h>

#include "config/settings/WindowsCommandLine.h"

namespace veltrona::config {
namespace {

LaunchInput archive() {
    return {.transferSyntax = TransferSyntax::JpegLossless,
            .imageFolder = "D:\\Images\\",
            .aeTitle = "ARCHIVE",
            .port = "104"};
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
        {"Uncompressed", {.transferSyntax = TransferSyntax::Uncompressed}, "+x="},
        {"JpegLossless", {.transferSyntax = TransferSyntax::JpegLossless}, "+xs"},
        {"JpegLossy", {.transferSyntax = TransferSyntax::JpegLossy}, "+xy"},
        {"ImplicitVR", {.transferSyntax = TransferSyntax::ImplicitVR}, "+xi"},
        {"ParametersOnly", {.parameters = "-v"}, " -v"},
        {"SyntaxAndParameters",
         {.transferSyntax = TransferSyntax::ImplicitVR, .parameters = "-v -x"},
         "+xi -v -x"},
        {"ProfileReplacesSyntax",
         {.transferSyntax = TransferSyntax::JpegLossless, .profilePath = "C:\\A\\setup.cfg"},
         " -xf \"C:\\A\\setup.cfg\" \"default\""},
        {"ProfileThenParameters",
         {.transferSyntax = TransferSyntax::Uncompressed,
          .profilePath = "/opt/a b/Setup.cfg",
          .parameters = "-v"},
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
        {"WorkedExampleDhcp", with(archive(), [](LaunchInput& i) { i.dhcpFlag = "-dhl "; }),
         " -dw -dhl +xs -od \"D:\\Images\"  -aet ARCHIVE 104"},
        {"WorkedExampleProfileVerbose",
         with(archive(),
              [](LaunchInput& i) {
                  i.verbose = true;
                  i.profilePath = "C:\\Tools\\Admin\\setup.cfg";
              }),
         " -d -dw  -xf \"C:\\Tools\\Admin\\setup.cfg\" \"default\" -od \"D:\\Images\"  -aet "
         "ARCHIVE 104"},
        {"WorkedExampleParameters", with(archive(), [](LaunchInput& i) { i.parameters = "-v"; }),
         " -dw +xs -v -od \"D:\\Images\"  -aet ARCHIVE 104"},
        {"EverythingEmpty", {}, " -dw  -od \"\"  -aet  "},
        {"VerboseAlone", {.verbose = true}, " -d -dw  -od \"\"  -aet  "},
        // Only a closing separator is cut; the folder's own last letter stays.
        {"FolderWithoutSeparatorKept",
         with(archive(), [](LaunchInput& i) { i.imageFolder = "D:\\Images"; }),
         " -dw +xs -od \"D:\\Images\"  -aet ARCHIVE 104"},
        {"SlashSeparatorCut",
         with(archive(), [](LaunchInput& i) { i.imageFolder = "/srv/images/"; }),
         " -dw +xs -od \"/srv/images\"  -aet ARCHIVE 104"},
        {"OnlyOneSeparatorCut",
         with(archive(), [](LaunchInput& i) { i.imageFolder = "D:\\Images\\\\"; }),
         " -dw +xs -od \"D:\\Images\\\"  -aet ARCHIVE 104"},
        {"OneSeparatorFolder", with(archive(), [](LaunchInput& i) { i.imageFolder = "\\"; }),
         " -dw +xs -od \"\"  -aet ARCHIVE 104"},
        {"OneLetterFolder", with(archive(), [](LaunchInput& i) { i.imageFolder = "D"; }),
         " -dw +xs -od \"D\"  -aet ARCHIVE 104"},
        {"BlanksPassedUnquoted",
         with(archive(),
              [](LaunchInput& i) {
                  i.aeTitle = "MY AE";
                  i.port = " 104 ";
              }),
         " -dw +xs -od \"D:\\Images\"  -aet MY AE  104 "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(buildParameterString(c.input), c.parameters) << c.name;
    }
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
                  i.dhcpFlag = "-dhl ";
                  i.profilePath = "C:\\Program Files\\Admin\\setup.cfg";
              }),
         {"-d", "-dw", "-dhl", "-xf", "C:\\Program Files\\Admin\\setup.cfg", "default", "-od",
          "D:\\Images", "-aet", "ARCHIVE", "104"}},
        {"FolderWithBlanks",
         with(archive(), [](LaunchInput& i) { i.imageFolder = "C:\\srv dir\\"; }),
         {"-dw", "+xs", "-od", "C:\\srv dir", "-aet", "ARCHIVE", "104"}},
        {"ShellSyntaxStaysPlain",
         with(archive(), [](LaunchInput& i) { i.parameters = "; touch /tmp/x $(id)"; }),
         {"-dw", "+xs", ";", "touch", "/tmp/x", "$(id)", "-od", "D:\\Images", "-aet", "ARCHIVE",
          "104"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(splitWindowsArguments(buildParameterString(c.input)), c.arguments) << c.name;
    }
}

}  // namespace
}  // namespace veltrona::config
