#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "CtlOutput.h"
#include "HealthVerdict.h"

namespace veltrona::ctl {

struct CheckOptions {
    HealthLimits limits;
    std::optional<std::string> prometheusFile;  // --prometheus, system code page
};

// The health check: looks at the server's process, its port, a C-ECHO to it, its image
// folder and (while FIFOMax is above 0) that folder's size, all within the timeout, and
// answers with the plugin line (or JSON); with a Prometheus file, writes that too. Returns
// the verdict as exit status, 0 to 3. Whatever keeps it from checking (settings that
// cannot be read, a file that cannot be written) is UNKNOWN, never an exception.
int runCheck(const CtlContext& context, const CheckOptions& options);

// A check that cannot even start (a wrong command line, no program folder): the UNKNOWN
// line for `reason` (system code page) on `out`; returns 3.
int refuseCheck(std::ostream& out, const std::string& reason);

}  // namespace veltrona::ctl
