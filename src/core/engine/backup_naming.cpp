#include "core/engine/backup_naming.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace keelvault {

BackupLayout backupLayoutFor(const CBackupOptions& options) {
    if (options.flag(kOptFileMode) != 2) return BackupLayout::SameFile;
    switch (options.flag(kOptGrouping)) {
        case 2:
            return BackupLayout::PerDatabase;
        case 3:
            return BackupLayout::PerTable;
        default:
            return BackupLayout::OneFile;
    }
}

std::string defaultFileNameFormat(int grouping) {
    switch (grouping) {
        case 2:
            return "%HOST%_%DATABASE%_%DATE%_%TIME%";
        case 3:
            return "%HOST%_%DATABASE%_%TABLE%_%DATE%_%TIME%";
        default:
            return "%HOST%_%DATE%_%TIME%";
    }
}

std::string backupFileExtension(uint8_t file_type) {
    return file_type == 2 ? ".php" : ".sql";
}

std::string backupDateText(const TaskTime& t) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%d-%02d-%02d", t.year, t.month, t.day);
    return buf;
}

std::string backupTimeText(const TaskTime& t) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02d-%02d-%02d", t.hour, t.minute, t.second);
    return buf;
}

std::string backupDateTimeFolderName(const TaskTime& t) {
    return backupDateText(t) + "_" + backupTimeText(t);
}


namespace {

std::string withoutPathSeparators(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        if (c != '/' && c != '\\' && c != '\0') out += c;
    }
    return out;
}

void replaceAll(std::string& text, const std::string& placeholder, const std::string& value) {
    std::string out;
    size_t from = 0;
    for (size_t at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, from)) {
        out.append(text, from, at - from);
        out += value;
        from = at + placeholder.size();
    }
    if (from == 0) return;
    out.append(text, from, std::string::npos);
    text = std::move(out);
}

}  // namespace

std::string replaceFileNamePlaceholders(const std::string& format, const BackupNameValues& values) {
    // One placeholder after the other, in this order.
    std::string name = format;
    replaceAll(name, "%TASKNAME%", cleanFileNamePart(values.task_name));
    replaceAll(name, "%HOST%", cleanFileNamePart(values.host));
    replaceAll(name, "%DATABASE%", withoutPathSeparators(values.database));
    replaceAll(name, "%TABLE%", withoutPathSeparators(values.table));
    replaceAll(name, "%DATE%", backupDateText(values.start));
    replaceAll(name, "%TIME%", backupTimeText(values.start));
    return name;
}

std::string stripTrailingSeparator(const std::string& directory) {
    if (!directory.empty() && (directory.back() == '/' || directory.back() == '\\')) {
        return directory.substr(0, directory.size() - 1);
    }
    return directory;
}

BackupFolder backupFolderFor(const CBackupOptions& options, const TaskTime& start) {
    BackupFolder folder;
    folder.directory = stripTrailingSeparator(options.backup_directory);
    // Same-file mode writes over one fixed file and never makes a DATE_TIME folder.
    if (options.date_time_subdir && backupLayoutFor(options) != BackupLayout::SameFile)
        folder.subdirectory = folder.directory + "/" + backupDateTimeFolderName(start);
    return folder;
}

bool prepareBackupFolder(const CBackupOptions& options, const TaskTime& start, BackupFolder& folder) {
    folder = BackupFolder{};
    if (options.backup_directory.empty()) return false;
    folder = backupFolderFor(options, start);
    std::error_code ec;
    if (!folder.directory.empty()) std::filesystem::create_directory(folder.directory, ec);
    if (!folder.subdirectory.empty()) std::filesystem::create_directory(folder.subdirectory, ec);
    return true;
}

std::string backupFilePath(const BackupFolder& folder, const CBackupOptions& options, const BackupNameValues& values) {
    const std::string format =
        options.file_name_format.empty() ? defaultFileNameFormat(options.flag(kOptGrouping)) : options.file_name_format;
    return folder.fileFolder() + "/" + replaceFileNamePlaceholders(format, values) +
           backupFileExtension(options.flag(kOptFileType));
}

}  // namespace keelvault
