#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "ServerArguments.h"
#include "TempFolder.h"
#include "process/ServerDetection.h"
#include "process/linux/LinuxProcessPlatform.h"

namespace veltrona::process {
namespace {

namespace fs = std::filesystem;
using Method = LinuxProcessPlatform::TerminateMethod;

const fs::path standinPath = fs::path(VELTRONA_PROGRAM_DIR) / "ZarvoServer.exe";

using veltrona::testing::eventually;
using veltrona::testing::killAndReap;
using veltrona::testing::reap;
using veltrona::testing::spawn;
using veltrona::testing::TempFolder;

fs::path copyProgram(const fs::path& from, const fs::path& to) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    return to;
}

pid_t spawnSleeper(const fs::path& program) {
    return spawn(program, {"600"});
}

bool lists(ProcessPlatform& platform, const ProcessEntry& wanted) {
    for (const auto& entry : platform.listProcesses()) {
        if (entry == wanted) {
            return true;
        }
    }
    return false;
}

bool listsId(ProcessPlatform& platform, ProcessId id) {
    for (const auto& entry : platform.listProcesses()) {
        if (entry.id == id) {
            return true;
        }
    }
    return false;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string linkOf(const std::string& path) {
    std::error_code error;
    return fs::read_symlink(path, error).string();
}

// Kills every process that runs exactly `executable`; leaves servers of others alone.
void killAllRunning(const fs::path& executable) {
    LinuxProcessPlatform platform;
    for (const auto& entry : platform.listProcesses()) {
        if (entry.executable == executable.string()) {
            platform.terminate(entry);
        }
    }
}

TEST(LinuxListing, DetectsServerCopyWhileItRuns) {
    TempFolder folder;
    const auto program = copyProgram("/bin/sleep", folder.path() / "ZarvoServer.exe");
    // A name no other test or developer on this machine uses, for the "not running" check.
    const std::string uniqueName = "Zv" + std::to_string(::getpid()) + ".exe";
    const auto unique = copyProgram("/bin/sleep", folder.path() / uniqueName);
    auto platform = createProcessPlatform();
    EXPECT_EQ(platform->pathSyntax(), PathSyntax::Posix);
    EXPECT_FALSE(isProcessRunning(*platform, uniqueName));

    const pid_t server = spawnSleeper(program);
    const pid_t other = spawnSleeper(unique);
    EXPECT_TRUE(lists(*platform, {static_cast<ProcessId>(server), program.string()}));
    EXPECT_TRUE(isProcessRunning(*platform, "ZarvoServer.exe"));
    EXPECT_TRUE(isProcessRunning(*platform, "ZARVOSERVER.EXE"));
    EXPECT_TRUE(isProcessRunning(*platform, uniqueName));

    killAndReap(server);
    killAndReap(other);
    EXPECT_FALSE(listsId(*platform, static_cast<ProcessId>(server)));
    EXPECT_FALSE(isProcessRunning(*platform, uniqueName));
}

TEST(LinuxListing, KeepsThePathOfAnExecutableDeletedOrReplacedSinceStart) {
    enum class Change { None, Delete, Replace };
    struct Row {
        const char* name;
        const char* fileName;
        Change change;
    };
    const std::vector<Row> rows = {
        {"deleted", "ZarvoServer.exe", Change::Delete},
        {"replaced by a new file", "ZarvoServer.exe", Change::Replace},
        {"name really ends in the marker", "ZarvoServer.exe (deleted)", Change::None},
        {"such a name, deleted", "ZarvoServer.exe (deleted)", Change::Delete},
    };
    LinuxProcessPlatform platform;
    for (const auto& row : rows) {
        TempFolder folder;
        const auto program = copyProgram("/bin/sleep", folder.path() / row.fileName);
        const pid_t pid = spawnSleeper(program);
        if (row.change != Change::None) {
            fs::remove(program);
        }
        if (row.change == Change::Replace) {
            copyProgram("/bin/true", program);
        }
        EXPECT_TRUE(lists(platform, {static_cast<ProcessId>(pid), program.string()})) << row.name;
        killAndReap(pid);
    }
}

TEST(LinuxListing, LeavesNoDescriptorOpen) {
    LinuxProcessPlatform platform;
    const auto countFds = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{});
    };
    const auto before = countFds();
    for (int i = 0; i < 200; ++i) {
        platform.listProcesses();
    }
    EXPECT_EQ(countFds(), before);
}

