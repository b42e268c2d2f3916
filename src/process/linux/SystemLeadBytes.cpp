// Linux has no ANSI code page: no byte of any path is a lead byte.
#include "process/ServerDetection.h"

namespace veltrona::process {

LeadBytePredicate systemLeadBytes(PathSyntax /*syntax*/) {
    return {};
}

}  // namespace veltrona::process
