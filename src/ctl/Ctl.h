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

// The end of the program with `status`: flushes standard output and error and returns
// `status`, or where a look at the file system is still held in the kernel (a file system
// that does not answer), ends the process at once, as that thread may never return.
int endCtl(int status);

}  // namespace veltrona::ctl
