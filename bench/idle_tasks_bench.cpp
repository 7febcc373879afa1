// Cost of waiting: N started tasks whose schedules lie in the future, measured
// as process CPU time over a wall-clock window. Goal: under 2 % of one core
// for 200 tasks over 30 s.
//
//   bench_idle_tasks [tasks=200] [seconds=30]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "core/model/task.h"
#include "core/scheduler/task_environment.h"
#include "core/scheduler/task_server.h"

using namespace keelvault;

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const int tasks = argc > 1 ? std::atoi(argv[1]) : 200;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 30;

    const auto folder = std::filesystem::temp_directory_path() / "keelvault-bench-idle";
    std::filesystem::create_directories(folder / "Logs");

    TaskEnvironment env;
    env.data_folder = folder;
    env.registerEngine(kTypeBackupToFiles, [](RunContext&) { return EngineResult::Finished; });

    // Every Day, one hour from now: every worker waits for the whole window,
    // evaluating the due test, the next run and retention each cycle.
    const TaskTime now = currentLocalTime();
    TaskServer server;
    for (int i = 0; i < tasks; ++i) {
        CTask task;
        task.name = "idle " + std::to_string(i);
        task.log_name = "idle_" + std::to_string(i) + ".log";
        task.schedule.kind = kScheduleEveryDay;
        task.schedule.hour = (now.hour + 1) % 24;
        task.schedule.minute = now.minute;
        task.backup_options.retention_kind = 2;
        task.backup_options.retention_limit = 10;
        task.applyScheduleStatus();
        server.addTask(task);
    }
    if (server.startAll(&env) != 0) return 1;
    std::this_thread::sleep_for(std::chrono::seconds(1));  // let every worker settle

    const double cpu0 = cpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = cpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();

    int waiting = 0;
    for (int i = 0; i < server.taskCount(); ++i) waiting += server.taskAt(i).status == kStatusWaiting;
    server.stopAll();
    std::filesystem::remove_all(folder);

    const double percent = 100.0 * cpu / wall;
    std::printf("idle tasks: %d started, %d waiting; CPU %.3f s over %.1f s wall = %.2f %% of one core (goal < 2 %%): %s\n",
                tasks, waiting, cpu, wall, percent, percent < 2.0 && waiting == tasks ? "PASS" : "FAIL");
    return percent < 2.0 && waiting == tasks ? 0 : 1;
}
