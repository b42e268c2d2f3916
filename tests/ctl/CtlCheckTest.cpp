// `VeltronaCtl check` against real stand-in servers in temporary program folders, in each
// state a monitoring system has to tell apart, and its Prometheus file through promtool.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <regex>
#include <set>
#include <sstream>

#include "CtlTestSupport.h"
#include "process/ProcessPlatform.h"
#include "process/ServerDetection.h"

namespace veltrona::ctl::testing {
namespace {

using Args = std::vector<std::string>;

constexpr std::size_t kMByteForTest = 1024 * 1024;

class CtlCheck : public ::testing::Test {
  protected:
    ProgramFolder program;
    const std::string port = std::to_string(freePort());
    fs::path images = program.root() / "images";
    std::vector<pid_t> servers;

    void SetUp() override {
        const auto platform = process::createProcessPlatform();
        ASSERT_TRUE(eventually([&] {
            return !process::isProcessRunning(*platform, "ZarvoServer.exe");
        })) << "another ZarvoServer.exe runs on this machine";
        fs::create_directory(images);
    }

    void TearDown() override {
        for (const pid_t server : servers) {
            killAndReap(server);
        }
        if (imageDiskMounted) {
            ::umount2(images.c_str(), MNT_DETACH);
        }
    }

    // Puts a small file system of its own (tmpfs `options`) at the image folder, unmounted
    // when the test ends; says why not where it cannot.
    std::string mountImageDisk(const char* options) {
        if (::geteuid() != 0) {
            return "mounting a tmpfs needs root";
        }
        if (::mount("tmpfs", images.c_str(), "tmpfs", 0, options) != 0) {
            return std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
        }
        imageDiskMounted = true;
        return "";
    }
    bool imageDiskMounted = false;

    void writeSettings(const std::string& more = "") const {
        writeFile(program.settingsFile(), "-aet = ARCHIVE\r\nPort = " + port +
                                              "\r\n-od = " + images.string() + "/\r\n" + more);
    }

    // The stand-in started by hand from the program folder; waits until it listens.
    pid_t serve(const std::string& aeTitle, const std::string& onPort) {
        const pid_t server = spawn(program.folder() / "ZarvoServer.exe",
                                   {"-dw", "-od", images.string(), "-aet", aeTitle, onPort});
        servers.push_back(server);
        EXPECT_TRUE(eventually([&] {
            return program.run({"status", "--json"}).out.find("\"listening\":true") !=
                   std::string::npos;
        }));
        return server;
    }

    std::string servedBy(pid_t server) const {
        return "ZarvoServer.exe runs (process " + std::to_string(server) + "); listens on port " +
               port + "; C-ECHO to ARCHIVE answered in ";
    }

    // promtool's verdict on a metrics file: empty when it accepts it.
    static std::string promtoolProblems(const fs::path& file) {
        TempFolder capture;
        const std::string command = "promtool check metrics < '" + file.string() + "' > '" +
                                    (capture / "out").string() + "' 2>&1";
        const int status = std::system(command.c_str());
        if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
            return "promtool is missing (Debian package prometheus)";
        }
        return status == 0 ? "" : "promtool: " + fileContent(capture / "out");
    }

