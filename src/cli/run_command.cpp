#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <iostream>
#include <mutex>
#include <optional>

#include "cli/cli_common.h"
#include "cli/progress_line.h"
#include "core/editing/task_list_service.h"
#include "core/platform/service_probe.h"
#include "core/scheduler/display_text.h"
#include "core/scheduler/task_server.h"

namespace keelvault::cli {

namespace {

// How the run went, as the worker reported it.
struct RunWatch {
    std::mutex mutex;
    std::optional<RunOutcome> outcome;  // guarded
    std::atomic<bool> run_over{false};
};

// The progress line on standard error, drawn only when that is a terminal.
class ProgressDisplay {
public:
    ProgressDisplay() : on_(isatty(STDERR_FILENO) == 1) {}

    // Caller holds the output lock.
    void draw(const RunProgressSnapshot& progress) {
        if (!on_) return;
        std::cerr << redrawnLine(progressLine(progress, width())) << std::flush;
        drawn_ = true;
    }
    void clear() {
        if (!drawn_) return;
        std::cerr << clearedLine() << std::flush;
        drawn_ = false;
    }

private:
    static size_t width() {
        winsize size{};
        if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) return size.ws_col - 1u;
        return 79;
    }

    bool on_;
    bool drawn_ = false;
};

int exitStatusOf(const std::optional<RunOutcome>& outcome, bool interrupted) {
    if (!outcome) return interrupted ? kRunCanceled : kRunNotStarted;
    if (outcome->result == EngineResult::Canceled) return kRunCanceled;
    if (outcome->result == EngineResult::Failed || outcome->error_lines > 0) return kRunErrorsLogged;
    return kRunClean;
}

}  // namespace

int runRun(const Paths& paths, const std::string& name, const EngineSetup& setup) {
    CTaskList list;
    if (!loadTasksOrReport(paths.tasks_file, list)) return kRunNotStarted;
    const int index = findTaskByName(list, name);
    if (index < 0) return fail("run", "no task named " + name);
    if (probeServiceRunning(paths.data_folder)) {
        std::cerr << kServiceRunningMessage << "\n";
        return kRunNotStarted;
    }

    TaskEnvironment env;
    env.data_folder = paths.data_folder;
    env.options = loadOptionsOrDefaults(paths.data_folder);
    if (setup) setup(env);
    const int type = list.at(index).task_type;
    if (type < 1 || type > 8 || !env.hasEngine(type)) {
        return fail("run", "task type " + std::to_string(type) + " (" + taskTypeName(type) +
                               ") cannot be run by this program");
    }

    // SIGINT and SIGTERM cancel the run; block them before any worker starts
    // so that only this thread takes them.
    const StopSignals signals;

    RunWatch watch;
    const CSystemOptions options = env.options;
    std::mutex out_mutex;
    ProgressDisplay display;  // guarded by out_mutex
    env.log_listener = [&out_mutex, &options, &display](const CTask&, const LogRecord& record) {
        std::string line = logRecordTxtLine(record, options);
        line.resize(line.size() - 2);  // "\r\n"
        std::lock_guard lock(out_mutex);
        display.clear();  // the log line takes its place; the next redraw comes below it
        std::cout << line << std::endl;
    };
    env.run_finished = [&watch](CTask&, const RunOutcome& outcome) {
        {
            std::lock_guard lock(watch.mutex);
            watch.outcome = outcome;
        }
        watch.run_over = true;
    };

    TaskServer server;
    server.setEnvironment(&env);
    addStoredTasks(list, server);
    const uint8_t stored_status = list.at(index).status.load();
    server.taskAt(index).run_now = 1;
    server.startTask(index);

    // Short waits, so the program ends as soon as the run does; the
    // progress line is redrawn twice a second.
    bool interrupted = false;
    int polls = 0;
    while (!watch.run_over && server.hasWorker(index)) {
        if (signals.wait(10)) {
            interrupted = true;
            break;
        }
        if (++polls % 50 == 0) {
            const RunProgressSnapshot progress = server.progressAt(index);
            std::lock_guard lock(out_mutex);
            if (progress.running) display.draw(progress);
        }
    }
    {
        std::lock_guard lock(out_mutex);
        display.clear();
    }
    // A scheduled task's worker goes back to waiting after the run; this run
    // was a one-off, so end it here.
    server.stopTask(index);
    server.taskAt(index).status = stored_status == kStatusRunning ? uint8_t{kStatusIdle} : stored_status;

    if (!server.saveTasksTo(paths.tasks_file)) {
        fail("run", "failed to save the task list to " + paths.tasks_file.string());
        return kRunNotStarted;
    }
    std::lock_guard lock(watch.mutex);
    return exitStatusOf(watch.outcome, interrupted);
}

}  // namespace keelvault::cli
