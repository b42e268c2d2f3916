#pragma once

#include <string>
#include <string_view>

namespace veltrona::app {

// The user's long time format, reduced to what a time stamp needs.
struct TimeFormat {
    bool twelveHour = false;       // hours 1..12 with an AM/PM designator
    bool leadingZero = true;       // hours below 10 get a leading zero
    bool designatorFirst = false;  // the designator stands before the time
    std::string separator = ":";
    std::string am = "AM";
    std::string pm = "PM";

    bool operator==(const TimeFormat&) const = default;
};

struct TimeOfDay {
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
    int second = 0;  // 0..59
};

// The time of day without the date, as the time format writes it: German settings give
// "09:05:07" at five past nine.
std::string formatTimeStamp(const TimeFormat& format, TimeOfDay time);

// The time format that a POSIX locale's T_FMT describes ("%H:%M:%S", "%I:%M:%S %p",
// "%r", "%T", "%l.%M.%S" ...), with that locale's AM and PM strings.
TimeFormat timeFormatFromPosix(std::string_view tFmt, std::string_view am, std::string_view pm);

// The current user's time format, read from the system's regional settings.
TimeFormat readLocaleTimeFormat();

}  // namespace veltrona::app
