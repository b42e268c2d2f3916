// The health check's verdict over figures as the probes would find them: states, the
// plugin line and its performance data, the JSON and the Prometheus text.
#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <set>
#include <sstream>
#include <utility>

#include "ctl/HealthVerdict.h"

namespace veltrona::ctl {
namespace {

using Status = dicom::EchoResult::Status;
using FolderState = HealthFigures::FolderState;

constexpr std::uint64_t kGByte = 1024 * kMByte;

// A server that runs, listens, answers in 0.5 ms, on a disk 50 % free with half its inodes
// free; FIFOMax off.
HealthFigures serving() {
    HealthFigures figures;
    figures.servers = {{4242, "/opt/zarvo/ZarvoServer.exe"}};
    figures.port.configured = "11112";
    figures.port.number = 11112;
    figures.port.listening = true;
    figures.port.holders = figures.servers;
    figures.port.serverListens = true;
    figures.calledAeTitle = "ARCHIVE";
    figures.echo = dicom::EchoResult{Status::Answered, 0.5, ""};
    figures.imageFolder = "/srv/images/";
    figures.folderState = FolderState::Present;
    figures.space = FolderSpace{100 * kGByte, 50 * kGByte, 1000, 500};
    return figures;
}

HealthFigures stopped() {
    HealthFigures figures = serving();
    figures.servers.clear();
    figures.port.listening = false;
    figures.port.holders.clear();
    figures.port.serverListens = false;
    figures.echo.reset();
    return figures;
}

TEST(HealthVerdict, AServingServerIsOkWithItsFiguresInThePerformanceData) {
    const HealthFigures figures = serving();
    const HealthLimits limits;
    const HealthVerdict verdict = judgeHealth(figures, limits);
    EXPECT_EQ(verdict.health, Health::Ok);
    EXPECT_EQ(pluginLine(figures, limits, verdict),
              "ZARVO OK - ZarvoServer.exe runs (process 4242); listens on port 11112; C-ECHO to "
              "ARCHIVE answered in 0.5 ms; image folder /srv/images/: 50.0% free (50.0 GByte of "
              "100.0 GByte); inodes of image folder /srv/images/: 50.0% free (500 of 1000) | "
              "'server_processes'=1;;1:;0; 'echo_time'=0.0005s;1;5;0;5 "
              "'image_folder_free'=53687091200B;21474836480:;10737418240:;0;107374182400 "
              "'image_folder_free_percent'=50%;20:;10:;0;100 "
              "'image_folder_free_inodes'=500;100:;50:;0;1000 "
              "'image_folder_free_inodes_percent'=50%;10:;5:;0;100\n");
}

TEST(HealthVerdict, EachItemDecidesByItsOwnLimits) {
    const HealthLimits limits;  // echo 1 s and 5 s, disk 20 % and 10 %
    struct Row {
        const char* name;
        std::function<void(HealthFigures&)> change;
        Health health;
        std::string text;  // in the plugin line
    };
    const std::vector<Row> rows = {
        {"stopped", [](HealthFigures& f) { f = stopped(); }, Health::Critical,
         "ZarvoServer.exe is not running; nothing listens on port 11112; C-ECHO to ARCHIVE not "
         "sent: the server does not listen on port 11112"},
        {"port held by another program",
         [](HealthFigures& f) {
             f = stopped();
             f.servers = {{4242, "/opt/zarvo/ZarvoServer.exe"}};
             f.port.listening = true;
             f.port.holders = {{77, "/usr/bin/python3"}};
         },
         Health::Critical,
         "port 11112 is held by process 77 (/usr/bin/python3), not by the server"},
        {"holder not named, the echo answered",
         [](HealthFigures& f) {
             f.port.holders.clear();
             f.port.serverListens = false;
         },
         Health::Ok, "listens on port 11112 (C-ECHO answered; its holder could not be named)"},
        {"holder not named, no answer",
         [](HealthFigures& f) {
             f.port.holders.clear();
             f.port.serverListens = false;
             f.echo = {Status::TimedOut, 0, ""};
         },
         Health::Critical, "port 11112 is held by a process that cannot be looked into"},
        {"unseen server",
         [](HealthFigures& f) {
             f.servers.clear();
             f.uninspected = 1;
             f.port.holders.clear();
             f.port.serverListens = false;
         },
         Health::Unknown, "could not be inspected (insufficient privilege)"},
        {"echo rejected",
         [](HealthFigures& f) {
             f.echo = {Status::Rejected, 0, "called AE title not recognized"};
         },
         Health::Critical, "C-ECHO to ARCHIVE was rejected: called AE title not recognized"},
        {"echo slow", [](HealthFigures& f) { f.echo->milliseconds = 1000.5; }, Health::Warning,
         "answered in 1000.5 ms, slower than 1 s"},
        {"echo just in time", [](HealthFigures& f) { f.echo->milliseconds = 1000; }, Health::Ok,
         "answered in 1000.0 ms"},
        {"echo not answered",
         [](HealthFigures& f) {
             f.echo = {Status::TimedOut, 0, ""};
         },
         Health::Critical, "C-ECHO to ARCHIVE was not answered in time (5 s)"},
        {"no DICOM in this build",
         [](HealthFigures& f) {
             f.echo = {Status::Unavailable, 0, "this build has no DICOM network support"};
         },
         Health::Unknown, "no DICOM network support"},
        {"no port number",
         [](HealthFigures& f) {
             f.port = {};
             f.port.configured = "x";
             f.echo.reset();
         },
         Health::Unknown, "Port \"x\" in Server.INI is no port number"},
        {"folder missing, rights not known",
         [](HealthFigures& f) { f.folderState = FolderState::Missing; }, Health::Critical,
         "image folder /srv/images/ is missing"},
        {"folder missing, the server may not make it",
         [](HealthFigures& f) {
             f.folderState = FolderState::Missing;
             f.access = FolderWriteAccess{false, "/srv", "the server (process 4242, uid 108)",
                                          "Permission denied"};
         },
         Health::Critical,
         "is missing, and the server (process 4242, uid 108) may not make it in /srv: Permission "
         "denied"},
        {"folder not created yet",
         [](HealthFigures& f) {
             f.folderState = FolderState::Missing;
             f.space.reset();
             f.access = FolderWriteAccess{true, "/srv", "the server (process 4242, uid 108)", ""};
         },
         Health::Warning,
         "ZARVO WARNING - image folder /srv/images/ not created yet; the server (process 4242, uid "
         "108) may make it in /srv; free inodes of image folder /srv/images/ not known: it is not "
         "there; ZarvoServer.exe runs"},
        {"no inodes left", [](HealthFigures& f) { f.space->availableInodes = 0; }, Health::Critical,
         "ZARVO CRITICAL - inodes of image folder /srv/images/: 0.0% free (0 of 1000), below 5%"},
        {"few inodes left", [](HealthFigures& f) { f.space->availableInodes = 99; },
         Health::Warning, "9.9% free (99 of 1000), below 10%"},
        {"a file system that counts no inodes",
         [](HealthFigures& f) { f.space->inodes = f.space->availableInodes = 0; }, Health::Ok,
         "the file system of image folder /srv/images/ counts no inodes"},
        {"no folder named", [](HealthFigures& f) { f.folderState = FolderState::Unnamed; },
         Health::Critical, "Server.INI names no image folder (-od)"},
        {"disk at the warning line",
         [](HealthFigures& f) { f.space->availableBytes = 20 * kGByte; }, Health::Ok, "20.0% free"},
        {"disk below the warning line",
         [](HealthFigures& f) { f.space->availableBytes = 19 * kGByte; }, Health::Warning,
         "19.0% free (19.0 GByte of 100.0 GByte), below 20%"},
        {"disk below the critical line",
         [](HealthFigures& f) { f.space->availableBytes = 9 * kGByte; }, Health::Critical,
         "9.0% free (9.0 GByte of 100.0 GByte), below 10%"},
        {"folder within FIFOMax",
         [](HealthFigures& f) {
             f.fifoMaxMByte = 100;
             f.walk = FolderWalk{100 * kMByte, 12, true, false, ""};
         },
         Health::Ok, "image folder holds 100.0 MByte of FIFOMax 100 MByte"},
        {"folder over FIFOMax",
         [](HealthFigures& f) {
             f.fifoMaxMByte = 100;
             f.walk = FolderWalk{100 * kMByte + 1, 12, true, false, ""};
         },
         Health::Warning, "image folder holds 100.0 MByte, more than FIFOMax 100 MByte"},
        {"walk past the timeout",
         [](HealthFigures& f) {
             f.fifoMaxMByte = 100;
             f.walk = FolderWalk{5 * kMByte, 700, false, true, ""};
         },
         Health::Unknown, "the walk took longer than 5 s (700 files, 5.0 MByte so far)"},
        {"walk past the timeout, already over",
         [](HealthFigures& f) {
             f.fifoMaxMByte = 1;
             f.walk = FolderWalk{5 * kMByte, 700, false, true, ""};
         },
         Health::Warning, "holds at least 5.0 MByte, more than FIFOMax 1 MByte"},
        {"walk with an unreadable subfolder",
         [](HealthFigures& f) {
             f.fifoMaxMByte = 100;
             f.walk = FolderWalk{0, 0, false, false, "cannot read a/b: Permission denied"};
         },
         Health::Unknown, "not known: cannot read a/b: Permission denied (0 files"},
        {"a known problem outweighs an unknown item",
         [](HealthFigures& f) {
             f.echo->milliseconds = 2000;
             f.fifoMaxMByte = 100;
             f.walk = FolderWalk{0, 0, false, true, ""};
         },
         Health::Warning, "ZARVO WARNING - C-ECHO to ARCHIVE answered in 2000.0 ms"},
    };
    for (const Row& row : rows) {
        HealthFigures figures = serving();
        row.change(figures);
        const HealthVerdict verdict = judgeHealth(figures, limits);
        EXPECT_EQ(verdict.health, row.health) << row.name;
        const std::string line = pluginLine(figures, limits, verdict);
        EXPECT_EQ(line.rfind("ZARVO " + std::string(healthName(row.health)) + " - ", 0), 0u)
            << row.name << ": " << line;
        EXPECT_NE(line.find(row.text), std::string::npos) << row.name << ": " << line;

        // One line; after " | " only performance data in the plugin grammar.
        ASSERT_EQ(line.find('\n'), line.size() - 1) << row.name;
        const std::size_t bar = line.find(" | ");
        ASSERT_NE(bar, std::string::npos) << row.name;
        EXPECT_EQ(line.find('|', bar + 2), std::string::npos) << row.name;
        static const std::regex item(
            "'[a-z_]+'=(U|[0-9]+(\\.[0-9]+)?(s|%|B)?)(;([0-9.]+:?)?){0,4}");
        std::istringstream data(line.substr(bar + 3, line.size() - bar - 4));
        for (std::string one; data >> one;) {
            EXPECT_TRUE(std::regex_match(one, item)) << row.name << ": " << one;
        }
    }
}

TEST(HealthVerdict, JsonCarriesTheStatusAndEachItemsFigures) {
    HealthFigures figures = serving();
    figures.fifoMaxMByte = 10;
    figures.walk = FolderWalk{20 * kMByte, 3, true, false, ""};
    const HealthLimits limits;
    const std::string json = healthJson(figures, limits, judgeHealth(figures, limits)).str();
    for (const char* member :
         {"{\"status\":\"WARNING\",\"exitCode\":1,\"process\":{\"status\":\"OK\"",
          "\"port\":{\"status\":\"OK\",\"text\":\"listens on port 11112\",\"configured\":\"11112\"",
          "\"echo\":{\"status\":\"OK\"", "\"result\":\"answered\",\"milliseconds\":0.500",
          "\"freeBytes\":53687091200", "\"freePercent\":50.000", "\"inodes\":{\"status\":\"OK\"",
          "\"inodes\":1000,\"freeInodes\":500",
          "\"warnPercent\":10.000,\"critPercent\":5.000,\"warnRange\":\"10:\"",
          "\"folderSize\":{\"status\":\"WARNING\"", "\"bytes\":20971520,\"files\":3"}) {
        EXPECT_NE(json.find(member), std::string::npos) << member << "\n" << json;
    }
    EXPECT_NE(healthJson(stopped(), limits, judgeHealth(stopped(), limits))
                  .str()
                  .find("\"sent\":false,\"result\":null,\"milliseconds\":null"),
              std::string::npos);
}

TEST(HealthVerdict, RangesDecideAndShowInThePerformanceData) {
    HealthLimits limits;
    limits.diskWarn = {40, 60, true};  // "@40:60"
    limits.echoWarn = {0.001, 1, false};
    const HealthFigures figures = serving();
    const HealthVerdict verdict = judgeHealth(figures, limits);
    EXPECT_EQ(verdict.health, Health::Warning);
    const std::string line = pluginLine(figures, limits, verdict);
    for (const char* part :
         {"answered in 0.5 ms, outside 0.001:1 s", "(50.0 GByte of 100.0 GByte), inside @40:60%",
          "'echo_time'=0.0005s;0.001:1;5;0;5",
          "'image_folder_free'=53687091200B;@42949672960:64424509440;10737418240:;",
          "'image_folder_free_percent'=50%;@40:60;10:;0;100"}) {
        EXPECT_NE(line.find(part), std::string::npos) << part << "\n" << line;
    }
    EXPECT_EQ(itemLines(verdict).substr(0, 56),
              "process: OK - ZarvoServer.exe runs (process 4242)\nport: ");
}

TEST(HealthVerdict, PrometheusTextDeclaresEveryMetricLabelsItsServerAndLeavesOutWhatIsNotKnown) {
    HealthFigures figures = serving();
    figures.fifoMaxMByte = 10;
    figures.walk = FolderWalk{1234, 3, true, false, ""};
    const MetricLabels labels{"/opt/a \"b\"\\c\n/", "ARCHIVE\xff", "11112"};
    const std::string server =
        "{folder=\"/opt/a \\\"b\\\"\\\\c\\n/\",ae_title=\"ARCHIVE\xef\xbf\xbd\",port=\"11112\"";
    const std::string text =
        prometheusText(figures, judgeHealth(figures, {}), labels, {1765000000.25, 0.0125});
    const std::vector<std::pair<std::string, std::string>> samples = {
        {"zarvo_check_timestamp_seconds", "} 1765000000.25"},
        {"zarvo_check_duration_seconds", "} 0.0125"},
        {"zarvo_server_up", "} 1"},
        {"zarvo_server_listening", "} 1"},
        {"zarvo_dicom_echo_seconds", "} 0.0005"},
        {"zarvo_image_folder_free_bytes", "} 53687091200"},
        {"zarvo_image_folder_inodes", "} 1000"},
        {"zarvo_image_folder_free_inodes", "} 500"},
        {"zarvo_image_folder_size_bytes", "} 1234"},
        {"zarvo_fifo_max_bytes", "} 10485760"},
        {"zarvo_check_item_status", ",item=\"inodes\"} 0"},
    };
    for (const auto& [name, rest] : samples) {
        EXPECT_NE(text.find("\n" + name + server + rest + "\n"), std::string::npos) << name << "\n"
                                                                                    << text;
    }
    // Every sample follows the HELP and TYPE of its own name and carries the server's
    // labels; no time stamps.
    std::set<std::string> declared;
    std::istringstream lines(text);
    static const std::regex sampleLine("(zarvo_[a-z_]+)\\{(.*)\\} [0-9.]+");
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (line.rfind("# TYPE ", 0) == 0) {
            EXPECT_TRUE(line.ends_with(" gauge")) << line;
            declared.insert(line.substr(7, line.find(' ', 7) - 7));
        } else if (line.rfind("# HELP ", 0) != 0) {
            ASSERT_TRUE(std::regex_match(line, match, sampleLine)) << line;
            EXPECT_TRUE(declared.contains(match[1])) << line;
            EXPECT_EQ(line.find(server), match[1].length()) << line;
        }
    }

