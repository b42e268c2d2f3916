#include <gtest/gtest.h>

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
    EXPECT_EQ(check.echoWarn, milliseconds(250));
    EXPECT_EQ(check.diskWarn, 30);
    EXPECT_EQ(check.diskCrit, 7.5);
    EXPECT_EQ(check.prometheus, "/var/lib/x/zarvo.prom");

    EXPECT_EQ(parseCommandLine({"stop"}).wait, std::nullopt);
    EXPECT_EQ(parseCommandLine({"stop"}).graceful, std::nullopt);
    EXPECT_EQ(parseCommandLine({"stop", "--graceful", "10", "--wait=1"}).graceful,
              milliseconds(10000));
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
        {{"status", "--wait", "3"}, "\"status\" takes no option \"--wait\""},
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
        {{"check", "--disk-warn", "120"}, "--disk-warn: \"120\" is not a percentage (0 to 100)"},
        {{"check", "--disk-warn=5"}, "--disk-crit must not be above --disk-warn"},
        {{"check", "--prometheus="}, "--prometheus: the file name is empty"},
        {{"check", "--verbose"}, "\"check\" takes no option \"--verbose\""},
    };
    for (const auto& row : rows) {
        try {
            parseCommandLine(row.arguments);
            ADD_FAILURE() << "accepted: " << ::testing::PrintToString(row.arguments);
        } catch (const UsageError& error) {
            EXPECT_EQ(error.what(), row.message);
            // A check's usage error is answered in the plugin convention: it must be known.
            const bool check = !row.arguments.empty() && row.arguments[0] == "check";
            EXPECT_EQ(error.command == CommandKind::Check, check) << row.message;
        }
    }
}

}  // namespace
}  // namespace veltrona::ctl
