// The task-list service on a real Task Server with a test clock and a
// scripted engine: the steps, log lines and saves of every command.
#include "core/editing/task_list_service.h"

#include <gtest/gtest.h>

#include "core/model/task_list_file.h"
#include "core/platform/data_folder.h"
#include "core/scheduler/scheduler_fixture.h"

namespace keelvault::test {
namespace {

namespace fs = std::filesystem;

class TaskListServiceTest : public SchedulerTest {
protected:
    TaskListServiceTest() {
        fs::create_directories(env.logsFolder());
        server.setEnvironment(&env);
        // A long-running engine: it runs until asked to stop.
        env.registerEngine(kTypeExecuteScript, [](RunContext& ctx) {
            while (!ctx.stopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return EngineResult::Canceled;
        });
    }

    TaskListService service{server, env, [this] {
                                ++saves;
                                return server.saveTasksTo(env.taskListPath());
                            }};
    int saves = 0;

    // Adds tasks as the list file would give them, each with a log of one line.
    void seed(const std::vector<CTask>& tasks) {
        CTaskList list;
        for (const CTask& t : tasks) {
            list.append(t);
            appendLog(env.logsFolder(), t.log_name, kLogInfo, "seed", env.now());
        }
        addStoredTasks(list, server);
    }

    static CTask named(const std::string& name, uint8_t kind = kScheduleManual, uint8_t type = kTypeExecuteScript) {
        return makeTask(name, kind, type);
    }

    std::vector<std::string> names() {
        std::vector<std::string> out;
        for (const auto& t : server.tasks()) out.push_back(t->name);
        return out;
    }

    CTaskList saved() {
        CTaskList list;
        loadTaskList(env.taskListPath(), list);
        return list;
    }

    fs::path logPath(const std::string& log_name) const { return logFilePath(env.logsFolder(), log_name); }
};

TEST_F(TaskListServiceTest, ANewTaskIsPreparedAddedSavedQueuedAndStartedWhenScheduled) {
    CTask fresh = named("Nightly: sales", kScheduleEveryDay);
    fresh.status = kStatusWaiting;
    fresh.backups = {CBackupRecord{}};
    const CTask prepared = service.prepareNewTask(fresh);
    EXPECT_EQ(prepared.status.load(), kStatusIdle);
    EXPECT_EQ(prepared.created_at, clock.now());
    EXPECT_EQ(prepared.log_name, makeLogName("Nightly: sales", clock.now()));
    EXPECT_TRUE(prepared.backups.empty());
    EXPECT_EQ(fs::file_size(logPath(prepared.log_name)), 4u);  // an empty log: the magic alone

    const EditOutcome added = service.addNewTask(prepared, "Create task", true);
    ASSERT_TRUE(added.ok());
    EXPECT_EQ(logTexts(server.taskAt(added.index)), std::vector<std::string>{"Create task"});
    EXPECT_TRUE(server.hasWorker(added.index));
    EXPECT_TRUE(waitUntil([&] { return server.taskAt(added.index).status.load() == kStatusWaiting; }));
    EXPECT_EQ(saved().count(), 1);
    CTaskList queued;
    ASSERT_TRUE(loadTaskList(newTasksFilePath(env.data_folder), queued));
    EXPECT_EQ(queued.count(), 1);

    // A Manual task is left Idle for the caller's question; a second one of
    // the same name in the same second gets a log of its own.
    const EditOutcome manual = service.addNewTask(service.prepareNewTask(named("Nightly: sales")), "Create task", false);
    const EditOutcome again = service.addNewTask(service.prepareNewTask(named("Nightly: sales")), "Create task", false);
    EXPECT_FALSE(server.hasWorker(manual.index));
    EXPECT_EQ(server.taskAt(manual.index).status.load(), kStatusIdle);
    EXPECT_NE(server.taskAt(manual.index).log_name, server.taskAt(again.index).log_name);
    EXPECT_NE(server.taskAt(added.index).log_name, server.taskAt(manual.index).log_name);
    CTaskList still_one;
    ASSERT_TRUE(loadTaskList(newTasksFilePath(env.data_folder), still_one));
    EXPECT_EQ(still_one.count(), 1);
}

TEST_F(TaskListServiceTest, AnEditReplacesOnlyAStoppedTask) {
    seed({named("job", kScheduleEveryDay), named("other")});
    service.startTask(0, false);
    CTask edited = server.copyTask(0);
    edited.comment = "changed";
    const EditOutcome refused = service.replaceTask(0, edited);
    EXPECT_EQ(refused.refusal, kEditNotIdleMessage);
    EXPECT_EQ(server.taskAt(0).comment, "");
    EXPECT_EQ(saves, 0);

    ASSERT_TRUE(service.stop(0));
    ASSERT_TRUE(service.replaceTask(0, edited).ok());
    EXPECT_EQ(server.taskAt(0).comment, "changed");
    EXPECT_EQ(saved().at(0).comment, "changed");
    EXPECT_TRUE(server.hasWorker(0));  // scheduled: started again
    EXPECT_EQ(logTexts(server.taskAt(0)), (std::vector<std::string>{"seed", "Stop task", "Edit task"}));

    CTask manual = server.copyTask(1);
    manual.script = {"SELECT 2"};
    ASSERT_TRUE(service.replaceTask(1, manual).ok());
    EXPECT_FALSE(server.hasWorker(1));
    EXPECT_EQ(server.taskAt(1).status.load(), kStatusIdle);
    EXPECT_EQ(service.replaceTask(5, manual).refusal, "Please choose a task item!");
}

TEST_F(TaskListServiceTest, DeleteStopsAndRemovesTheTasksWithTheirLogsKeepingTheOrder) {
    seed({named("a"), named("b", kScheduleEveryDay), named("c"), named("d")});
    service.startTask(1, false);
    const fs::path log_b = logPath("b.log"), log_d = logPath("d.log");
    ASSERT_TRUE(service.deleteTasks({1, 3}));
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "c"}));
    EXPECT_FALSE(fs::exists(log_b));
    EXPECT_FALSE(fs::exists(log_d));
    EXPECT_TRUE(fs::exists(logPath("a.log")));
    EXPECT_EQ(saved().count(), 2);

