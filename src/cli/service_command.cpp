#include <signal.h>

#include <cstdio>
#include <iostream>
#include <mutex>

#include "cli/cli_common.h"
#include "core/editing/task_list_service.h"
#include "core/platform/data_folder.h"
#include "core/platform/service_probe.h"
#include "core/scheduler/display_text.h"
#include "core/scheduler/run_hook.h"
#include "core/scheduler/task_server.h"

namespace keelvault::cli {

int runService(const Paths& args, const EngineSetup& setup) {
    if (!ensureDataFolders(args.data_folder)) {
        std::cerr << "keelvault-cli service: cannot create the data folder " << args.data_folder.string() << "\n";
        return 1;
    }
    // Only the lock tells whether another service runs: when this process is
    // itself the systemd unit, the unit already counts as active.
    ServiceLock lock;
    if (!lock.acquire(args.data_folder)) {
        std::cerr << "keelvault-cli service: another Keelvault service is running on "
                  << args.data_folder.string() << "\n";
        return 1;
    }
    CTaskList list;
    if (!loadTasksOrReport(args.tasks_file, list)) return 1;

    // Block the stop signals before any worker starts so that only this
    // thread takes them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    TaskEnvironment env;
    env.data_folder = args.data_folder;
    env.options = loadOptionsOrDefaults(args.data_folder);
    if (setup) setup(env);
    const CSystemOptions options = env.options;
    std::mutex out_mutex;
    env.log_listener = [&](const CTask& task, const LogRecord& record) {
        std::string line = logRecordTxtLine(record, options);
        line.resize(line.size() - 2);  // "\r\n"
        std::lock_guard out_lock(out_mutex);
        std::cout << task.name << ": " << line << std::endl;
    };

    TaskServer server;
    const auto save = [&server, &args] {
        const bool ok = server.saveTasksTo(args.tasks_file);
        if (!ok) std::cerr << "keelvault-cli service: failed to save " << args.tasks_file.string() << std::endl;
        return ok;
    };
    // One line per run on standard error, so the journal of the unit tells
    // how every scheduled run went.
    env.run_finished = [&save, &out_mutex](CTask& task, const RunOutcome& outcome) {
        save();
        std::string name;
        {
            std::lock_guard task_lock(task.mutex());
            name = task.name;
        }
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", outcome.seconds);
        std::lock_guard out_lock(out_mutex);
        std::cerr << "keelvault-cli service: task \"" << name << "\" " << runResultName(outcome) << ", "
                  << outcome.error_lines << (outcome.error_lines == 1 ? " error, " : " errors, ") << seconds << " s"
                  << (outcome.first_error.empty() ? "" : ": " + outcome.first_error) << std::endl;
    };
    env.save_task_list = save;

    addStoredTasks(list, server);
    if (server.startAll(&env) != 0) {
        std::cerr << "keelvault-cli service: Failed to initialization Task Server!\n";
        return 1;
    }
    std::cout << "keelvault-cli service: running " << server.taskCount() << " task(s) of "
              << args.tasks_file.string() << std::endl;

    int sig = 0;
    while (sigwait(&signals, &sig) != 0 || (sig != SIGINT && sig != SIGTERM)) {
    }
    std::cout << "keelvault-cli service: stopping" << std::endl;

    // Stop the workers one by one (each gets its grace, then its server calls
    // are cancelled), then save the list with every task in its resting state.
    for (int i = 0; i < server.taskCount(); ++i) server.stopTask(i);
    for (int i = 0; i < server.taskCount(); ++i) server.taskAt(i).applyScheduleStatus();
    const bool saved = save();
    server.stopAll();
    return saved ? 0 : 1;
}

}  // namespace keelvault::cli
