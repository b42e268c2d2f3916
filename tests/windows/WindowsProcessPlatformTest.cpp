// The Windows process layer on real processes: the stand-in server started through the
// shell, found by both listing roads and terminated; plus the identifier buffer's growth.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>

#include "ServerArguments.h"
#include "WindowsTestSupport.h"
#include "process/ProgramFolder.h"
#include "process/ServerDetection.h"
#include "process/windows/WindowsProcessPlatform.h"

namespace veltrona::process {
namespace {

using testing::programFolder;
using testing::TempFolder;
using testing::waitUntil;

constexpr const char* kServerName = "ZarvoServer.exe";
constexpr const char* kRunningParameters = R"( -dw +xs -od "C:\Images"  -aet ARCHIVE 104)";

// ---------------------------------------------------------------------------------------
// Growth of the identifier buffer, against a simulated system of any size.

struct SimulatedEnumeration {
    unsigned long processes = 0;
    int failingCall = -1;  // the call (0-based) that fails; -1 for none
    std::vector<unsigned long> sizesGiven;

    ProcessIdEnumeration function() {
        return [this](unsigned long* ids, unsigned long bytes, unsigned long* written) {
            const int call = static_cast<int>(sizesGiven.size());
            sizesGiven.push_back(bytes);
            if (call == failingCall) {
                return false;
            }
            const unsigned long fits = std::min(processes, bytes / 4);
            for (unsigned long i = 0; i < fits; ++i) {
                ids[i] = (i + 1) * 4;
            }
            *written = fits * 4;
            return true;
        };
    }
};

TEST(CollectProcessIds, DeliversEveryProcessHoweverManyRun) {
    struct Row {
        const char* name;
        unsigned long processes;
    };
    const Row rows[] = {
        {"none", 0},
        {"one", 1},
        {"one short of the first buffer", 1023},
        {"first buffer", 1024},
        {"one beyond", 1025},
        {"busy machine", 5000},
        {"exactly four buffers", 4096},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SimulatedEnumeration system;
        system.processes = row.processes;
        const auto ids = collectProcessIds(system.function());
        ASSERT_EQ(ids.size(), row.processes);
        for (std::size_t i = 0; i < ids.size(); ++i) {
            ASSERT_EQ(ids[i], (i + 1) * 4) << "at " << i;
        }
        ASSERT_FALSE(system.sizesGiven.empty());
        EXPECT_EQ(system.sizesGiven.front(), 4096u);
        // Only a buffer left with room to spare ends the growth.
        EXPECT_GT(system.sizesGiven.back(), row.processes * 4);
    }
}

TEST(CollectProcessIds, FailingEnumerationDeliversNothing) {
    struct Row {
        const char* name;
        unsigned long processes;
        int failingCall;
    };
    const Row rows[] = {
        {"first call fails", 10, 0},
        {"call after growing fails", 3000, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SimulatedEnumeration system;
        system.processes = row.processes;
        system.failingCall = row.failingCall;
        EXPECT_EQ(collectProcessIds(system.function()), std::vector<ProcessId>{});
    }
}

// ---------------------------------------------------------------------------------------
// Real processes.

std::string ownExecutablePath() {
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

struct RoadRow {
    const char* name;
    WindowsListingRoad road;
};
const RoadRow kRoads[] = {
    {"process-status road", WindowsListingRoad::ProcessStatus},
    {"snapshot road", WindowsListingRoad::Snapshot},
};

std::set<ProcessId> idsNamed(ProcessPlatform& platform, std::string_view name) {
    std::set<ProcessId> ids;
    for (const auto& entry : platform.listProcesses()) {
        if (equalsIgnoringAsciiCase(fileNamePart(entry.executable, PathSyntax::Windows), name)) {
            ids.insert(entry.id);
        }
    }
    return ids;
}

// A process opened to be watched; the handle keeps its identifier from being reused.
class WatchedProcess {
  public:
    explicit WatchedProcess(ProcessId id)
        : handle_(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE,
                              id)) {}
    WatchedProcess(const WatchedProcess&) = delete;
    WatchedProcess& operator=(const WatchedProcess&) = delete;
    ~WatchedProcess() {
        if (handle_ != nullptr) {
            TerminateProcess(handle_, 99);
            CloseHandle(handle_);
        }
    }

    bool opened() const { return handle_ != nullptr; }
    bool endsWithin(DWORD milliseconds) const {
        return WaitForSingleObject(handle_, milliseconds) == WAIT_OBJECT_0;
    }
    DWORD exitCode() const {
        DWORD code = 0;
        GetExitCodeProcess(handle_, &code);
        return code;
    }

  private:
    HANDLE handle_;
};

class WindowsProcessTest : public ::testing::Test {
  protected:
    void TearDown() override { endAllServers(); }

    // Starts `program` through the shell and returns the identifier of the one new process
    // named `name`; 0 when none showed up.
    ProcessId launchAndFind(const std::string& program, std::string_view name,
                            const std::string& parameters = kRunningParameters) {
        const auto before = idsNamed(platform_, name);
        platform_.launch(program, parameters, false);
        ProcessId found = 0;
        waitUntil([&] {
            for (const ProcessId id : idsNamed(platform_, name)) {
                if (!before.count(id)) {
                    found = id;
                    return true;
                }
            }
            return false;
        });
        return found;
    }

    // Every stand-in a test left behind, whatever its letter case.
    void endAllServers() {
        for (const ProcessId id : idsNamed(platform_, kServerName)) {
            WatchedProcess process(id);
        }
    }

    std::string serverPath() const { return programFolder() + kServerName; }

    WindowsProcessPlatform platform_;
};

TEST_F(WindowsProcessTest, SystemTakesTheProcessStatusRoad) {
    EXPECT_EQ(currentListingRoad(), WindowsListingRoad::ProcessStatus);
}

TEST(ProgramFolder, IsTheFolderOfThisProgram) {
    const std::filesystem::path folder = process::programFolder();  // not testing::programFolder()
    EXPECT_EQ(folder.native().back(), L'\\');
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / "windows_platform_tests.exe"))
        << folder.string();
}

TEST_F(WindowsProcessTest, BothRoadsListThisProgram) {
    const std::string own = ownExecutablePath();
    for (const RoadRow& row : kRoads) {
        SCOPED_TRACE(row.name);
        WindowsProcessPlatform platform(row.road);
        const auto entries = platform.listProcesses();
        const auto self = std::find_if(entries.begin(), entries.end(), [](const ProcessEntry& e) {
            return e.id == GetCurrentProcessId();
        });
        ASSERT_NE(self, entries.end());
        // The process-status road gives the image's full path, tool help its file name.
        const std::string expected = row.road == WindowsListingRoad::ProcessStatus
                                         ? own
                                         : std::string(fileNamePart(own, PathSyntax::Windows));
        EXPECT_TRUE(equalsIgnoringAsciiCase(self->executable, expected))
            << self->executable << " vs " << expected;
        EXPECT_GT(entries.size(), 1u);
    }
}

TEST_F(WindowsProcessTest, ListingAndTerminationCloseEveryHandleTheyOpen) {
    for (const RoadRow& row : kRoads) {
        SCOPED_TRACE(row.name);
        WindowsProcessPlatform platform(row.road);
        platform.listProcesses();  // binds the libraries once
        const unsigned before = testing::ownHandleCount();
        ASSERT_GT(before, 0u) << "the system counts no handles";
        for (int i = 0; i < 25; ++i) {
            platform.listProcesses();
            // Opened with all rights, found to be another program, left alone.
            EXPECT_EQ(platform.terminate({GetCurrentProcessId(), "Other.exe"}),
                      TerminateResult::Vanished);
        }
        EXPECT_EQ(testing::ownHandleCount(), before);
    }
}

TEST_F(WindowsProcessTest, ShellLaunchHandsTheParameterStringToTheServer) {
    struct Row {
        const char* name;
        const char* parameters;
        std::vector<std::string> arguments;
    };
    const Row rows[] = {
        {"settings with DHCP",
         R"( -dw -dhl +xs -od "D:\Images"  -aet ARCHIVE 104)",
         {"-dw", "-dhl", "+xs", "-od", "D:\\Images", "-aet", "ARCHIVE", "104"}},
        {"profile, verbose",
         R"( -d -dw  -xf "C:\Tools\Admin\setup.cfg" "default" -od "D:\Images"  -aet ARCHIVE 104)",
         {"-d", "-dw", "-xf", "C:\\Tools\\Admin\\setup.cfg", "default", "-od", "D:\\Images", "-aet",
          "ARCHIVE", "104"}},
        {"everything empty", R"( -dw  -od ""  -aet  )", {"-dw", "-od", "", "-aet"}},
        {"AE title with a blank",
         R"( -dw -od "D:\I"  -aet MY AE 11112)",
         {"-dw", "-od", "D:\\I", "-aet", "MY", "AE", "11112"}},
    };
    TempFolder folder;
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto record = folder.path() / ("arguments" + std::to_string(index++) + ".txt");
        ASSERT_TRUE(SetEnvironmentVariableW(L"ZARVO_SERVER_ARGS_FILE", record.c_str()));
        platform_.launch(serverPath(), row.parameters, false);
        // The server may have created the record and not yet written it whole.
        std::string text;
        std::optional<std::vector<std::string>> arguments;
        ASSERT_TRUE(waitUntil([&] {
            std::ifstream in(record, std::ios::binary);
            std::stringstream read;
            read << in.rdbuf();
            text = read.str();
            arguments = standin::decodeArgumentRecord(text);
            return arguments.has_value() && !arguments->empty();  // every row has some
        })) << text;
        EXPECT_EQ(*arguments, row.arguments);
        endAllServers();
    }
    SetEnvironmentVariableW(L"ZARVO_SERVER_ARGS_FILE", nullptr);
}

