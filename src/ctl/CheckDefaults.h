#pragma once

#include <chrono>

namespace veltrona::ctl {

// The limits of echo and check where the command line sets none; the help text shows them.
inline constexpr std::chrono::milliseconds kDefaultEchoTimeout{5000};  // echo, check --timeout
inline constexpr std::chrono::milliseconds kDefaultEchoWarn{1000};     // check --echo-warn
inline constexpr double kDefaultDiskWarnPercent = 20;                  // check --disk-warn
inline constexpr double kDefaultDiskCritPercent = 10;                  // check --disk-crit

}  // namespace veltrona::ctl
