#pragma once

#include "CtlOutput.h"

namespace veltrona::ctl {

// Runs the server in the foreground for a service manager: the launch of the window's start
// button from Server.INI and Setup.cfg as they are on disk, not verbose, with the refusals
// of `start` and under the start lock, which it lets go once the server runs; it waits for
// the server and returns its exit status (see runInForeground). kFailure when the
// settings cannot be read or the server cannot be started, with the reason said.
int runRun(const CtlContext& context);

}  // namespace veltrona::ctl