TEST_F(WindowsProcessTest, ServerStartsFromAFolderTheAnsiCodePageCannotSpell) {
    TempFolder folder;
    const std::filesystem::path program = folder.path() / L"cases" / L"\u03A9mega" / L"prog";
    std::filesystem::create_directories(program);
    ASSERT_TRUE(CopyFileW((std::filesystem::path(programFolder()) / kServerName).c_str(),
                          (program / kServerName).c_str(), TRUE));
    // A letter of the ANSI code page reaches the server as the byte it was.
    const bool western = GetACP() == 1252;
    const std::string folderArgument = western ? "D:\\Bild\xE9r" : "D:\\Images";
    const auto record = folder.path() / "arguments.txt";
    ASSERT_TRUE(SetEnvironmentVariableW(L"ZARVO_SERVER_ARGS_FILE", record.c_str()));
    platform_.launch(program / kServerName, " -dw -od \"" + folderArgument + "\"  -aet A 104",
                     false);
    std::optional<std::vector<std::string>> arguments;
    EXPECT_TRUE(waitUntil([&] {
        std::ifstream in(record, std::ios::binary);
        std::stringstream read;
        read << in.rdbuf();
        arguments = standin::decodeArgumentRecord(read.str());
        return arguments.has_value() && !arguments->empty();
    }));
    SetEnvironmentVariableW(L"ZARVO_SERVER_ARGS_FILE", nullptr);
    endAllServers();
    ASSERT_TRUE(arguments.has_value());
    EXPECT_EQ(*arguments,
              (std::vector<std::string>{"-dw", "-od", folderArgument, "-aet", "A", "104"}));
}

