#pragma once

#include "app/ServerControl.h"

namespace veltrona::ctl {

// Runs a server launch in the foreground, one implementation per OS. On Linux this process
// replaces itself with the server (exec), keeping its identifier, its standard streams and
// its current folder, so the service manager supervises the server itself and its stop
// signal reaches it: it returns only by throwing process::LaunchError. On Windows the
// server is started hidden, sharing this console, in a job object that ends it should this
// process end first; returns its exit status once it has ended.
int runInForeground(const app::ServerLaunch& launch);

}  // namespace veltrona::ctl
