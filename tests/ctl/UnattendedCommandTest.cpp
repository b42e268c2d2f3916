// The commands for running unattended: their command lines and the restart policy of the
// Windows service, which is plain C++ and checked on every platform.
#include <gtest/gtest.h>

#include "ctl/CtlCommand.h"
#include "ctl/RestartBackoff.h"
#include "ctl/ServiceCommand.h"

namespace veltrona::ctl {
namespace {

using std::chrono::milliseconds;
using std::chrono::minutes;
using std::chrono::seconds;
using Args = std::vector<std::string>;

TEST(UnattendedCommandLine, ReadsRunAndTheServiceCommands) {
    EXPECT_EQ(parseCommandLine({"run", "--folder", "/opt/x"}).kind, CommandKind::Run);
    const CtlCommand install = parseCommandLine({"service", "install"});
    EXPECT_EQ(install.kind, CommandKind::ServiceInstall);
    EXPECT_TRUE(install.automaticStart);
    EXPECT_FALSE(parseCommandLine({"service", "--start=manual", "install"}).automaticStart);
    EXPECT_EQ(parseCommandLine({"service", "remove"}).kind, CommandKind::ServiceRemove);
    EXPECT_EQ(parseCommandLine({"service", "host"}).kind, CommandKind::ServiceHost);
    // The host gets the log file install was given.
    EXPECT_EQ(parseCommandLine({"service", "host", "--log", "D:\\x.log"}).log, "D:\\x.log");

    const struct {
        Args arguments;
        std::string message;
    } refused[] = {
        {{"run", "now"}, "unexpected argument \"now\""},
        {{"run", "--start", "auto"}, "\"run\" takes no option \"--start\""},
        {{"service"}, "service: install or remove?"},
        {{"service", "restart"}, "unknown service command \"restart\""},
        {{"service", "install", "--start", "boot"}, "--start: \"boot\" is neither auto nor manual"},
        {{"service", "remove", "--start", "auto"},
         "\"service remove\" takes no option \"--start\""},
        {{"service", "remove", "--log", "x.log"}, "\"service remove\" takes no option \"--log\""},
    };
    for (const auto& row : refused) {
        try {
            parseCommandLine(row.arguments);
            ADD_FAILURE() << "accepted: " << ::testing::PrintToString(row.arguments);
        } catch (const UsageError& error) {
            EXPECT_EQ(error.what(), row.message);
        }
    }
}

TEST(UnattendedCommandLine, TheServiceRunsTheHostOfItsProgramFolder) {
    EXPECT_EQ(serviceCommandLine(L"C:\\Zarvo\\VeltronaCtl.exe", std::nullopt),
              L"\"C:\\Zarvo\\VeltronaCtl.exe\" service host");
    // A closing separator before the quote would escape it.
    EXPECT_EQ(
        serviceCommandLine(L"C:\\Tools\\VeltronaCtl.exe", std::filesystem::path(L"D:\\Zarvo\\")),
        L"\"C:\\Tools\\VeltronaCtl.exe\" service host --folder \"D:\\Zarvo\"");
    EXPECT_EQ(serviceCommandLine(L"C:\\Zarvo\\VeltronaCtl.exe", std::nullopt,
                                 std::filesystem::path(L"D:\\Logs\\z.log")),
              L"\"C:\\Zarvo\\VeltronaCtl.exe\" service host --log \"D:\\Logs\\z.log\"");
}

TEST(RestartBackoff, DoublesFromOneSecondToAMinuteAndStartsAgainAfterTenMinutesUp) {
    RestartBackoff backoff;
    const struct {
        std::chrono::steady_clock::duration uptime;
        milliseconds delay;
    } crashes[] = {
        {seconds(0), seconds(1)},  {seconds(3), seconds(2)},  {seconds(1), seconds(4)},
        {minutes(9), seconds(8)},  {seconds(0), seconds(16)}, {seconds(0), seconds(32)},
        {seconds(0), seconds(60)}, {seconds(0), seconds(60)}, {minutes(10), seconds(1)},
        {seconds(2), seconds(2)},  {minutes(30), seconds(1)},
    };
    int index = 0;
    for (const auto& crash : crashes) {
        SCOPED_TRACE(index++);
        EXPECT_EQ(backoff.afterCrash(crash.uptime), crash.delay);
    }
    EXPECT_TRUE(RestartBackoff::isStop(0));
    EXPECT_FALSE(RestartBackoff::isStop(1));
    EXPECT_TRUE(RestartBackoff::isStop(0xC000013A));  // ended by Ctrl+C: the graceful stop
    EXPECT_FALSE(RestartBackoff::isStop(0xC0000005));
}

}  // namespace
}  // namespace veltrona::ctl
