#pragma once

#include <optional>
#include <string>

namespace veltrona::ctl {

// What VeltronaCtl needs of the operating system beyond the process platform. One
// implementation per OS.

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
