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
// A file that holds the values already is not written ("Unchanged"); `dryRun` shows the
// lines a write would change and writes nothing.
int runSettingsSet(const CtlContext& context, const std::vector<std::string>& assignments,
                   bool dryRun = false);

// Checks the settings file as the server's settings are read from it (SettingsCheck.cpp):
// kSuccess when it holds no problem, else kFailure, each problem named.
int runSettingsCheck(const CtlContext& context);

}  // namespace veltrona::ctl
