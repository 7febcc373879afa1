#include "core/editing/restore_task.h"

#include <tuple>

#include "core/editing/restore_file_rules.h"

namespace keelvault {

namespace {

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

auto stampOf(const CBackupRecord& r) { return std::tie(r.year, r.month, r.day, r.hour, r.minute, r.second); }

}  // namespace

std::optional<CRestoreFile> backupFileEntry(const std::string& path) {
    return restoreFileEntryOfKind(path, endsWith(path, "sql") ? 0 : endsWith(path, ".gz") ? 1 : 101);
}

std::vector<CRestoreFile> restoreFilesOf(const CBackupRecord& record) {
    std::vector<CRestoreFile> files;
    for (const std::string& path : record.files) {
        if (auto entry = backupFileEntry(path)) files.push_back(std::move(*entry));
    }
    return files;
}

int restoreTypeFor(int backup_type) {
    switch (backup_type) {
        case kTypeBackupToFiles: return kTypeRestoreFromFiles;
        case kTypeBackupToServer: return kTypeRestoreFromServer;
        case kTypeBackupToDatabase: return kTypeRestoreFromDatabase;
        default: return 0;
    }
}

std::optional<CTask> restoreTaskFromBackupTask(const CTask& backup_task) {
    const int type = restoreTypeFor(backup_task.task_type);
    if (type == 0) return std::nullopt;
    const CTask source(backup_task);  // one consistent copy of a live record
    CTask task;
    task.task_type = static_cast<uint8_t>(type);
    task.name = "Restore_" + source.name;
    task.source = source.destination;
    task.destination = source.source;
    task.backup_options = source.backup_options;
    const CBackupRecord* newest = nullptr;
    for (const CBackupRecord& record : source.backups) {
        if (newest == nullptr || stampOf(record) >= stampOf(*newest)) newest = &record;
    }
    if (newest) task.restore_files = restoreFilesOf(*newest);
    return task;
}

std::optional<CTask> restoreTaskFromBackupRecord(const CTask& backup_task, const CBackupRecord& record) {
    std::vector<CRestoreFile> files = restoreFilesOf(record);
    if (files.empty()) return std::nullopt;
    CTask task;
    task.task_type = kTypeRestoreFromFiles;
    {
        std::lock_guard lock(backup_task.mutex());  // a rename may be going on
        task.name = "Restore_" + backup_task.name;
    }
    task.destination = backup_task.source;
    task.restore_files = std::move(files);
    return task;
}

}  // namespace keelvault
