// `VeltronaCtl run` waiting for the real stand-in server as its child, as a service
// manager starts it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <functional>
#include <optional>

#include "CtlTestSupport.h"
#include "ServerArguments.h"
#include "process/ProcessPlatform.h"
#include "process/ServerDetection.h"

namespace veltrona::ctl::testing {
namespace {

using Args = std::vector<std::string>;

class CtlRun : public ServerFolderTest {
  protected:
    // The server that `run` started: its child running the folder's ZarvoServer.exe.
    pid_t serverOf(pid_t run) const {
        pid_t found = 0;
        eventually([&] {
            for (const process::ProcessEntry& entry :
                 process::createProcessPlatform()->listProcesses()) {
                std::ifstream stat("/proc/" + std::to_string(entry.id) + "/stat");
                std::string pid, name, state;
                pid_t parent = 0;
                stat >> pid >> name >> state >> parent;
                if (parent == run && entry.executable == program.folder() / "ZarvoServer.exe") {
                    found = static_cast<pid_t>(entry.id);
                }
            }
            return found != 0;
        });
        return found;
    }
};

TEST_F(CtlRun, BecomesTheServerWithTheWindowsArguments) {
    const std::string port = std::to_string(freePort());
    const std::string images = (program.root() / "images" / "").string();
    writeFile(program.settingsFile(), "-aet = ARCHIVE\r\nPort = " + port + "\r\n-od = " + images +
                                          "\r\n+xs\r\n-dhl\r\nparameter=-v\r\n");
    writeFile(program.folder() / "Setup.cfg", "");
    const pid_t run = spawn(program.ctl(), {"run"});
    const pid_t pid = serverOf(run);
    ASSERT_NE(pid, 0);
    ASSERT_TRUE(eventually([&] { return fs::exists(argsFile); }));
    // Where file names keep their letter case, the profile goes by its real name.
    const std::string profile = (program.folder() / "Setup.cfg").string();
    // Not verbose; the profile replaces the transfer syntax, as the window's start does.
    EXPECT_EQ(standin::decodeArgumentRecord(fileContent(argsFile)),
              Args({"-dw", "-dhl", "-xf", profile, "default", "-v", "-od",
                    images.substr(0, images.size() - 1), "-aet", "ARCHIVE", port}));
    CtlResult status;
    EXPECT_TRUE(eventually([&] {
        status = program.run({"status", "--json"});
        return status.out.find("\"serverListens\":true") != std::string::npos;
    })) << status.out;
    EXPECT_NE(status.out.find("\"processes\":[{\"id\":" + std::to_string(pid) + ","),
              std::string::npos)
        << status.out;

    // A second run refuses as start does; the service manager's stop signal ends the server.
    const CtlResult again = program.run({"run"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.err.rfind(
                  "ZarvoServer.exe is already running: process " + std::to_string(pid) + " (", 0),
              0u)
        << again.err;
    ::kill(run, SIGTERM);
    const int ended = veltrona::testing::reap(run);
    EXPECT_TRUE(WIFSIGNALED(ended) && WTERMSIG(ended) == SIGTERM) << ended;
}

// How the server ended, told by run's exit status: a stop of VeltronaCtl's or the window's
// (the shared termination) is a stop; a plain kill -9 (as the kernel's OOM kill) is not.
TEST_F(CtlRun, CountsOnlyTheStopsOfTheToolAsStops) {
    writeFile(program.settingsFile(), "-aet = A\r\nPort = " + std::to_string(freePort()) +
                                          "\r\n-od = " + program.root().string() + "/\r\n");
    const std::vector<std::pair<std::string, std::function<void(pid_t)>>> endings = {
        {"0", [&](pid_t) { EXPECT_EQ(program.run({"stop"}).exitCode, 0); }},
        {"0",
         [&](pid_t server) {
             EXPECT_EQ(process::createProcessPlatform()->terminate(
                           {static_cast<process::ProcessId>(server),
                            (program.folder() / "ZarvoServer.exe").string()}),
                       process::TerminateResult::Terminated);
         }},
        {"137", [](pid_t server) { ::kill(server, SIGKILL); }},
    };
    for (const auto& [status, end] : endings) {
        const pid_t run = spawn(program.ctl(), {"run"});
        const pid_t server = serverOf(run);
        ASSERT_NE(server, 0);
        // The waiting parent keeps nothing of root's.
        const auto capabilities = [&] {
            std::ifstream parent("/proc/" + std::to_string(run) + "/status");
            std::string sets;
            for (std::string line; std::getline(parent, line);) {
                sets += line.starts_with("Cap") && !line.starts_with("CapBnd") ? line + "\n" : "";
            }
            return sets;
        };
        const std::string none =
            "CapInh:\t0000000000000000\nCapPrm:\t0000000000000000\n"
            "CapEff:\t0000000000000000\nCapAmb:\t0000000000000000\n";
        EXPECT_TRUE(eventually([&] { return capabilities() == none; })) << capabilities();
        end(server);
        const int ended = veltrona::testing::reap(run);
        EXPECT_TRUE(WIFEXITED(ended)) << ended;
        EXPECT_EQ(std::to_string(WEXITSTATUS(ended)), status);
    }
}

TEST_F(CtlRun, FailsWithTheUsualMessageWithoutServerOrReadableSettings) {
    writeFile(program.settingsFile(), "Port = 104\r\n");
    fs::remove(program.folder() / "ZarvoServer.exe");
    const CtlResult missing = program.run({"run"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "ZarvoServer.exe could not be started: " +
                               (program.folder() / "ZarvoServer.exe").string() +
                               ": No such file or directory\n");

    fs::remove(program.settingsFile());
    fs::create_directory(program.settingsFile());  // there, but no file to read
    const CtlResult unreadable = program.run({"run"});
    EXPECT_EQ(unreadable.exitCode, 1);
    EXPECT_EQ(unreadable.err, "File \"" + program.settingsFile().string() +
                                  "\" cannot be read and is left unchanged. Is a directory.\n");
    EXPECT_FALSE(fs::exists(argsFile));
}

// A server without a port would listen nowhere, forever: neither run nor start starts one.
TEST_F(CtlRun, RunAndStartRefuseSettingsWithoutAPortNumber) {
    const std::string notStarted = ", so the server would listen on no port; it was not started\n";
    const struct {
        std::optional<std::string> settings;
        std::string message;
    } rows[] = {
        {std::nullopt, "There is no Server.INI in " + program.folder().string() + notStarted},
        {"", "Server.INI sets no Port" + notStarted},
        {"-aet = A\r\nPort = 11112x\r\n",
         "Port \"11112x\" in Server.INI is no port number; the server was not started\n"},
    };
    for (const auto& row : rows) {
        fs::remove_all(program.settingsFile());
        if (row.settings) {
            writeFile(program.settingsFile(), *row.settings);
        }
        for (const Args& command : {Args{"run"}, Args{"start"}, Args{"start", "--wait", "3"}}) {
            SCOPED_TRACE(command.back() + ": " + row.message);
            const CtlResult result = program.run(command);
            EXPECT_EQ(result.exitCode, 1);
            EXPECT_EQ(result.err, row.message);
        }
    }
    EXPECT_FALSE(fs::exists(argsFile));
}

}  // namespace
}  // namespace veltrona::ctl::testing
