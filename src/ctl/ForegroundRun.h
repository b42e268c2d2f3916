#pragma once

#include <functional>
#include <optional>
#include <string>

#include "process/ProcessPlatform.h"
#include "server/ServerLaunch.h"

namespace veltrona::ctl {

// Runs a server launch in the foreground for a service manager, one implementation per OS,
// and returns once the server has ended. `started` runs once the server runs its program.
//
// On Linux the server is this process's child, in its standard streams and current folder;
// with `account` (root in the package's folder) the child becomes that account first,
// keeping at most the capability to bind ports below 1024 (where its port needs it). This process
// then drops every privilege (into that account, if any), passes SIGTERM, SIGINT and SIGHUP on to
// the server and waits. Its exit status is the server's; for a server ended by a signal, 0 when the
// window or VeltronaCtl stopped it (they announce that to this process first), the same signal when
// it was one passed on, otherwise 128 + the signal (a crash, the kernel's kill, another's kill -9),
// which a service manager restarts. Should this process die, the server gets SIGTERM.
//
// On Windows, where `account` is never set, the server is started hidden, sharing this
// console, in a job object that ends it should this process end first; its exit status is
// returned. Throws process::LaunchError when the server cannot be started.
int runInForeground(const server::ServerLaunch& launch,
                    const std::optional<process::LaunchAccount>& account,
                    const std::function<void()>& started);

}  // namespace veltrona::ctl
