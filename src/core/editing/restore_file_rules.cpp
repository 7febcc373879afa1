#include "core/editing/restore_file_rules.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <limits>

#include "core/model/task_time.h"

namespace keelvault {

namespace {

std::string fileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// 0 for "sql", 1 for ".gz", nullopt for anything else.
std::optional<uint8_t> kindOfName(const std::string& name) {
    if (name.size() <= 3) return std::nullopt;
    std::string tail = name.substr(name.size() - 3);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (tail == "sql") return uint8_t{0};
    if (tail == ".gz") return uint8_t{1};
    return std::nullopt;
}

}  // namespace

std::optional<CRestoreFile> restoreFileEntryOfKind(const std::string& path, uint8_t kind) {
    // Non-blocking, so a named pipe is skipped at once instead of waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    const bool readable = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    if (!readable) return std::nullopt;

    CRestoreFile entry;
    entry.kind = kind;
    entry.file_name = fileNameOf(path);
    entry.full_path = path;
    entry.size = static_cast<int32_t>(std::min<int64_t>(st.st_size, std::numeric_limits<int32_t>::max()));
    const TaskTime modified = localTimeOf(st.st_mtime);
    entry.year = modified.year;
    entry.month = modified.month;
    entry.day = modified.day;
    entry.hour = modified.hour;
    entry.minute = modified.minute;
    entry.second = modified.second;
    entry.day_of_week = modified.day_of_week;
    return entry;
}

std::optional<CRestoreFile> restoreFileEntry(const std::string& path) {
    const std::optional<uint8_t> kind = kindOfName(fileNameOf(path));
    if (!kind) return std::nullopt;
    return restoreFileEntryOfKind(path, *kind);
}

RestoreFileList addRestoreFiles(RestoreFileList list, const std::vector<std::string>& paths) {
    bool appended = false;
    for (const std::string& path : paths) {
        const auto listed = std::find_if(list.files.begin(), list.files.end(),
                                         [&](const CRestoreFile& f) { return f.full_path == path; });
        if (listed != list.files.end()) {
            list.selected = {static_cast<int>(listed - list.files.begin())};
            continue;
        }
        if (std::optional<CRestoreFile> entry = restoreFileEntry(path)) {
            list.files.push_back(std::move(*entry));
            appended = true;
        }
    }
    if (appended) list.selected = {static_cast<int>(list.files.size()) - 1};
    return list;
}

CheckResult<RestoreFileList, RestoreFilesField> moveRestoreFile(RestoreFileList list, bool up) {
    if (list.selected.size() != 1) return refuse("Please choose a file item!", RestoreFilesField::List);
    const int row = list.selected.front();
    const int other = up ? row - 1 : row + 1;
    if (row < 0 || other < 0 || other >= static_cast<int>(list.files.size())) return list;
    std::swap(list.files[static_cast<size_t>(row)], list.files[static_cast<size_t>(other)]);
    list.selected = {other};
    return list;
}

CheckResult<RestoreFilesValues, RestoreFilesField> checkRestoreFilesPage(const std::vector<CRestoreFile>& files,
                                                                         bool continue_on_sql_error,
                                                                         bool continue_on_file_error) {
    if (files.empty()) return refuse("Please add the files!", RestoreFilesField::AddButton);
    RestoreFilesValues values;
    values.options.continue_on_sql_error = continue_on_sql_error ? 1 : 0;
    values.options.continue_on_file_error = continue_on_file_error ? 1 : 0;
    values.files = files;
    values.question =
        "If there are some DROP and DELETE statements in these SQL files, some old databases and tables on the "
        "destination server will be deleted during the task running.\n\nDo you want to continue?";
    return values;
}

}  // namespace keelvault
