#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "core/editing/check_result.h"
#include "core/model/options_file.h"

namespace keelvault {

// The two tabs of the options sheet.
enum class OptionsField { MaximumLogSize };

struct GeneralTabTexts {
    std::string login_user;
    std::string login_password;
    bool auto_run = false;
    bool block_shutdown = false;
    uint16_t hot_key_code = 77;
    uint16_t hot_key_modifiers = 6;
    std::array<bool, 3> date_format_buttons{};  // the three radio buttons in order
    bool twelve_hour_time = false;
};

// Leaving the General tab or OK (no checks): the first checked date format
// (1 when none is), time format 2 only for the 12-hour button, and the login
// password kept only with a user name.
CSystemOptions readGeneralTab(const GeneralTabTexts& texts, CSystemOptions options);

enum class LogSizeChoice { Unlimited, Maximum };

struct BackupLogTabTexts {
    std::string default_backup_folder;
    LogSizeChoice log_size = LogSizeChoice::Unlimited;
    std::string maximum_size;  // KB
};

// The tab on open: the size edit shows the stored size ("%d") only with the
// limit on.
BackupLogTabTexts backupLogTabTexts(const CSystemOptions& options);

// Leaving the Backup and Log tab or OK: the folder as typed; with the maximum
// chosen the size must be 1..100000 (a size below the spin's 10 is fine);
// unlimited stores the limit off and the size 0.
CheckResult<CSystemOptions, OptionsField> checkBackupLogTab(const BackupLogTabTexts& texts, CSystemOptions options);

// OK of the sheet: an empty default backup folder becomes the data folder's
// "Data" folder, ending in '/'.
CSystemOptions confirmedOptions(CSystemOptions edited, const std::filesystem::path& data_folder);

}  // namespace keelvault
