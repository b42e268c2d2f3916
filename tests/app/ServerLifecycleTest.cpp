// Start and stop through the window with real processes: the stand-in server copied into
// a temporary program folder, launched, detected, and terminated by the real platform.
#include <signal.h>
#include <unistd.h>

#include <QTest>
#include <cstdlib>

#include "FormFixture.h"
#include "ServerArguments.h"
#include "process/ServerDetection.h"

namespace veltrona::app::testing {
namespace {

namespace fs = std::filesystem;
using process::ProcessEntry;

class ServerLifecycle : public FormTest {
  protected:
    std::unique_ptr<process::ProcessPlatform> platform = process::createProcessPlatform();
    fs::path argsFile;

    void SetUp() override {
        FormTest::SetUp();
        installServer(programFolder / "ZarvoServer.exe");
        argsFile = programFolder.parent_path().parent_path() / "arguments.txt";
        ::setenv("ZARVO_SERVER_ARGS_FILE", argsFile.c_str(), 1);
    }

    void TearDown() override {
        ::unsetenv("ZARVO_SERVER_ARGS_FILE");
        // Whatever a test left running in its folder goes with it.
        for (const ProcessEntry& entry : serversUnder((root / "").string())) {
            ::kill(static_cast<pid_t>(entry.id), SIGKILL);
        }
        FormTest::TearDown();
    }

    static void installServer(const fs::path& target) {
        fs::create_directories(target.parent_path());
        fs::copy_file(fs::path(VELTRONA_PROGRAM_DIR) / "ZarvoServer.exe", target,
                      fs::copy_options::overwrite_existing);
    }

    std::vector<ProcessEntry> serversUnder(const std::string& folder) const {
        std::vector<ProcessEntry> found;
        for (const ProcessEntry& entry : platform->listProcesses()) {
            if (entry.executable.rfind(folder, 0) == 0) {
                found.push_back(entry);
            }
        }
        return found;
    }
    std::size_t serversRunning() const { return serversUnder((root / "").string()).size(); }

    QtAdminWindow& createWithRealProcesses() {
        form = std::make_unique<QtAdminWindow>(
            FormServices{*platform, dialogs, clock, germanTimeFormat, programFolder});
        form->pollingTimer()->stop();
        form->form().FormCreate();
        return *form;
    }

    // Ticks until the window has seen the server come or go.
    bool tickUntilFlagIs(bool running) {
        return QTest::qWaitFor(
            [&] {
                form->form().Timer1Timer();
                return form->form().serverStateFlag() == running;
            },
            10000);
    }

    std::optional<std::vector<std::string>> receivedArguments() const {
        if (!QTest::qWaitFor([&] { return fs::exists(argsFile); }, 10000)) {
            return std::nullopt;
        }
        return standin::decodeArgumentRecord(readBytes(argsFile));
    }
};

TEST_F(ServerLifecycle, StartLaunchesWithTheExpectedArgumentsAndTheNextTickLogsIt) {
    const std::string images = (programFolder.parent_path().parent_path() / "images" / "").string();
    writeSettings("-aet = ARCHIVE\r\nPort = 11112\r\n-od = " + images +
                  "\r\n+xs    # JPeg lossless\r\n-dhl   # No DHCP available\r\nparameter=-v\r\n");
    createWithRealProcesses();
    form->form().Button2Click();
    EXPECT_EQ(dialogs.infos, std::vector<std::string>{});
    const auto arguments = receivedArguments();
    ASSERT_TRUE(arguments.has_value());
    EXPECT_EQ(*arguments, std::vector<std::string>({"-dw", "-dhl", "+xs", "-v", "-od",
                                                    images.substr(0, images.size() - 1), "-aet",
                                                    "ARCHIVE", "11112"}));
    ASSERT_TRUE(tickUntilFlagIs(true));
    EXPECT_EQ(statusLines(),
              QStringList({"09:05:07 Server läuft nicht", "09:05:07 Server gestartet"}));

    form->form().Button2Click();
    EXPECT_EQ(dialogs.infos, Texts({"Server läuft bereits"}));
    EXPECT_EQ(serversRunning(), 1u);
}

TEST_F(ServerLifecycle, SecondStartBeforeATickLaunchesAgain) {
    writeSettings("-aet = A\r\nPort = 104\r\n-od = /tmp/\r\n");
    createWithRealProcesses();
    form->form().Button2Click();
    form->form().Button2Click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return serversRunning() == 2; }, 10000));
}

