#pragma once

#include <filesystem>
#include <system_error>

namespace veltrona::process {

// The running executable's own path, as the system names it (on Linux with symbolic links
// resolved); empty with `error` set when the system does not tell.
std::filesystem::path programPath(std::error_code& error);

// The program folder: the folder of the running executable, ending with a separator. On
// Linux symbolic links on the way are resolved, so a program started through a link
// elsewhere (/usr/bin/veltronactl) still finds the folder it lies in. Throws
// std::runtime_error when the system does not tell.
std::filesystem::path programFolder();

}  // namespace veltrona::process
