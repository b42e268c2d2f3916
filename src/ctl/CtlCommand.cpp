#include "CtlCommand.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <set>

#include "CheckLine.h"
#include "CtlOutput.h"
#include "server/ServerProgram.h"

namespace veltrona::ctl {

namespace {

using std::chrono::milliseconds;

constexpr double kLongestWait = 24 * 60 * 60;  // seconds

struct CommandName {
    const char* name;
    CommandKind kind;
    std::set<std::string> options;  // the options it takes besides --folder and --json
};

const std::vector<CommandName>& commands() {
    static const std::vector<CommandName> table = {
        {"status", CommandKind::Status, {"--wait"}},
        {"start", CommandKind::Start, {"--verbose", "--wait"}},
        {"stop", CommandKind::Stop, {"--wait", "--graceful"}},
        {"settings", CommandKind::Settings, {"--dry-run"}},
        {"echo", CommandKind::Echo, {"--host", "--port", "--aet", "--timeout"}},
        {"check",
         CommandKind::Check,
         {"--timeout", "--echo-warn", "--disk-warn", "--disk-crit", "--inode-warn", "--inode-crit",
          "--prometheus", "--verbose"}},
        {"run", CommandKind::Run, {}},
        {"service",
         CommandKind::ServiceInstall,
         {"--start", "--account", "--password", "--replace", "--log"}},
    };
    return table;
}

bool takesValue(const std::string& option) {
    return option != "--verbose" && option != "--json" && option != "--help" &&
           option != "--version" && option != "--password" && option != "--replace" &&
           option != "--dry-run";
}

// Seconds as a decimal number, "10" or "2.5", at least `least`.
milliseconds parseSeconds(const std::string& option, const std::string& text, double least) {
    double seconds = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), seconds, std::chars_format::fixed);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(seconds) || seconds < least || seconds > kLongestWait) {
        throw UsageError(option + ": \"" + text + "\" is not a number of seconds");
    }
    return milliseconds(static_cast<long long>(std::llround(seconds * 1000)));
}

int parsePort(const std::string& text) {
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || port < 1 ||
        port > 65535) {
        throw UsageError("--port: \"" + text + "\" is not a port number (1 to 65535)");
    }
    return port;
}

void applyOption(CtlCommand& command, const std::string& option, const std::string& value) {
    if (applyCheckThreshold(command, option, value)) {
        return;
    }
    if (option == "--folder") {
        if (value.empty()) {
            throw UsageError("--folder: the folder name is empty");
        }
        command.folder = value;
    } else if (option == "--json") {
        command.json = true;
    } else if (option == "--verbose") {
        command.verbose = true;
    } else if (option == "--wait") {
        command.wait = parseSeconds(option, value, 0);
    } else if (option == "--graceful") {
        command.graceful = parseSeconds(option, value, 0);
    } else if (option == "--host") {
        if (value.empty()) {
            throw UsageError("--host: the host name is empty");
        }
        command.host = value;
    } else if (option == "--port") {
        command.port = parsePort(value);
    } else if (option == "--aet") {
        command.aeTitle = value;
    } else if (option == "--timeout") {
        command.timeout = parseSeconds(option, value, 0.001);
    } else if (option == "--prometheus") {
        if (value.empty()) {
            throw UsageError("--prometheus: the file name is empty");
        }
        command.prometheus = value;
    } else if (option == "--start") {
        if (value != "auto" && value != "manual") {
            throw UsageError("--start: \"" + value + "\" is neither auto nor manual");
        }
        command.automaticStart = value == "auto";
    } else if (option == "--account") {
        if (value.empty()) {
            throw UsageError("--account: the account name is empty");
        }
        command.account = value;
    } else if (option == "--password") {
        command.password = true;
    } else if (option == "--replace") {
        command.replace = true;
    } else if (option == "--dry-run") {
        command.dryRun = true;
    } else if (option == "--log") {
        command.log = value;
    }
}

