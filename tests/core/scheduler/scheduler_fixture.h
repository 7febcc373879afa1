#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/model/task.h"
#include "core/model/task_log.h"
#include "core/scheduler/task_environment.h"
#include "core/scheduler/task_server.h"
#include "core/scheduler/test_clock.h"
#include "support/test_support.h"

namespace keelvault::test {

// Polls until `done` holds or the timeout passes; returns the last result.
template <class Pred>
bool waitUntil(Pred done, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A server with a throwaway data folder and a test clock. The server is the
// last member, so its workers are stopped before anything they use goes.
class SchedulerTest : public ::testing::Test {
protected:
    SchedulerTest() {
        env.data_folder = dir.path();
        env.clock = &clock;
        env.wait_cycle = std::chrono::milliseconds(2);
    }

    static CTask makeTask(const std::string& name, uint8_t kind, uint8_t type = kTypeBackupToServer) {
        CTask task;
        task.name = name;
        task.log_name = name + ".log";
        task.task_type = type;
        task.schedule.kind = kind;
        task.applyScheduleStatus();
        return task;
    }

    // An engine that counts its runs and returns `result`.
    void registerCountingEngine(int type, EngineResult result = EngineResult::Finished) {
        env.registerEngine(type, [this, result](RunContext& ctx) {
            status_in_engine = ctx.task().status.load();
            runs.fetch_add(1);
            return result;
        });
    }

    std::vector<LogRecord> logOf(const CTask& task) const { return readAllLog(env.logsFolder(), task.log_name); }

    std::vector<std::string> logTexts(const CTask& task) const {
        std::vector<std::string> texts;
        for (const LogRecord& r : logOf(task)) texts.push_back(r.text);
        return texts;
    }

    TaskTime lastRun(const CTask& task) const {
        std::lock_guard lock(task.mutex());
        return task.last_run;
    }

    // Starts a scheduled task and returns once its worker is in the wait cycle.
    void startAndSettle(int index) {
        server.startTask(index);
        ASSERT_TRUE(server.hasWorker(index));
        const CTask& task = server.taskAt(index);
        ASSERT_TRUE(waitUntil([&] {
            std::lock_guard lock(task.mutex());
            return task.started_at.isSet() && task.next_run.isSet();
        }));
    }

    // Lets the worker evaluate the current time a few times.
    void letWorkerSee(uint64_t readings = 4) {
        const uint64_t target = clock.reads() + readings;
        ASSERT_TRUE(waitUntil([&] { return clock.reads() >= target; }));
    }

    TempDir dir;
    TestClock clock{makeTime(2024, 5, 10, 9, 0, 0)};
    TaskEnvironment env;
    std::atomic<int> runs{0};
    std::atomic<int> status_in_engine{0};
    TaskServer server;
};

}  // namespace keelvault::test
