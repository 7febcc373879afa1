#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/model/task.h"
#include "core/scheduler/task_environment.h"
#include "core/scheduler/worker.h"

namespace keelvault {

inline constexpr int kTaskServerAlreadyStarted = -5001;
inline constexpr int kTaskServerNotStarted = -5003;
inline constexpr int kTaskServerNoOwner = -5004;

// One task of the server and its worker, if any.
class TaskSlot {
public:
    explicit TaskSlot(std::shared_ptr<CTask> task) : task_(std::move(task)) {}
    ~TaskSlot();
    TaskSlot(const TaskSlot&) = delete;
    TaskSlot& operator=(const TaskSlot&) = delete;

    CTask& task() const { return *task_; }
    const std::shared_ptr<CTask>& taskPtr() const { return task_; }
    // True while the worker thread runs (a worker that ended by itself no
    // longer counts).
    bool hasWorker() const;
    // The progress of the task's current or last run; kept across workers.
    const std::shared_ptr<RunProgress>& progress() const { return progress_; }

private:
    friend class TaskServer;
    // Starts a worker; false when the thread cannot be created.
    bool start(TaskEnvironment* env, Engine engine);
    // Stop request, up to `grace` for the worker to end, then cancel its
    // server calls and join. Without a worker does nothing.
    void stop(std::chrono::milliseconds grace);
    // Asks the worker to stop without waiting.
    void requestStop();
    // Joins a worker that has already ended.
    void reap();

    std::shared_ptr<CTask> task_;
    std::shared_ptr<RunProgress> progress_ = std::make_shared<RunProgress>();
    std::shared_ptr<WorkerState> state_;
    std::jthread thread_;
};

// The in-memory task list with one worker thread per started task. Every
// operation runs on the owning (interface) thread, except tasks() and
// saveTasksTo(), which workers may call through save_task_list.
class TaskServer {
public:
    TaskServer();
    ~TaskServer();  // stops every worker
    TaskServer(const TaskServer&) = delete;
    TaskServer& operator=(const TaskServer&) = delete;

    // Adds a deep copy with a fresh ref_text and run_now cleared; returns its index.
    int addTask(const CTask& task);
    // Ignores a bad index. Callers stop the task first; a worker still
    // running is stopped here.
    void removeTask(int index);
    void removeAll();
    int taskCount() const;
    // The record itself; index must be valid.
    CTask& taskAt(int index);
    const CTask& taskAt(int index) const;
    // A deep copy; an empty record for a bad index.
    CTask copyTask(int index) const;

    // -5004 without an environment, -5001 when already started, else starts
    // every task and returns 0.
    int startAll(TaskEnvironment* env);
    // -5003 when not started, else stops every task, forgets the
    // environment, removes every task and returns 0.
    int stopAll();
    void startTask(int index);
    // The task is Idle when this returns and its worker has ended.
    void stopTask(int index);
    // After a run: false when Idle, else whether the schedule is not Manual.
    static bool shouldContinue(const CTask& task);

    bool hasWorker(int index) const;
    // The progress of a task's current or last run; an empty one for a bad index.
    RunProgressSnapshot progressAt(int index) const;
    bool isStarted() const { return started_; }
    // Lets single tasks be started without startAll.
    void setEnvironment(TaskEnvironment* env) { env_ = env; }
    TaskEnvironment* environment() const { return env_; }
    // The clock of new ref_text values while there is no environment (whose
    // clock is used otherwise); never null.
    void setClock(const Clock* clock) { clock_ = clock ? clock : &systemClock(); }

    // The records in list order, kept alive by the returned pointers.
    std::vector<std::shared_ptr<const CTask>> tasks() const;
    // Saves the whole list (serialised with every other save).
    bool saveTasksTo(const std::filesystem::path& path) const;

    // How long stopTask waits before it cancels the worker's server calls.
    std::chrono::milliseconds stop_grace{3000};

private:
    TaskSlot* slotAt(int index) const;

    mutable std::mutex slots_mutex_;  // guards the vector, not the records
    std::vector<std::unique_ptr<TaskSlot>> slots_;
    bool started_ = false;
    TaskEnvironment* env_ = nullptr;
    const Clock* clock_ = &systemClock();
};

}  // namespace keelvault
