// Entries in Windows syntax are bytes of the system's ANSI code page, which may be a
// double-byte one.
#include <windows.h>

#include "process/ServerDetection.h"

namespace veltrona::process {

LeadBytePredicate systemLeadBytes(PathSyntax syntax) {
    if (syntax == PathSyntax::Windows) {
        return [](unsigned char c) { return IsDBCSLeadByte(c) != FALSE; };
    }
    return {};
}

}  // namespace veltrona::process
