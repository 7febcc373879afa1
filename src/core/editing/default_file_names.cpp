#include "core/editing/default_file_names.h"

#include "core/editing/path_checks.h"
#include "core/engine/backup_naming.h"
#include "core/model/task.h"
#include "core/platform/data_folder.h"

namespace keelvault {

std::string taskNameStem(const std::string& task_name) {
    std::string stem = cleanFileNamePart(task_name);
    return stem.empty() ? "Default" : stem;
}

std::string defaultBackupBase(const CSystemOptions& options) {
    if (options.default_backup_folder.empty()) return (backupDataFolderPath(dataFolder()) / "").string();
    return withTrailingSeparator(options.default_backup_folder);
}

std::string defaultBackupFile(const CSystemOptions& options, const std::string& task_name, uint8_t file_type) {
    return defaultBackupBase(options) + taskNameStem(task_name) + backupFileExtension(file_type);
}

std::string defaultBackupFolder(const CSystemOptions& options, const std::string& task_name) {
    return defaultBackupBase(options) + taskNameStem(task_name) + "/";
}

}  // namespace keelvault
