#include "dicom/Environment.h"

#include <cstdlib>

namespace veltrona::dicom {

void setVariable(const char* name, const char* value, bool replace) {
    ::setenv(name, value, replace ? 1 : 0);
}

void unsetVariable(const char* name) {
    ::unsetenv(name);
}

const char* const emptyFileName = "/dev/null";

}  // namespace veltrona::dicom