    ASSERT_TRUE(service.deleteAll());
    EXPECT_EQ(server.taskCount(), 0);
    EXPECT_FALSE(fs::exists(logPath("a.log")));
    EXPECT_FALSE(fs::exists(env.taskListPath()));  // an empty list removes the file
}

TEST_F(TaskListServiceTest, CopiesAreStoppedWithTheirOwnLogsAndNoBackups) {
    CTask source = named("a", kScheduleEveryDay);
    source.backups = {CBackupRecord{2026, 1, 1, 0, 0, 0, 2, 1, 0, "", {"/srv/a.sql"}}};
    seed({source});
    const std::vector<int> first = service.copyTasks({0});
    const std::vector<int> second = service.copyTasks({0});
    ASSERT_EQ(first, std::vector<int>{1});
    ASSERT_EQ(second, std::vector<int>{2});
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "a_Copy", "a_Copy"}));
    const CTask one = server.copyTask(1), two = server.copyTask(2);
    EXPECT_NE(one.log_name, two.log_name);
    EXPECT_EQ(one.log_name, makeLogName("a_Copy", clock.now()));
    EXPECT_EQ(one.created_at, clock.now());
    EXPECT_TRUE(one.backups.empty());  // retention of the copy must not delete a's files
    EXPECT_EQ(one.status.load(), kStatusIdle);
    EXPECT_FALSE(server.hasWorker(1));
    EXPECT_EQ(logTexts(one), std::vector<std::string>{"Create task by Copy"});
    EXPECT_EQ(saved().count(), 3);
}

TEST_F(TaskListServiceTest, RenameRefusesEmptyAndTakenNamesAndKeepsTheLog) {
    seed({named("a"), named("b")});
    EXPECT_EQ(service.renameTask(0, "").refusal, "Please input task name!");
    EXPECT_EQ(service.renameTask(0, "b").refusal,
              "The task name is already existed!\nPlease choose a different task name.");
    EXPECT_EQ(service.renameTask(2, "z").refusal, "Please choose a task!");
    EXPECT_TRUE(service.renameTask(0, "a").ok());  // its own name
    EXPECT_TRUE(service.renameTask(0, "B").ok());  // names differ by case
    EXPECT_EQ(names(), (std::vector<std::string>{"B", "b"}));
    EXPECT_EQ(server.taskAt(0).log_name, "a.log");
}