    // The value of the series `name` in a metrics file, "" when it has none; every series
    // carries the labels of this program folder's server.
    std::string sampleOf(const std::string& text, const std::string& name) const {
        const std::string labels = "{folder=\"" + program.folder().string() +
                                   "/\",ae_title=\"ARCHIVE\",port=\"" + port + "\"} ";
        const std::size_t at = text.find("\n" + name + labels);
        if (at == std::string::npos) {
            EXPECT_EQ(text.find("\n" + name + "{"), std::string::npos) << name << "\n" << text;
            return "";
        }
        const std::size_t value = at + 1 + name.size() + labels.size();
        return text.substr(value, text.find('\n', value) - value);
    }
};

TEST_F(CtlCheck, TellsAStoppedServerFromAServingOneInEachForm) {
    writeSettings();
    const fs::path metrics = program.root() / "metrics" / "zarvo.prom";
    fs::create_directory(metrics.parent_path());

    const CtlResult down = program.run({"check", "--prometheus", metrics.string()});
    EXPECT_EQ(down.exitCode, 2) << down.out << down.err;
    EXPECT_EQ(down.out.rfind("ZARVO CRITICAL - ZarvoServer.exe is not running; nothing listens on "
                             "port " +
                                 port +
                                 "; C-ECHO to ARCHIVE not sent: the server does not listen "
                                 "on port " +
                                 port + "; image folder " + images.string() + "/: ",
                             0),
              0u)
        << down.out;
    EXPECT_NE(down.out.find(" | 'server_processes'=0;;1:;0; 'echo_time'=U;1;5;0;5 "),
              std::string::npos)
        << down.out;
    EXPECT_EQ(promtoolProblems(metrics), "");
    EXPECT_EQ(sampleOf(fileContent(metrics), "zarvo_server_up"), "0");

    // The temporary folder lies on the machine's own disk, which may be nearly full: the
    // checks of a serving server set no free-space limits.
    const pid_t server = serve("ARCHIVE", port);
    const CtlResult up = program.run(
        {"check", "--disk-warn", "0", "--disk-crit", "0", "--prometheus", metrics.string()});
    EXPECT_EQ(up.exitCode, 0) << up.out << up.err;
    EXPECT_EQ(up.out.rfind("ZARVO OK - " + servedBy(server), 0), 0u) << up.out;
    EXPECT_TRUE(std::regex_search(up.out, std::regex(" \\| .*'echo_time'=0\\.[0-9]+s;1;5;0;5 ")))
        << up.out;
    EXPECT_EQ(up.err, "");
    EXPECT_EQ(promtoolProblems(metrics), "");
    const std::string text = fileContent(metrics);
    EXPECT_EQ(sampleOf(text, "zarvo_server_up"), "1");
    EXPECT_EQ(sampleOf(text, "zarvo_server_listening"), "1");
    EXPECT_EQ(sampleOf(text, "zarvo_dicom_echo_seconds").rfind("0.", 0), 0u) << text;
    EXPECT_NE(sampleOf(text, "zarvo_image_folder_free_bytes"), "");
    EXPECT_NE(sampleOf(text, "zarvo_image_folder_free_inodes"), "");
    EXPECT_EQ(sampleOf(text, "zarvo_fifo_max_bytes"), "0");
    EXPECT_EQ(veltrona::testing::entries(metrics.parent_path()),
              std::set<std::string>{"zarvo.prom"});

    const CtlResult json = program.run({"check", "--disk-warn", "0", "--disk-crit", "0", "--json"});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_EQ(json.out.rfind("{\"status\":\"OK\",\"exitCode\":0,\"process\":{\"status\":\"OK\"", 0),
              0u)
        << json.out;
    EXPECT_NE(json.out.find("\"result\":\"answered\",\"milliseconds\":"), std::string::npos);
}

TEST_F(CtlCheck, NamesTheProgramThatHoldsThePortInsteadOfTheServer) {
    ListeningSocket held;
    writeFile(program.settingsFile(), "-aet = ARCHIVE\r\nPort = " + std::to_string(held.port()) +
                                          "\r\n-od = " + images.string() + "/\r\n");
    const pid_t server = spawn(program.folder() / "ZarvoServer.exe",
                               {"-dw", "-od", images.string(), "-aet", "ARCHIVE", port});
    servers.push_back(server);
    const CtlResult check = program.run({"check"});
    EXPECT_EQ(check.exitCode, 2) << check.out;
    EXPECT_EQ(check.out.rfind("ZARVO CRITICAL - port " + std::to_string(held.port()) +
                                  " is held by process " + std::to_string(::getpid()) + " (" +
                                  fs::read_symlink("/proc/self/exe").string() +
                                  "), not by the server; C-ECHO to ARCHIVE not sent",
                              0),
              0u)
        << check.out;
    EXPECT_NE(check.out.find("; ZarvoServer.exe runs (process " + std::to_string(server) + ")"),
              std::string::npos);
}

TEST_F(CtlCheck, AnEchoTheServerRefusesIsCritical) {
    writeSettings();
    serve("OTHER", port);  // another AE title than Server.INI's
    const CtlResult check = program.run({"check"});
    EXPECT_EQ(check.exitCode, 2) << check.out;
    EXPECT_EQ(check.out.rfind("ZARVO CRITICAL - C-ECHO to ARCHIVE was rejected", 0), 0u)
        << check.out;
    EXPECT_NE(check.out.find("'echo_time'=U;"), std::string::npos);
}

TEST_F(CtlCheck, WarnsWhenTheImageFolderHoldsMoreThanFifoMax) {
    writeSettings("FIFOMax = 1\r\n");
    // Only the folder's size is judged here, not the free space of the machine's disk.
    const Args check = {"check", "--disk-warn", "0", "--disk-crit", "0"};
    fs::create_directories(images / "patient" / "study");
    writeFile(images / "patient" / "study" / "a.dcm", std::string(kMByteForTest, 'a'));
    const pid_t server = serve("ARCHIVE", port);
    const CtlResult within = program.run(check);
    EXPECT_EQ(within.exitCode, 0) << within.out;
    EXPECT_NE(within.out.find("; image folder holds 1.0 MByte of FIFOMax 1 MByte |"),
              std::string::npos)
        << within.out;

    writeFile(images / "patient" / "study" / "b.dcm", std::string(kMByteForTest, 'b'));
    const CtlResult over = program.run(check);
    EXPECT_EQ(over.exitCode, 1) << over.out;
    EXPECT_EQ(over.out.rfind("ZARVO WARNING - image folder holds 2.0 MByte, more than FIFOMax 1 "
                             "MByte; " +
                                 servedBy(server),
                             0),
              0u)
        << over.out;
    EXPECT_NE(over.out.find(" 'image_folder_size'=2097152B;1048576;;0;"), std::string::npos);
    Args json = check;
    json.push_back("--json");
    EXPECT_NE(program.run(json).out.find("\"folderSize\":{\"status\":\"WARNING\""),
              std::string::npos);
}

// A small file system of its own, filled up to the warning and the critical line.
TEST_F(CtlCheck, WarnsAndThenAlarmsAsTheImageDiskFillsUp) {
    if (const std::string why = mountImageDisk("size=4m"); !why.empty()) {
        GTEST_SKIP() << why;
    }
    writeSettings();
    const pid_t server = serve("ARCHIVE", port);

    writeFile(images / "a.dcm", std::string(3400 * 1024, 'a'));  // about 17 % of 4 MByte left
    const CtlResult low = program.run({"check"});
    EXPECT_EQ(low.exitCode, 1) << low.out;
    EXPECT_TRUE(std::regex_search(
        low.out, std::regex("^ZARVO WARNING - image folder " + images.string() +
                            "/: 1[0-9]\\.[0-9]% free \\([0-9.]+ KByte of 4\\.0 MByte\\), below "
                            "20%; ZarvoServer.exe runs")))
        << low.out;
    EXPECT_NE(low.out.find(servedBy(server)), std::string::npos) << low.out;

    writeFile(images / "b.dcm", std::string(400 * 1024, 'b'));  // about 7 % left
    const CtlResult full = program.run({"check", "--disk-warn", "25", "--disk-crit", "8"});
    EXPECT_EQ(full.exitCode, 2) << full.out;
    EXPECT_TRUE(std::regex_search(full.out, std::regex("^ZARVO CRITICAL - image folder .*% free "
                                                       "\\(.*\\), below 8%; ")))
        << full.out;
    EXPECT_NE(full.out.find(";25:;8:;0;100"), std::string::npos) << full.out;

    fs::remove(images / "a.dcm");
    fs::remove(images / "b.dcm");
    EXPECT_EQ(program.run({"check"}).exitCode, 0);
}

// A file system that has space left but no inodes stores nothing: not OK.
TEST_F(CtlCheck, AnImageDiskWithoutFreeInodesIsCritical) {
    if (const std::string why = mountImageDisk("size=4m,nr_inodes=32"); !why.empty()) {
        GTEST_SKIP() << why;
    }
    writeSettings();
    const fs::path metrics = program.root() / "zarvo.prom";
    std::error_code full;
    for (int i = 0; !full; ++i) {
        fs::create_directory(images / std::to_string(i), full);
    }
    const CtlResult check = program.run({"check", "-v", "--prometheus", metrics.string()});
    EXPECT_EQ(check.exitCode, 2) << check.out;
    EXPECT_TRUE(std::regex_search(
        check.out, std::regex("\ninodes: CRITICAL - inodes of image folder " + images.string() +
                              "/: 0\\.0% free \\(0 of [0-9]+\\), below 5%\n")))
        << check.out;
    EXPECT_NE(check.out.find(" 'image_folder_free_inodes'=0;"), std::string::npos) << check.out;
    EXPECT_EQ(sampleOf(fileContent(metrics), "zarvo_image_folder_free_inodes"), "0");
    EXPECT_EQ(promtoolProblems(metrics), "");
}

// Right after a start the server has stored nothing, so its image folder is not there yet.
TEST_F(CtlCheck, AnImageFolderTheServerMayStillMakeIsAWarning) {
    writeFile(program.settingsFile(), "-aet = ARCHIVE\r\nPort = " + port + "\r\n-od = " +
                                          (images / "new" / "day").string() + "/\r\n");
    serve("ARCHIVE", port);
    const CtlResult check = program.run({"check", "--disk-warn", "0", "--disk-crit", "0"});
    EXPECT_EQ(check.exitCode, 1) << check.out;
    EXPECT_EQ(check.out.rfind("ZARVO WARNING - image folder " + (images / "new" / "day").string() +
                                  "/ not created yet; the server (process ",
                              0),
              0u)
        << check.out;
    EXPECT_NE(check.out.find(") may make it in " + images.string() + ";"), std::string::npos);
}

// Checks from a timer may overlap, and the textfile folder may be closed to the user that
// runs one: the metrics file is then always some check's whole file, and the last one
// stays as it was when a new one cannot be written.
TEST_F(CtlCheck, AMetricsFileIsAlwaysWholeAndStaysWhenItCannotBeReplaced) {
    writeSettings();
    const fs::path metrics = program.root() / "metrics" / "zarvo.prom";
    fs::create_directory(metrics.parent_path());
    for (int round = 0; round < 3; ++round) {
        std::vector<pid_t> checks;
        for (int i = 0; i < 8; ++i) {
            checks.push_back(spawn(program.ctl(), {"check", "--prometheus", metrics.string()}));
        }
        for (const pid_t check : checks) {
            const int status = veltrona::testing::reap(check);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);  // nothing serves
        }
        EXPECT_EQ(promtoolProblems(metrics), "");
        EXPECT_EQ(veltrona::testing::entries(metrics.parent_path()),
                  std::set<std::string>{"zarvo.prom"});
    }

