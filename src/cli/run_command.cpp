#include <signal.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <iostream>
#include <mutex>

#include "cli/cli_common.h"
#include "core/platform/service_probe.h"
#include "core/scheduler/display_text.h"
#include "core/scheduler/task_server.h"

namespace keelvault::cli {

namespace {

// What the run logged, as the exit status needs it.
struct RunWatch {
    std::mutex mutex;
    bool finished_line = false;
    bool canceled_line = false;
    int error_lines = 0;
    std::atomic<bool> run_over{false};
};

// Waits up to `ms` for SIGINT or SIGTERM (blocked in this thread); true when one came.
bool waitForSignal(const sigset_t& signals, long ms) {
    timespec timeout{ms / 1000, (ms % 1000) * 1000000L};
    const int sig = sigtimedwait(&signals, nullptr, &timeout);
    return sig == SIGINT || sig == SIGTERM;
}

}  // namespace

int runRun(const std::vector<std::string>& words, const EngineSetup& setup) {
    Args args;
    if (!parseArgs(words, false, args)) return 1;
    if (args.positional.size() != 1) {
        std::cerr << "keelvault-cli run: give exactly one task name\n";
        return 1;
    }
    CTaskList list;
    if (!loadTasksOrReport(args, list)) return 1;
    const int index = findTaskByName(list, args.positional.front());
    if (index < 0) {
        std::cerr << "keelvault-cli run: no task named " << args.positional.front() << "\n";
        return 1;
    }
    if (probeServiceRunning(args.data_folder)) {
        std::cerr << kServiceRunningMessage << "\n";
        return 1;
    }

    TaskEnvironment env;
    env.data_folder = args.data_folder;
    env.options = loadOptionsOrDefaults(args.data_folder);
    if (setup) setup(env);
    const int type = list.at(index).task_type;
    if (type < 1 || type > 8 || !env.hasEngine(type)) {
        std::cerr << "keelvault-cli run: task type " << type << " (" << taskTypeName(type)
                  << ") cannot be run by this program\n";
        return 1;
    }

    // SIGINT and SIGTERM cancel the run; block them before any worker starts
    // so that only this thread takes them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigset_t old_mask;
    pthread_sigmask(SIG_BLOCK, &signals, &old_mask);

    RunWatch watch;
    const CSystemOptions options = env.options;
    env.log_listener = [&watch, &options](const CTask&, const LogRecord& record) {
        std::string line = logRecordTxtLine(record, options);
        line.resize(line.size() - 2);  // "\r\n"
        std::lock_guard lock(watch.mutex);
        std::cout << line << std::endl;
        if (record.level == kLogError) ++watch.error_lines;
        if (record.level == kLogInfo && record.text == "Finished") watch.finished_line = true;
        if (record.level == kLogWarning && record.text == "User canceled!") watch.canceled_line = true;
    };
    env.run_finished = [&watch](CTask&, EngineResult) { watch.run_over = true; };

    TaskServer server;
    server.setEnvironment(&env);
    addLoadedTasks(list, server);
    const uint8_t stored_status = list.at(index).status.load();
    server.taskAt(index).run_now = 1;
    server.startTask(index);

    bool interrupted = false;
    while (!watch.run_over && server.hasWorker(index)) {
        if (waitForSignal(signals, 100)) {
            interrupted = true;
            break;
        }
    }
    // A scheduled task's worker goes back to waiting after the run; this run
    // was a one-off, so end it here.
    server.stopTask(index);
    server.taskAt(index).status = stored_status == kStatusRunning ? uint8_t{kStatusIdle} : stored_status;
    pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);

    if (!server.saveTasksTo(args.tasks_file)) {
        std::cerr << "keelvault-cli run: failed to save the task list to " << args.tasks_file.string() << "\n";
        return 1;
    }
    std::lock_guard lock(watch.mutex);
    if (interrupted || watch.canceled_line || !watch.finished_line) return 1;
    return watch.error_lines > 0 ? 2 : 0;
}

}  // namespace keelvault::cli
