// The time format read from the regional settings writes time stamps as the system's own
// time formatter does with the user's long time format.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/TimeFormat.h"

namespace veltrona::app {
namespace {

std::string systemTimeStamp(TimeOfDay time) {
    SYSTEMTIME when{};
    when.wYear = 2024;
    when.wMonth = 3;
    when.wDay = 1;
    when.wHour = static_cast<WORD>(time.hour);
    when.wMinute = static_cast<WORD>(time.minute);
    when.wSecond = static_cast<WORD>(time.second);
    char text[128] = {};
    EXPECT_GT(GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &when, nullptr, text, sizeof text), 0);
    return text;
}

TEST(LocaleTimeFormat, WritesTimeStampsAsTheSystemDoes) {
    const TimeFormat format = readLocaleTimeFormat();
    EXPECT_FALSE(format.separator.empty());
    if (format.twelveHour) {
        EXPECT_FALSE(format.am.empty());
        EXPECT_FALSE(format.pm.empty());
    }
    const TimeOfDay times[] = {{0, 0, 0},  {9, 5, 7},  {11, 59, 59},
                               {12, 0, 0}, {13, 5, 7}, {23, 59, 59}};
    for (const TimeOfDay time : times) {
        SCOPED_TRACE(std::to_string(time.hour) + ":" + std::to_string(time.minute) + ":" +
                     std::to_string(time.second));
        // The system's text is in the ANSI code page; these locales write it in ASCII.
        EXPECT_EQ(formatTimeStamp(format, time), systemTimeStamp(time));
    }
}

}  // namespace
}  // namespace veltrona::app
