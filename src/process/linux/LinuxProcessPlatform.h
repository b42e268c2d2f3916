#pragma once

#include "process/ProcessPlatform.h"

namespace veltrona::process {

// Processes from /proc; termination through a pidfd, launch by double fork and execv.
class LinuxProcessPlatform : public ProcessPlatform {
  public:
    // How terminate() holds the process while it checks and signals it.
    enum class TerminateMethod {
        Pidfd,  // pidfd_open + pidfd_send_signal; falls back to Kill where the kernel lacks pidfds
        Kill,   // kill() by identifier: a small window remains in which the identifier is reused
    };

    explicit LinuxProcessPlatform(TerminateMethod method = TerminateMethod::Pidfd);

    PathSyntax pathSyntax() const override;
    std::vector<ProcessEntry> listProcesses() override;
    // Refused: the processes whose executable link the kernel would not let us read
    // (EACCES, EPERM: another user's process, or one that is not dumpable), named by
    // /proc/PID/comm.
    ProcessListing inspectProcesses() override;
    // SIGKILL: Linux gives the killer no say over the exit status. A server whose parent is
    // VeltronaCtl's `run` is announced to that parent first, so `run` tells the stop from
    // a crash; the window's stop and VeltronaCtl's both end the server here.
    TerminateResult terminate(const ProcessEntry& entry) override;
    // SIGTERM, announced as terminate() announces its SIGKILL, then SIGKILL once `grace` has
    // passed; the pidfd tells when the process has ended.
    GracefulTermination terminateGracefully(const ProcessEntry& entry,
                                            std::chrono::milliseconds grace) override;
    void launch(const std::filesystem::path& program, const std::string& parameters,
                bool shown) override;
    // The child becomes the account before it executes the program (fork and exec, since a
    // spawn cannot switch accounts).
    void launchAs(const std::filesystem::path& program, const std::string& parameters, bool shown,
                  const LaunchAccount& account) override;

    // The method terminate() uses now: Kill once the kernel has answered ENOSYS to pidfd_open.
    TerminateMethod terminateMethod() const { return method_; }

  private:
    TerminateMethod method_;
};

}  // namespace veltrona::process
