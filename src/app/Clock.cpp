#include "Clock.h"

#include <QTime>

namespace veltrona::app {

TimeOfDay SystemClock::now() const {
    const QTime time = QTime::currentTime();
    return {time.hour(), time.minute(), time.second()};
}

}  // namespace veltrona::app
