#include "core/editing/backup_files_settings_rules.h"

#include <optional>

#include "core/editing/number_text.h"
#include "core/engine/backup_naming.h"

namespace keelvault {

namespace {

constexpr const char* kDatabasePlaceholder = "%DATABASE%";
constexpr const char* kTablePlaceholder = "%TABLE%";

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

std::string trimBlanks(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

using Result = CheckResult<BackupSettingsValues, BackupSettingsField>;

std::optional<CheckFailure<BackupSettingsField>> placeholderFailure(uint8_t grouping, const std::string& format) {
    const auto format_failure = [](const std::string& message) { return refuse(message, BackupSettingsField::Format); };
    switch (grouping) {
        case 1:
            if (contains(format, kDatabasePlaceholder)) {
                return format_failure("Please do not include %DATABASE% in file name format!");
            }
            if (contains(format, kTablePlaceholder)) {
                return format_failure("Please do not include %TABLE% in file name format!");
            }
            break;
        case 2:
            if (contains(format, kTablePlaceholder)) {
                return format_failure("Please do not include %TABLE% in file name format!");
            }
            if (!contains(format, kDatabasePlaceholder)) {
                return format_failure("Please include %DATABASE% in file name format!");
            }
            break;
        case 3:
            if (!contains(format, kTablePlaceholder)) {
                return format_failure("Please include %TABLE% in file name format!");
            }
            break;
        default:
            break;
    }
    return std::nullopt;
}

}  // namespace

BackupSettingsTexts backupSettingsTexts(const CBackupOptions& options) {
    BackupSettingsTexts texts;
    texts.grouping = options.flag(kOptGrouping);
    texts.format = options.file_name_format.empty() ? defaultFileNameFormat(texts.grouping) : options.file_name_format;
    texts.date_time_subdirectory = options.date_time_subdir != 0;
    const std::string number = std::to_string(options.retention_limit);
    if (options.retention_kind == 1) {
        texts.retention = RetentionChoice::KeepDays;
        texts.days = number;
    } else if (options.retention_kind == 2) {
        texts.retention = RetentionChoice::KeepCopies;
        texts.copies = number;
    }
    return texts;
}

Result checkBackupSettings(const BackupSettingsTexts& texts) {
    BackupSettingsValues values;
    values.grouping = texts.grouping;
    values.format = trimBlanks(texts.format);
    if (values.format.empty()) return refuse("Please input file name format!", BackupSettingsField::Format);
    if (values.format.find_first_of("\r\n\t\\/:*?\"<>|") != std::string::npos) {
        return refuse("There are some invalid characters in the file name format!\n\n\\ / : * ? \" < > |",
                      BackupSettingsField::Format);
    }
    if (auto failure = placeholderFailure(texts.grouping, values.format)) return *failure;

    values.date_time_subdirectory = texts.date_time_subdirectory ? 1 : 0;
    if (texts.retention == RetentionChoice::KeepDays) {
        if (!numberTextInRange(texts.days, 1, 10000)) {
            return refuse("Invalid keeping days!", BackupSettingsField::KeepDays);
        }
        values.retention_kind = 1;
        values.retention_limit = static_cast<int32_t>(*numberTextValue(texts.days));
    } else if (texts.retention == RetentionChoice::KeepCopies) {
        if (!numberTextInRange(texts.copies, 1, 10000)) {
            return refuse("Invalid backup copies!", BackupSettingsField::KeepCopies);
        }
        values.retention_kind = 2;
        values.retention_limit = static_cast<int32_t>(*numberTextValue(texts.copies));
    }
    return values;
}

}  // namespace keelvault