TEST(LinuxListing, NamesNoProcessWithoutExecutableAsRefused) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root, who may look into other users' processes";
    }
    // A zombie has no executable link to read (ENOENT): that is no refusal.
    const pid_t zombie = spawn("/bin/true", {});
    ASSERT_TRUE(
        eventually([&] { return !fs::exists("/proc/" + std::to_string(zombie) + "/exe"); }));
    LinuxProcessPlatform platform;
    for (const ProcessEntry& refused : platform.inspectProcesses().uninspected) {
        EXPECT_NE(refused.id, static_cast<ProcessId>(zombie));
    }
    reap(zombie);
}

TEST(LinuxTerminate, KillsTheServerAndReportsVanishedProcesses) {
    for (const auto method : {Method::Pidfd, Method::Kill}) {
        const char* label = method == Method::Pidfd ? "pidfd" : "kill";
        TempFolder folder;
        const auto program = copyProgram("/bin/sleep", folder.path() / "ZarvoServer.exe");
        const auto otherProgram = copyProgram("/bin/sleep", folder.path() / "other");
        LinuxProcessPlatform platform(method);

        const pid_t server = spawnSleeper(program);
        const ProcessEntry entry{static_cast<ProcessId>(server), program.string()};
        EXPECT_EQ(platform.terminate(entry), TerminateResult::Terminated) << label;
        const int status = reap(server);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << label;

        // The same identifier after the process ended and was reaped.
        EXPECT_EQ(platform.terminate(entry), TerminateResult::Vanished) << label;

        // An identifier that now names another program must never be hit.
        const pid_t other = spawnSleeper(otherProgram);
        EXPECT_EQ(platform.terminate({static_cast<ProcessId>(other), program.string()}),
                  TerminateResult::Vanished)
            << label;
        EXPECT_EQ(::waitpid(other, nullptr, WNOHANG), 0) << label << ": other program still runs";
        killAndReap(other);

        EXPECT_EQ(platform.terminate({0, program.string()}), TerminateResult::Vanished) << label;
        EXPECT_EQ(platform.terminateMethod(), method) << label;
    }
}

// A sleeper that ignores SIGTERM (an ignored signal stays ignored across exec).
pid_t spawnDeafSleeper(const fs::path& program) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGTERM, SIG_IGN);
        ::execl(program.c_str(), program.c_str(), "600", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    EXPECT_TRUE(eventually([&] {
        std::error_code error;
        return fs::read_symlink("/proc/" + std::to_string(child) + "/exe", error) == program;
    }));
    return child;
}

TEST(LinuxTerminate, GracefullyAsksFirstAndKillsOnlyWhatIgnoresTheRequest) {
    using namespace std::chrono_literals;
    for (const auto method : {Method::Pidfd, Method::Kill}) {
        const char* label = method == Method::Pidfd ? "pidfd" : "kill";
        TempFolder folder;
        const auto program = copyProgram("/bin/sleep", folder.path() / "ZarvoServer.exe");
        LinuxProcessPlatform platform(method);

        const pid_t polite = spawnSleeper(program);
        const auto asked = std::chrono::steady_clock::now();
        EXPECT_EQ(
            platform.terminateGracefully({static_cast<ProcessId>(polite), program.string()}, 30s),
            (GracefulTermination{TerminateResult::Terminated, false}))
            << label;
        EXPECT_LT(std::chrono::steady_clock::now() - asked, 10s) << label;
        const int politeStatus = reap(polite);
        EXPECT_TRUE(WIFSIGNALED(politeStatus) && WTERMSIG(politeStatus) == SIGTERM) << label;

        const pid_t deaf = spawnDeafSleeper(program);
        EXPECT_EQ(
            platform.terminateGracefully({static_cast<ProcessId>(deaf), program.string()}, 300ms),
            (GracefulTermination{TerminateResult::Terminated, true}))
            << label;
        const int deafStatus = reap(deaf);
        EXPECT_TRUE(WIFSIGNALED(deafStatus) && WTERMSIG(deafStatus) == SIGKILL) << label;

        EXPECT_EQ(platform.terminateGracefully({static_cast<ProcessId>(deaf), program.string()}, 1s)
                      .result,
                  TerminateResult::Vanished)
            << label;
    }
}

