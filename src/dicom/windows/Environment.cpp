#include "dicom/Environment.h"

#include <cstdlib>

namespace veltrona::dicom {

// The C runtime's copy of the environment, which getenv reads; an empty value removes the
// variable.
void setVariable(const char* name, const char* value, bool replace) {
    if (replace || std::getenv(name) == nullptr) {
        ::_putenv_s(name, value);
    }
}

void unsetVariable(const char* name) {
    ::_putenv_s(name, "");
}

const char* const emptyFileName = "NUL";

}  // namespace veltrona::dicom