// "service install", "service remove", or the service's own "service host".
void parseServiceCommand(CtlCommand& command, const std::vector<std::string>& words,
                         const std::optional<std::string>& installOption) {
    if (words.size() < 2) {
        throw UsageError("service: install or remove?");
    }
    if (words.size() > 2) {
        throw UsageError("unexpected argument \"" + words[2] + "\"");
    }
    if (words[1] == "remove") {
        command.kind = CommandKind::ServiceRemove;
    } else if (words[1] == "host") {
        command.kind = CommandKind::ServiceHost;
    } else if (words[1] != "install") {
        throw UsageError("unknown service command \"" + words[1] + "\"");
    }
    // The host is given the log file that install was given.
    const bool hostLog = command.kind == CommandKind::ServiceHost && installOption == "--log";
    if (installOption && command.kind != CommandKind::ServiceInstall && !hostLog) {
        throw UsageError("\"service " + words[1] + "\" takes no option \"" + *installOption + "\"");
    }
}

CtlCommand parseArguments(const std::vector<std::string>& arguments, const CommandName*& chosen) {
    CtlCommand command;
    bool help = false;
    bool version = false;
    std::optional<std::string> installOption;  // the first option of service install
    std::vector<std::string> words;  // what is not an option: the command and its operands

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const bool plugin = chosen != nullptr && chosen->kind == CommandKind::Check;
        const std::string argument = plugin ? checkLongOption(arguments[i]) : arguments[i];
        if (!argument.starts_with("--")) {
            words.push_back(argument);
            if (words.size() == 1) {
                for (const CommandName& candidate : commands()) {
                    if (argument == candidate.name) {
                        chosen = &candidate;
                    }
                }
                if (chosen == nullptr) {
                    throw UsageError("unknown command \"" + argument + "\"");
                }
            }
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string option = argument.substr(0, equals);
        if (option == "--help") {
            help = true;
            continue;
        }
        if (option == "--version") {
            version = true;
            continue;
        }
        const bool global = option == "--folder" || option == "--json";
        if (!global && (chosen == nullptr || !chosen->options.contains(option))) {
            throw UsageError(chosen == nullptr || option == "--"
                                 ? "unknown option \"" + option + "\""
                                 : "\"" + std::string(chosen->name) + "\" takes no option \"" +
                                       option + "\"");
        }
        std::string value;
        if (equals != std::string::npos) {
            if (!takesValue(option)) {
                throw UsageError(option + " takes no value");
            }
            value = argument.substr(equals + 1);
        } else if (takesValue(option)) {
            if (i + 1 == arguments.size()) {
                throw UsageError(option + " needs a value");
            }
            value = arguments[++i];
        }
        applyOption(command, option, value);
        if (!global && chosen->kind == CommandKind::ServiceInstall && !installOption) {
            installOption = option;
        }
    }

    if (help && chosen != nullptr && chosen->kind == CommandKind::Check) {
        command.kind = CommandKind::Check;
        command.checkHelp = true;
        return command;
    }
    if (help || version) {
        command.kind = help ? CommandKind::Help : CommandKind::Version;
        return command;
    }
    if (chosen == nullptr) {
        throw UsageError("no command given");
    }
    command.kind = chosen->kind;
    if (command.kind == CommandKind::Settings && words.size() > 1 && words[1] == "check") {
        if (words.size() > 2) {
            throw UsageError("unexpected argument \"" + words[2] + "\"");
        }
        command.kind = CommandKind::SettingsCheck;
    } else if (command.kind == CommandKind::Settings && words.size() > 1) {
        if (words[1] != "set") {
            throw UsageError("unknown settings command \"" + words[1] + "\"");
        }
        if (words.size() == 2) {
            throw UsageError("settings set: no NAME=VALUE given");
        }
        command.kind = CommandKind::SettingsSet;
        command.assignments.assign(words.begin() + 2, words.end());
    } else if (command.kind == CommandKind::ServiceInstall) {
        parseServiceCommand(command, words, installOption);
    } else if (words.size() > 1) {
        throw UsageError("unexpected argument \"" + words[1] + "\"");
    }
    // The server's own output is run's answer, and the service commands tell an
    // administrator at a prompt what they did: neither has a JSON object to give.
    const bool noJson =
        command.kind == CommandKind::Run || command.kind == CommandKind::ServiceInstall ||
        command.kind == CommandKind::ServiceRemove || command.kind == CommandKind::ServiceHost;
    if (command.json && noJson) {
        throw UsageError("--json: \"" + words[0] +
                         (words.size() > 1 ? " " + words[1] : std::string()) +
                         "\" has no JSON answer");
    }
    if (command.dryRun && command.kind != CommandKind::SettingsSet) {
        throw UsageError("--dry-run goes with \"settings set\" only");
    }
    if (command.kind == CommandKind::Check) {
        checkThresholdsAgree(command);
    }
    return command;
}

}  // namespace

