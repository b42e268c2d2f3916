#pragma once

#include <string>
#include <vector>

#include "CtlOutput.h"

namespace veltrona::ctl {

// The settings as the window shows them, one NAME=VALUE line each, NAME spelt as in the
// settings file, plus one TransferSyntax line. The admin password shows only as "set" or
// "not set".
int runSettings(const CtlContext& context);

// Changes settings and writes the file as the window does when it closes after such a
// change. Every assignment is checked before anything is written: a wrong one is refused
// with kUsage and the file stays as it was. kFailure when the file cannot be written.
int runSettingsSet(const CtlContext& context, const std::vector<std::string>& assignments);

}  // namespace veltrona::ctl
