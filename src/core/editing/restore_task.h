#pragma once

#include <optional>
#include <string>

#include "core/model/task.h"

namespace keelvault {

inline constexpr const char* kNoBackupFilesMessage = "Can't find any backup files of the selected backup item!";

// A restore entry for one file of a backup record: its size, modification time, file name, full
// path and kind (0 when the path ends in "sql", 1 in ".gz", else 101, case
// sensitive). Nothing when the file cannot be opened or its size and time
// cannot be read.
std::optional<CRestoreFile> backupFileEntry(const std::string& path);

// Every file of a backup record that can still be read, in order.
std::vector<CRestoreFile> restoreFilesOf(const CBackupRecord& record);

// The restore type of a backup type: 1 -> 6, 2 -> 7, 3 -> 8; 0 for any other.
int restoreTypeFor(int backup_type);

// Create Restore: a task of the restore type named "Restore_" + name, with the
// backup task's servers swapped and its backup-file settings, and the files of
// the newest recorded backup. Nothing for a task that is not a backup task.
std::optional<CTask> restoreTaskFromBackupTask(const CTask& backup_task);

// Create Restore of the backups list: a type 6 task restoring one backup
// record into the backup task's source server. Nothing when none of the
// record's files can be read (kNoBackupFilesMessage).
std::optional<CTask> restoreTaskFromBackupRecord(const CTask& backup_task, const CBackupRecord& record);

}  // namespace keelvault
