#pragma once

#include "TimeFormat.h"

namespace veltrona::app {

// Where the window reads the time of day for its status lines; tests fix it.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual TimeOfDay now() const = 0;
};

// The local time of day of the system clock.
class SystemClock : public Clock {
  public:
    TimeOfDay now() const override;
};

}  // namespace veltrona::app
