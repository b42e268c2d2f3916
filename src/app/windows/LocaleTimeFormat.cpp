// The user's long time format from the regional settings of Windows.
#include <windows.h>

#include <optional>
#include <string>

#include "app/TimeFormat.h"
#include "config/text/windows/WideText.h"

namespace veltrona::app {

namespace {

// One value of the user's locale in the ANSI code page; nothing when it cannot be read.
std::optional<std::string> localeValue(LCTYPE type) {
    const int size = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, nullptr, 0);
    if (size <= 0) {
        return std::nullopt;
    }
    std::string value(static_cast<std::size_t>(size), '\0');
    const int written = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, value.data(), size);
    if (written <= 0) {
        return std::nullopt;
    }
    value.resize(static_cast<std::size_t>(written - 1));  // without the closing zero
    return value;
}

// The time stamp is composed as UTF-8; the locale answers in the ANSI code page.
std::string ansiToUtf8(const std::string& ansi) {
    return config::narrow(config::widen(ansi, CP_ACP), CP_UTF8);
}

// The switches hold "0" or "1"; anything that is not "0" counts as set, as the system's
// own formatter reads them.
void readSwitch(LCTYPE type, bool& target) {
    if (const auto value = localeValue(type)) {
        target = *value != "0";
    }
}

void readText(LCTYPE type, std::string& target) {
    if (const auto value = localeValue(type)) {
        target = ansiToUtf8(*value);
    }
}

}  // namespace

// A value the system cannot give keeps the default of TimeFormat.
TimeFormat readLocaleTimeFormat() {
    TimeFormat format;
    bool twentyFourHour = !format.twelveHour;
    readSwitch(LOCALE_ITIME, twentyFourHour);
    format.twelveHour = !twentyFourHour;
    readSwitch(LOCALE_ITLZERO, format.leadingZero);
    readSwitch(LOCALE_ITIMEMARKPOSN, format.designatorFirst);
    readText(LOCALE_STIME, format.separator);
    readText(LOCALE_S1159, format.am);
    readText(LOCALE_S2359, format.pm);
    return format;
}

}  // namespace veltrona::app