    VELTRONA_NEEDS_OTHER_USER();
    program.openToOtherUsers();
    fs::permissions(program.root() / "metrics", fs::perms::owner_all | fs::perms::group_read |
                                                    fs::perms::group_exec | fs::perms::others_read |
                                                    fs::perms::others_exec);
    const std::string before = fileContent(metrics);
    const CtlResult refused = program.runAsOtherUser({"check", "--prometheus", metrics.string()});
    EXPECT_EQ(refused.exitCode, 3) << refused.out;
    EXPECT_EQ(refused.out.rfind("ZARVO UNKNOWN - cannot write ", 0), 0u) << refused.out;
    EXPECT_EQ(fileContent(metrics), before);
    EXPECT_EQ(veltrona::testing::entries(metrics.parent_path()),
              std::set<std::string>{"zarvo.prom"});
}

TEST_F(CtlCheck, AnythingThatKeepsItFromCheckingIsUnknown) {
    writeSettings();
    const std::vector<std::pair<Args, std::string>> rows = {
        {{"check", "--disk-warn", "lots"},
         "ZARVO UNKNOWN - --disk-warn: \"lots\" is not a percentage (0 to 100) nor a range of "
         "them (10:, ~:10, 10:20, @10:20)\n"},
        {{"check", "now"}, "ZARVO UNKNOWN - unexpected argument \"now\"\n"},
        {{"check", "--port", "1"}, "ZARVO UNKNOWN - \"check\" takes no option \"--port\"\n"},
        {{"--folder", (program.root() / "none").string(), "check"},
         "ZARVO UNKNOWN - --folder: \"" + (program.root() / "none").string() +
             "\" is not a folder\n"},
        {{"check", "--prometheus", (program.root() / "none" / "x.prom").string()},
         "ZARVO UNKNOWN - cannot write "},
    };
    for (const auto& [args, line] : rows) {
        const CtlResult result = program.run(args);
        EXPECT_EQ(result.exitCode, 3) << line;
        EXPECT_EQ(result.out.rfind(line, 0), 0u) << result.out;
        EXPECT_EQ(result.err, "") << line;
    }
    // Its own help is no check.
    const CtlResult help = program.run({"check", "-h"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: VeltronaCtl [--folder DIR] [--json] check [-t|--timeout", 0),
              0u)
        << help.out;
}

// Two servers on one host: the collector reads both files into one scrape, so no series of
// one may be a series of the other; an odd folder name is escaped as the format wants.
TEST_F(CtlCheck, TheMetricsOfTwoProgramFoldersStayApart) {
    writeSettings();
    const fs::path other = program.root() / "second \"site\" \\ B";
    fs::create_directory(other);
    writeFile(other / "Server.INI",
              "-aet = ARCHIVE\r\nPort = " + port + "\r\n-od = " + images.string() + "/\r\n");
    const fs::path first = program.root() / "a.prom";
    const fs::path second = program.root() / "b.prom";
    program.run({"check", "--prometheus", first.string()});
    program.run({"--folder", other.string(), "check", "--prometheus", second.string()});
    std::set<std::string> series;
    for (const fs::path& file : {first, second}) {
        EXPECT_EQ(promtoolProblems(file), "") << fileContent(file);
        std::istringstream lines(fileContent(file));
        for (std::string line; std::getline(lines, line);) {
            if (!line.starts_with("#")) {
                EXPECT_TRUE(series.insert(line.substr(0, line.rfind(' '))).second) << line;
            }
        }
    }
    EXPECT_NE(fileContent(second).find(
                  "{folder=\"" + program.root().string() +
                  "/second \\\"site\\\" \\\\ B/\",ae_title=\"ARCHIVE\",port=\"" + port + "\"}"),
              std::string::npos)
        << fileContent(second);
}

// A check that cannot be made leaves no earlier figure standing: the metrics file says
// UNKNOWN with its time and nothing else, and --json still answers one object.
TEST_F(CtlCheck, ACheckThatCannotBeMadeSaysUnknownInTheMetricsFileAndInJson) {
    writeSettings();
    const fs::path metrics = program.root() / "zarvo.prom";
    const std::string file = metrics.string();
    ASSERT_EQ(program.run({"check", "--prometheus", file}).exitCode, 2);
    EXPECT_EQ(sampleOf(fileContent(metrics), "zarvo_server_up"), "0");
    const std::string unknown =
        "{folder=\"" + program.folder().string() + "/\",ae_title=\"\",port=\"\"} 3\n";

    const fs::path settings = program.settingsFile();
    const std::vector<std::pair<Args, std::function<void()>>> rows = {
        {{"check", "--disk-warn", "lots", "--prometheus", file}, [] {}},
        {{"check", "--prometheus=" + file, "now"}, [] {}},
        {{"check", "--prometheus", file},
         [&] {
             fs::remove(settings);
             fs::create_directory(settings);  // Server.INI cannot be read
         }},
    };
    for (const auto& [args, prepare] : rows) {
        prepare();
        const CtlResult result = program.run(args);
        EXPECT_EQ(result.exitCode, 3) << result.out;
        EXPECT_EQ(result.out.rfind("ZARVO UNKNOWN - ", 0), 0u) << result.out;
        const std::string text = fileContent(metrics);
        EXPECT_NE(text.find("\nzarvo_check_status" + unknown), std::string::npos) << text;
        EXPECT_TRUE(std::regex_search(
            text, std::regex("\nzarvo_check_timestamp_seconds\\{.*\\} 1[0-9]{9}(\\.[0-9]+)?\n")))
            << text;
        EXPECT_TRUE(std::regex_search(
            text, std::regex("\nzarvo_check_duration_seconds\\{.*\\} 0(\\.[0-9]+)?\n")))
            << text;
        EXPECT_EQ(text.find("zarvo_server_up"), std::string::npos) << text;
        EXPECT_EQ(promtoolProblems(metrics), "");
    }

    fs::remove(settings);
    writeSettings();
    const std::string closed = (program.root() / "none" / "x.prom").string();
    for (const Args& args :
         {Args{"check", "--json", "--disk-warn", "lots"},
          Args{"--json", "check", "--prometheus", closed}, Args{"check", "--json", "-t"}}) {
        const CtlResult json = program.run(args);
        EXPECT_EQ(json.exitCode, 3);
        EXPECT_EQ(json.out.rfind("{\"status\":\"UNKNOWN\",\"exitCode\":3,\"error\":\"", 0), 0u)
            << json.out;
        EXPECT_TRUE(json.out.ends_with("\",\"folder\":\"" + program.folder().string() + "/\"}\n") &&
                    json.out.find('\n') == json.out.size() - 1)
            << json.out;
        EXPECT_EQ(json.err, "");
    }
}

}  // namespace
}  // namespace veltrona::ctl::testing
