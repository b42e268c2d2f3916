#pragma once

namespace veltrona::dicom {

// The process environment as DCMTK reads it (getenv), for settings DCMTK takes from there.
// Sets `name` to `value`; an existing value is kept unless `replace`.
void setVariable(const char* name, const char* value, bool replace);
void unsetVariable(const char* name);

// A file name that always reads as an empty file.
extern const char* const emptyFileName;

}  // namespace veltrona::dicom
