// The window starts a real storage server with the settings it shows: a DICOM client then
// reaches it on its port under its AE title, an image it is sent lands in its image folder,
// and Stop ends it.
#include <gtest/gtest.h>
#include <signal.h>

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "DicomStore.h"
#include "DicomTestObjects.h"
#include "QtAdminWindow.h"
#include "dicom/DicomEcho.h"
#include "process/ProcessPlatform.h"
#include "ui/UserDialogs.h"

namespace veltrona::app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using dicom::EchoResult;

// The window's dialogs, none of which may open in this run.
class NoDialogs : public ui::UserDialogs {
  public:
    std::string shown;
    void showInfo(const std::string& text) override { shown += text + "\n"; }
    bool passwordQuery(const std::string&, const std::string&, std::string&) override {
        return false;
    }
    void showError(const std::string& message) override { shown += message + "\n"; }
    void showStopFailure(const std::string&) override { shown += "stop failure\n"; }
};

class StillClock : public Clock {
  public:
    TimeOfDay now() const override { return {9, 5, 7}; }
};

class WindowDicom : public ::testing::Test {
  protected:
    QTemporaryDir root;
    fs::path programFolder;
    fs::path images;
    int port = dicom::testing::freePort();
    std::unique_ptr<process::ProcessPlatform> processes = process::createProcessPlatform();
    NoDialogs dialogs;
    StillClock clock;
    std::unique_ptr<QtAdminWindow> window;

    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        programFolder = fs::path(root.path().toStdString()) / "bin" / "";
        images = fs::path(root.path().toStdString()) / "images" / "";
        fs::create_directories(programFolder);
        fs::copy_file(fs::path(VELTRONA_PROGRAM_DIR) / "ZarvoServer.exe",
                      programFolder / "ZarvoServer.exe");
        std::ofstream(programFolder / "Server.INI", std::ios::binary)
            << "-aet = ARCHIVE MAIN\r\nPort = " << port << "\r\n-od = " << images.string()
            << "\r\n+x=    # unkomprimiert\r\n";
        window = std::make_unique<QtAdminWindow>(
            FormServices{*processes, dialogs, clock, [] { return TimeFormat{}; }, programFolder});
        window->pollingTimer()->stop();  // the test ticks
        window->form().FormCreate();
    }

    void TearDown() override {
        window.reset();
        for (const process::ProcessEntry& entry : processes->listProcesses()) {
            if (entry.executable.rfind(programFolder.string(), 0) == 0) {
                ::kill(static_cast<pid_t>(entry.id), SIGKILL);
            }
        }
    }

    bool tickUntilFlagIs(bool running) {
        return QTest::qWaitFor(
            [&] {
                window->form().Timer1Timer();
                return window->form().serverStateFlag() == running;
            },
            10000);
    }

    EchoResult::Status echoAs(const std::string& title) const {
        return dicom::echo("127.0.0.1", port, title, "TESTER", 2s).status;
    }
};

TEST_F(WindowDicom, StartedServerAnswersStoresAndEndsOnStop) {
    window->form().Button2Click();
    ASSERT_TRUE(tickUntilFlagIs(true)) << dialogs.shown;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return echoAs("ARCHIVE MAIN") == EchoResult::Status::Answered; }, 10000));
    EXPECT_EQ(echoAs("SOMEONE ELSE"), EchoResult::Status::Rejected);

    const fs::path image = fs::path(root.path().toStdString()) / "sent.dcm";
    const std::string instance = dicom::testing::writeImage(image);
    EXPECT_EQ(dicom::store("127.0.0.1", port, "ARCHIVE MAIN", "TESTER", image.string(), 5s).status,
              EchoResult::Status::Answered);
    const dicom::testing::StoredObject stored =
        dicom::testing::readStored(images / (instance + ".dcm"));
    EXPECT_EQ(stored.instance, instance);

    window->form().Button1Click();
    ASSERT_TRUE(tickUntilFlagIs(false));
    // A process that is ending leaves the list as its memory goes, a moment before the
    // kernel closes its sockets (longer under the sanitizers, whose memory is large).
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return echoAs("ARCHIVE MAIN") == EchoResult::Status::Unreachable; }, 5000));
    EXPECT_EQ(dialogs.shown, "");
}

}  // namespace
}  // namespace veltrona::app