TEST_F(WindowsProcessTest, LaunchOfAMissingProgramIsRefusedWithAReason) {
    TempFolder folder;
    try {
        platform_.launch(folder.ansi() + "\\" + kServerName, kRunningParameters, false);
        FAIL() << "no LaunchError";
    } catch (const LaunchError& error) {
        const std::string reason = error.what();
        ASSERT_FALSE(reason.empty());
        // The error box ends the sentence; the reason must not end it already.
        EXPECT_NE(reason.back(), '.') << reason;
    }
}

TEST_F(WindowsProcessTest, ServerIsDetectedAndTerminatedWithExitCodeZero) {
    for (const RoadRow& row : kRoads) {
        SCOPED_TRACE(row.name);
        WindowsProcessPlatform platform(row.road);
        ASSERT_FALSE(isProcessRunning(platform, kServerName));
        const ProcessId id = launchAndFind(serverPath(), kServerName);
        ASSERT_NE(id, 0u);
        WatchedProcess server(id);
        ASSERT_TRUE(server.opened());
        EXPECT_TRUE(isProcessRunning(platform, kServerName));
        EXPECT_TRUE(isProcessRunning(platform, "ZARVOSERVER.EXE"));

        int refusals = 0;
        terminateProcessesNamed(platform, kServerName, [&] { ++refusals; });
        ASSERT_TRUE(server.endsWithin(10000));
        EXPECT_EQ(server.exitCode(), 0u);
        EXPECT_EQ(refusals, 0);
        EXPECT_TRUE(waitUntil([&] { return !isProcessRunning(platform, kServerName); }));
    }
}

