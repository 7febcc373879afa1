#include "core/scheduler/worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "core/scheduler/scheduler_fixture.h"

namespace keelvault::test {
namespace {

using namespace std::chrono_literals;

class WorkerTest : public SchedulerTest {
protected:
    // An engine that records the clock time of each run.
    void registerRecordingEngine(int type) {
        env.registerEngine(type, [this](RunContext& ctx) {
            std::lock_guard lock(times_mutex);
            run_times.push_back(ctx.now());
            runs.fetch_add(1);
            return EngineResult::Finished;
        });
    }

    std::vector<TaskTime> runTimes() {
        std::lock_guard lock(times_mutex);
        return run_times;
    }

    // Steps the clock second by second, letting the worker look at every step.
    void stepSeconds(int seconds) {
        for (int i = 0; i < seconds; ++i) {
            clock.advanceSeconds(1);
            letWorkerSee();
        }
    }

    void stepMinutes(int minutes) {
        for (int i = 0; i < minutes; ++i) {
            clock.advanceMinutes(1);
            letWorkerSee();
        }
    }

    TaskTime nextRun(const CTask& task) const {
        std::lock_guard lock(task.mutex());
        return task.next_run;
    }

    std::mutex times_mutex;
    std::vector<TaskTime> run_times;
};

TEST_F(WorkerTest, EveryDayTaskRunsOnceInItsMinute) {
    registerRecordingEngine(kTypeBackupToServer);
    CTask daily = makeTask("daily", kScheduleEveryDay);
    daily.schedule.hour = 10;
    daily.schedule.minute = 30;
    clock.set(makeTime(2024, 5, 10, 10, 29, 50));
    server.setEnvironment(&env);
    server.addTask(daily);
    CTask& task = server.taskAt(0);
    startAndSettle(0);
    EXPECT_EQ(nextRun(task), makeTime(2024, 5, 10, 10, 30, 0));

    stepSeconds(10);  // 10:30:00
    ASSERT_TRUE(waitUntil([&] { return runs.load() == 1 && task.status.load() == kStatusWaiting; }));
    stepSeconds(59);  // through 10:30:59, the due test asked many times
    EXPECT_EQ(runs.load(), 1);
    EXPECT_EQ(nextRun(task), makeTime(2024, 5, 10, 10, 30, 0));  // shows the minute until it has passed
    stepSeconds(1);                                              // 10:31:00
    EXPECT_EQ(runs.load(), 1);
    EXPECT_EQ(nextRun(task), makeTime(2024, 5, 11, 10, 30, 0));
    EXPECT_EQ(lastRun(task), makeTime(2024, 5, 10, 10, 30, 0));
    EXPECT_TRUE(server.hasWorker(0));
}

TEST_F(WorkerTest, TimeIntervalCountsFromTheWorkerStartAndMissesBusyMinutes) {
    // The first run lasts until 09:38, so 09:37 passes while the task is busy.
    bool first = true;
    env.registerEngine(kTypeBackupToServer, [&](RunContext& ctx) {
        {
            std::lock_guard lock(times_mutex);
            run_times.push_back(ctx.now());
        }
        if (first) {
            first = false;
            clock.set(makeTime(2024, 5, 10, 9, 38, 0));
        }
        runs.fetch_add(1);
        return EngineResult::Finished;
    });
    CTask interval = makeTask("interval", kScheduleTimeInterval);
    interval.schedule.interval_minutes = 15;
    clock.set(makeTime(2024, 5, 10, 9, 7, 50));
    server.setEnvironment(&env);
    server.addTask(interval);
    CTask& task = server.taskAt(0);
    startAndSettle(0);
    {
        std::lock_guard lock(task.mutex());
        EXPECT_EQ(task.started_at, makeTime(2024, 5, 10, 9, 7, 50));
    }

    clock.set(makeTime(2024, 5, 10, 9, 21, 0));
    letWorkerSee();
    EXPECT_EQ(runs.load(), 0);
    stepMinutes(1);  // 09:22: the first run, which ends at 09:38
    ASSERT_TRUE(waitUntil([&] { return runs.load() == 1 && task.status.load() == kStatusWaiting; }));
    stepMinutes(15);  // 09:53
    ASSERT_TRUE(waitUntil([&] { return runs.load() == 2 && task.status.load() == kStatusWaiting; }));

    const std::vector<TaskTime> times = runTimes();
    ASSERT_EQ(times.size(), 2u);
    EXPECT_EQ(times[0], makeTime(2024, 5, 10, 9, 22, 0));
    EXPECT_EQ(times[1], makeTime(2024, 5, 10, 9, 52, 0));
    EXPECT_EQ(nextRun(task), makeTime(2024, 5, 10, 10, 7, 0));
}

TEST_F(WorkerTest, RunSequenceOfAScheduledTask) {
    std::vector<std::pair<std::string, EngineResult>> finished;
    std::mutex finished_mutex;
    env.run_finished = [&](CTask& task, const RunOutcome& outcome) {
        std::lock_guard lock(finished_mutex);
        finished.emplace_back(logTexts(task).back(), outcome.result);
        EXPECT_EQ(task.status.load(), kStatusWaiting);
    };
    auto finishedCount = [&] {
        std::lock_guard lock(finished_mutex);
        return finished.size();
    };
    std::vector<std::string> listened;
    env.log_listener = [&](const CTask&, const LogRecord& record) {
        std::lock_guard lock(finished_mutex);
        listened.push_back(record.text);
    };
    std::atomic<EngineResult> next_result{EngineResult::Failed};
    env.registerEngine(kTypeBackupToServer, [&](RunContext& ctx) {
        runs.fetch_add(1);
        status_in_engine = ctx.task().status.load();
        const EngineResult result = next_result.load();
        if (result == EngineResult::Failed) ctx.log(kLogError, "Can't connect");
        return result;
    });
    clock.set(makeTime(2024, 5, 10, 9, 0, 5));
    server.setEnvironment(&env);
    server.addTask(makeTask("daily", kScheduleEveryDay));
    CTask& task = server.taskAt(0);
    task.run_now = 1;
    server.startTask(0);

    // A failure the engine has logged does not end a scheduled worker.
    ASSERT_TRUE(waitUntil([&] { return finishedCount() == 1; }));
    EXPECT_EQ(task.status.load(), kStatusWaiting);
    EXPECT_EQ(status_in_engine.load(), kStatusRunning);
    EXPECT_EQ(lastRun(task), makeTime(2024, 5, 10, 9, 0, 5));
    EXPECT_TRUE(server.hasWorker(0));

    next_result = EngineResult::Finished;
    clock.advanceSeconds(1);
    task.run_now = 1;
    server.startTask(0);
    ASSERT_TRUE(waitUntil([&] { return finishedCount() == 2; }));
    EXPECT_EQ(lastRun(task), makeTime(2024, 5, 10, 9, 0, 6));

    EXPECT_EQ(logTexts(task), (std::vector<std::string>{"Running...", "Can't connect", "Running...", "Finished"}));
    const std::vector<LogRecord> log = logOf(task);
    EXPECT_EQ(log[0].time, makeTime(2024, 5, 10, 9, 0, 5));
    std::lock_guard lock(finished_mutex);
    EXPECT_EQ(finished, (std::vector<std::pair<std::string, EngineResult>>{{"Can't connect", EngineResult::Failed},
                                                                           {"Finished", EngineResult::Finished}}));
    EXPECT_EQ(listened, logTexts(task));
}

TEST_F(WorkerTest, FailedManualRunEndsTheWorkerIdle) {
    registerCountingEngine(kTypeBackupToServer, EngineResult::Failed);
    server.setEnvironment(&env);
    server.addTask(makeTask("manual", kScheduleManual));
    CTask& task = server.taskAt(0);
    task.run_now = 1;
    server.startTask(0);
    ASSERT_TRUE(waitUntil([&] { return !server.hasWorker(0); }));
    EXPECT_EQ(runs.load(), 1);
    EXPECT_EQ(task.status.load(), kStatusIdle);
    EXPECT_EQ(logTexts(task), std::vector<std::string>{"Running..."});
}

TEST_F(WorkerTest, OversizeLogIsDeletedBeforeTheRun) {
    registerCountingEngine(kTypeBackupToServer);
    CSystemOptions options;
    options.log_size_limited = 1;
    options.max_log_size_kb = 1;
    env.updateOptions(options);
    server.setEnvironment(&env);
    server.addTask(makeTask("manual", kScheduleManual));
    CTask& task = server.taskAt(0);
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(appendLog(env.logsFolder(), task.log_name, kLogInfo, "old line", env.now()));

    task.run_now = 1;
    server.startTask(0);
    ASSERT_TRUE(waitUntil([&] { return !server.hasWorker(0); }));
    EXPECT_EQ(logTexts(task), (std::vector<std::string>{"Running...", "Finished"}));
}

TEST_F(WorkerTest, ServiceFlagWhileWaitingEndsTheWorkerInServiceState) {
    registerCountingEngine(kTypeBackupToServer);
    server.setEnvironment(&env);
    server.addTask(makeTask("daily", kScheduleEveryDay));
    CTask& task = server.taskAt(0);
    startAndSettle(0);

    env.service_running = true;
    ASSERT_TRUE(waitUntil([&] { return !server.hasWorker(0); }));
    EXPECT_EQ(task.status.load(), kStatusService);
    EXPECT_EQ(runs.load(), 0);
}

TEST_F(WorkerTest, ServiceFlagBeforeARunRequestConsumesItWithoutRunning) {
    registerCountingEngine(kTypeBackupToServer);
    env.service_running = true;
    server.setEnvironment(&env);
    server.addTask(makeTask("manual", kScheduleManual));
    CTask& task = server.taskAt(0);
    task.run_now = 1;
    server.startTask(0);
    ASSERT_TRUE(waitUntil([&] { return !server.hasWorker(0); }));
    EXPECT_EQ(task.status.load(), kStatusService);
    EXPECT_EQ(task.run_now.load(), 0);
    EXPECT_EQ(runs.load(), 0);
    EXPECT_TRUE(logTexts(task).empty());
}

TEST_F(WorkerTest, ServiceFlagSetDuringARunEndsTheWorkerAfterIt) {
    env.registerEngine(kTypeBackupToServer, [&](RunContext& ctx) {
        ctx.env().service_running = true;
        runs.fetch_add(1);
        return EngineResult::Finished;
    });
    server.setEnvironment(&env);
    server.addTask(makeTask("daily", kScheduleEveryDay));
    CTask& task = server.taskAt(0);
    task.run_now = 1;
    server.startTask(0);
    ASSERT_TRUE(waitUntil([&] { return !server.hasWorker(0); }));
    EXPECT_EQ(runs.load(), 1);
    EXPECT_EQ(task.status.load(), kStatusService);
    EXPECT_EQ(logTexts(task), (std::vector<std::string>{"Running...", "Finished"}));
}

// Retention runs in the wait cycle of backup-to-files tasks only.
TEST_F(WorkerTest, WaitCycleAppliesRetentionToBackupTasks) {
    registerCountingEngine(kTypeBackupToFiles);
    registerCountingEngine(kTypeBackupToServer);
    std::atomic<int> saves{0};
    env.save_task_list = [&] {
        saves.fetch_add(1);
        return server.saveTasksTo(env.taskListPath());
    };
    server.setEnvironment(&env);
    for (uint8_t type : {kTypeBackupToFiles, kTypeBackupToServer}) {
        CTask task = makeTask("type" + std::to_string(type), kScheduleEveryDay, type);
        task.backup_options.retention_kind = 2;
        task.backup_options.retention_limit = 1;
        for (int i = 0; i < 2; ++i) {
            const auto file = dir.path() / (task.name + "_" + std::to_string(i) + ".sql");
            writeFile(file, "dump");
            CBackupRecord record;
            record.year = 2024;
            record.month = 5;
            record.day = 1 + i;
            record.files.push_back(file.string());
            task.backups.push_back(record);
        }
        server.addTask(task);
    }
    server.startTask(0);
    server.startTask(1);
    ASSERT_TRUE(waitUntil([&] { return saves.load() == 1; }));
    letWorkerSee(20);

    EXPECT_EQ(saves.load(), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "type1_0.sql"));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "type1_1.sql"));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "type2_0.sql"));
    EXPECT_EQ(server.copyTask(0).backups.size(), 1u);
    EXPECT_EQ(server.copyTask(1).backups.size(), 2u);
    EXPECT_EQ(runs.load(), 0);
}

}  // namespace
}  // namespace keelvault::test
