// `VeltronaCtl stop --graceful`: the server is asked to end and ended hard only when it does
// not. Against the real stand-in under `run`, as a service manager keeps it: a store under
// way when the stop comes arrives whole, new associations are refused meanwhile, and `run`
// counts the stop as a stop.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "CtlTestSupport.h"
#include "DicomStore.h"
#include "DicomTestObjects.h"
#include "dicom/DicomEcho.h"

namespace veltrona::ctl::testing {
namespace {

using namespace std::chrono_literals;
using Status = dicom::EchoResult::Status;

class CtlGracefulStop : public ServerFolderTest {};

TEST_F(CtlGracefulStop, LetsAStoreUnderWayFinishAndRefusesNewAssociations) {
    const int port = freePort();
    const fs::path images = program.root() / "images";
    writeFile(program.settingsFile(), "-aet = ARCHIVE\r\nPort = " + std::to_string(port) +
                                          "\r\n-od = " + images.string() + "/\r\nparameter=-d\r\n");
    const fs::path log = program.root() / "run.out";
    const pid_t run = spawn(program.ctl(), {"run"}, log);
    ASSERT_TRUE(eventually([&] {
        return dicom::echo("127.0.0.1", port, "ARCHIVE", "TESTER", 500ms).status ==
               Status::Answered;
    })) << fileContent(log);

    // Large enough that the stop comes while it is still being received.
    const fs::path image = program.root() / "large.dcm";
    const std::string instance = dicom::testing::writeImage(image, 8192);
    std::atomic<bool> stored = false;
    dicom::EchoResult sent;
    std::thread sender([&] {
        sent = dicom::store("127.0.0.1", port, "ARCHIVE", "MODALITY", image.string(), 60s);
        stored = true;
    });
    const auto logged = [&](const std::string& line) {
        return fileContent(log).find(line) != std::string::npos;
    };
    ASSERT_TRUE(eventually([&] { return logged("Association request from \"MODALITY\""); }));

    CtlResult stop;
    std::thread stopper([&] { stop = program.run({"stop", "--graceful", "30", "--json"}); });
    ASSERT_TRUE(eventually([&] { return logged("Ending: new associations are refused"); }));
    const bool stillSending = !stored;
    const auto refused = dicom::echo("127.0.0.1", port, "ARCHIVE", "LATECOMER", 5s);
    stopper.join();
    sender.join();

    EXPECT_TRUE(stillSending) << "the store had ended before the stop came";
    EXPECT_NE(refused.status, Status::Answered) << refused.detail;
    ASSERT_EQ(sent.status, Status::Answered) << sent.detail;
    EXPECT_EQ(dicom::testing::readStored(images / (instance + ".dcm")).instance, instance);
    EXPECT_GT(fs::file_size(images / (instance + ".dcm")), 8192u * 8192u);
    EXPECT_EQ(stop.exitCode, 0) << stop.err;
    EXPECT_NE(stop.out.find("\"how\":\"graceful\"}],\"refused\":[],\"running\":[]"),
              std::string::npos)
        << stop.out;
    const int ended = veltrona::testing::reap(run);
    EXPECT_TRUE(WIFEXITED(ended) && WEXITSTATUS(ended) == 0) << ended;
}

// Copies of a program that ignores SIGTERM stand in for a server that does not end when
// asked; both are ended at the same time, each as it allows.
TEST_F(CtlGracefulStop, KillsWhatDoesNotEndInTimeAndSaysSo) {
    const fs::path server = program.folder() / "ZarvoServer.exe";
    fs::copy_file("/bin/sleep", server, fs::copy_options::overwrite_existing);
    const pid_t polite = spawn(server, {"600"});
    const pid_t deaf = ::fork();
    if (deaf == 0) {
        ::signal(SIGTERM, SIG_IGN);
        ::execl(server.c_str(), server.c_str(), "600", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_TRUE(eventually([&] {
        std::error_code error;
        return fs::read_symlink("/proc/" + std::to_string(deaf) + "/exe", error) == server;
    }));

    const CtlResult stop = program.run({"stop", "--graceful", "0.5"});
    EXPECT_EQ(stop.exitCode, 0) << stop.err;
    const auto described = [&](pid_t pid) {
        return "process " + std::to_string(pid) + " (" + server.string() + ")";
    };
    EXPECT_NE(stop.out.find("Ended " + described(polite) + " gracefully\n"), std::string::npos)
        << stop.out;
    EXPECT_NE(stop.out.find("Killed " + described(deaf) +
                            ": it had not ended 0.5 s after it was asked to\n"),
              std::string::npos)
        << stop.out;
    const int politeStatus = veltrona::testing::reap(polite);
    const int deafStatus = veltrona::testing::reap(deaf);
    EXPECT_TRUE(WIFSIGNALED(politeStatus) && WTERMSIG(politeStatus) == SIGTERM);
    EXPECT_TRUE(WIFSIGNALED(deafStatus) && WTERMSIG(deafStatus) == SIGKILL);
}

}  // namespace
}  // namespace veltrona::ctl::testing
