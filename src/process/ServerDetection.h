#pragma once

#include <functional>
#include <string_view>

#include "ProcessPlatform.h"
#include "config/text/AsciiCase.h"

namespace veltrona::process {

// Tells whether a byte of a Windows path is the lead byte of a double-byte character
// (the second byte of which is then never a separator). Empty: no double-byte code page.
using LeadBytePredicate = std::function<bool(unsigned char)>;

// The lead-byte test of the system's ANSI code page, for entries written in `syntax`
// (implemented once per platform). Windows syntax on Windows has one; other systems have
// no such code page, so no byte is ever a lead byte there.
LeadBytePredicate systemLeadBytes(PathSyntax syntax);

// The text after the last separator of `executable` (the whole text when it holds
// none): "/" for Posix; "\" or ":" for Windows, not counting a trail byte of a
// double-byte character.
std::string_view fileNamePart(std::string_view executable, PathSyntax syntax,
                              const LeadBytePredicate& isLeadByte = {});

// The detection comparison: equal length, equal bytes once 'a'..'z' are mapped to 'A'..'Z'.
using config::equalsIgnoringAsciiCase;

// True when some process from a fresh listing has an executable whose file-name part
// equals `name`, ASCII letter case ignored.
bool isProcessRunning(ProcessPlatform& platform, std::string_view name);

// Terminates every listed process whose executable file-name part is `name` byte for
// byte, wherever it lies. `onRefused` runs once for each process whose termination the
// platform refused; the remaining processes are still examined.
void terminateProcessesNamed(ProcessPlatform& platform, std::string_view name,
                             const std::function<void()>& onRefused);

}  // namespace veltrona::process
