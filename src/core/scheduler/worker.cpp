#include "core/scheduler/worker.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <string>

#include "core/scheduler/retention.h"
#include "core/scheduler/run_hook.h"
#include "core/scheduler/schedule.h"
#include "core/scheduler/task_server.h"

namespace keelvault {

void WorkerState::wake() {
    {
        std::lock_guard lock(wake_mutex);
        wake_pending = true;
    }
    wake_cv.notify_all();
}

bool WorkerState::waitFinished(std::chrono::milliseconds timeout) {
    std::unique_lock lock(done_mutex);
    return done_cv.wait_for(lock, timeout, [this] { return finished.load(); });
}

namespace {

// Marks the worker finished however its body is left.
class FinishGuard {
public:
    explicit FinishGuard(WorkerState& state) : state_(state) {}
    ~FinishGuard() {
        {
            std::lock_guard lock(state_.done_mutex);
            state_.finished = true;
        }
        state_.done_cv.notify_all();
    }
    FinishGuard(const FinishGuard&) = delete;
    FinishGuard& operator=(const FinishGuard&) = delete;

private:
    WorkerState& state_;
};

class Worker {
public:
    Worker(std::stop_token stop, WorkerState& state)
        : stop_(std::move(stop)), state_(state), task_(*state.task), env_(*state.env) {}

    void run() {
        {
            std::lock_guard lock(task_.mutex());
            task_.started_at = env_.now();
        }
        for (;;) {
            if (env_.service_running) return endForService(true);
            if (!waitUntilDue()) return;
            if (!runOnce()) return;
        }
    }

    void failed(const std::string& what) {
        env_.log(task_, kLogError, "Unexpected error: " + what);
        task_.run_now = 0;
        task_.status = kStatusIdle;
    }

private:
    bool stopRequested() const { return stop_.stop_requested(); }

    void endForService(bool clear_run_now) {
        if (clear_run_now) task_.run_now = 0;
        task_.status = kStatusService;
    }

    void endForStop() {
        task_.run_now = 0;
        task_.status = kStatusIdle;
    }

    // The wait cycle: true when the task is due, false when the worker ends.
    bool waitUntilDue() {
        for (;;) {
            if (isDue(task_, env_.now())) return true;
            if (env_.service_running) {
                endForService(true);
                return false;
            }
            task_.status = kStatusWaiting;
            if (stopRequested()) {
                endForStop();
                return false;
            }
            computeNextRun(task_, env_.now());
            if (stopRequested()) {
                endForStop();
                return false;
            }
            if (task_.task_type == kTypeBackupToFiles) {
                applyRetention(task_, env_);
                if (stopRequested()) {
                    endForStop();
                    return false;
                }
            }
            if (env_.service_running) {
                endForService(true);
                return false;
            }
            pause();
        }
    }

    // Between two looks at the schedule. Its answer can only change when a
    // new minute begins, on a run request or a stop (both wake the pause at
    // once), or when a backup copy expires. So the pause ends just after the
    // next minute boundary, and after wait_cycle at the latest: a task runs at
    // the start of its minute, while a waiting task costs one wake-up a
    // second instead of ten.
    void pause() {
        auto cycle = env_.wait_cycle;
        const auto boundary = env_.clock->untilNextMinute();
        if (boundary < cycle) cycle = boundary + std::chrono::milliseconds(2);
        std::unique_lock lock(state_.wake_mutex);
        state_.wake_cv.wait_for(lock, stop_, cycle, [this] { return state_.wake_pending; });
        state_.wake_pending = false;
    }

    // One run; true when the worker goes back to waiting.
    bool runOnce() {
        task_.run_now = 0;
        if (env_.service_running) {
            endForService(false);
            return false;
        }
        task_.status = kStatusRunning;
        {
            const TaskTime now = env_.now();
            std::lock_guard lock(task_.mutex());
            task_.last_run = now;
        }
        env_.applyLogSizeLimit(task_);
        env_.log(task_, kLogInfo, "Running...");
        if (stopRequested()) return canceled(RunOutcome{EngineResult::Canceled, 0, {}, 0});

        RunOutcome outcome;
        RunContext context(task_, env_, stop_, state_.connections, state_.progress.get());
        RunProgress& progress = *state_.progress;
        progress.begin();
        struct EndProgress {
            RunProgress& progress;
            ~EndProgress() { progress.end(); }
        } end_progress{progress};
        const auto started = std::chrono::steady_clock::now();
        auto outcomeOf = [&](EngineResult result, int extra_errors, const std::string& error) {
            RunOutcome o;
            o.result = result;
            o.error_lines = context.errorLines() + extra_errors;
            o.first_error = context.firstError().empty() ? error : context.firstError();
            o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            return o;
        };
        try {
            outcome = outcomeOf(state_.engine ? state_.engine(context) : EngineResult::Failed, 0, {});
        } catch (const std::exception& e) {
            failed(e.what());
            finished(outcomeOf(EngineResult::Failed, 1, e.what()));
            return false;
        } catch (...) {
            failed("unknown exception");
            finished(outcomeOf(EngineResult::Failed, 1, "unknown exception"));
            return false;
        }
        if (outcome.result == EngineResult::Canceled) return canceled(outcome);

        task_.status = task_.schedule.kind != kScheduleManual ? kStatusWaiting : kStatusIdle;
        if (outcome.result == EngineResult::Finished) env_.log(task_, kLogInfo, "Finished");
        finished(outcome);

        if (env_.service_running) {
            endForService(false);
            return false;
        }
        if (stopRequested()) {
            endForStop();
            return false;
        }
        return TaskServer::shouldContinue(task_);
    }

    bool canceled(RunOutcome outcome) {
        env_.log(task_, kLogWarning, "User canceled!");
        task_.status = kStatusIdle;
        outcome.result = EngineResult::Canceled;
        finished(outcome);
        return false;
    }

    void finished(const RunOutcome& outcome) {
        if (env_.run_finished) env_.run_finished(task_, outcome);
        runHook(outcome);
    }

    // The command of the settings file, if any, with what the run did; read
    // anew after each run so that a changed file takes effect at once.
    void runHook(const RunOutcome& outcome) {
        const RunHookSettings settings = loadRunHookSettings(env_.data_folder);
        if (settings.command.empty()) return;
        RunHookFacts facts;
        {
            std::lock_guard lock(task_.mutex());
            facts.task_name = task_.name;
            facts.log_file = logFilePath(env_.logsFolder(), task_.log_name);
        }
        facts.result = runResultName(outcome);
        facts.errors = outcome.error_lines;
        facts.first_error = outcome.first_error;
        facts.seconds = outcome.seconds;
        if (const auto warning = runRunHook(settings, facts)) env_.log(task_, kLogWarning, *warning);
    }

    std::stop_token stop_;
    WorkerState& state_;
    CTask& task_;
    TaskEnvironment& env_;
};

}  // namespace

void runWorker(std::stop_token stop, std::shared_ptr<WorkerState> state) {
    FinishGuard guard(*state);
    Worker worker(std::move(stop), *state);
    // Nothing may leave the thread: an escaping exception would end the process.
    try {
        worker.run();
    } catch (const std::exception& e) {
        try {
            worker.failed(e.what());
        } catch (...) {
            state->task->status = kStatusIdle;
        }
    } catch (...) {
        try {
            worker.failed("unknown exception");
        } catch (...) {
            state->task->status = kStatusIdle;
        }
    }
}

}  // namespace keelvault
