#pragma once

#include <cstdint>
#include <string>

#include "core/model/task.h"
#include "core/model/task_time.h"

namespace keelvault {

// How the files of a backup-to-files run are laid out.
enum class BackupLayout {
    SameFile,     // the same-file path, written over on every run
    OneFile,      // one new file for the whole run
    PerDatabase,  // one new file per selected database
    PerTable,     // one new file per selected table or view
};

BackupLayout backupLayoutFor(const CBackupOptions& options);

// File name format offered for an empty format, by grouping (1, 2, 3).
std::string defaultFileNameFormat(int grouping);

// ".php" for the PHP file type (2), else ".sql".
std::string backupFileExtension(uint8_t file_type);

// "2006-05-01", "09-05-07" and "2006-05-01_09-05-07" for a run's start time.
std::string backupDateText(const TaskTime& t);
std::string backupTimeText(const TaskTime& t);
std::string backupDateTimeFolderName(const TaskTime& t);

// The values the placeholders of a file name format stand for. Empty fields
// replace their placeholder with nothing.
struct BackupNameValues {
    std::string task_name;
    std::string host;
    std::string database;
    std::string table;
    TaskTime start;
};

// Replaces every %TASKNAME%, %HOST%, %DATABASE%, %TABLE%, %DATE% and %TIME%.
// Task name and host are cleaned; database and table names lose path
// separators so a name can never reach outside the backup folder.
std::string replaceFileNamePlaceholders(const std::string& format, const BackupNameValues& values);

// The directory without one trailing '/' or '\'.
std::string stripTrailingSeparator(const std::string& directory);

// The folder new files of a run go into.
struct BackupFolder {
    std::string directory;     // the backup directory without trailing separator
    std::string subdirectory;  // full path of the run's DATE_TIME folder, empty when none
    const std::string& fileFolder() const { return subdirectory.empty() ? directory : subdirectory; }
};

// The folder of a run's new files, from the backup directory and the
// DATE_TIME option (new-files mode only). Nothing is created.
BackupFolder backupFolderFor(const CBackupOptions& options, const TaskTime& start);

// Creates the backup directory (one level) and, when the options ask for it,
// the DATE_TIME folder inside it. Failure to create is not reported here:
// opening a file in it fails later. An empty backup directory gives false.
bool prepareBackupFolder(const CBackupOptions& options, const TaskTime& start, BackupFolder& folder);

// "<file folder>/<replaced format><extension>" of a new file. An empty format
// falls back to the default of the grouping.
std::string backupFilePath(const BackupFolder& folder, const CBackupOptions& options, const BackupNameValues& values);

}  // namespace keelvault
