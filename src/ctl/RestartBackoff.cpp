#include "RestartBackoff.h"

#include <algorithm>

namespace veltrona::ctl {

std::chrono::milliseconds RestartBackoff::afterCrash(std::chrono::steady_clock::duration uptime) {
    if (uptime >= kRecoveredAfter) {
        next_ = kFirstDelay;
    }
    const std::chrono::milliseconds delay = next_;
    next_ = std::min(next_ * 2, kLongestDelay);
    return delay;
}

}  // namespace veltrona::ctl