TEST_F(ServerLifecycle, StopTerminatesEveryServerWhereverItLiesAndTheNextTickLogsIt) {
    writeSettings("-aet = A\r\nPort = 104\r\n-od = /tmp/\r\n");
    const fs::path elsewhere =
        programFolder.parent_path().parent_path() / "other" / "ZarvoServer.exe";
    installServer(elsewhere);
    createWithRealProcesses();
    form->form().Button2Click();
    platform->launch(elsewhere.string(), " -dw -od \"/tmp\" -aet B 105", false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return serversRunning() == 2; }, 10000));
    ASSERT_TRUE(tickUntilFlagIs(true));

    form->form().Button1Click();
    EXPECT_EQ(dialogs.infos, std::vector<std::string>{});
    EXPECT_EQ(dialogs.stopFailures, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return serversRunning() == 0; }, 10000));
    ASSERT_TRUE(tickUntilFlagIs(false));
    EXPECT_EQ(statusLines().last(), "09:05:07 Server gestoppt");
}

TEST_F(ServerLifecycle, ACaseVariantIsSeenRunningButNeverTerminated) {
    const fs::path variant = programFolder.parent_path().parent_path() / "v" / "zarvoserver.EXE";
    installServer(variant);
    platform->launch(variant.string(), " -dw -od \"/tmp\" -aet V 104", false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return serversRunning() == 1; }, 10000));
    createWithRealProcesses();
    EXPECT_TRUE(form->form().serverStateFlag());
    form->form().Button1Click();
    QTest::qWait(200);
    EXPECT_EQ(serversRunning(), 1u);
    EXPECT_EQ(dialogs.infos, std::vector<std::string>{});
    EXPECT_EQ(dialogs.stopFailures, 0);
}

TEST_F(ServerLifecycle, MissingServerCannotBeStarted) {
    fs::remove(programFolder / "ZarvoServer.exe");
    createWithRealProcesses();
    form->form().Button2Click();
    EXPECT_EQ(dialogs.infos, Texts({"Server konnte nicht gestartet werden"}));
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{});
}

TEST_F(ServerLifecycle, TypedShellSyntaxReachesTheServerAsPlainArguments) {
    // A path without blanks, so it stays one argument on its way to the server.
    const fs::path planted =
        fs::temp_directory_path() / ("veltrona-planted-" + std::to_string(::getpid()));
    writeSettings("-aet = A\r\nPort = 104\r\n-od = /tmp/\r\nparameter=; touch " + planted.string() +
                  " $(id) `id` | cat\r\n");
    createWithRealProcesses();
    form->form().Button2Click();
    const auto arguments = receivedArguments();
    ASSERT_TRUE(arguments.has_value());
    EXPECT_EQ(
        std::vector<std::string>(arguments->begin() + 1, arguments->begin() + 8),
        std::vector<std::string>({";", "touch", planted.string(), "$(id)", "`id`", "|", "cat"}));
    EXPECT_FALSE(fs::exists(planted));
}

TEST_F(ServerLifecycle, ClosingTheToolLeavesTheServerRunning) {
    writeSettings("-aet = A\r\nPort = 104\r\n-od = /tmp/\r\n");
    createWithRealProcesses();
    form->form().Button2Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return serversRunning() == 1; }, 10000))
        << serversRunning() << " running; " << ::testing::PrintToString(dialogs.infos);
    EXPECT_TRUE(form->close());
    form.reset();
    QTest::qWait(200);
    EXPECT_EQ(serversRunning(), 1u);
}

}  // namespace
}  // namespace veltrona::app::testing
