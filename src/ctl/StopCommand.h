#pragma once

#include <chrono>
#include <optional>

#include "CtlOutput.h"

namespace veltrona::ctl {

// Ends the server as the window's stop button does: every process whose executable file
// name is exactly "ZarvoServer.exe", wherever it lies. kSuccess when detection then sees
// none running (waiting up to `wait` for them to vanish), kFailure otherwise. When none
// was found to begin with but some processes could not be inspected, nothing is stopped
// and the answer is kNoPrivilege: the server may run as another user. With `graceful`, each
// server is asked to end first and ended hard only once that time has passed; the answer
// names how each one ended.
int runStop(const CtlContext& context, std::optional<std::chrono::milliseconds> wait,
            std::optional<std::chrono::milliseconds> graceful = std::nullopt);

}  // namespace veltrona::ctl
