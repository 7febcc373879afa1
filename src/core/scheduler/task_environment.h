#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "core/model/options_file.h"
#include "core/model/task.h"
#include "core/model/task_log.h"
#include "core/scheduler/clock.h"

namespace keelvault {

class RunContext;

// How an engine's run ended. Failed means the engine has logged its error.
enum class EngineResult { Finished, Failed, Canceled };

// The body of one run of a task type. Engines check ctx.stopRequested()
// between their steps and return Canceled when it is set.
using Engine = std::function<EngineResult(RunContext&)>;

// How one run ended: the engine's result and how many error lines the run logged.
struct RunOutcome {
    EngineResult result = EngineResult::Failed;
    int error_lines = 0;
    std::string first_error;  // the text of the first error line, if any
    double seconds = 0;       // from "Running..." to the end of the run
};

// What workers need from the application: data folder, options, the service
// flag, the clock, the engines and the hooks. Owned by whoever owns the
// TaskServer and must outlive every worker (stopAll joins them all).
//
// Set the plain fields and the hooks before starting any task; while workers
// run, change options through updateOptions() only.
class TaskEnvironment {
public:
    TaskEnvironment();
    TaskEnvironment(const TaskEnvironment&) = delete;
    TaskEnvironment& operator=(const TaskEnvironment&) = delete;

    std::filesystem::path data_folder;  // logs in data_folder/"Logs", list in data_folder/"tasks_pro.tsk"
    CSystemOptions options;
    std::atomic<bool> service_running{false};
    const Clock* clock;  // never null; defaults to systemClock()

    // Longest pause of a worker's wait cycle; the pause also ends just after
    // each minute boundary of the clock, and at once on a stop or a run
    // request. Tests shorten it to step a clock quickly.
    std::chrono::milliseconds wait_cycle{1000};

    // Called after each log line is written (any thread).
    std::function<void(const CTask&, const LogRecord&)> log_listener;
    // Called on the worker after each run has ended and its status is set.
    std::function<void(CTask&, const RunOutcome&)> run_finished;
    // Saves the whole task list; called by retention after it deleted copies.
    std::function<bool()> save_task_list;

    std::filesystem::path logsFolder() const { return data_folder / "Logs"; }
    std::filesystem::path taskListPath() const { return data_folder / "tasks_pro.tsk"; }
    TaskTime now() const { return clock->now(); }

    void registerEngine(int task_type, Engine engine);
    // The engine of a type, or an empty function when none is registered.
    Engine findEngine(int task_type) const;
    bool hasEngine(int task_type) const;

    // Options as seen by workers (log size limit); safe while workers run.
    void updateOptions(const CSystemOptions& options);
    CSystemOptions currentOptions() const;

    // Appends one line to the task's log, stamped with clock->now(), then
    // tells log_listener.
    void log(const CTask& task, uint8_t level, const std::string& text);
    // Deletes the task's log when it has outgrown the limit of the options.
    void applyLogSizeLimit(const CTask& task);

private:
    mutable std::mutex engines_mutex_;
    std::map<int, Engine> engines_;
    mutable std::mutex options_mutex_;
    std::mutex log_mutex_;  // one writer at a time on the log files
};

}  // namespace keelvault
