#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "process/ProcessPlatform.h"

namespace veltrona::ctl {

// VeltronaCtl as a whole: parses `arguments` (those after the program name), finds the
// program folder, runs the command and returns the exit status. Answers go to `out`,
// errors and warnings to `err`, one line each, control characters shown as \xNN; with
// --json, `out` gets exactly one JSON object, errors included.
int runCtl(const std::vector<std::string>& arguments, process::ProcessPlatform& processes,
           std::ostream& out, std::ostream& err);

}  // namespace veltrona::ctl
