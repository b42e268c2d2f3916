#pragma once

#include <filesystem>

namespace veltrona::process {

// The program folder: the folder of the running executable, ending with a separator. On
// Linux symbolic links on the way are resolved, so a program started through a link
// elsewhere (/usr/bin/veltronactl) still finds the folder it lies in. Throws
// std::runtime_error when the system does not tell.
std::filesystem::path programFolder();

}  // namespace veltrona::process
