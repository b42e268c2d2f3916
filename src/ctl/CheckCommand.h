#pragma once

#include <chrono>
#include <optional>
#include <ostream>
#include <string>

#include "CtlOutput.h"
#include "HealthVerdict.h"

namespace veltrona::ctl {

// Where and how a check answers, known before it looks at anything.
struct CheckAnswer {
    bool json = false;                          // --json
    std::optional<std::string> prometheusFile;  // --prometheus, system code page
    std::string folder;                         // the program folder's label (UTF-8), if known
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
};

struct CheckOptions {
    HealthLimits limits;
    bool verbose = false;  // -v: each item on a line of its own after the plugin line
    CheckAnswer answer;
};

// The health check: looks at the server's process, its port, a C-ECHO to it, its image
// folder, its free space and inodes and (while FIFOMax is above 0) that folder's size, all
// within the timeout, and answers with the plugin line (or JSON); with a Prometheus file,
// writes that too. Returns the verdict as exit status, 0 to 3. Whatever keeps it from
// checking (settings that cannot be read, a file that cannot be written) is UNKNOWN,
// never an exception.
int runCheck(const CtlContext& context, const CheckOptions& options);

// A check that cannot be made (a wrong command line, no program folder, settings that
// cannot be read): the UNKNOWN line for `reason` (system code page) on `out`, or with
// --json one object with it; a metrics file, where one is named, says UNKNOWN and nothing
// else. Returns 3.
int refuseCheck(std::ostream& out, const std::string& reason, const CheckAnswer& answer);

}  // namespace veltrona::ctl
