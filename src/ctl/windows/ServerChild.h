#pragma once

#include <windows.h>

#include <optional>

#include "config/file/windows/SystemError.h"
#include "server/ServerLaunch.h"

namespace veltrona::ctl {

// The server as a child of VeltronaCtl on Windows: started hidden with the window's command
// line (the program quoted, then the parameter string), in a job object that ends it, and
// whatever it started, when the job's last handle closes, so that it never outlives this
// process.
class ServerChild {
  public:
    enum class Console { Shared, None };

    // Throws process::LaunchError with the system's reason. With `output`, an inheritable
    // handle, that is the server's standard output and error, and the null device its input.
    ServerChild(const server::ServerLaunch& launch, Console console, HANDLE output = nullptr);
    ServerChild(const ServerChild&) = delete;
    ServerChild& operator=(const ServerChild&) = delete;

    HANDLE process() const { return process_->get(); }
    DWORD id() const { return id_; }
    // The exit status once it has ended.
    DWORD exitCode() const;
    // Ends every process of the job with exit code 0, as the window's stop ends the server,
    // and waits for the server up to `wait` milliseconds. Returns whether it has ended.
    bool end(DWORD wait);

  private:
    config::OwnedHandle job_;
    std::optional<config::OwnedHandle> process_;
    DWORD id_ = 0;
};

}  // namespace veltrona::ctl
