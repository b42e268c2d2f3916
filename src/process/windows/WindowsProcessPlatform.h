#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "process/ProcessPlatform.h"

struct HWND__;  // the system's window handle, HWND

namespace veltrona::process {

// The two sets of system functions that list processes on Windows: tool help on the
// 9x family, the process-status interface of PSAPI.dll on the NT family.
enum class WindowsListingRoad { None, Snapshot, ProcessStatus };

// The road of the running system, asked afresh at each call: platform family 1 gives
// Snapshot, 2 gives ProcessStatus; any other family, or a failing query, gives None.
WindowsListingRoad currentListingRoad();

// One call of the system's process-identifier enumeration: fills at most `bytes` bytes
// of `ids` and reports the bytes written. Returns false when the enumeration failed.
// (unsigned long is the system's 32-bit DWORD.)
using ProcessIdEnumeration =
    std::function<bool(unsigned long* ids, unsigned long bytes, unsigned long* bytesWritten)>;

// All identifiers that `enumerate` delivers, in its order. The buffer starts at 1024
// identifiers and is doubled until a call leaves it not full, so a busy machine is
// listed whole. Empty when a call fails.
std::vector<ProcessId> collectProcessIds(const ProcessIdEnumeration& enumerate);

class WindowsProcessPlatform final : public ProcessPlatform {
  public:
    // Without `road`, each call takes the road the system reports; with it, that road is
    // walked whatever the system is (both roads run on the NT family).
    explicit WindowsProcessPlatform(std::optional<WindowsListingRoad> road = std::nullopt);

    PathSyntax pathSyntax() const override;

    // Process-status road: the full path of each process's executable image; processes
    // that cannot be opened for query or whose image cannot be read are left out.
    // Snapshot road: the executable name that tool help records.
    std::vector<ProcessEntry> listProcesses() override;

    // Process-status road: the processes that OpenProcess refused with access denied,
    // named by tool help. The snapshot road opens no process and names none.
    ProcessListing inspectProcesses() override;

    // Opens the process with all access rights, checks that it still runs the executable
    // `entry` names (read the same way as the listing did, while the open handle keeps
    // the identifier from being reused) and terminates it with exit code 0.
    // Refused when it cannot be opened for lack of rights or the system denies the
    // termination; Vanished when it is gone or now names another executable, or when its
    // executable can no longer be read.
    TerminateResult terminate(const ProcessEntry& entry) override;

    // The same check, then the request of GracefulEnd.h (Ctrl+C to its console, WM_CLOSE to
    // its windows, WM_QUIT to its threads), a wait of up to `grace` on the open handle and,
    // should it still run, the termination above.
    GracefulTermination terminateGracefully(const ProcessEntry& entry,
                                            std::chrono::milliseconds grace) override;

    // Asks the shell to open `program` with the verb "open", no working directory, and
    // the window shown or hidden. Throws LaunchError when the shell answers 32 or less.
    void launch(const std::filesystem::path& program, const std::string& parameters,
                bool shown) override;

    // The window that owns the shell's messages about a launch: the application's main
    // window. None by default.
    void setOwnerWindow(HWND__* owner) { ownerWindow_ = owner; }

  private:
    WindowsListingRoad road() const;

    std::optional<WindowsListingRoad> fixedRoad_;
    HWND__* ownerWindow_ = nullptr;
};

}  // namespace veltrona::process
