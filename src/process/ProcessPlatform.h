#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace veltrona::process {

using ProcessId = std::uint32_t;

// How the executable texts of a platform are written, which decides what separates the
// file-name part: "/" on POSIX systems; "\" and ":" (never "/") on Windows.
enum class PathSyntax { Posix, Windows };

// One running process: its identifier and the text that names its executable, the full
// path where the platform gives it, otherwise the bare file name.
struct ProcessEntry {
    // Not an aggregate, so that {id, executable} leaves the user empty without a warning.
    ProcessEntry(ProcessId id = 0, std::string executable = {}, std::string user = {})
        : id(id), executable(std::move(executable)), user(std::move(user)) {}

    ProcessId id = 0;
    std::string executable;
    // The account the process runs as, where the listing tells it (inspectProcesses: the
    // owner's name on Linux, "DOMAIN\name" from the process token on Windows); else empty.
    std::string user;

    bool operator==(const ProcessEntry&) const = default;
};

// A listing together with the processes it left out because the system refused to let the
// tool look into them (another user's, where the tool lacks the rights). Each of those
// carries the name the system still tells without that look: on Linux the kernel's short
// command name (at most 15 bytes, and the process may have changed it), on Windows the
// executable name of tool help; empty where it tells none. Processes that vanished
// meanwhile, or that have no executable to read, are in neither list.
struct ProcessListing {
    std::vector<ProcessEntry> entries;
    std::vector<ProcessEntry> uninspected;
};

enum class TerminateResult {
    Terminated,  // the process was ended
    Refused,     // the platform denied it (no rights, or the process cannot be opened)
    Vanished,    // the process ended meanwhile, or its identifier now names another program
};

// How a graceful termination went: `result` as for terminate(); with Terminated, `killed`
// tells whether the process had to be ended hard after it let its time pass.
struct GracefulTermination {
    TerminateResult result = TerminateResult::Vanished;
    bool killed = false;

    bool operator==(const GracefulTermination&) const = default;
};

// The launch was refused: executable missing or not executable, or the system could
// not start a process. The text is the system's reason.
class LaunchError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The account a program is started as, and whether it needs the one privilege a server may
// keep: binding a port below 1024. A server on another port keeps none, so that its own
// account may look into it (the kernel hides a process with capabilities from one without).
struct LaunchAccount {
    std::string name;
    bool bindsPrivilegedPort = false;
};

// The operating system's processes, as the tool needs them. One implementation per OS.
class ProcessPlatform {
  public:
    virtual ~ProcessPlatform() = default;

    virtual PathSyntax pathSyntax() const = 0;

    // The running processes that the tool may query, in the order the platform delivers
    // them; freshly listed at every call. A process that vanishes during the listing, or
    // whose executable cannot be read, is left out; a listing that fails as a whole gives
    // an empty list. Never throws for either.
    virtual std::vector<ProcessEntry> listProcesses() = 0;

    // The same listing, each entry with its user where the platform tells it, and the
    // processes the tool was refused a look into. A platform that cannot tell names none.
    virtual ProcessListing inspectProcesses() { return {listProcesses(), {}}; }

    // Ends the process hard (exit code 0 where the platform lets the caller choose),
    // provided it still is the program `entry` names.
    virtual TerminateResult terminate(const ProcessEntry& entry) = 0;

    // Asks the process to end, provided it still is the program `entry` names, waits up to
    // `grace` for it to do so and then ends it as terminate() does. Returns once it has ended
    // or has been ended hard. Linux: SIGTERM, then SIGKILL. Windows: Ctrl+C to its console,
    // WM_CLOSE to its windows and WM_QUIT to its threads, then termination with exit code 0.
    // A platform without a way to ask ends the process hard at once.
    virtual GracefulTermination terminateGracefully(const ProcessEntry& entry,
                                                    std::chrono::milliseconds grace) {
        (void)grace;
        const TerminateResult result = terminate(entry);
        return {result, result == TerminateResult::Terminated};
    }

    // Starts `program`, named by its own path whatever the system code page can spell,
    // with `parameters`, a command line written for a Windows program in that code page,
    // detached: it outlives the tool, starts in the tool's current directory and never
    // goes through a shell. `shown` (verbose mode) shows its window or output; otherwise
    // its output goes nowhere. Returns once it has been started; throws LaunchError when
    // the platform refuses.
    virtual void launch(const std::filesystem::path& program, const std::string& parameters,
                        bool shown) = 0;

    // The same launch with the program run as the local account `account.name` (its own
    // group and its supplementary groups) instead of the caller, for a caller with the right
    // to switch: on Linux root. The program keeps no capability, or, with
    // `account.bindsPrivilegedPort`, CAP_NET_BIND_SERVICE (ambient) alone, so it may bind a
    // port below 1024. Throws LaunchError, also when the account does not exist or the
    // platform cannot switch accounts.
    virtual void launchAs(const std::filesystem::path& program, const std::string& parameters,
                          bool shown, const LaunchAccount& account) {
        (void)program, (void)parameters, (void)shown;
        throw LaunchError("cannot start a program as the account \"" + account.name + "\" here");
    }
};

// The implementation for the operating system the tool was built for.
std::unique_ptr<ProcessPlatform> createProcessPlatform();

}  // namespace veltrona::process
