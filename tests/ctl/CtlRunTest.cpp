// `VeltronaCtl run` becoming the real stand-in server, as a service manager starts it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "CtlTestSupport.h"
#include "ServerArguments.h"
#include "process/ProcessPlatform.h"
#include "process/ServerDetection.h"

namespace veltrona::ctl::testing {
namespace {

using Args = std::vector<std::string>;

using CtlRun = ServerFolderTest;

TEST_F(CtlRun, BecomesTheServerWithTheWindowsArguments) {
    const std::string port = std::to_string(freePort());
    const std::string images = (program.root() / "images" / "").string();
    writeFile(program.settingsFile(), "-aet = ARCHIVE\r\nPort = " + port + "\r\n-od = " + images +
                                          "\r\n+xs\r\n-dhl\r\nparameter=-v\r\n");
    writeFile(program.folder() / "Setup.cfg", "");
    const pid_t pid = spawn(program.ctl(), {"run"});

    // The same process, now running the server's program: what a service manager supervises.
    std::error_code error;
    EXPECT_TRUE(eventually([&] {
        return fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", error) ==
               program.folder() / "ZarvoServer.exe";
    }));
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
    ::kill(pid, SIGTERM);
    const int ended = veltrona::testing::reap(pid);
    EXPECT_TRUE(WIFSIGNALED(ended) && WTERMSIG(ended) == SIGTERM);
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
    EXPECT_NE(unreadable.err.find("kann nicht gelesen werden"), std::string::npos)
        << unreadable.err;
    EXPECT_FALSE(fs::exists(argsFile));
}

}  // namespace
}  // namespace veltrona::ctl::testing
