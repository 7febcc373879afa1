#include "core/scheduler/retention.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <vector>

#include "core/engine/backup_digests.h"

namespace keelvault {

namespace fs = std::filesystem;

namespace {

enum RetentionMode : uint8_t { kKeepAll = 0, kByAge = 1, kByCount = 2 };

TaskTime timeOf(const CBackupRecord& record) {
    TaskTime t;
    t.year = record.year;
    t.month = record.month;
    t.day = record.day;
    t.hour = record.hour;
    t.minute = record.minute;
    t.second = record.second;
    return t;
}

// Files that cannot be deleted stay; a path naming a folder is not a file.
void deleteFiles(const CBackupRecord& record) {
    removeBackupDigests(record);
    for (const std::string& file : record.files) {
        if (file.empty()) continue;
        std::error_code ec;
        const fs::file_status st = fs::symlink_status(file, ec);
        if (ec || !fs::exists(st) || fs::is_directory(st)) continue;
        fs::remove(file, ec);
    }
}

// Removes the copy's folder only when it is empty, so foreign files keep it.
void removeFolder(const CBackupRecord& record) {
    if (record.subdirectory.empty()) return;
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(record.subdirectory, ec)) || ec) return;
    if (!fs::is_empty(record.subdirectory, ec) || ec) return;
    fs::remove(record.subdirectory, ec);
}

// Drops the entry from the list; `hint` is where it was when it was read.
void eraseEntry(CTask& task, size_t hint, const CBackupRecord& entry) {
    std::lock_guard lock(task.mutex());
    auto& backups = task.backups;
    if (hint < backups.size() && backups[hint] == entry) {
        backups.erase(backups.begin() + static_cast<std::ptrdiff_t>(hint));
        return;
    }
    auto it = std::find(backups.begin(), backups.end(), entry);
    if (it != backups.end()) backups.erase(it);
}

bool applyByCount(CTask& task, int64_t limit) {
    std::vector<CBackupRecord> expired;
    {
        std::lock_guard lock(task.mutex());
        const auto count = static_cast<int64_t>(task.backups.size());
        if (limit >= count) return false;
        const int64_t excess = count - std::max<int64_t>(limit, 0);
        expired.assign(task.backups.begin(), task.backups.begin() + excess);
    }
    for (const CBackupRecord& entry : expired) deleteFiles(entry);
    for (const CBackupRecord& entry : expired) {
        removeFolder(entry);
        eraseEntry(task, 0, entry);
    }
    return true;
}

bool applyByAge(CTask& task, int64_t limit, const Clock& clock) {
    bool deleted = false;
    size_t index = 0;
    for (;;) {
        const TaskTime now = clock.now();
        CBackupRecord entry;
        {
            std::lock_guard lock(task.mutex());
            if (index >= task.backups.size()) break;
            const auto age = static_cast<int64_t>(daysBetween(timeOf(task.backups[index]), now));
            if (age < limit) {
                ++index;
                continue;
            }
            entry = task.backups[index];
        }
        deleteFiles(entry);
        removeFolder(entry);
        // The next entry moves into this place and is examined next.
        eraseEntry(task, index, entry);
        deleted = true;
    }
    return deleted;
}

}  // namespace

bool applyRetention(CTask& task, TaskEnvironment& env) {
    const int64_t limit = task.backup_options.retention_limit;
    bool deleted = false;
    switch (task.backup_options.retention_kind) {
        case kByAge:
            deleted = applyByAge(task, limit, *env.clock);
            break;
        case kByCount:
            deleted = applyByCount(task, limit);
            break;
        default:
            return false;
    }
    if (!deleted) return false;
    // Not under the task's lock: the save locks every task itself.
    if (env.save_task_list) env.save_task_list();
    env.log(task, kLogInfo, "Delete the expiration backup copies");
    return true;
}

}  // namespace keelvault
