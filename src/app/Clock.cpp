#include "Clock.h"

#include <ctime>

namespace veltrona::app {

TimeOfDay SystemClock::now() const {
    // Only the user-interface thread reads the clock, so localtime's shared buffer is safe.
    const std::time_t seconds = std::time(nullptr);
    const std::tm* local = std::localtime(&seconds);
    if (local == nullptr) {
        return {};
    }
    return {local->tm_hour, local->tm_min, local->tm_sec};
}

}  // namespace veltrona::app
