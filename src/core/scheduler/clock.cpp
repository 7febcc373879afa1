#include "core/scheduler/clock.h"

#include <ctime>

namespace keelvault {

std::chrono::milliseconds SystemClock::untilNextMinute() const {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    const long into_minute_ms = local.tm_sec * 1000L + ts.tv_nsec / 1000000L;
    return std::chrono::milliseconds(60000L - into_minute_ms);
}

const Clock& systemClock() {
    static const SystemClock clock;
    return clock;
}

}  // namespace keelvault