    const std::string down = prometheusText(stopped(), judgeHealth(stopped(), {}), labels, {});
    EXPECT_NE(down.find("\nzarvo_server_up" + server + "} 0\n"), std::string::npos);
    EXPECT_NE(down.find("\nzarvo_dicom_echo_success" + server + "} 0\n"), std::string::npos);
    EXPECT_EQ(down.find("\nzarvo_dicom_echo_seconds{"), std::string::npos);
    EXPECT_NE(down.find("# TYPE zarvo_dicom_echo_seconds gauge\n"), std::string::npos);
    EXPECT_EQ(down.find("\nzarvo_image_folder_size_bytes{"), std::string::npos);

    // A check that could not be made: its verdict and time, nothing of an earlier one.
    const std::string unknown = unknownPrometheusText({"/opt/a/", "", ""}, {1765000000, 0.5});
    const std::string none = "{folder=\"/opt/a/\",ae_title=\"\",port=\"\"}";
    EXPECT_EQ(unknown,
              "# HELP zarvo_check_status Verdict of the health check: 0 OK, 1 WARNING, 2 "
              "CRITICAL, 3 UNKNOWN.\n# TYPE zarvo_check_status gauge\nzarvo_check_status" +
                  none +
                  " 3\n# HELP zarvo_check_timestamp_seconds When the health check ended, "
                  "as Unix time.\n# TYPE zarvo_check_timestamp_seconds gauge\n"
                  "zarvo_check_timestamp_seconds" +
                  none +
                  " 1765000000\n# HELP zarvo_check_duration_seconds How long the health "
                  "check took.\n# TYPE zarvo_check_duration_seconds gauge\n"
                  "zarvo_check_duration_seconds" +
                  none + " 0.5\n");
}

TEST(HealthVerdict, AnUnknownLineKeepsThePerformanceDataSeparatorOut) {
    EXPECT_EQ(unknownLine("unknown option \"--a|b\"\nmore"),
              "ZARVO UNKNOWN - unknown option \"--a/b\" more\n");
}

}  // namespace
}  // namespace veltrona::ctl
