#pragma once

#include <chrono>
#include <optional>

#include "CtlOutput.h"

namespace veltrona::ctl {

// Whether the server runs, as the window's detection sees it, with its processes, and
// who listens on its configured port. kSuccess when it runs (listening or not);
// kNoPrivilege when it was not found but some processes could not be inspected, so it may
// run unseen (another user's server); kNotRunning otherwise.
//
// With `wait`, the readiness a service manager waits for: looks again until the server
// serves, then tells what it saw and returns kSuccess; kNotRunning, said on the error
// stream, when it does not within `wait`. Serving means listening on the configured port
// (where Port is no port number: running). Where the server cannot be looked into, as root
// in a sandbox that may not inspect the server's account, a listener hidden as the server
// is counts: the start refused while anything held the port.
int runStatus(const CtlContext& context, std::optional<std::chrono::milliseconds> wait);

}  // namespace veltrona::ctl
