#include "core/scheduler/task_server.h"

#include <gtest/gtest.h>
#include <mysql.h>

#include <chrono>
#include <stdexcept>
#include <string>

#include "core/model/task_list_file.h"
#include "core/scheduler/scheduler_fixture.h"

namespace keelvault::test {
namespace {

using namespace std::chrono_literals;

using TaskServerTest = SchedulerTest;

TEST_F(TaskServerTest, StartAllAndStopAllReportMisuse) {
    registerCountingEngine(kTypeBackupToServer);
    server.addTask(makeTask("daily", kScheduleEveryDay));

    EXPECT_EQ(server.stopAll(), -5003);
    EXPECT_EQ(server.startAll(nullptr), -5004);
    EXPECT_FALSE(server.isStarted());

    ASSERT_EQ(server.startAll(&env), 0);
    EXPECT_TRUE(server.isStarted());
    EXPECT_TRUE(server.hasWorker(0));

    // A second start must not start anything, not even a stopped task.
    server.stopTask(0);
    ASSERT_FALSE(server.hasWorker(0));
    EXPECT_EQ(server.startAll(&env), -5001);
    EXPECT_FALSE(server.hasWorker(0));

    EXPECT_EQ(server.stopAll(), 0);
    EXPECT_FALSE(server.isStarted());
    EXPECT_EQ(server.taskCount(), 0);
    EXPECT_EQ(server.environment(), nullptr);
    EXPECT_EQ(server.stopAll(), -5003);
}

TEST_F(TaskServerTest, StopAllEndsEveryWorker) {
    registerCountingEngine(kTypeBackupToServer);
    for (int i = 0; i < 5; ++i) server.addTask(makeTask("t" + std::to_string(i), kScheduleEveryDay));
    CTask manual = makeTask("manual", kScheduleManual);
    server.addTask(manual);
    ASSERT_EQ(server.startAll(&env), 0);

    std::vector<std::shared_ptr<const CTask>> records = server.tasks();
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(server.hasWorker(i)) << i;
    EXPECT_FALSE(server.hasWorker(5));  // Manual without a run request

    ASSERT_EQ(server.stopAll(), 0);
    for (const auto& record : records) EXPECT_EQ(record->status.load(), kStatusIdle) << record->name;
}

TEST_F(TaskServerTest, AddTaskStoresADeepCopyWithAFreshRefText) {
    clock.set(makeTime(2024, 5, 10, 9, 3, 7));
    server.setEnvironment(&env);
    CTask task = makeTask("one", kScheduleEveryDay);
    task.ref_text = "old";
    task.run_now = 1;
    task.backups.push_back(CBackupRecord{});

    EXPECT_EQ(server.addTask(task), 0);
    EXPECT_EQ(server.addTask(task), 1);  // same second: told apart by the count
    EXPECT_EQ(server.taskAt(0).ref_text, "20245109370");
    EXPECT_EQ(server.taskAt(1).ref_text, "20245109371");
    EXPECT_EQ(server.taskAt(0).run_now.load(), 0);

    task.name = "changed";
    task.backups.clear();
    EXPECT_EQ(server.taskAt(0).name, "one");
    EXPECT_EQ(server.taskAt(0).backups.size(), 1u);

    // taskAt is the record itself, copyTask a copy.
    server.taskAt(0).comment = "edited";
    CTask copy = server.copyTask(0);
    EXPECT_EQ(copy.comment, "edited");
    copy.comment = "copy only";
    EXPECT_EQ(server.taskAt(0).comment, "edited");
    EXPECT_EQ(server.copyTask(7), CTask());
    EXPECT_EQ(server.copyTask(-1), CTask());
}

TEST_F(TaskServerTest, RefTextHasNoSeparatorsOrLeadingZeros) {
    clock.set(makeTime(2031, 12, 31, 23, 59, 58));
    server.setEnvironment(&env);
    for (int i = 0; i < 11; ++i) server.addTask(makeTask("t", kScheduleManual));
    EXPECT_EQ(server.taskAt(0).ref_text, "203112312359580");
    EXPECT_EQ(server.taskAt(10).ref_text, "2031123123595810");
}

TEST_F(TaskServerTest, RemoveTaskClosesTheGapAndIgnoresBadIndexes) {
    for (const char* name : {"a", "b", "c", "d"}) server.addTask(makeTask(name, kScheduleManual));
    server.removeTask(4);
    server.removeTask(-1);
    ASSERT_EQ(server.taskCount(), 4);
    server.removeTask(1);
    ASSERT_EQ(server.taskCount(), 3);
    EXPECT_EQ(server.taskAt(0).name, "a");
    EXPECT_EQ(server.taskAt(1).name, "c");
    EXPECT_EQ(server.taskAt(2).name, "d");
    server.removeAll();
    EXPECT_EQ(server.taskCount(), 0);
}

TEST_F(TaskServerTest, RemovingATaskWithAWorkerStopsIt) {
    registerCountingEngine(kTypeBackupToServer);
    server.setEnvironment(&env);
    server.addTask(makeTask("daily", kScheduleEveryDay));
    std::shared_ptr<const CTask> record = server.tasks().at(0);
    server.startTask(0);
    ASSERT_TRUE(server.hasWorker(0));
    server.removeTask(0);
    EXPECT_EQ(server.taskCount(), 0);
    // The caller's reference keeps the record valid after removal.
    EXPECT_EQ(record->name, "daily");
    EXPECT_EQ(record->status.load(), kStatusIdle);
}

struct StartCase {
    const char* what;
    uint8_t kind;
    uint8_t type;
    uint8_t run_now;
    bool engine_registered;
    bool expect_worker;
};

TEST_F(TaskServerTest, StartTaskCreatesAWorkerOnlyWhenItShould) {
    const StartCase cases[] = {
        {"scheduled", kScheduleEveryDay, kTypeBackupToServer, 0, true, true},
        {"manual without run request", kScheduleManual, kTypeBackupToServer, 0, true, false},
        {"type code 0", kScheduleEveryDay, 0, 0, true, false},
        {"type code 9", kScheduleEveryDay, 9, 0, true, false},
        {"no engine for the type", kScheduleEveryDay, kTypeExport, 0, false, false},
    };
    server.setEnvironment(&env);
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.what);
        env.registerEngine(c.type,
                           c.engine_registered ? Engine([](RunContext&) { return EngineResult::Finished; }) : Engine());
        const int index = server.addTask(makeTask(c.what, c.kind, c.type));
        server.taskAt(index).run_now = c.run_now;
        server.startTask(index);
        EXPECT_EQ(server.hasWorker(index), c.expect_worker);
        server.stopTask(index);
    }
}