TEST(LinuxTerminate, ReportsRefusalForAnotherUsersProcess) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as another user";
    }
    TempFolder folder;
    const auto program = copyProgram("/bin/sleep", folder.path() / "ZarvoServer.exe");
    const pid_t server = spawnSleeper(program);
    const ProcessEntry entry{static_cast<ProcessId>(server), program.string()};

    // As "nobody" the root-owned server is neither listed nor may it be killed, and the
    // listing counts it among the processes it was refused.
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0) {
            ::_exit(10);
        }
        int code = 0;
        for (const auto method : {Method::Pidfd, Method::Kill}) {
            LinuxProcessPlatform platform(method);
            if (listsId(platform, entry.id)) {
                code |= 1;
            }
            if (platform.terminate(entry) != TerminateResult::Refused) {
                code |= 2;
            }
            const auto refused = platform.inspectProcesses().uninspected;
            // Named by its short command name, which is the whole file name here, and by
            // the user it runs as.
            if (std::find(refused.begin(), refused.end(),
                          ProcessEntry{entry.id, "ZarvoServer.exe", "root"}) == refused.end()) {
                code |= 4;
            }
        }
        ::_exit(code);
    }
    const int status = reap(child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "1: listed, 2: not refused, 4: not named as refused, 10: no user switch";
    EXPECT_EQ(::waitpid(server, nullptr, WNOHANG), 0) << "server survived";
    killAndReap(server);
}

class LinuxLaunch : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(standinPath)) << standinPath;
        program_ = copyProgram(standinPath, folder_.path() / "ZarvoServer.exe");
        record_ = folder_.path() / "args.txt";
        ::setenv("ZARVO_SERVER_ARGS_FILE", record_.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("ZARVO_SERVER_ARGS_FILE");
        killAllRunning(program_);
    }

    // The arguments the launched stand-in received.
    std::vector<std::string> receivedArguments() {
        EXPECT_TRUE(eventually([&] { return fs::exists(record_); })) << "stand-in never started";
        auto decoded = standin::decodeArgumentRecord(readFile(record_));
        EXPECT_TRUE(decoded.has_value());
        fs::remove(record_);
        return decoded.value_or(std::vector<std::string>{});
    }

    ProcessEntry runningStandin() {
        LinuxProcessPlatform platform;
        for (const auto& entry : platform.listProcesses()) {
            if (entry.executable == program_.string()) {
                return entry;
            }
        }
        return {};
    }

    TempFolder folder_;
    fs::path program_;
    fs::path record_;
};

bool hasNoChildren() {
    return ::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD;
}

TEST_F(LinuxLaunch, PassesExactlyTheSplitArguments) {
    const std::string marker = (folder_.path() / "injected").string();
    struct Row {
        const char* name;
        std::string parameters;
        std::vector<std::string> expected;
    };
    const std::vector<Row> rows = {
        {"worked example",
         R"( -dw -dhl +xs -od "D:\Images"  -aet ARCHIVE 104)",
         {"-dw", "-dhl", "+xs", "-od", "D:\\Images", "-aet", "ARCHIVE", "104"}},
        {"profile with quoted path",
         R"( -d -dw  -xf "C:\Tools\Admin dir\setup.cfg" "default" -od "D:\Images"  -aet ARCHIVE 104)",
         {"-d", "-dw", "-xf", "C:\\Tools\\Admin dir\\setup.cfg", "default", "-od", "D:\\Images",
          "-aet", "ARCHIVE", "104"}},
        {"empty settings", R"( -dw  -od ""  -aet  )", {"-dw", "-od", "", "-aet"}},
        {"shell syntax stays plain text",
         " -dw +xs ; touch " + marker + " $(id) `id` | && > " + marker + " -od \"x\"  -aet A 104",
         {"-dw", "+xs", ";", "touch", marker, "$(id)", "`id`", "|", "&&", ">", marker, "-od", "x",
          "-aet", "A", "104"}},
        {"backslashes before quotes",
         R"( -dw a\\"b c" d -od "C:\srv dir\\"  -aet A 1)",
         {"-dw", "a\\b c", "d", "-od", "C:\\srv dir\\", "-aet", "A", "1"}},
    };
    LinuxProcessPlatform platform;
    for (const auto& row : rows) {
        for (const bool shown : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (shown ? " (shown)" : " (hidden)"));
            platform.launch(program_.string(), row.parameters, shown);
            EXPECT_TRUE(hasNoChildren()) << "the launch left a child behind";
            EXPECT_EQ(receivedArguments(), row.expected);
            killAllRunning(program_);
        }
    }
    EXPECT_FALSE(fs::exists(marker)) << "a shell ran the parameters";
}

