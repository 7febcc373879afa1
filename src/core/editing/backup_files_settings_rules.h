#pragma once

#include <cstdint>
#include <string>

#include "core/editing/check_result.h"
#include "core/model/task.h"

namespace keelvault {

// The "Backup Files Settings..." dialog: grouping, file name format,
// subdirectory, and the two exclusive retention rules.
enum class BackupSettingsField { Format, KeepDays, KeepCopies };

enum class RetentionChoice { None, KeepDays, KeepCopies };

struct BackupSettingsTexts {
    uint8_t grouping = 1;  // 1 one file, 2 a file per database, 3 a file per table
    std::string format;
    bool date_time_subdirectory = false;
    RetentionChoice retention = RetentionChoice::None;
    std::string days;    // "Auto delete this task's backup data older than" N "days"
    std::string copies;  // "Auto delete the oldest backup files when more than" N "backup copies"
};

struct BackupSettingsValues {
    uint8_t grouping = 1;
    std::string format;  // trimmed
    uint8_t date_time_subdirectory = 0;
    uint8_t retention_kind = 0;
    int32_t retention_limit = 0;
};

// The dialog on open: the stored format, or the grouping's default format
// when none is stored; the stored number ("%d") in the edit of the stored
// retention kind, the other edit empty. Default options give what "Reset to
// default" shows.
BackupSettingsTexts backupSettingsTexts(const CBackupOptions& options);

// O&K. The format must not be empty (nor blanks only), must hold no
// character that cannot stand in a file name, and must carry the
// placeholders its grouping needs (exact, case-sensitive). A chosen
// retention rule needs 1..10000 (empty counts as 0).
CheckResult<BackupSettingsValues, BackupSettingsField> checkBackupSettings(const BackupSettingsTexts& texts);

}  // namespace keelvault
