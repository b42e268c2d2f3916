#pragma once

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace veltrona::ctl {

// A command line that cannot be followed; the text says what is wrong, in one line.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class CommandKind {
    Help,
    Version,
    Status,
    Start,
    Stop,
    Settings,
    SettingsSet,
    Echo,
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

    bool verbose = false;                           // start --verbose
    std::optional<std::chrono::milliseconds> wait;  // start/stop --wait SECONDS

    std::vector<std::string> assignments;  // settings set NAME=VALUE..., as given

    std::optional<std::string> host;          // echo --host
    std::optional<int> port;                  // echo --port
    std::optional<std::string> aeTitle;       // echo --aet
    std::chrono::milliseconds timeout{5000};  // echo --timeout

    bool automaticStart = true;  // service install --start auto|manual
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
