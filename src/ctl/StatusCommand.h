#pragma once

#include "CtlOutput.h"

namespace veltrona::ctl {

// Whether the server runs, as the window's detection sees it, with its processes, and
// who listens on its configured port. kSuccess when it runs (listening or not);
// kNoPrivilege when it was not found but some processes could not be inspected, so it may
// run unseen (another user's server); kNotRunning otherwise.
int runStatus(const CtlContext& context);

}  // namespace veltrona::ctl