TEST_F(WindowsProcessTest, ServersInEveryFolderAreTerminatedByOneStop) {
    TempFolder elsewhere;
    const auto copy = elsewhere.path() / kServerName;
    std::filesystem::copy_file(std::filesystem::path(serverPath()), copy);
    const ProcessId first = launchAndFind(serverPath(), kServerName);
    const ProcessId second = launchAndFind(elsewhere.ansi() + "\\" + kServerName, kServerName);
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    WatchedProcess one(first);
    WatchedProcess two(second);

    terminateProcessesNamed(platform_, kServerName, [] { ADD_FAILURE() << "refused"; });
    EXPECT_TRUE(one.endsWithin(10000));
    EXPECT_TRUE(two.endsWithin(10000));
}

TEST_F(WindowsProcessTest, OtherLetterCaseIsDetectedButNotTerminated) {
    TempFolder elsewhere;
    const std::string otherCase = "ZARVOSERVER.EXE";
    std::filesystem::copy_file(std::filesystem::path(serverPath()), elsewhere.path() / otherCase);
    const ProcessId id = launchAndFind(elsewhere.ansi() + "\\" + otherCase, otherCase);
    ASSERT_NE(id, 0u);
    WatchedProcess process(id);
    for (const RoadRow& row : kRoads) {
        SCOPED_TRACE(row.name);
        WindowsProcessPlatform platform(row.road);
        EXPECT_TRUE(isProcessRunning(platform, kServerName));
        terminateProcessesNamed(platform, kServerName, [] { ADD_FAILURE() << "refused"; });
        EXPECT_FALSE(process.endsWithin(300));
    }
}

TEST_F(WindowsProcessTest, TerminateSparesAProcessThatNoLongerMatchesItsEntry) {
    for (const RoadRow& row : kRoads) {
        SCOPED_TRACE(row.name);
        WindowsProcessPlatform platform(row.road);
        const ProcessId id = launchAndFind(serverPath(), kServerName);
        ASSERT_NE(id, 0u);
        WatchedProcess server(id);

        // The identifier now names another program than the listing saw.
        EXPECT_EQ(platform.terminate({id, programFolder() + "Other.exe"}),
                  TerminateResult::Vanished);
        EXPECT_FALSE(server.endsWithin(200));

        // The entry as listed is still the program: it goes.
        ProcessEntry listed;
        for (const auto& entry : platform.listProcesses()) {
            if (entry.id == id) {
                listed = entry;
            }
        }
        ASSERT_EQ(listed.id, id);
        EXPECT_EQ(platform.terminate(listed), TerminateResult::Terminated);
        ASSERT_TRUE(server.endsWithin(10000));
        EXPECT_EQ(server.exitCode(), 0u);

        // Once it has ended, its identifier names nothing to terminate.
        EXPECT_EQ(platform.terminate(listed), TerminateResult::Vanished);
    }
}

