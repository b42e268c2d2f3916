// Starts of one program folder racing each other: one wins, under the start lock.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "CtlTestSupport.h"

namespace veltrona::ctl::testing {
namespace {

using StartLock = ServerFolderTest;

// The server processes of the folder, and whether `run` has made up its mind: ended
// (refused), or its server (itself or its child) runs.
struct Look {
    int servers = 0;
    bool runDecided = false;
};

Look look(const fs::path& server, pid_t run) {
    Look seen;
    for (const process::ProcessEntry& entry : process::createProcessPlatform()->listProcesses()) {
        if (entry.executable != server.string()) {
            continue;
        }
        ++seen.servers;
        std::ifstream stat("/proc/" + std::to_string(entry.id) + "/stat");
        std::string pid, name, state;
        pid_t parent = 0;
        stat >> pid >> name >> state >> parent;
        seen.runDecided = seen.runDecided || static_cast<pid_t>(entry.id) == run || parent == run;
    }
    return seen;
}

TEST_F(StartLock, OneOfRunAndTwoStartsWinsEveryTime) {
    writeFile(program.settingsFile(), "-aet = A\r\nPort = " + std::to_string(freePort()) +
                                          "\r\n-od = " + program.root().string() + "/\r\n");
    const fs::path server = program.folder() / "ZarvoServer.exe";
    int twice = 0;
    for (int round = 0; round < 30; ++round) {
        const pid_t run = spawn(program.ctl(), {"run"});
        const pid_t first = spawn(program.ctl(), {"start"});
        const pid_t second = spawn(program.ctl(), {"start"});
        veltrona::testing::reap(first);
        veltrona::testing::reap(second);
        int status = 0;
        ASSERT_TRUE(eventually([&] {
            return look(server, run).runDecided || ::waitpid(run, &status, WNOHANG) == run;
        }));
        const int servers = look(server, run).servers;
        twice += servers > 1 ? 1 : 0;
        EXPECT_EQ(servers, 1) << "round " << round;
        ASSERT_EQ(program.run({"stop", "--wait", "10"}).exitCode, 0);
        ::waitpid(run, &status, 0);
    }
    EXPECT_EQ(twice, 0) << "rounds with more than one server, of 30";
}

// Whatever stands at the lock's name that is no file of its own is refused by name and
// never followed: here a member of the folder could plant it.
TEST_F(StartLock, RefusesALinkOrFolderAtTheLocksName) {
    writeFile(program.settingsFile(), "-aet = A\r\nPort = " + std::to_string(freePort()) + "\r\n");
    const fs::path lock = program.folder() / ".ZarvoServer.lock";
    const fs::path target = program.root() / "target";
    const std::vector<std::pair<std::function<void()>, std::string>> rows = {
        {[&] { fs::create_symlink(target, lock); }, "cannot be opened: Too many levels"},
        {[&] { fs::create_directory(lock); }, "cannot be opened: Is a directory"},
    };
    for (const auto& [plant, reason] : rows) {
        fs::remove_all(lock);
        plant();
        for (const char* command : {"start", "run"}) {
            const CtlResult result = program.run({command});
            EXPECT_EQ(result.exitCode, 1) << command;
            EXPECT_EQ(result.err.rfind("The start lock \"" + lock.string() +
                                           "\" (it keeps two starts of the server apart) " + reason,
                                       0),
                      0u)
                << result.err;
        }
        EXPECT_FALSE(fs::exists(target));
        EXPECT_FALSE(fs::exists(argsFile));
    }
}

}  // namespace
}  // namespace veltrona::ctl::testing
