#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "CheckCommand.h"
#include "CtlCommand.h"

namespace veltrona::ctl {

// The check's part of the command line. The check is a monitoring plugin and takes the
// short options the plugins' guidelines reserve besides its long ones.

// The long option a short one of check stands for ("-t" is "--timeout", "-v" "--verbose",
// "-V" "--version", "-h" "--help"); `argument` itself when it is none of them.
std::string checkLongOption(const std::string& argument);

// Sets the threshold `option` (--echo-warn, --disk-warn, --disk-crit, --inode-warn,
// --inode-crit) names; false when it names none. Throws UsageError for a value that is no
// threshold.
bool applyCheckThreshold(CtlCommand& command, const std::string& option, const std::string& value);

// Refuses lines that can never be reached: a critical floor of free space or inodes above
// its warning floor, and an --echo-warn that is not below the --timeout.
void checkThresholdsAgree(const CtlCommand& command);

// What of CheckAnswer a command line names, read leniently, for a line the parser
// refused: --json, --prometheus FILE, and the program folder.
CheckAnswer checkAnswerNamed(const std::vector<std::string>& arguments,
                             std::chrono::steady_clock::time_point started);

// The check's own help, for "check --help".
std::string checkHelpText();

}  // namespace veltrona::ctl
