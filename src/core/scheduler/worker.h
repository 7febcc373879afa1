#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stop_token>

#include "core/model/task.h"
#include "core/scheduler/run_context.h"
#include "core/scheduler/task_environment.h"

namespace keelvault {

// State shared by a slot and its worker thread. The worker holds it (and so
// the task record) by shared ownership, so a slot may go while it ends.
struct WorkerState {
    WorkerState(std::shared_ptr<CTask> task, TaskEnvironment* env, Engine engine,
                std::shared_ptr<RunProgress> progress = std::make_shared<RunProgress>())
        : task(std::move(task)), env(env), engine(std::move(engine)), progress(std::move(progress)) {}

    std::shared_ptr<CTask> task;
    TaskEnvironment* env;
    Engine engine;
    ConnectionRegistry connections;
    std::shared_ptr<RunProgress> progress;  // never null; the slot's, so readers outlive the worker

    // The wait cycle pauses on this; a stop request or wake() ends the pause.
    std::mutex wake_mutex;
    std::condition_variable_any wake_cv;
    bool wake_pending = false;  // guarded by wake_mutex

    // Set as the worker's last act; done_cv tells a waiting stopTask.
    std::atomic<bool> finished{false};
    std::mutex done_mutex;
    std::condition_variable done_cv;

    // Ends the current pause of the wait cycle early (a new run request).
    void wake();
    // Waits up to `timeout` for the worker to finish; true when it has.
    bool waitFinished(std::chrono::milliseconds timeout);
};

// The body of a task's worker thread: the wait cycle and the run sequence.
// Never throws.
void runWorker(std::stop_token stop, std::shared_ptr<WorkerState> state);

}  // namespace keelvault
