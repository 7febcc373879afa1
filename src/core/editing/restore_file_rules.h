#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/editing/check_result.h"
#include "core/model/task.h"

namespace keelvault {

// The restore files page: the ordered list of SQL and gzip files.
enum class RestoreFilesField { AddButton, List };

// The entry for a chosen file, or nullopt when the file is skipped: the last
// three characters of its name, lower-cased, must be "sql" (kind 0) or ".gz"
// (kind 1), and a name of three characters or fewer is skipped too; so is a
// path that is not a regular file that can be opened. Size and modification
// time (local) are read from the file; a size beyond the stored 32-bit field
// is kept at its largest value rather than wrapping negative.
std::optional<CRestoreFile> restoreFileEntry(const std::string& path);
// The entry of a file with the kind given: its name, full path, size and
// modification time. Nothing when it is no regular file that can be opened.
std::optional<CRestoreFile> restoreFileEntryOfKind(const std::string& path, uint8_t kind);

// The list with its selected rows (ascending row indexes).
struct RestoreFileList {
    std::vector<CRestoreFile> files;
    std::vector<int> selected;
};

// "&Add": a path already listed (exact comparison) selects its row alone;
// other paths become entries where restoreFileEntry takes them. When any was
// appended, only the last row ends up selected.
RestoreFileList addRestoreFiles(RestoreFileList list, const std::vector<std::string>& paths);

// "Move &Up" / "Move &Down": need exactly one selected row; the row swaps
// with its neighbour (nothing at the top or bottom) and stays selected.
CheckResult<RestoreFileList, RestoreFilesField> moveRestoreFile(RestoreFileList list, bool up);

struct RestoreFilesValues {
    CRestoreOptions options;
    std::vector<CRestoreFile> files;
    // The wizard asks it (Yes/No) before going on; the edit sheet does not.
    std::string question;
};

// Next: the list must not be empty.
CheckResult<RestoreFilesValues, RestoreFilesField> checkRestoreFilesPage(const std::vector<CRestoreFile>& files,
                                                                         bool continue_on_sql_error,
                                                                         bool continue_on_file_error);

}  // namespace keelvault