TEST_F(TaskListServiceTest, LoadFromReplacesTheListOrLeavesItAlone) {
    seed({named("a", kScheduleEveryDay)});
    ASSERT_EQ(server.startAll(&env), 0);
    const fs::path junk = dir / "junk.tsk";
    writeFile(junk, "not a task list");
    EXPECT_EQ(service.loadFrom(junk).refusal, kLoadFailedMessage);
    EXPECT_EQ(names(), std::vector<std::string>{"a"});
    EXPECT_TRUE(server.hasWorker(0));

    CTaskList other;
    other.append(named("x", kScheduleEveryDay));
    other.at(0).ref_text = "kept-ref";
    other.append(named("y"));
    ASSERT_TRUE(saveTaskList(dir / "other.tsk", other));
    ASSERT_TRUE(service.loadFrom(dir / "other.tsk").ok());
    EXPECT_EQ(names(), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(server.taskAt(0).ref_text, "kept-ref");
    EXPECT_TRUE(server.isStarted());
    EXPECT_TRUE(server.hasWorker(0));
    EXPECT_FALSE(server.hasWorker(1));
}

TEST_F(TaskListServiceTest, StartStopAndRunLogTheirLines) {
    CTask daily = named("daily", kScheduleEveryDay);
    daily.status = kStatusIdle;  // stopped
    seed({named("manual"), daily});
    EXPECT_FALSE(service.start(0));  // Manual tasks are not started
    ASSERT_TRUE(service.start(1));
    EXPECT_FALSE(service.start(1));  // already started
    ASSERT_TRUE(service.runImmediately(0));
    ASSERT_TRUE(waitUntil([&] { return server.taskAt(0).status.load() == kStatusRunning; }));
    EXPECT_FALSE(service.runImmediately(0));
    EXPECT_EQ(service.stopAll(), 2);
    EXPECT_FALSE(server.hasWorker(0));
    EXPECT_FALSE(server.hasWorker(1));
    EXPECT_EQ(server.taskAt(1).status.load(), kStatusIdle);
    EXPECT_EQ(service.startAll(), 1);
    EXPECT_EQ(logTexts(server.taskAt(1)), (std::vector<std::string>{"seed", "Start task", "Stop task", "Start task"}));
    const std::vector<std::string> manual = logTexts(server.taskAt(0));
    EXPECT_EQ(manual[1], "Run task immediately");
    EXPECT_EQ(manual.back(), "Stop task");
}

TEST_F(TaskListServiceTest, NothingChangesWhileTheServiceHoldsTheList) {
    seed({named("a"), named("b", kScheduleEveryDay)});
    env.service_running = true;
    const CTask before = server.copyTask(0);
    EXPECT_EQ(service.addNewTask(named("new"), "Create task", true).refusal, kServiceRunningMessage);
    EXPECT_EQ(service.replaceTask(0, named("edited")).refusal, kServiceRunningMessage);
    EXPECT_EQ(service.renameTask(0, "renamed").refusal, kServiceRunningMessage);
    EXPECT_EQ(service.loadFrom(dir / "any.tsk").refusal, kServiceRunningMessage);
    EXPECT_TRUE(service.copyTasks({0}).empty());
    EXPECT_FALSE(service.deleteTasks({0}));
    EXPECT_FALSE(service.deleteAll());
    EXPECT_FALSE(service.start(1));
    EXPECT_FALSE(service.runImmediately(0));
    EXPECT_EQ(service.startAll(), 0);
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(server.taskAt(0) == before);
    EXPECT_EQ(saves, 0);
    EXPECT_FALSE(fs::exists(newTasksFilePath(env.data_folder)));
    EXPECT_EQ(logTexts(server.taskAt(1)), std::vector<std::string>{"seed"});
}

// Rename goes through while the engine runs: the engine and the worker's
// saves read the name under the task's lock, so ThreadSanitizer sees no race.
TEST_F(TaskListServiceTest, RenameDuringARunIsSafe) {
    std::atomic<int> readings{0};
    env.registerEngine(kTypeBackupToServer, [&](RunContext& ctx) {
        while (!ctx.stopRequested()) {
            const CTask snapshot(ctx.task());  // as an engine takes what it needs
            EXPECT_FALSE(snapshot.name.empty());
            readings.fetch_add(1);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return EngineResult::Canceled;
    });
    env.save_task_list = [this] { return server.saveTasksTo(env.taskListPath()); };
    seed({named("running", kScheduleManual, kTypeBackupToServer), named("idle")});
    ASSERT_TRUE(service.runImmediately(0));
    ASSERT_TRUE(waitUntil([&] { return readings.load() > 0; }));
    std::thread saver([&] {
        for (int i = 0; i < 50; ++i) env.save_task_list();
    });
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(service.renameTask(0, "renamed " + std::to_string(i)).ok());
    }
    saver.join();
    EXPECT_EQ(server.taskAt(0).status.load(), kStatusRunning);
    ASSERT_TRUE(service.stop(0));
    EXPECT_EQ(server.copyTask(0).name, "renamed 199");
    ASSERT_TRUE(service.save());
    EXPECT_EQ(saved().at(0).name, "renamed 199");
}

}  // namespace
}  // namespace keelvault::test
