#pragma once

#include <optional>
#include <string>

#include "app/ServerControl.h"

namespace veltrona::ctl {

// Runs a server launch in the foreground, one implementation per OS. On Linux this process
// replaces itself with the server (exec), keeping its identifier, its standard streams and
// its current folder, so the service manager supervises the server itself and its stop
// signal reaches it: it returns only by throwing process::LaunchError. With `account`
// (root in the package's folder) it first becomes that account, keeping only the
// capability to bind ports below 1024. On Windows, where `account` is never set, the
// server is started hidden, sharing this console, in a job object that ends it should this
// process end first; returns its exit status once it has ended.
int runInForeground(const app::ServerLaunch& launch, const std::optional<std::string>& account);

}  // namespace veltrona::ctl
