#include "ctl/CtlPlatform.h"

namespace veltrona::ctl {

// The shell starts the server and hands back no process: its end cannot be learnt here.
LaunchWatch::LaunchWatch() = default;

std::optional<std::string> LaunchWatch::ended() {
    return std::nullopt;
}

}  // namespace veltrona::ctl
