#pragma once

#include <chrono>

#include "Threshold.h"

namespace veltrona::ctl {

// The limits of echo and check where the command line sets none; the help text shows them.
inline constexpr std::chrono::milliseconds kDefaultEchoTimeout{5000};  // echo, check --timeout
inline constexpr std::chrono::milliseconds kDefaultEchoWarn{1000};     // check --echo-warn
inline constexpr double kDefaultDiskWarnPercent = 20;                  // check --disk-warn
inline constexpr double kDefaultDiskCritPercent = 10;                  // check --disk-crit
inline constexpr double kDefaultInodeWarnPercent = 10;                 // check --inode-warn
inline constexpr double kDefaultInodeCritPercent = 5;                  // check --inode-crit

// The same as thresholds: the echo's in seconds, the others in percent free.
inline constexpr Threshold kDefaultEchoWarnLine = Threshold::above(1);
inline constexpr Threshold kDefaultDiskWarnLine = Threshold::below(kDefaultDiskWarnPercent);
inline constexpr Threshold kDefaultDiskCritLine = Threshold::below(kDefaultDiskCritPercent);
inline constexpr Threshold kDefaultInodeWarnLine = Threshold::below(kDefaultInodeWarnPercent);
inline constexpr Threshold kDefaultInodeCritLine = Threshold::below(kDefaultInodeCritPercent);

}  // namespace veltrona::ctl
