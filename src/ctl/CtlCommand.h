#pragma once

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "CheckDefaults.h"

namespace veltrona::ctl {

enum class CommandKind : int;

// A command line that cannot be followed; the text says what is wrong, in one line.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
    // The command the line names, when the parser got as far as that.
    std::optional<CommandKind> command;
    // Whether the line asks for --json, wherever it stands.
    bool json = false;
};

enum class CommandKind : int {
    Help,
    Version,
    Status,
    Start,
    Stop,
    Settings,
    SettingsSet,
    SettingsCheck,
    Echo,
    Check,
    Run,
    ServiceInstall,
    ServiceRemove,
    ServiceHost,
};

// What the command line asks for. Options that a command does not take are refused by
// the parser, so a command only sees its own.
struct CtlCommand {
    CommandKind kind = CommandKind::Help;
    std::optional<std::string> folder;  // --folder DIR, as given
    bool json = false;                  // --json

    bool verbose = false;                               // start --verbose, check -v
    std::optional<std::chrono::milliseconds> wait;      // status/start/stop --wait SECONDS
    std::optional<std::chrono::milliseconds> graceful;  // stop --graceful SECONDS

    std::vector<std::string> assignments;  // settings set NAME=VALUE..., as given
    bool dryRun = false;                   // settings set --dry-run

    std::optional<std::string> host;                          // echo --host
    std::optional<int> port;                                  // echo --port
    std::optional<std::string> aeTitle;                       // echo --aet
    std::chrono::milliseconds timeout = kDefaultEchoTimeout;  // echo, check --timeout

    // check: --echo-warn RANGE (seconds), --disk-warn, --disk-crit, --inode-warn and
    // --inode-crit RANGE (percent free), --prometheus FILE, --help after check
    Threshold echoWarn = kDefaultEchoWarnLine;
    bool echoWarnGiven = false;
    Threshold diskWarn = kDefaultDiskWarnLine;
    Threshold diskCrit = kDefaultDiskCritLine;
    Threshold inodeWarn = kDefaultInodeWarnLine;
    Threshold inodeCrit = kDefaultInodeCritLine;
    std::optional<std::string> prometheus;
    bool checkHelp = false;

    bool automaticStart = true;          // service install --start auto|manual
    std::optional<std::string> account;  // service install --account NAME
    bool password = false;               // service install --password (read from input)
    bool replace = false;                // service install --replace
    std::optional<std::string> log;      // service install --log FILE, and its host's
};

// Parses the arguments after the program name. Options take their value as the next
// argument or after "=" ("--wait 10", "--wait=10"); "--folder" and "--json" may stand
// anywhere. Throws UsageError.
CtlCommand parseCommandLine(const std::vector<std::string>& arguments);

// A few lines that show how the tool is called, for a usage error.
std::string usageText();
// The whole help, for --help.
std::string helpText();

}  // namespace veltrona::ctl