TEST_F(TaskServerTest, StartTaskWithoutEnvironmentDoesNothing) {
    registerCountingEngine(kTypeBackupToServer);
    server.addTask(makeTask("daily", kScheduleEveryDay));
    server.startTask(0);
    EXPECT_FALSE(server.hasWorker(0));
}

TEST_F(TaskServerTest, ManualTaskRunImmediatelyRunsOnceAndEndsIdle) {
    registerCountingEngine(kTypeBackupToServer);
    std::vector<EngineResult> finished;
    std::mutex finished_mutex;
    env.run_finished = [&](CTask& task, const RunOutcome& outcome) {
        std::lock_guard lock(finished_mutex);
        finished.push_back(outcome.result);
        EXPECT_EQ(task.status.load(), kStatusIdle);
    };
    server.setEnvironment(&env);
    server.addTask(makeTask("manual", kScheduleManual));
    CTask& task = server.taskAt(0);
    ASSERT_EQ(task.status.load(), kStatusIdle);

    task.run_now = 1;
    server.startTask(0);
    ASSERT_TRUE(waitUntil([&] { return !server.hasWorker(0); }));

    EXPECT_EQ(runs.load(), 1);
    EXPECT_EQ(status_in_engine.load(), kStatusRunning);
    EXPECT_EQ(task.status.load(), kStatusIdle);
    EXPECT_EQ(task.run_now.load(), 0);
    EXPECT_EQ(logTexts(task), (std::vector<std::string>{"Running...", "Finished"}));
    std::lock_guard lock(finished_mutex);
    EXPECT_EQ(finished, std::vector<EngineResult>{EngineResult::Finished});
}

