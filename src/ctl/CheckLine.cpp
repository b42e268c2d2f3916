#include "CheckLine.h"

#include <cmath>

#include "CheckCommand.h"
#include "process/ProgramFolder.h"

namespace veltrona::ctl {

namespace {

namespace fs = std::filesystem;

constexpr double kLongestEcho = 24 * 60 * 60;  // seconds, as every wait of VeltronaCtl

const char* const kPercent = "a percentage (0 to 100)";

// "--disk-crit must not be above --disk-warn" where both are floors.
void floorsAgree(const Threshold& warn, const Threshold& crit, const std::string& name) {
    if (warn.isFloor() && crit.isFloor() && crit.start > warn.start) {
        throw UsageError("--" + name + "-crit must not be above --" + name + "-warn");
    }
}

}  // namespace

std::string checkLongOption(const std::string& argument) {
    if (argument == "-t") {
        return "--timeout";
    }
    if (argument == "-v") {
        return "--verbose";
    }
    if (argument == "-V") {
        return "--version";
    }
    return argument == "-h" ? "--help" : argument;
}

bool applyCheckThreshold(CtlCommand& command, const std::string& option, const std::string& value) {
    if (option == "--echo-warn") {
        command.echoWarn = parseThreshold(option, value, BareNumber::Ceiling, 0, kLongestEcho,
                                          "a number of seconds");
        command.echoWarnGiven = true;
    } else if (option == "--disk-warn") {
        command.diskWarn = parseThreshold(option, value, BareNumber::Floor, 0, 100, kPercent);
    } else if (option == "--disk-crit") {
        command.diskCrit = parseThreshold(option, value, BareNumber::Floor, 0, 100, kPercent);
    } else if (option == "--inode-warn") {
        command.inodeWarn = parseThreshold(option, value, BareNumber::Floor, 0, 100, kPercent);
    } else if (option == "--inode-crit") {
        command.inodeCrit = parseThreshold(option, value, BareNumber::Floor, 0, 100, kPercent);
    } else {
        return false;
    }
    return true;
}

void checkThresholdsAgree(const CtlCommand& command) {
    floorsAgree(command.diskWarn, command.diskCrit, "disk");
    floorsAgree(command.inodeWarn, command.inodeCrit, "inode");
    // The answer is CRITICAL at the timeout: a warning line at or past it is never reached.
    // The default line gives way to a short timeout.
    const Threshold& warn = command.echoWarn;
    const double reached = warn.inside ? warn.start : warn.end;
    if (command.echoWarnGiven && std::isfinite(reached) && reached >= inSeconds(command.timeout)) {
        throw UsageError("--echo-warn must be below --timeout");
    }
}

CheckAnswer checkAnswerNamed(const std::vector<std::string>& arguments,
                             std::chrono::steady_clock::time_point started) {
    CheckAnswer answer;
    answer.started = started;
    std::optional<std::string> folder;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool next = i + 1 < arguments.size();
        if (argument == "--json") {
            answer.json = true;
        } else if (argument == "--prometheus" && next) {
            answer.prometheusFile = arguments[++i];
        } else if (argument.starts_with("--prometheus=")) {
            answer.prometheusFile = argument.substr(13);
        } else if (argument == "--folder" && next) {
            folder = arguments[++i];
        } else if (argument.starts_with("--folder=")) {
            folder = argument.substr(9);
        }
    }
    if (answer.prometheusFile && answer.prometheusFile->empty()) {
        answer.prometheusFile.reset();
    }
    std::error_code error;
    if (folder && fs::is_directory(systemPath(*folder), error)) {
        answer.folder = jsonPath(fs::absolute(systemPath(*folder)).lexically_normal() / "");
    } else if (folder) {
        answer.folder = jsonText(*folder);
    } else {
        try {
            answer.folder = jsonPath(process::programFolder());
        } catch (const std::exception&) {
            // no folder label then
        }
    }
    return answer;
}

std::string checkHelpText() {
    const std::string timeout = shortestNumber(inSeconds(kDefaultEchoTimeout));
    return "Usage: VeltronaCtl [--folder DIR] [--json] check [-t|--timeout SECONDS]\n"
           "         [--echo-warn RANGE] [--disk-warn RANGE] [--disk-crit RANGE]\n"
           "         [--inode-warn RANGE] [--inode-crit RANGE] [--prometheus FILE] [-v]\n"
           "\n"
           "Health check of the program folder's Zarvo server, as a monitoring plugin: its\n"
           "process, its port, a DICOM C-ECHO to it with the AE title of Server.INI, its image\n"
           "folder with the free space and free inodes of its file system and, while FIFOMax\n"
           "is above 0, the folder's size against FIFOMax. Answers with one line\n"
           "\"ZARVO STATE - items | performance data\"; exit 0 OK, 1 WARNING, 2 CRITICAL,\n"
           "3 UNKNOWN (a check that could not be made, a wrong command line too).\n"
           "\n"
           "  -t, --timeout SECONDS  the C-ECHO's answer and the folder walk (default " +
           timeout +
           ");\n"
           "                         no answer in time is CRITICAL\n"
           "  --echo-warn RANGE      seconds; an answer the range alerts on is a WARNING\n"
           "                         (default 1: slower than 1 s); must be below --timeout\n"
           "  --disk-warn RANGE      percent of free space (default 20: below 20 % WARNING)\n"
           "  --disk-crit RANGE      percent of free space (default 10: below 10 % CRITICAL)\n"
           "  --inode-warn RANGE     percent of free inodes (default 10: below 10 % WARNING)\n"
           "  --inode-crit RANGE     percent of free inodes (default 5: below 5 % CRITICAL);\n"
           "                         a file system that counts no inodes is OK\n"
           "  --prometheus FILE      also write FILE for the node exporter's textfile\n"
           "                         collector (UNKNOWN and its time only, when the check\n"
           "                         could not be made)\n"
           "  -v, --verbose          each item on a line of its own after the first line\n"
           "  -V, --version          show the version\n"
           "  -h, --help             show this help\n"
           "\n"
           "RANGE as in the monitoring plugins' guidelines, alerting outside the range:\n"
           "\"10\" (0 to 10), \"10:\" (10 and more), \"~:10\" (up to 10), \"10:20\"; \"@10:20\"\n"
           "alerts inside it. For the free-space and free-inode percentages a bare number is\n"
           "a floor, \"20\" alerts below 20 as \"20:\" does; all other forms read the same.\n";
}

}  // namespace veltrona::ctl
