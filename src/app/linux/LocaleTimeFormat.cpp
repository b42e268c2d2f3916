// The time format of the C library's LC_TIME locale, as the environment selects it.
#include <langinfo.h>

#include <clocale>

#include "app/TimeFormat.h"

namespace veltrona::app {

TimeFormat readLocaleTimeFormat() {
    // Qt's application object has already called setlocale(LC_ALL, ""); calling it for
    // LC_TIME again picks up a changed environment when the locale is re-read.
    std::setlocale(LC_TIME, "");
    return timeFormatFromPosix(nl_langinfo(T_FMT), nl_langinfo(AM_STR), nl_langinfo(PM_STR));
}

}  // namespace veltrona::app