TEST_F(TaskServerTest, StartingAStartedTaskMakesNoSecondWorker) {
    registerCountingEngine(kTypeBackupToServer);
    server.setEnvironment(&env);
    server.addTask(makeTask("daily", kScheduleEveryDay));
    CTask& task = server.taskAt(0);
    const TaskTime first_start = clock.now();
    startAndSettle(0);

    // A second worker would record its own start time.
    clock.advanceMinutes(3);
    server.startTask(0);
    letWorkerSee();
    std::lock_guard lock(task.mutex());
    EXPECT_EQ(task.started_at, first_start);
}

TEST_F(TaskServerTest, RunRequestToAWaitingWorkerIsServed) {
    registerCountingEngine(kTypeBackupToServer);
    server.setEnvironment(&env);
    server.addTask(makeTask("daily", kScheduleEveryDay));
    CTask& task = server.taskAt(0);
    startAndSettle(0);

    task.run_now = 1;
    server.startTask(0);
    ASSERT_TRUE(waitUntil([&] { return runs.load() == 1 && task.status.load() == kStatusWaiting; }));
    EXPECT_EQ(task.run_now.load(), 0);
    EXPECT_TRUE(server.hasWorker(0));  // a scheduled task keeps waiting
}

TEST_F(TaskServerTest, StopTaskWithoutWorkerStillSetsIdle) {
    server.addTask(makeTask("daily", kScheduleEveryDay));
    ASSERT_EQ(server.taskAt(0).status.load(), kStatusWaiting);
    server.stopTask(0);
    EXPECT_EQ(server.taskAt(0).status.load(), kStatusIdle);
    server.stopTask(3);  // ignored
}

TEST_F(TaskServerTest, StopWhileWaitingIsSeenWithinOneCycle) {
    env.wait_cycle = 100ms;
    registerCountingEngine(kTypeBackupToServer);
    server.setEnvironment(&env);
    server.addTask(makeTask("daily", kScheduleEveryDay));
    server.taskAt(0).status = kStatusIdle;
    startAndSettle(0);
    EXPECT_EQ(server.taskAt(0).status.load(), kStatusWaiting);

    const auto begin = std::chrono::steady_clock::now();
    server.stopTask(0);
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_LT(took, 100ms);
    EXPECT_FALSE(server.hasWorker(0));
    EXPECT_EQ(server.taskAt(0).status.load(), kStatusIdle);
    EXPECT_EQ(runs.load(), 0);
}

TEST_F(TaskServerTest, StopDuringARunCancelsIt) {
    std::atomic<bool> in_engine{false};
    env.registerEngine(kTypeBackupToServer, [&](RunContext& ctx) {
        in_engine = true;
        while (!ctx.stopRequested()) std::this_thread::sleep_for(1ms);
        return EngineResult::Canceled;
    });
    std::atomic<int> canceled_reports{0};
    env.run_finished = [&](CTask&, const RunOutcome& outcome) {
        if (outcome.result == EngineResult::Canceled) canceled_reports.fetch_add(1);
    };
    server.setEnvironment(&env);
    server.addTask(makeTask("daily", kScheduleEveryDay));
    CTask& task = server.taskAt(0);
    task.run_now = 1;
    server.startTask(0);
    ASSERT_TRUE(waitUntil([&] { return in_engine.load(); }));
    EXPECT_EQ(task.status.load(), kStatusRunning);

    server.stopTask(0);
    EXPECT_FALSE(server.hasWorker(0));
    EXPECT_EQ(task.status.load(), kStatusIdle);
    EXPECT_EQ(canceled_reports.load(), 1);
    const std::vector<LogRecord> log = logOf(task);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].text, "Running...");
    EXPECT_EQ(log[1].text, "User canceled!");
    EXPECT_EQ(log[1].level, kLogWarning);
}