CtlCommand parseCommandLine(const std::vector<std::string>& arguments) {
    const CommandName* chosen = nullptr;
    try {
        return parseArguments(arguments, chosen);
    } catch (UsageError& error) {
        if (chosen != nullptr) {
            error.command = chosen->kind;
        }
        error.json = std::find(arguments.begin(), arguments.end(), "--json") != arguments.end();
        throw;
    }
}

std::string usageText() {
    return "Usage: VeltronaCtl [--folder DIR] [--json] COMMAND\n"
           "  status [--wait SECONDS] | start [--verbose] [--wait SECONDS]\n"
           "  stop [--graceful SECONDS] [--wait SECONDS]\n"
           "  settings | settings set [--dry-run] NAME=VALUE... | settings check |"
           "\n  echo [--host H] [--port P] [--aet TITLE] [--timeout SECONDS]\n"
           "  check [-t S] [--echo-warn R] [--disk-warn R] [--disk-crit R] [--inode-warn R]\n"
           "        [--inode-crit R] [--prometheus FILE] [-v] (see \"check --help\")\n"
           "  run | service install [--start auto|manual] [--account NAME [--password]] "
           "[--replace] [--log FILE]\n"
           "  service remove\n"
           "Try \"VeltronaCtl --help\".\n";
}

