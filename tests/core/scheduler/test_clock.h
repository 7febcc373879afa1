#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "core/model/task_time.h"
#include "core/scheduler/clock.h"
#include "support/test_support.h"

namespace keelvault::test {

// A clock the test sets and steps. It counts its readings, so a test can
// wait until a worker has looked at a new time.
class TestClock : public Clock {
public:
    explicit TestClock(const TaskTime& start) : now_(start) {}

    TaskTime now() const override {
        std::lock_guard lock(mutex_);
        reads_.fetch_add(1);
        return now_;
    }

    void set(const TaskTime& t) {
        std::lock_guard lock(mutex_);
        now_ = t;
    }

    void advanceSeconds(int64_t seconds) {
        std::lock_guard lock(mutex_);
        const int64_t total = now_.second + seconds;
        int64_t minutes = total / 60;
        int64_t second = total % 60;
        if (second < 0) {
            second += 60;
            --minutes;
        }
        now_ = addMinutes(now_, minutes);
        now_.second = static_cast<int32_t>(second);
    }

    void advanceMinutes(int64_t minutes) {
        std::lock_guard lock(mutex_);
        now_ = addMinutes(now_, minutes);
    }

    uint64_t reads() const { return reads_.load(); }

private:
    mutable std::mutex mutex_;
    mutable std::atomic<uint64_t> reads_{0};
    TaskTime now_;
};

}  // namespace keelvault::test
