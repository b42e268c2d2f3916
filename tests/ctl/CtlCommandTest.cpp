#include <gtest/gtest.h>

#include <limits>

#include "ctl/CtlCommand.h"

namespace veltrona::ctl {
namespace {

using std::chrono::milliseconds;
using Args = std::vector<std::string>;

TEST(CtlCommandLine, ReadsCommandsWithTheirOptionsWhereverTheGlobalOnesStand) {
    CtlCommand start =
        parseCommandLine({"--json", "start", "--wait=2.5", "--verbose", "--folder", "/opt/x"});
    EXPECT_EQ(start.kind, CommandKind::Start);
    EXPECT_TRUE(start.json);
    EXPECT_TRUE(start.verbose);
    EXPECT_EQ(start.wait, milliseconds(2500));
    EXPECT_EQ(start.folder, "/opt/x");

    const CtlCommand set = parseCommandLine({"settings", "set", "-aet=A B", "Port=104", "--json"});
    EXPECT_EQ(set.kind, CommandKind::SettingsSet);
    EXPECT_EQ(set.assignments, Args({"-aet=A B", "Port=104"}));
    EXPECT_TRUE(set.json);

    const CtlCommand echo = parseCommandLine(
        {"echo", "--host", "pacs.local", "--port=11112", "--aet", "ARCHIVE", "--timeout", "0.5"});
    EXPECT_EQ(echo.kind, CommandKind::Echo);
    EXPECT_EQ(echo.host, "pacs.local");
    EXPECT_EQ(echo.port, 11112);
    EXPECT_EQ(echo.aeTitle, "ARCHIVE");
    EXPECT_EQ(echo.timeout, milliseconds(500));

    const CtlCommand check =
        parseCommandLine({"check", "--timeout=2", "--echo-warn", "0.25", "--disk-warn", "30",
                          "--disk-crit=7.5", "--prometheus", "/var/lib/x/zarvo.prom"});
    EXPECT_EQ(check.kind, CommandKind::Check);
    EXPECT_EQ(check.timeout, milliseconds(2000));
    EXPECT_EQ(check.echoWarn, Threshold::above(0.25));
    EXPECT_EQ(check.diskWarn, Threshold::below(30));
    EXPECT_EQ(check.diskCrit, Threshold::below(7.5));
    EXPECT_EQ(check.prometheus, "/var/lib/x/zarvo.prom");

    EXPECT_EQ(parseCommandLine({"stop"}).wait, std::nullopt);
    EXPECT_EQ(parseCommandLine({"stop"}).graceful, std::nullopt);
    EXPECT_EQ(parseCommandLine({"stop", "--graceful", "10", "--wait=1"}).graceful,
              milliseconds(10000));
    EXPECT_EQ(parseCommandLine({"status", "--wait", "30"}).wait, milliseconds(30000));
    EXPECT_EQ(parseCommandLine({"settings"}).kind, CommandKind::Settings);
    EXPECT_EQ(parseCommandLine({"status", "--help"}).kind, CommandKind::Help);
    EXPECT_EQ(parseCommandLine({"--version"}).kind, CommandKind::Version);
}

TEST(CtlCommandLine, RefusesWhatItCannotFollowAndSaysWhat) {
    const struct {
        Args arguments;
        std::string message;
    } rows[] = {
        {{}, "no command given"},
        {{"restart"}, "unknown command \"restart\""},
        {{"status", "now"}, "unexpected argument \"now\""},
        {{"status", "--verbose"}, "\"status\" takes no option \"--verbose\""},
        {{"--wait", "3", "start"}, "unknown option \"--wait\""},
        {{"start", "--wait"}, "--wait needs a value"},
        {{"start", "--wait", "soon"}, "--wait: \"soon\" is not a number of seconds"},
        {{"stop", "--wait=-1"}, "--wait: \"-1\" is not a number of seconds"},
        {{"stop", "--graceful", "soon"}, "--graceful: \"soon\" is not a number of seconds"},
        {{"start", "--graceful", "5"}, "\"start\" takes no option \"--graceful\""},
        {{"start", "--verbose=yes"}, "--verbose takes no value"},
        {{"echo", "--port", "70000"}, "--port: \"70000\" is not a port number (1 to 65535)"},
        {{"echo", "--timeout", "0"}, "--timeout: \"0\" is not a number of seconds"},
        {{"settings", "get"}, "unknown settings command \"get\""},
        {{"settings", "set"}, "settings set: no NAME=VALUE given"},
        {{"--folder=", "status"}, "--folder: the folder name is empty"},
        {{"check", "--disk-warn", "120"},
         "--disk-warn: \"120\" is not a percentage (0 to 100) nor a range of them (10:, ~:10, "
         "10:20, @10:20)"},
        {{"check", "--disk-warn", "20:10"}, "--disk-warn: \"20:10\" is not a percentage"},
        {{"check", "--inode-crit", "@5:x"}, "--inode-crit: \"@5:x\" is not a percentage"},
        {{"check", "--echo-warn", "-1"}, "--echo-warn: \"-1\" is not a number of seconds"},
        {{"check", "--disk-warn=5"}, "--disk-crit must not be above --disk-warn"},
        {{"check", "--inode-warn=4:"}, "--inode-crit must not be above --inode-warn"},
        {{"check", "--echo-warn", "5"}, "--echo-warn must be below --timeout"},
        {{"check", "-t", "2", "--echo-warn", "0.5:3"}, "--echo-warn must be below --timeout"},
        {{"check", "--prometheus="}, "--prometheus: the file name is empty"},
        {{"check", "-x"}, "unexpected argument \"-x\""},
        {{"status", "-t", "1"}, "unexpected argument \"-t\""},
    };
    for (const auto& row : rows) {
        try {
            parseCommandLine(row.arguments);
            ADD_FAILURE() << "accepted: " << ::testing::PrintToString(row.arguments);
        } catch (const UsageError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(row.message, 0), 0u) << error.what();
            // A check's usage error is answered in the plugin convention: it must be known.
            const bool check = !row.arguments.empty() && row.arguments[0] == "check";
            EXPECT_EQ(error.command == CommandKind::Check, check) << row.message;
        }
    }
}

TEST(CtlCommandLine, TheCheckTakesThePluginOptionsAndRanges) {
    const CtlCommand check =
        parseCommandLine({"check", "-t", "0.5", "-v", "--disk-warn", "20:", "--disk-crit", "~:90",
                          "--inode-warn", "@10:20", "--inode-crit=3", "--echo-warn", "~:0.25"});
    EXPECT_EQ(check.timeout, milliseconds(500));  // the default --echo-warn gives way
    EXPECT_TRUE(check.verbose);
    EXPECT_EQ(check.diskWarn, Threshold::below(20));
    EXPECT_EQ(check.diskCrit, (Threshold{-std::numeric_limits<double>::infinity(), 90, false}));
    EXPECT_EQ(check.inodeWarn, (Threshold{10, 20, true}));
    EXPECT_EQ(check.inodeCrit, Threshold::below(3));
    EXPECT_EQ(check.echoWarn.end, 0.25);
    EXPECT_TRUE(parseCommandLine({"check", "-h"}).checkHelp);
    EXPECT_TRUE(parseCommandLine({"check", "--help"}).checkHelp);
    EXPECT_FALSE(parseCommandLine({"--help"}).checkHelp);
    EXPECT_EQ(parseCommandLine({"check", "-V"}).kind, CommandKind::Version);
}

TEST(Threshold, AlertsAsThePluginGuidelinesSayWithABareNumberAsAFloorForFreeShares) {
    struct Row {
        const char* text;
        BareNumber bare;
        double value;
        bool alerts;
        std::string shown;  // as performance data gives it
    };
    for (const Row& row : std::vector<Row>{
             {"10", BareNumber::Ceiling, 10, false, "10"},
             {"10", BareNumber::Ceiling, 10.5, true, "10"},
             {"10", BareNumber::Floor, 9.5, true, "10:"},
             {"10", BareNumber::Floor, 10, false, "10:"},
             {"10:", BareNumber::Ceiling, 9, true, "10:"},
             {"~:10", BareNumber::Floor, 11, true, "~:10"},
             {"~:10", BareNumber::Floor, 0, false, "~:10"},
             {"10:20", BareNumber::Floor, 21, true, "10:20"},
             {"10:20", BareNumber::Floor, 15, false, "10:20"},
             {"@10:20", BareNumber::Floor, 20, true, "@10:20"},
             {"@10:20", BareNumber::Floor, 9, false, "@10:20"},
             {"@10", BareNumber::Floor, 5, true, "@10"},
         }) {
        const Threshold range = parseThreshold("--x", row.text, row.bare, 0, 100, "x");
        EXPECT_EQ(range.alerts(row.value), row.alerts) << row.text << " " << row.value;
        EXPECT_EQ(range.text(), row.shown) << row.text;
    }
    EXPECT_EQ(parseThreshold("--x", "@10:20", BareNumber::Floor, 0, 100, "x").text(2, 0), "@20:40");
}

}  // namespace
}  // namespace veltrona::ctl
