// VeltronaCtl starting, watching and stopping real stand-in servers from temporary
// program folders, and talking DICOM to them.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <regex>

#include "CtlTestSupport.h"
#include "ServerArguments.h"
#include "process/ProcessPlatform.h"
#include "process/ServerDetection.h"

namespace veltrona::ctl::testing {
namespace {

using Args = std::vector<std::string>;

class CtlServer : public ServerFolderTest {
  protected:
    void writeSettings(const std::string& bytes) const { writeFile(program.settingsFile(), bytes); }

    std::optional<Args> receivedArguments() const {
        if (!eventually([&] { return fs::exists(argsFile); })) {
            return std::nullopt;
        }
        return standin::decodeArgumentRecord(fileContent(argsFile));
    }

    // The one server process the JSON status names, or 0.
    static long serverId(const std::string& json) {
        const std::string key = "\"processes\":[{\"id\":";
        const std::size_t at = json.find(key);
        return at == std::string::npos ? 0 : std::stol(json.substr(at + key.size()));
    }
};

TEST_F(CtlServer, StartsWhatTheWindowStartsAndStopsIt) {
    const std::string port = std::to_string(freePort());
    const std::string images = (program.root() / "images" / "").string();
    writeSettings("-aet = ARCHIVE\r\nPort = " + port + "\r\n-od = " + images +
                  "\r\n+xs    # JPeg lossless\r\n-dhl   # No DHCP available\r\nparameter=-v\r\n");

    const CtlResult before = program.run({"status"});
    EXPECT_EQ(before.exitCode, 3);
    EXPECT_EQ(before.out, "ZarvoServer.exe is not running\nNothing listens on port " + port + "\n");

    const CtlResult start = program.run({"start", "--wait", "10"});
    EXPECT_EQ(start.exitCode, 0) << start.err;
    const std::string parameters = " -dw -dhl +xs -v -od \"" + images.substr(0, images.size() - 1) +
                                   "\"  -aet ARCHIVE " + port;
    EXPECT_EQ(start.out.rfind(
                  "ZarvoServer.exe started: " + (program.folder() / "ZarvoServer.exe").string() +
                      parameters + "\nZarvoServer.exe is running: process ",
                  0),
              0u)
        << start.out;
    EXPECT_EQ(receivedArguments(),
              Args({"-dw", "-dhl", "+xs", "-v", "-od", images.substr(0, images.size() - 1), "-aet",
                    "ARCHIVE", port}));

    // Running at once; listening once the server has opened its port.
    CtlResult status;
    EXPECT_TRUE(eventually([&] {
        status = program.run({"status", "--json"});
        return status.out.find("\"serverListens\":true") != std::string::npos;
    })) << status.out;
    EXPECT_EQ(status.exitCode, 0);
    const long id = serverId(status.out);
    EXPECT_NE(status.out.find("\"holders\":[{\"id\":" + std::to_string(id)), std::string::npos);

    const CtlResult again = program.run({"start"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.err, "ZarvoServer.exe is already running: process " + std::to_string(id) +
                             " (" + (program.folder() / "ZarvoServer.exe").string() + ")\n");

    const CtlResult stop = program.run({"stop", "--json"});
    EXPECT_EQ(stop.exitCode, 0) << stop.err;
    EXPECT_EQ(stop.out,
              "{\"ended\":[{\"id\":" + std::to_string(id) + ",\"executable\":\"" +
                  (program.folder() / "ZarvoServer.exe").string() +
                  "\",\"how\":\"killed\"}],\"refused\":[],\"running\":[],\"elsewhere\":[],"
                  "\"uninspected\":0}\n");
    EXPECT_EQ(program.run({"status"}).exitCode, 3);
    const CtlResult idle = program.run({"stop"});
    EXPECT_EQ(idle.exitCode, 0);
    EXPECT_EQ(idle.out, "ZarvoServer.exe is not running\n");
}

TEST_F(CtlServer, RefusesToStartWhileAnotherProgramHoldsThePort) {
    ListeningSocket held;
    const std::string port = std::to_string(held.port());
    writeSettings("-aet = A\r\nPort = " + port + "\r\n-od = /tmp/\r\n");
    const std::string holder = "process " + std::to_string(::getpid()) + " (" +
                               fs::read_symlink("/proc/self/exe").string() + ")";

    const CtlResult start = program.run({"start"});
    EXPECT_EQ(start.exitCode, 1);
    EXPECT_EQ(start.err,
              "Port " + port + " is held by " + holder + "; the server was not started\n");
    EXPECT_EQ(start.out, "");
    const CtlResult status = program.run({"status"});
    EXPECT_EQ(status.exitCode, 3);
    EXPECT_EQ(status.out,
              "ZarvoServer.exe is not running\nPort " + port + " is held by " + holder + "\n");
    EXPECT_FALSE(fs::exists(argsFile));  // nothing was launched
}

TEST_F(CtlServer, SaysWhenARunningServerDoesNotListenOnItsPort) {
    const std::string configured = std::to_string(freePort());
    writeSettings("-aet = A\r\nPort = " + configured + "\r\n");
    // Started by hand on another port than the settings name.
    const pid_t server = spawn(program.folder() / "ZarvoServer.exe",
                               {"-dw", "-od", "/tmp", "-aet", "A", std::to_string(freePort())});
    const CtlResult status = program.run({"status"});
    EXPECT_EQ(status.exitCode, 0);
    EXPECT_EQ(status.out, "ZarvoServer.exe is running: process " + std::to_string(server) + " (" +
                              (program.folder() / "ZarvoServer.exe").string() +
                              ")\nThe server does not listen on port " + configured +
                              ": nothing listens there\n");
    killAndReap(server);
}

TEST_F(CtlServer, StartWithWaitTellsHowAServerThatEndsAtOnceEnded) {
    writeSettings("-aet = A\r\nPort = " + std::to_string(freePort()) + "\r\n");
    // The stand-in ends at once when it cannot record its arguments.
    ::setenv("ZARVO_SERVER_ARGS_FILE", (program.root() / "gone" / "arguments.txt").c_str(), 1);
    const CtlResult start = program.run({"start", "--wait", "10"});
    EXPECT_EQ(start.exitCode, 1);
    EXPECT_EQ(start.err, "ZarvoServer.exe exited at once with exit status 3\n");

    fs::remove(program.folder() / "ZarvoServer.exe");
    const CtlResult missing = program.run({"start"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err.rfind("ZarvoServer.exe could not be started: ", 0), 0u) << missing.err;
}

TEST_F(CtlServer, StartWithWaitFailsWhileTheServerDoesNotListen) {
    VELTRONA_NEEDS_OTHER_USER();
    program.openToOtherUsers();
    // Ports below 1024 are root's: the ordinary user's server runs but cannot listen.
    writeSettings("-aet = A\r\nPort = 104\r\n-od = " + program.root().string() + "/\r\n");
    const CtlResult start = program.runAsOtherUser({"start", "--wait", "5"});
    EXPECT_EQ(start.exitCode, 1) << start.out;
    EXPECT_TRUE(std::regex_match(start.err,
                                 std::regex("ZarvoServer\\.exe runs \\(process [0-9]+\\) but does "
                                            "not listen on port 104 after 5 seconds\n")))
        << start.err;
}

// Root's server, asked about by an ordinary user who cannot look into root's processes.
TEST_F(CtlServer, SaysWhenProcessesCouldNotBeInspectedInsteadOfNotRunning) {
    VELTRONA_NEEDS_OTHER_USER();
    program.openToOtherUsers();
    const std::string port = std::to_string(freePort());
    writeSettings("-aet = A\r\nPort = " + port + "\r\n");
    const pid_t server =
        spawn(program.folder() / "ZarvoServer.exe", {"-dw", "-od", "/tmp", "-aet", "A", port});
    // Root's servers of other folders, where tests run beside this one, count as well.
    const std::string count = "[1-9][0-9]* process(es)? that may be it could not be inspected";
    const std::vector<std::pair<Args, std::string>> rows = {
        {{"status"}, "ZarvoServer.exe was not found, but " + count},
        {{"status", "--json"}, "\"running\":false.*\"uninspected\":[1-9][0-9]*}"},
        {{"stop"}, "ZarvoServer.exe was not found, but " + count},
        {{"stop", "--json"}, "\"ended\":\\[\\].*\"uninspected\":[1-9][0-9]*}"},
    };
    for (const auto& [args, pattern] : rows) {
        const CtlResult result = program.runAsOtherUser(args);
        EXPECT_EQ(result.exitCode, 4) << args[0] << " " << result.out << result.err;
        EXPECT_TRUE(std::regex_search(result.out + result.err, std::regex(pattern)))
            << result.out << result.err;
    }
    EXPECT_EQ(::kill(server, 0), 0);  // nothing ended it
    killAndReap(server);
}

// A user who may not read Server.INI is still told whether the server runs, with the exit
// status of status: only the port is left unknown, and said so.
TEST_F(CtlServer, StatusWithoutReadableSettingsStillAnswersFromTheProcesses) {
    VELTRONA_NEEDS_OTHER_USER();
    program.openToOtherUsers();
    const std::string port = std::to_string(freePort());
    writeSettings("-aet = A\r\nPort = " + port + "\r\n");
    fs::permissions(program.settingsFile(), static_cast<fs::perms>(0600));
    const pid_t server =
        spawn(program.folder() / "ZarvoServer.exe", {"-dw", "-od", "/tmp", "-aet", "A", port});
    const std::string unreadable = "File \"" + program.settingsFile().string() +
                                   "\" cannot be read and is left unchanged. Permission denied.";
    const CtlResult status = program.runAsOtherUser({"status"});
    EXPECT_EQ(status.exitCode, 4);
    EXPECT_EQ(status.err, unreadable + " The port was not checked.\n");
    EXPECT_NE(status.out.find("ZarvoServer.exe was not found, but "), std::string::npos)
        << status.out;
    const CtlResult json = program.runAsOtherUser({"status", "--json"});
    EXPECT_EQ(json.exitCode, 4);
    EXPECT_NE(json.out.find("\"port\":null,\"settingsError\":\"File \\\"" +
                            program.settingsFile().string()),
              std::string::npos)
        << json.out;
    killAndReap(server);
}

// status --wait, a service manager's readiness: 0 once the server listens on the port of the
// settings, 3 when it does not in time (running on another port, or not at all).
TEST_F(CtlServer, StatusWithWaitWaitsUntilTheServerListensOnItsPort) {
    const std::string port = std::to_string(freePort());
    writeSettings("-aet = A\r\nPort = " + port + "\r\n");
    const fs::path server = program.folder() / "ZarvoServer.exe";
    const Args elsewhere = {"-dw", "-od", "/tmp", "-aet", "A", std::to_string(freePort())};
    for (const pid_t other : {pid_t{0}, spawn(server, elsewhere)}) {
        const CtlResult late = program.run({"status", "--wait", "1"});
        EXPECT_EQ(late.exitCode, 3) << late.out;
        EXPECT_EQ(late.err, "ZarvoServer.exe does not serve on port " + port + " after 1 second\n");
        if (other != 0) {
            killAndReap(other);
        }
    }

    const pid_t listening = spawn(server, {"-dw", "-od", "/tmp", "-aet", "A", port});
    const CtlResult ready = program.run({"status", "--wait", "10"});
    EXPECT_EQ(ready.exitCode, 0) << ready.err;
    EXPECT_NE(ready.out.find("The server listens on port " + port + ": process " +
                             std::to_string(listening)),
              std::string::npos)
        << ready.out;
    killAndReap(listening);
}

// As in the unit's sandbox, where root may not look into the server's account: a listener
// hidden as the server is counts while the server may run unseen.
TEST_F(CtlServer, StatusWithWaitCountsAHiddenListenerWhereTheServerMayRunUnseen) {
    VELTRONA_NEEDS_OTHER_USER();
    program.openToOtherUsers();
    const std::string port = std::to_string(freePort());
    writeSettings("-aet = A\r\nPort = " + port + "\r\n");
    const pid_t server =
        spawn(program.folder() / "ZarvoServer.exe", {"-dw", "-od", "/tmp", "-aet", "A", port});
    const CtlResult ready = program.runAsOtherUser({"status", "--wait", "10"});
    EXPECT_EQ(ready.exitCode, 0) << ready.out << ready.err;
    killAndReap(server);
    const CtlResult gone = program.runAsOtherUser({"status", "--wait", "1"});
    EXPECT_EQ(gone.exitCode, 3) << gone.out;
}

// Any user may start a program named ZarvoServer.exe from a folder of their own: it is
// not this folder's server, so it neither keeps root from starting that one nor is ended.
TEST_F(CtlServer, AProgramOfTheServersNameElsewhereIsNamedButNeitherBlocksNorIsEnded) {
    VELTRONA_NEEDS_OTHER_USER();
    program.openToOtherUsers();
    const fs::path otherFolder = program.root() / "elsewhere";
    fs::create_directory(otherFolder);
    fs::copy_file(kBuiltServer, otherFolder / "ZarvoServer.exe");
    ::unsetenv("ZARVO_SERVER_ARGS_FILE");
    const pid_t other = spawn(veltrona::testing::kSetpriv,
                              veltrona::testing::asOtherUser(
                                  otherFolder / "ZarvoServer.exe",
                                  {"-dw", "-od", "/tmp", "-aet", "A", std::to_string(freePort())}));
    ::setenv("ZARVO_SERVER_ARGS_FILE", argsFile.c_str(), 1);
    const std::string named = "process " + std::to_string(other) + " (" +
                              (otherFolder / "ZarvoServer.exe").string() +
                              ", user nobody): not this folder's server";
    ASSERT_TRUE(
        eventually([&] { return program.run({"status"}).out.find(named) != std::string::npos; }));
    writeSettings("-aet = A\r\nPort = " + std::to_string(freePort()) +
                  "\r\n-od = " + program.root().string() + "/\r\n");

    const CtlResult status = program.run({"status", "--json"});
    EXPECT_EQ(status.exitCode, 3);
    EXPECT_NE(status.out.find("\"running\":false,\"processes\":[],\"elsewhere\":["),
              std::string::npos)
        << status.out;
    EXPECT_NE(
        status.out.find("{\"id\":" + std::to_string(other) + ",\"executable\":\"" +
                        (otherFolder / "ZarvoServer.exe").string() + "\",\"user\":\"nobody\"}"),
        std::string::npos)
        << status.out;

    // Both ways of starting go ahead; root's stop ends only this folder's server.
    for (const Args& start : {Args{"start", "--wait", "10"}, Args{"run"}}) {
        SCOPED_TRACE(start[0]);
        const pid_t run = start[0] == "run" ? spawn(program.ctl(), start) : 0;
        if (run == 0) {
            const CtlResult started = program.run(start);
            EXPECT_EQ(started.exitCode, 0) << started.err;
            EXPECT_NE(started.err.find(named), std::string::npos) << started.err;
        }
        EXPECT_TRUE(eventually([&] { return program.run({"status"}).exitCode == 0; }));
        const CtlResult stop = program.run({"stop", "--wait", "10"});
        EXPECT_EQ(stop.exitCode, 0) << stop.err;
        EXPECT_NE(stop.err.find("Left alone, ZarvoServer.exe elsewhere: " + named),
                  std::string::npos)
            << stop.err;
        if (run != 0) {
            veltrona::testing::reap(run);
        }
        EXPECT_EQ(::kill(other, 0), 0);
    }
    killAndReap(other);
}

TEST_F(CtlServer, EchoIsAnsweredOnlyWhileTheServerRunsAndOnlyForItsTitle) {
    const std::string port = std::to_string(freePort());
    writeSettings("-aet = ARCHIVE\r\nPort = " + port + "\r\n-od = " + program.root().string() +
                  "/\r\n");
    ASSERT_EQ(program.run({"start", "--wait", "10"}).exitCode, 0);

    CtlResult echo;
    EXPECT_TRUE(eventually([&] {
        echo = program.run({"echo"});
        return echo.exitCode == 0;
    })) << echo.err;
    EXPECT_EQ(echo.out.rfind("C-ECHO to ARCHIVE at 127.0.0.1:" + port + " answered in ", 0), 0u)
        << echo.out;
    const CtlResult wrongTitle = program.run({"echo", "--aet", "OTHER", "--json"});
    EXPECT_EQ(wrongTitle.exitCode, 1);
    EXPECT_NE(wrongTitle.out.find("\"status\":\"rejected\""), std::string::npos) << wrongTitle.out;

    ASSERT_EQ(program.run({"stop", "--wait", "10"}).exitCode, 0);
    const CtlResult gone = program.run({"echo", "--timeout", "5"});
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_EQ(gone.err.rfind("C-ECHO to ARCHIVE at 127.0.0.1:" + port + " reached no server", 0),
              0u)
        << gone.err;
}

}  // namespace
}  // namespace veltrona::ctl::testing
