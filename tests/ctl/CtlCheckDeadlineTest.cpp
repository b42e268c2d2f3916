// `VeltronaCtl check` keeps its --timeout while a file system it looks at does not answer:
// a real FUSE file system whose daemon is stopped.
#include <gtest/gtest.h>

#include <regex>

#include "CtlTestSupport.h"
#include "HungFileSystem.h"

namespace veltrona::ctl::testing {
namespace {

using veltrona::testing::HungFileSystem;
using Clock = std::chrono::steady_clock;

struct TimedCheck {
    CtlResult result;
    double seconds;
};

TEST(CtlCheckDeadline, AnswersAtItsTimeoutWhileAFileSystemHangsAndNamesWhatHadNoAnswer) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "mounting a FUSE file system needs root";
    }
    ProgramFolder program;
    const fs::path images = program.root() / "images";
    const fs::path metrics = program.root() / "zarvo.prom";
    fs::create_directories(images / "patient");
    writeFile(images / "patient" / "a.dcm", "1234");
    // A server that answers, so that only what the file system holds up is not OK.
    const std::string port = std::to_string(freePort());
    fs::create_directory(program.root() / "served");
    writeFile(program.settingsFile(), "-aet = ARCHIVE\r\nPort = " + port + "\r\n");
    const pid_t server =
        spawn(program.folder() / "ZarvoServer.exe",
              {"-dw", "-od", (program.root() / "served").string(), "-aet", "ARCHIVE", port});
    struct Reaper {
        pid_t pid;
        ~Reaper() { killAndReap(pid); }
    } reaper{server};
    ASSERT_TRUE(eventually([&] {
        return program.run({"status", "--json"}).out.find("\"listening\":true") !=
               std::string::npos;
    }));
    const auto check = [&](const std::string& imageFolder) {
        writeFile(program.settingsFile(), "-aet = ARCHIVE\r\nPort = " + port +
                                              "\r\n-od = " + imageFolder + "\r\nFIFOMax = 10\r\n");
        const auto start = Clock::now();
        CtlResult result =
            program.run({"check", "--timeout", "0.5", "--prometheus", metrics.string()});
        return TimedCheck{result, std::chrono::duration<double>(Clock::now() - start).count()};
    };
    const auto itemStatus = [&](const std::string& item) {
        std::smatch found;
        const std::string text = fileContent(metrics);
        return std::regex_search(text, found,
                                 std::regex("zarvo_check_item_status\\{[^}]*item=\"" + item +
                                            "\"[^}]*\\} ([0-9])"))
                   ? found[1].str()
                   : "none";
    };

    {  // The image folder itself: nothing about it can be learnt.
        const HungFileSystem hung(images);
        if (hung.problem().find("/dev/fuse") != std::string::npos) {
            GTEST_SKIP() << hung.problem();  // a machine without FUSE
        }
        ASSERT_EQ(hung.problem(), "");
        const TimedCheck timed = check(images.string() + "/");
        EXPECT_EQ(timed.result.exitCode, 3) << timed.result.out;
        EXPECT_LT(timed.seconds, 1.5);
        EXPECT_NE(timed.result.out.find("; C-ECHO to ARCHIVE answered in "), std::string::npos)
            << timed.result.out;
        EXPECT_NE(timed.result.out.find("image folder " + images.string() +
                                        "/: its file system did not answer within 0.5 s "
                                        "(status)"),
                  std::string::npos)
            << timed.result.out;
        EXPECT_NE(timed.result.out.find("size of the image folder not known: its file system did "
                                        "not answer within 0.5 s (status)"),
                  std::string::npos)
            << timed.result.out;
        EXPECT_EQ(itemStatus("imageFolder"), "3");
        EXPECT_EQ(itemStatus("folderSize"), "3");
    }
    {  // A folder mounted inside it: the folder answers, its walk does not end.
        fs::create_directory(images / "mounted");
        const HungFileSystem hung(images / "mounted");
        ASSERT_EQ(hung.problem(), "");
        const TimedCheck timed = check(images.string());
        EXPECT_LT(timed.seconds, 1.5);
        EXPECT_NE(timed.result.out.find("size of the image folder not known: its file system did "
                                        "not answer within 0.5 s (walk)"),
                  std::string::npos)
            << timed.result.out;
        EXPECT_NE(timed.result.out.find("% free ("), std::string::npos) << timed.result.out;
        EXPECT_EQ(itemStatus("imageFolder"), "0");
        EXPECT_EQ(itemStatus("folderSize"), "3");
    }
    {  // Server.INI itself.
        const HungFileSystem hung(program.settingsFile(), true);
        ASSERT_EQ(hung.problem(), "");
        const auto start = Clock::now();
        const CtlResult result = program.run({"check", "--timeout", "0.5"});
        EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 1.5);
        EXPECT_EQ(result.exitCode, 3);
        EXPECT_EQ(result.out, "ZARVO UNKNOWN - Server.INI could not be read within 0.5 s\n");
    }
}

}  // namespace
}  // namespace veltrona::ctl::testing
