// The health check's verdict over figures as the probes would find them: states, the
// plugin line and its performance data, the JSON and the Prometheus text.
#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <set>
#include <sstream>

#include "ctl/HealthVerdict.h"

namespace veltrona::ctl {
namespace {

using Status = dicom::EchoResult::Status;
using FolderState = HealthFigures::FolderState;

constexpr std::uint64_t kGByte = 1024 * kMByte;

// A server that runs, listens, answers in 0.5 ms, on a disk 50 % free; FIFOMax off.
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
    figures.space = FolderSpace{100 * kGByte, 50 * kGByte};
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
              "100.0 GByte) | 'server_processes'=1;;1:;0; 'echo_time'=0.0005s;1;5;0;5 "
              "'image_folder_free'=53687091200B;21474836480:;10737418240:;0;107374182400 "
              "'image_folder_free_percent'=50%;20:;10:;0;100\n");
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
        {"folder missing", [](HealthFigures& f) { f.folderState = FolderState::Missing; },
         Health::Critical, "image folder /srv/images/ is missing"},
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
          "\"freeBytes\":53687091200", "\"freePercent\":50.000",
          "\"folderSize\":{\"status\":\"WARNING\"", "\"bytes\":20971520,\"files\":3"}) {
        EXPECT_NE(json.find(member), std::string::npos) << member << "\n" << json;
    }
    EXPECT_NE(healthJson(stopped(), limits, judgeHealth(stopped(), limits))
                  .str()
                  .find("\"sent\":false,\"result\":null,\"milliseconds\":null"),
              std::string::npos);
}

TEST(HealthVerdict, PrometheusTextDeclaresEveryMetricAndLeavesOutWhatIsNotKnown) {
    HealthFigures figures = serving();
    figures.fifoMaxMByte = 10;
    figures.walk = FolderWalk{1234, 3, true, false, ""};
    const std::string text = prometheusText(figures, judgeHealth(figures, {}));
    for (const char* sample :
         {"\nzarvo_server_up 1\n", "\nzarvo_server_listening 1\n",
          "\nzarvo_dicom_echo_seconds 0.0005\n", "\nzarvo_image_folder_free_bytes 53687091200\n",
          "\nzarvo_image_folder_size_bytes 1234\n", "\nzarvo_fifo_max_bytes 10485760\n",
          "\nzarvo_check_item_status{item=\"folderSize\"} 0\n"}) {
        EXPECT_NE(text.find(sample), std::string::npos) << sample;
    }
    // Every sample follows the HELP and TYPE of its own name; no time stamps.
    std::set<std::string> declared;
    std::istringstream lines(text);
    static const std::regex sampleLine("(zarvo_[a-z_]+)(\\{[a-z]+=\"[A-Za-z]+\"\\})? [0-9.]+");
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (line.rfind("# TYPE ", 0) == 0) {
            EXPECT_TRUE(line.ends_with(" gauge")) << line;
            declared.insert(line.substr(7, line.find(' ', 7) - 7));
        } else if (line.rfind("# HELP ", 0) != 0) {
            ASSERT_TRUE(std::regex_match(line, match, sampleLine)) << line;
            EXPECT_TRUE(declared.contains(match[1])) << line;
        }
    }

    const std::string down = prometheusText(stopped(), judgeHealth(stopped(), {}));
    EXPECT_NE(down.find("\nzarvo_server_up 0\n"), std::string::npos);
    EXPECT_NE(down.find("\nzarvo_dicom_echo_success 0\n"), std::string::npos);
    EXPECT_EQ(down.find("\nzarvo_dicom_echo_seconds "), std::string::npos);
    EXPECT_NE(down.find("# TYPE zarvo_dicom_echo_seconds gauge\n"), std::string::npos);
    EXPECT_EQ(down.find("\nzarvo_image_folder_size_bytes "), std::string::npos);
}

TEST(HealthVerdict, AnUnknownLineKeepsThePerformanceDataSeparatorOut) {
    EXPECT_EQ(unknownLine("unknown option \"--a|b\"\nmore"),
              "ZARVO UNKNOWN - unknown option \"--a/b\" more\n");
}

}  // namespace
}  // namespace veltrona::ctl
