#pragma once

#include <chrono>

#include "core/model/task_time.h"

namespace keelvault {

// Source of the local wall-clock time for workers and retention. Tests put a
// settable clock in its place.
class Clock {
public:
    virtual ~Clock() = default;
    virtual TaskTime now() const = 0;
    // Time left until the next minute begins; the maximum when the clock
    // cannot tell (a stepped test clock), so that waits use their own cycle.
    virtual std::chrono::milliseconds untilNextMinute() const { return std::chrono::milliseconds::max(); }
};

class SystemClock : public Clock {
public:
    TaskTime now() const override { return currentLocalTime(); }
    std::chrono::milliseconds untilNextMinute() const override;
};

// One process-wide system clock, the default of every environment.
const Clock& systemClock();

}  // namespace keelvault
