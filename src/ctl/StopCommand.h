#pragma once

#include <chrono>
#include <optional>

#include "CtlOutput.h"

namespace veltrona::ctl {

// Ends the server as the window's stop button does: every process whose executable file
// name is exactly "ZarvoServer.exe", wherever it lies. kSuccess when detection then sees
// none running (waiting up to `wait` for them to vanish), kFailure otherwise.
int runStop(const CtlContext& context, std::optional<std::chrono::milliseconds> wait);

}  // namespace veltrona::ctl
