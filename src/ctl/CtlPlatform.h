#pragma once

#include <optional>
#include <string>

#include "process/ProcessPlatform.h"

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

// The path of the listed process `entry` from the system's wide name, where the system has
// one and the listing's 8-bit path is that name in the system code page (on Windows, where
// a folder outside the code page is listed with substitute letters); else nothing, and the
// listing's path is the one to show.
struct WidePath {
    std::string utf8;
    // In the system code page for messages, a letter it lacks as "?", which no file name
    // holds: never another letter, which would name another folder.
    std::string shown;
};
std::optional<WidePath> wideExecutable(const process::ProcessEntry& entry);

}  // namespace veltrona::ctl
