#include "core/editing/options_rules.h"

#include "core/editing/number_text.h"
#include "core/platform/data_folder.h"

namespace keelvault {

CSystemOptions readGeneralTab(const GeneralTabTexts& texts, CSystemOptions options) {
    options.login_user = texts.login_user;
    options.login_password = texts.login_user.empty() ? std::string() : texts.login_password;
    options.auto_run = texts.auto_run ? 1 : 0;
    options.block_shutdown = texts.block_shutdown ? 1 : 0;
    options.hot_key_code = texts.hot_key_code;
    options.hot_key_modifiers = texts.hot_key_modifiers;
    options.date_format = 1;
    for (size_t i = 0; i < texts.date_format_buttons.size(); ++i) {
        if (texts.date_format_buttons[i]) {
            options.date_format = static_cast<uint8_t>(i + 1);
            break;
        }
    }
    options.time_format = texts.twelve_hour_time ? 2 : 1;
    return options;
}

BackupLogTabTexts backupLogTabTexts(const CSystemOptions& options) {
    BackupLogTabTexts texts;
    texts.default_backup_folder = options.default_backup_folder;
    if (options.log_size_limited != 0) {
        texts.log_size = LogSizeChoice::Maximum;
        texts.maximum_size = std::to_string(options.max_log_size_kb);
    }
    return texts;
}

CheckResult<CSystemOptions, OptionsField> checkBackupLogTab(const BackupLogTabTexts& texts, CSystemOptions options) {
    options.default_backup_folder = texts.default_backup_folder;
    if (texts.log_size == LogSizeChoice::Maximum) {
        if (!numberTextInRange(texts.maximum_size, 1, 100000)) {
            return refuse("Please input the maximum size between 1 and 100000!", OptionsField::MaximumLogSize);
        }
        options.log_size_limited = 1;
        options.max_log_size_kb = static_cast<int32_t>(*numberTextValue(texts.maximum_size));
    } else {
        options.log_size_limited = 0;
        options.max_log_size_kb = 0;
    }
    return options;
}

CSystemOptions confirmedOptions(CSystemOptions edited, const std::filesystem::path& data_folder) {
    if (edited.default_backup_folder.empty()) {
        edited.default_backup_folder = (backupDataFolderPath(data_folder) / "").string();
    }
    return edited;
}

}  // namespace keelvault
