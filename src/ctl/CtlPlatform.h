#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace veltrona::ctl {

// What VeltronaCtl needs of the operating system beyond the process platform. One
// implementation per OS.

// The folder of the running executable, with symbolic links on the way resolved, so a
// link elsewhere (/usr/bin/veltronactl) still finds the program folder. Ends with a
// separator. Throws std::runtime_error when the system does not tell.
std::filesystem::path executableFolder();

// Learning whether a program this process launched has ended again. Arm it before the
// launch; where the system lets a launcher learn that, ended() then tells how the
// launched program ended ("exit status 2", "signal 9"), or nothing while it runs.
// Elsewhere ended() never knows.
class LaunchWatch {
  public:
    LaunchWatch();
    std::optional<std::string> ended();
};

}  // namespace veltrona::ctl
