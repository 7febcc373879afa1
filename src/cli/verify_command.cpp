// verify: restores a backup into scratch databases and compares every table
// with the digests recorded when it was written.
#include <pthread.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <optional>
#include <thread>

#include "cli/cli_common.h"
#include "core/engine/backup_verify.h"
#include "core/model/server_list_file.h"
#include "core/model/task_log.h"
#include "core/platform/data_folder.h"
#include "core/scheduler/run_context.h"

namespace keelvault::cli {

namespace {

constexpr const char* kCommand = "verify";

// Exit statuses.
constexpr int kVerifyEqual = 0;
constexpr int kVerifyFailed = 1;  // also usage and connection errors
constexpr int kVerifyDifferent = 2;
constexpr int kVerifyCanceled = 3;

std::string recordTimeText(const CBackupRecord& r) {
    char text[64];
    std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d", r.year, r.month, r.day, r.hour, r.minute,
                  r.second);
    return text;
}

int exitStatusOf(VerifyStatus status) {
    switch (status) {
        case VerifyStatus::Equal:
            return kVerifyEqual;
        case VerifyStatus::Different:
            return kVerifyDifferent;
        case VerifyStatus::Canceled:
            return kVerifyCanceled;
        case VerifyStatus::Failed:
            break;
    }
    return kVerifyFailed;
}

// Runs the verify on a thread of its own while this one waits for SIGINT or
// SIGTERM; a signal stops it (cancelling its server call), and it still
// drops its scratch databases before it ends.
VerifyReport verifyInterruptibly(const VerifyRequest& request) {
    const StopSignals signals;

    std::stop_source stop;
    ConnectionRegistry connections;
    std::mutex out_mutex;
    VerifyHooks hooks;
    hooks.stop = stop.get_token();
    hooks.connections = &connections;
    hooks.line = [&out_mutex](uint8_t level, const std::string& text) {
        std::lock_guard lock(out_mutex);
        (level == kLogInfo ? std::cout : std::cerr) << text << std::endl;
    };
    VerifyReport report;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        report = verifyBackup(request, hooks);
        done = true;
    });
    while (!done) {
        if (signals.wait(100) && !stop.stop_requested()) {
            stop.request_stop();
            connections.cancelAll();
        }
    }
    worker.join();
    return report;
}

}  // namespace

int runVerify(const Paths& paths, const std::string& name, int record_number, const std::string& into, bool list) {
    CTaskList tasks;
    if (!loadTasksOrReport(paths.tasks_file, tasks)) return kVerifyFailed;
    const int index = findTaskByName(tasks, name);
    if (index < 0) return fail(kCommand, "no task named " + name);
    const CTask& task = tasks.at(index);
    if (task.task_type != kTypeBackupToFiles) return fail(kCommand, name + " is not a backup to files task");
    const std::vector<CBackupRecord>& records = task.backups;

    if (list) {
        for (size_t i = 0; i < records.size(); ++i) {
            std::cout << (i + 1) << '\t' << recordTimeText(records[i]) << '\t' << records[i].files.size()
                      << (records[i].files.size() == 1 ? " file" : " files") << '\t'
                      << (hasBackupDigests(records[i]) ? "verifiable" : "no digests") << '\n';
        }
        return 0;
    }
    if (records.empty()) return fail(kCommand, name + " has no backups");
    if (into.empty()) return fail(kCommand, "--into CONNECTION is required (a saved server's name)");
    const int count = static_cast<int>(records.size());
    if (record_number == 0) record_number = count;  // the newest
    if (record_number < 1 || record_number > count) {
        return fail(kCommand, "--record must be between 1 and " + std::to_string(count));
    }

    std::vector<CServerSettings> servers;
    loadServerList(serverListFilePath(paths.data_folder), servers);
    const CServerSettings* target = nullptr;
    for (const CServerSettings& s : servers)
        if (s.connection_name == into) target = &s;
    if (!target) return fail(kCommand, "no server named " + into);

    const CBackupRecord& record = records[static_cast<size_t>(record_number - 1)];
    std::cout << "Verifying the backup " << record_number << " of " << name << " (" << recordTimeText(record)
              << ") on " << into << std::endl;
    return exitStatusOf(verifyInterruptibly(verifyRequestFor(task, record, *target)).status);
}

}  // namespace keelvault::cli
