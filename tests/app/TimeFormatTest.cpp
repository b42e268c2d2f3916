// Time stamps from the regional settings, and those settings read from a POSIX locale.
#include <gtest/gtest.h>

#include "app/TimeFormat.h"

namespace veltrona::app {
namespace {

TEST(TimeStamp, FollowsTheRegionalSettings) {
    const TimeFormat german{};
    const TimeFormat us{true, false, false, ":", "AM", "PM"};
    const TimeFormat usPadded{true, true, false, ":", "AM", "PM"};
    const TimeFormat designatorFirst{true, false, true, ".", "vm", "nm"};
    const TimeFormat noZero24{false, false, false, ".", "", ""};
    struct Row {
        const char* name;
        TimeFormat format;
        TimeOfDay time;
        const char* expected;
    };
    const Row rows[] = {
        {"german morning", german, {9, 5, 7}, "09:05:07"},
        {"german midnight", german, {0, 0, 0}, "00:00:00"},
        {"german evening", german, {23, 59, 59}, "23:59:59"},
        {"12h morning", us, {9, 5, 7}, "9:05:07 AM"},
        {"12h midnight is 12 AM", us, {0, 30, 0}, "12:30:00 AM"},
        {"12h noon is 12 PM", us, {12, 0, 1}, "12:00:01 PM"},
        {"12h afternoon", us, {13, 4, 5}, "1:04:05 PM"},
        {"12h padded", usPadded, {1, 2, 3}, "01:02:03 AM"},
        {"12h padded ten", usPadded, {22, 2, 3}, "10:02:03 PM"},
        {"designator first", designatorFirst, {15, 6, 7}, "nm 3.06.07"},
        {"24h without zero", noZero24, {7, 8, 9}, "7.08.09"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(formatTimeStamp(row.format, row.time), row.expected) << row.name;
    }
}

TEST(TimeStamp, ReadsPosixTimeFormats) {
    struct Row {
        const char* tFmt;
        TimeFormat expected;
    };
    const Row rows[] = {
        {"%H:%M:%S", {false, true, false, ":", "AM", "PM"}},
        {"%T", {false, true, false, ":", "AM", "PM"}},
        {"%r", {true, true, false, ":", "AM", "PM"}},
        {"%I:%M:%S %p", {true, true, false, ":", "AM", "PM"}},
        {"%l:%M:%S %p", {true, false, false, ":", "AM", "PM"}},
        {"%p %I:%M:%S", {true, true, true, ":", "AM", "PM"}},
        {"%-H.%M.%S", {false, false, false, ".", "AM", "PM"}},
        {"%k:%M:%S", {false, false, false, ":", "AM", "PM"}},
        {"%Hh%Mm%Ss", {false, true, false, "h", "AM", "PM"}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(timeFormatFromPosix(row.tFmt, "AM", "PM"), row.expected) << row.tFmt;
    }
    // The locale's own designators are kept; a locale without any falls back to AM/PM.
    EXPECT_EQ(timeFormatFromPosix("%r", "vorm.", "nachm.").pm, "nachm.");
    EXPECT_EQ(timeFormatFromPosix("%H:%M:%S", "", "").am, "AM");
}

}  // namespace
}  // namespace veltrona::app
