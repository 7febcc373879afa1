#pragma once

#include <cstdint>
#include <string>

#include "core/editing/check_result.h"
#include "core/model/task.h"

namespace keelvault {

// The backup file page: file type, same file or new files, file or folder,
// line ends.
enum class BackupFileField { FileEdit, BrowseButton, FolderEdit, FolderButton };

struct BackupFileTexts {
    uint8_t file_type = 1;  // 1 "SQL File", 2 "PHP File"
    uint8_t file_mode = 2;  // 1 "Backup to a same file each time", 2 "Backup to the new file(s) each time"
    std::string file;
    std::string folder;
    bool unix_newlines = false;
};

struct BackupFileValues {
    uint8_t file_type = 1;
    uint8_t file_mode = 2;
    std::string same_file_path;    // empty in the new-files mode
    std::string backup_directory;  // ends in '/'; empty in the same-file mode
    uint8_t unix_newlines = 0;     // always off for PHP files
};

// The fields as the page shows stored options (empty paths stay empty; the
// page offers the default names for them).
BackupFileTexts backupFilePageTexts(const CBackupOptions& options);

// What the file-type radios do to the file edit: a text of more than four
// characters gets ".sql" or ".php" in place of its last four, whatever they
// were; shorter texts stay. Characters, not bytes, are counted, so a name
// ending in non-ASCII letters is never cut inside a letter.
std::string withBackupFileExtension(const std::string& file, uint8_t file_type);

// Next. The same-file mode needs a regular file that can be read, or a file
// that can be created (the test file is removed again). The new-files mode
// needs a folder that exists or can be created as one new level; it is
// created here, and stored with a trailing '/'.
CheckResult<BackupFileValues, BackupFileField> checkBackupFilePage(const BackupFileTexts& texts);

}  // namespace keelvault
