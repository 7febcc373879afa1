#include <gtest/gtest.h>

#include <thread>

#include "core/scheduler/clock.h"

namespace keelvault {
namespace {

TEST(SystemClock, TellsTheTimeLeftInTheCurrentMinute) {
    const SystemClock clock;
    for (int i = 0; i < 3; ++i) {
        const TaskTime before = clock.now();
        const auto left = clock.untilNextMinute().count();
        const TaskTime after = clock.now();
        if (before.minute != after.minute) continue;  // read across a boundary; try again
        EXPECT_GT(left, 0);
        EXPECT_LE(left, 60000);
        // The seconds already gone and the milliseconds left make one minute.
        EXPECT_NEAR(static_cast<double>(before.second) * 1000 + static_cast<double>(left), 60000.0, 1000.0);
        return;
    }
    FAIL() << "the minute kept changing";
}

}  // namespace
}  // namespace keelvault