TEST_F(LinuxLaunch, DetachesIntoTheCurrentDirectoryWithOutputAsAsked) {
    LinuxProcessPlatform platform;
    for (const bool shown : {false, true}) {
        SCOPED_TRACE(shown ? "shown" : "hidden");
        platform.launch(program_.string(), R"( -dw  -od "x"  -aet A 104)", shown);
        receivedArguments();
        const auto server = runningStandin();
        ASSERT_NE(server.id, 0U);
        const std::string proc = "/proc/" + std::to_string(server.id);
        EXPECT_EQ(linkOf(proc + "/cwd"), fs::current_path().string());
        EXPECT_EQ(linkOf(proc + "/fd/0"), "/dev/null");
        const std::string expectedOutput = shown ? linkOf("/proc/self/fd/1") : "/dev/null";
        EXPECT_EQ(linkOf(proc + "/fd/1"), expectedOutput);
        EXPECT_EQ(linkOf(proc + "/fd/2"), shown ? linkOf("/proc/self/fd/2") : "/dev/null");
        EXPECT_TRUE(hasNoChildren());
        // Its own session: a signal to the tool's process group does not reach it.
        EXPECT_NE(::getsid(static_cast<pid_t>(server.id)), ::getsid(0));
        // No descriptor of the tool besides the standard three was handed down; what else
        // the server holds (its listening socket) is its own.
        std::set<std::string> toolFiles;
        for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
            toolFiles.insert(linkOf(fd.path().string()));
        }
        for (const auto& fd : fs::directory_iterator(proc + "/fd")) {
            const std::string number = fd.path().filename().string();
            if (number != "0" && number != "1" && number != "2") {
                EXPECT_EQ(toolFiles.count(linkOf(fd.path().string())), 0u) << number;
            }
        }
        EXPECT_EQ(platform.terminate(server), TerminateResult::Terminated);
    }
}

TEST_F(LinuxLaunch, RefusesWhatCannotBeExecuted) {
    const auto notExecutable = folder_.path() / "plain.exe";
    std::ofstream(notExecutable) << "#!/bin/sh\necho should not run\n";
    fs::permissions(notExecutable, fs::perms::owner_read | fs::perms::owner_write);
    struct Row {
        const char* name;
        fs::path program;
        const char* reason;
    };
    const std::vector<Row> rows = {
        {"missing", folder_.path() / "missing" / "ZarvoServer.exe", "No such file or directory"},
        {"not executable", notExecutable, "Permission denied"},
        {"a folder", folder_.path(), "Permission denied"},
    };
    LinuxProcessPlatform platform;
    for (const auto& row : rows) {
        try {
            platform.launch(row.program.string(), " -dw", false);
            ADD_FAILURE() << row.name << ": no LaunchError";
        } catch (const LaunchError& error) {
            EXPECT_NE(std::string(error.what()).find(row.reason), std::string::npos)
                << row.name << ": " << error.what();
        }
        EXPECT_TRUE(hasNoChildren()) << row.name;
    }
}

// The stand-in itself, as a real program: exit status and messages.
TEST(Standin, RejectsJunkAndExplainsItself) {
    TempFolder folder;
    struct Row {
        const char* name;
        std::vector<std::string> arguments;
        int exitCode;
        const char* stream;
        const char* text;
    };
    const std::vector<Row> rows = {
        {"help", {"--help"}, 0, "out", "Usage: ZarvoServer.exe"},
        {"missing -dw", {"-od", "x", "-aet", "A", "104"}, 2, "err", "-dw"},
        {"bad port", {"-dw", "-od", "x", "-aet", "A", "70000"}, 2, "err", "70000"},
        {"-xf without values", {"-dw", "-xf", "-od", "x", "-aet"}, 2, "err", "-xf"},
    };
    for (const auto& row : rows) {
        const auto out = folder.path() / "out";
        const auto err = folder.path() / "err";
        const pid_t pid = spawn(standinPath, row.arguments, out, err);
        const int status = reap(pid);
        ASSERT_TRUE(WIFEXITED(status)) << row.name;
        EXPECT_EQ(WEXITSTATUS(status), row.exitCode) << row.name;
        const auto text = readFile(folder.path() / row.stream);
        EXPECT_NE(text.find(row.text), std::string::npos) << row.name << ": " << text;
    }
}

}  // namespace
}  // namespace veltrona::process