TEST_F(TaskServerTest, StopCancelsAServerCallThatIgnoresIt) {
    KEELVAULT_REQUIRE_SERVER(1);
    const CServerSettings settings = testServerSettings(1);
    std::atomic<bool> querying{false};
    std::atomic<bool> query_failed{false};
    env.registerEngine(kTypeBackupToServer, [&](RunContext& ctx) {
        MYSQL* mysql = mysql_init(nullptr);
        ctx.registerConnection(mysql);
        EngineResult result = EngineResult::Failed;
        if (mysql_real_connect(mysql, settings.host.c_str(), settings.user.c_str(), settings.password.c_str(), nullptr,
                               static_cast<unsigned>(settings.port), nullptr, 0) != nullptr) {
            querying = true;
            query_failed = mysql_query(mysql, "SELECT SLEEP(60)") != 0;
            if (!query_failed) mysql_free_result(mysql_store_result(mysql));
            if (ctx.stopRequested()) result = EngineResult::Canceled;
        } else {
            ctx.log(kLogError, mysql_error(mysql));
        }
        ctx.unregisterConnection(mysql);
        mysql_close(mysql);
        return result;
    });
    server.setEnvironment(&env);
    server.addTask(makeTask("stuck", kScheduleEveryDay));
    CTask& task = server.taskAt(0);
    task.run_now = 1;
    server.startTask(0);
    ASSERT_TRUE(waitUntil([&] { return querying.load(); }));
    std::this_thread::sleep_for(200ms);  // let the query reach the server

    const auto begin = std::chrono::steady_clock::now();
    server.stopTask(0);
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(took, 2900ms);  // the grace period comes first
    EXPECT_LT(took, 8s);
    EXPECT_TRUE(query_failed.load());
    EXPECT_FALSE(server.hasWorker(0));
    EXPECT_EQ(task.status.load(), kStatusIdle);
    EXPECT_EQ(logTexts(task).back(), "User canceled!");
}

TEST_F(TaskServerTest, EngineExceptionIsLoggedAndLeavesTheTaskIdle) {
    env.registerEngine(kTypeBackupToServer, [](RunContext&) -> EngineResult { throw std::runtime_error("boom"); });
    server.setEnvironment(&env);
    server.addTask(makeTask("daily", kScheduleEveryDay));
    CTask& task = server.taskAt(0);
    task.run_now = 1;
    server.startTask(0);
    ASSERT_TRUE(waitUntil([&] { return !server.hasWorker(0); }));
    EXPECT_EQ(task.status.load(), kStatusIdle);
    const std::vector<LogRecord> log = logOf(task);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].level, kLogError);
    EXPECT_NE(log[1].text.find("boom"), std::string::npos);
}

TEST_F(TaskServerTest, ShouldContinueAfterARun) {
    struct Case {
        uint8_t status;
        uint8_t kind;
        bool expected;
    };
    const Case cases[] = {
        {kStatusIdle, kScheduleEveryDay, false},  {kStatusWaiting, kScheduleEveryDay, true},
        {kStatusWaiting, kScheduleManual, false}, {kStatusRunning, kScheduleTimeInterval, true},
        {kStatusService, kScheduleManual, false},
    };
    for (const Case& c : cases) {
        CTask task;
        task.status = c.status;
        task.schedule.kind = c.kind;
        EXPECT_EQ(TaskServer::shouldContinue(task), c.expected) << int(c.status) << "/" << int(c.kind);
    }
}

TEST_F(TaskServerTest, SaveTasksToWritesTheWholeList) {
    for (const char* name : {"a", "b"}) server.addTask(makeTask(name, kScheduleManual));
    ASSERT_TRUE(server.saveTasksTo(env.taskListPath()));
    CTaskList loaded;
    ASSERT_TRUE(loadTaskList(env.taskListPath(), loaded));
    ASSERT_EQ(loaded.count(), 2);
    EXPECT_EQ(loaded.at(1).name, "b");
    EXPECT_EQ(loaded.at(1).ref_text, server.taskAt(1).ref_text);
}

}  // namespace
}  // namespace keelvault::test
