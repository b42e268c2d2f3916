#include "TimeFormat.h"

#include <cstdio>

namespace veltrona::app {

namespace {

std::string twoDigits(int value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02d", value);
    return buffer;
}

}  // namespace

std::string formatTimeStamp(const TimeFormat& format, TimeOfDay time) {
    int hour = time.hour;
    const std::string& designator = hour < 12 ? format.am : format.pm;
    if (format.twelveHour) {
        hour %= 12;
        if (hour == 0) {
            hour = 12;
        }
    }
    std::string text;
    if (format.twelveHour && format.designatorFirst) {
        text += designator + " ";
    }
    text += (format.leadingZero || hour >= 10) ? twoDigits(hour) : std::to_string(hour);
    text += format.separator + twoDigits(time.minute) + format.separator + twoDigits(time.second);
    if (format.twelveHour && !format.designatorFirst) {
        text += " " + designator;
    }
    return text;
}

TimeFormat timeFormatFromPosix(std::string_view tFmt, std::string_view am, std::string_view pm) {
    // Expand the composite conversions first, so the scan below sees only hours,
    // minutes, seconds and the designator.
    std::string pattern;
    for (std::size_t i = 0; i < tFmt.size(); ++i) {
        if (tFmt[i] == '%' && i + 1 < tFmt.size()) {
            const char c = tFmt[i + 1];
            if (c == 'T') {
                pattern += "%H:%M:%S";
                ++i;
                continue;
            }
            if (c == 'r') {
                pattern += "%I:%M:%S %p";
                ++i;
                continue;
            }
            if (c == 'R') {
                pattern += "%H:%M";
                ++i;
                continue;
            }
        }
        pattern += tFmt[i];
    }

    TimeFormat format;
    format.am = am.empty() ? "AM" : std::string(am);
    format.pm = pm.empty() ? "PM" : std::string(pm);
    std::size_t hourAt = std::string::npos;
    std::size_t designatorAt = std::string::npos;
    for (std::size_t i = 0; i + 1 < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            continue;
        }
        std::size_t at = i;
        char c = pattern[i + 1];
        // Flags such as "%-I" or "%_H" only change the padding.
        if ((c == '-' || c == '_' || c == '0') && i + 2 < pattern.size()) {
            const bool noPadding = c == '-' || c == '_';
            c = pattern[i + 2];
            if (c == 'H' || c == 'I' || c == 'k' || c == 'l') {
                format.leadingZero = !noPadding;
            }
            ++i;
        }
        switch (c) {
            case 'H':
            case 'k':
                hourAt = at;
                format.twelveHour = false;
                if (c == 'k') {
                    format.leadingZero = false;
                }
                break;
            case 'I':
            case 'l':
                hourAt = at;
                format.twelveHour = true;
                if (c == 'l') {
                    format.leadingZero = false;
                }
                break;
            case 'p':
            case 'P':
                designatorAt = at;
                break;
            case 'M': {
                // The separator is whatever stands between the hour and the minutes.
                if (hourAt != std::string::npos) {
                    std::size_t hourEnd = pattern.find_first_of("HIkl", hourAt + 1) + 1;
                    format.separator = pattern.substr(hourEnd, at - hourEnd);
                }
                break;
            }
            default:
                break;
        }
        ++i;
    }
    if (format.twelveHour && designatorAt != std::string::npos) {
        format.designatorFirst = designatorAt < hourAt;
    }
    if (format.separator.empty()) {
        format.separator = ":";
    }
    return format;
}

}  // namespace veltrona::app