std::string helpText() {
    const std::string server = server::kServerExecutableName;
    const std::string timeout = shortestNumber(inSeconds(kDefaultEchoTimeout));
    const std::string echoWarn = shortestNumber(inSeconds(kDefaultEchoWarn));
    const std::string diskWarn = shortestNumber(kDefaultDiskWarnPercent);
    const std::string diskCrit = shortestNumber(kDefaultDiskCritPercent);
    return "Usage: VeltronaCtl [--folder DIR] [--json] COMMAND [OPTIONS]\n"
           "\n"
           "Controls the Zarvo DICOM storage server (" +
           server +
           ") of a program folder, as\n"
           "the window VeltronaAdmin does. The program folder is the folder of VeltronaCtl\n"
           "itself, or DIR with --folder. --json answers with one JSON object, errors\n"
           "included ({\"exitCode\":N,\"error\":...}); run and service have no JSON answer.\n"
           "\n"
           "Commands:\n"
           "  status [--wait SECONDS]    whether the server runs (exit 0) or not (exit 3),\n"
           "                             and who listens on its port; exit 4 when it was not\n"
           "                             found but processes that may be it could not be\n"
           "                             inspected (another user's: ask as root); with --wait,\n"
           "                             wait until it listens on the Port of Server.INI\n"
           "                             (exit 0) and exit 3 if it does not in time: a service\n"
           "                             manager's readiness\n"
           "  start [--verbose] [--wait SECONDS]\n"
           "                             start the server with the settings of Server.INI,\n"
           "                             never without a Port that is a port number; with\n"
           "                             --wait, wait until it listens on that port and fail\n"
           "                             if it does not in time\n"
           "  stop [--graceful SECONDS] [--wait SECONDS]\n"
           "                             end the folder's " +
           server +
           " at once; with\n"
           "                             --graceful ask it to end first and end it only\n"
           "                             if it still runs SECONDS later. Exit 0 when none\n"
           "                             is left, 1 when one still runs, 4 as status when\n"
           "                             none was found but some could not be inspected\n"
           "  settings                   show the settings, one NAME=VALUE per line\n"
           "  settings set [--dry-run] NAME=VALUE...\n"
           "                             change settings and write Server.INI as the window\n"
           "                             does; \"Unchanged\" and no write when the file holds\n"
           "                             these values already; --dry-run prints the lines that\n"
           "                             would change (- old, + new) and writes nothing.\n"
           "                             Names: -aet Port FIFOMax FIFOMin MaxDaysLocal\n"
           "                             RegNewOnView -od -db TransferSyntax parameter -dhl\n"
           "                             AdminPassword (letter case ignored, the leading \"-\"\n"
           "                             may be left out). Flags take true or false,\n"
           "                             MaxDaysLocal a number or off, TransferSyntax one of\n"
           "                             none +x= +xs +xy +xi, Port a number from 1 to 65535;\n"
           "                             an empty AdminPassword clears it\n"
           "  settings check             check Server.INI as the server reads it: a Port from 1\n"
           "                             to 65535, numbers in range, no key twice, no unknown\n"
           "                             key, no text its code page cannot hold; one line per\n"
           "                             problem, exit 0 when there is none, else 1\n"
           "  echo [--host H] [--port P] [--aet TITLE] [--timeout SECONDS]\n"
           "                             DICOM C-ECHO to the server (default: 127.0.0.1, port\n"
           "                             and AE title from Server.INI, " +
           secondsInWords(kDefaultEchoTimeout) +
           ")\n"
           "  check [-t|--timeout SECONDS] [--echo-warn RANGE] [--disk-warn RANGE]\n"
           "        [--disk-crit RANGE] [--inode-warn RANGE] [--inode-crit RANGE]\n"
           "        [--prometheus FILE] [-v]\n"
           "                             health check for monitoring (plugin convention):\n"
           "                             process, port, C-ECHO (CRITICAL past --timeout, " +
           timeout +
           ",\n"
           "                             WARNING past --echo-warn, " +
           echoWarn +
           "), free space of the\n"
           "                             image folder (WARNING below --disk-warn, " +
           diskWarn +
           ", CRITICAL\n"
           "                             below --disk-crit, " +
           diskCrit +
           "), free inodes (--inode-warn,\n"
           "                             --inode-crit) and, while FIFOMax is above 0, its size\n"
           "                             against FIFOMax; one line \"ZARVO STATE - ... |\n"
           "                             perfdata\", exit 0 OK, 1 WARNING, 2 CRITICAL,\n"
           "                             3 UNKNOWN (a wrong command line too); --prometheus\n"
           "                             also writes FILE for the node exporter; ranges and\n"
           "                             the rest: \"check --help\"\n"
           "  run                        run the server in the foreground, as the start\n"
           "                             button starts it, for a service manager: wait for\n"
           "                             it and exit with its status (0 after a stop of the\n"
           "                             window or of VeltronaCtl)\n"
           "  service install [--start auto|manual]\n"
           "                             register the Windows service ZarvoServer that runs\n"
           "                             the server and restarts it after a crash (default:\n"
           "                             started at boot); needs administrator rights, and\n"
           "                             programs only administrators may change (exit 4).\n"
           "                             It runs as NAME (default NT SERVICE\\ZarvoServer), who\n"
           "                             may write the image and database folders only;\n"
           "                             --password reads NAME's password from standard input;\n"
           "                             a service of another folder is replaced with --replace;\n"
           "                             the server's output goes to logs\\ZarvoServer.log in the\n"
           "                             program folder (or FILE), kept as 5 older files of 10 MB\n"
           "  service remove             stop and unregister that service\n"
           "\n"
           "Exit status: 0 done, 1 refused or failed, 2 wrong command line, 3 not running,\n"
           "4 not known: processes that may be the server could not be inspected (check: see\n"
           "above).\n"
           "  --help                     show this help\n"
           "  --version                  show the version\n";
}

}  // namespace veltrona::ctl
