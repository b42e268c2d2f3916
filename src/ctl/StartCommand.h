#pragma once

#include <chrono>
#include <optional>

#include "CtlOutput.h"

namespace veltrona::ctl {

// Starts the server as the window's start button does, with the settings of Server.INI
// as the window holds them after its start-up. Refuses (kFailure) when the server runs
// already or another program holds the configured port. With `wait`, returns kSuccess
// only once a server process listens on the configured port within `wait`; kFailure when
// it ended, never came up, or runs without listening. Where the Port setting is no port
// number that is said, and kSuccess then means detection sees the server and it has not
// ended within half a second.
int runStart(const CtlContext& context, bool verbose,
             std::optional<std::chrono::milliseconds> wait);

}  // namespace veltrona::ctl