// The graceful way, on servers started as the service starts them, each with a hidden
// console of its own: Ctrl+C there ends one. One in a new process group ignores Ctrl+C and
// has no window and no message queue: it is ended hard once its time has passed.
TEST_F(WindowsProcessTest, GracefulTerminateAsksByCtrlCAndEndsHardWhatDoesNotListen) {
    using std::chrono::milliseconds;
    WindowsProcessPlatform platform;
    const auto start = [&](DWORD flags) {
        std::string commandLine = "\"" + serverPath() + "\"" + kRunningParameters;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        EXPECT_TRUE(CreateProcessA(serverPath().c_str(), commandLine.data(), nullptr, nullptr,
                                   FALSE, flags | CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                                   &started));
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
        ProcessEntry listed;
        waitUntil([&] {
            for (const auto& one : platform.listProcesses()) {
                listed = one.id == started.dwProcessId ? one : listed;
            }
            return listed.id != 0;
        });
        return listed;
    };
    const ProcessEntry politeEntry = start(0);
    WatchedProcess polite(politeEntry.id);
    EXPECT_EQ(platform.terminateGracefully(politeEntry, milliseconds(10000)),
              (GracefulTermination{TerminateResult::Terminated, false}));
    ASSERT_TRUE(polite.endsWithin(10000));
    // The default handler's status: STATUS_CONTROL_C_EXIT on Windows, 0 under Wine.
    EXPECT_TRUE(polite.exitCode() == 0xC000013Au || polite.exitCode() == 0u) << polite.exitCode();
    EXPECT_EQ(platform.terminateGracefully(politeEntry, milliseconds(100)).result,
              TerminateResult::Vanished);

    const ProcessEntry deafEntry = start(CREATE_NEW_PROCESS_GROUP);
    WatchedProcess deaf(deafEntry.id);
    EXPECT_EQ(platform.terminateGracefully(deafEntry, milliseconds(500)),
              (GracefulTermination{TerminateResult::Terminated, true}));
    ASSERT_TRUE(deaf.endsWithin(10000));
    EXPECT_EQ(deaf.exitCode(), 0u);
}

// Takes about 8 MB and a fraction of a second per process under Wine, so it runs only on
// request: VELTRONA_MANY_PROCESSES names how many stand-ins to start.
TEST_F(WindowsProcessTest, ServerIsFoundBeyondTheFirst1024Processes) {
    const char* requested = std::getenv("VELTRONA_MANY_PROCESSES");
    if (requested == nullptr || std::atoi(requested) <= 0) {
        GTEST_SKIP() << "set VELTRONA_MANY_PROCESSES to a count above 1024 to run";
    }
    const int count = std::atoi(requested);
    TempFolder folder;
    const auto filler = folder.path() / "Filler.exe";
    std::filesystem::copy_file(std::filesystem::path(serverPath()), filler);
    const std::string fillerCommand = "\"" + filler.string() + "\"" + kRunningParameters;
    std::vector<PROCESS_INFORMATION> fillers;
    for (int i = 0; i < count; ++i) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        std::string commandLine = fillerCommand;
        if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                            nullptr, nullptr, &startup, &process)) {
            ADD_FAILURE() << "started only " << i << " processes";
            break;
        }
        CloseHandle(process.hThread);
        fillers.push_back(process);
    }
    // The server starts last, so it is among the last identifiers the system delivers
    // unless identifiers are handed out in no order at all.
    const ProcessId server = launchAndFind(serverPath(), kServerName);
    const auto entries = platform_.listProcesses();
    EXPECT_GT(entries.size(), 1024u);
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(),
                            [&](const ProcessEntry& e) { return e.id == server; }));
    EXPECT_TRUE(isProcessRunning(platform_, kServerName));
    for (const auto& process : fillers) {
        TerminateProcess(process.hProcess, 0);
        CloseHandle(process.hProcess);
    }
}

}  // namespace
}  // namespace veltrona::process
