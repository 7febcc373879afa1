#include "core/editing/backup_file_rules.h"

#include "core/editing/path_checks.h"
#include "core/engine/backup_naming.h"

namespace keelvault {

namespace {

bool isUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Byte offset where the last `count` characters of UTF-8 text begin, or npos
// when the text has `count` characters or fewer.
size_t lastCharactersStart(const std::string& text, size_t count) {
    size_t position = text.size();
    for (size_t seen = 0; seen < count; ++seen) {
        if (position == 0) return std::string::npos;
        --position;
        while (position > 0 && isUtf8Continuation(text[position])) --position;
    }
    return position == 0 ? std::string::npos : position;
}

}  // namespace

BackupFileTexts backupFilePageTexts(const CBackupOptions& options) {
    BackupFileTexts texts;
    texts.file_type = options.flag(kOptFileType) == 2 ? 2 : 1;
    texts.file_mode = options.flag(kOptFileMode) == 2 ? 2 : 1;
    texts.file = options.same_file_path;
    texts.folder = options.backup_directory;
    texts.unix_newlines = texts.file_type == 1 && options.unix_newlines != 0;
    return texts;
}

std::string withBackupFileExtension(const std::string& file, uint8_t file_type) {
    const size_t start = lastCharactersStart(file, 4);
    if (start == std::string::npos) return file;
    return file.substr(0, start) + backupFileExtension(file_type);
}

CheckResult<BackupFileValues, BackupFileField> checkBackupFilePage(const BackupFileTexts& texts) {
    BackupFileValues values;
    values.file_type = texts.file_type == 2 ? 2 : 1;
    // As the backup run reads it: anything but the new-files mode is the same file.
    values.file_mode = texts.file_mode == 2 ? 2 : 1;
    if (values.file_mode == 1) {
        if (texts.file.empty()) return refuse("Please input a file!", BackupFileField::BrowseButton);
        if (!fileReadableOrCreatable(texts.file)) return refuse("Invalid file!", BackupFileField::FileEdit);
        values.same_file_path = texts.file;
    } else {
        if (texts.folder.empty()) return refuse("Please input a folder!", BackupFileField::FolderButton);
        if (!ensureFolderOneLevel(texts.folder)) return refuse("Invalid folder!", BackupFileField::FolderEdit);
        values.backup_directory = withTrailingSeparator(texts.folder);
    }
    values.unix_newlines = values.file_type == 1 && texts.unix_newlines ? 1 : 0;
    return values;
}

}  // namespace keelvault
