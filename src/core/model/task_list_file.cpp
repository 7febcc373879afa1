#include "core/model/task_list_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <mutex>

#include "core/model/binary_io.h"
#include "core/model/record_io.h"
#include "core/platform/data_folder.h"

namespace keelvault {

namespace {

constexpr uint8_t kKey = kTaskTextKey;

// Smallest encoded sizes, used to reject counts that cannot fit in what is
// left of the file before anything is allocated for them.
constexpr size_t kMinTableItemSize = 1 + 1 + 4 + 4;
constexpr size_t kMinDatabaseItemSize = 1 + 4 + 4;
constexpr size_t kMinTextSize = 4;
constexpr size_t kMinBackupRecordSize = 6 * 4 + 3 + 4 + 4;
constexpr size_t kMinRestoreFileSize = 1 + 4 + 4 + 4 + 7 * 4;
// Every text empty and every list empty: 378 bytes.
constexpr size_t kMinTaskRecordSize = 4 + 4 + 1 + 4 + 4 + 1 + 1 + 4 * 28 + 4 + 2 * (7 * 4 + 4) + (1 + 5 * 4 + 1) + 4 +
                                      (kBackupFlagCount + 3 * 4 + 1 + 4 + 4 + 4 + 1 + 4) + 4 +
                                      (1 + 4 + 4 + 7 + 31 + 5 * 4) + 4 + 4 + 2 + 4 + (1 + 4) + 4;

// Saves of the task list come from the interface thread and from backup
// workers; one lock keeps them (and appends to the new-tasks file) apart.
std::mutex& saveMutex() {
    static std::mutex m;
    return m;
}

void writeTable(ByteWriter& w, const CTableItem& t) {
    w.u8(t.selected);
    w.u8(t.kind);
    w.text(t.database, kKey);
    w.text(t.table, kKey);
}

void readTable(ByteReader& r, CTableItem& t) {
    t.selected = r.u8();
    t.kind = r.u8();
    t.database = r.text(kKey);
    t.table = r.text(kKey);
}

void writeTables(ByteWriter& w, const std::vector<CTableItem>& tables) {
    w.i32(static_cast<int32_t>(tables.size()));
    for (const CTableItem& t : tables) writeTable(w, t);
}

std::vector<CTableItem> readTables(ByteReader& r) {
    std::vector<CTableItem> tables;
    const int32_t n = r.count(kMinTableItemSize);
    tables.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < n && r.ok(); ++i) readTable(r, tables.emplace_back());
    return tables;
}

void writeTexts(ByteWriter& w, const std::vector<std::string>& texts) {
    w.i32(static_cast<int32_t>(texts.size()));
    for (const std::string& s : texts) w.text(s, kKey);
}

std::vector<std::string> readTexts(ByteReader& r) {
    std::vector<std::string> texts;
    const int32_t n = r.count(kMinTextSize);
    texts.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < n && r.ok(); ++i) texts.push_back(r.text(kKey));
    return texts;
}

void writeBackupOptions(ByteWriter& w, const CBackupOptions& b) {
    for (uint8_t f : b.flags) w.u8(f);
    w.text(b.same_file_path, kKey);
    w.text(b.backup_directory, kKey);
    w.text(b.file_name_format, kKey);
    w.u8(b.retention_kind);
    w.i32(b.retention_limit);
    w.u8(b.date_time_subdir);
    w.u8(b.unix_newlines);
    w.u8(b.reserved36);
    w.u8(b.new_database);
    w.text(b.destination_database, kKey);
    w.u8(b.gzip);
    w.i32(b.compression_level);
}

void readBackupOptions(ByteReader& r, CBackupOptions& b) {
    for (uint8_t& f : b.flags) f = r.u8();
    b.same_file_path = r.text(kKey);
    b.backup_directory = r.text(kKey);
    b.file_name_format = r.text(kKey);
    b.retention_kind = r.u8();
    b.retention_limit = r.i32();
    b.date_time_subdir = r.u8();
    b.unix_newlines = r.u8();
    b.reserved36 = r.u8();
    b.new_database = r.u8();
    b.destination_database = r.text(kKey);
    b.gzip = r.u8();
    b.compression_level = r.i32();
}

void writeSchedule(ByteWriter& w, const CSchedule& s) {
    w.u8(s.kind);
    w.i32(s.hour);
    w.i32(s.minute);
    for (uint8_t d : s.week_days) w.u8(d);
    for (uint8_t d : s.month_days) w.u8(d);
    w.i32(s.year);
    w.i32(s.month);
    w.i32(s.day);
    w.i32(s.every_n_days);
    w.i32(s.interval_minutes);
}

void readSchedule(ByteReader& r, CSchedule& s) {
    s.kind = r.u8();
    s.hour = r.i32();
    s.minute = r.i32();
    for (uint8_t& d : s.week_days) d = r.u8();
    for (uint8_t& d : s.month_days) d = r.u8();
    s.year = r.i32();
    s.month = r.i32();
    s.day = r.i32();
    s.every_n_days = r.i32();
    s.interval_minutes = r.i32();
}

void writeBackupRecord(ByteWriter& w, const CBackupRecord& b) {
    w.i32(b.year);
    w.i32(b.month);
    w.i32(b.day);
    w.i32(b.hour);
    w.i32(b.minute);
    w.i32(b.second);
    w.u8(b.file_mode);
    w.u8(b.file_type);
    w.u8(b.reserved);
    w.text(b.subdirectory, kKey);
    writeTexts(w, b.files);
}

void readBackupRecord(ByteReader& r, CBackupRecord& b) {
    b.year = r.i32();
    b.month = r.i32();
    b.day = r.i32();
    b.hour = r.i32();
    b.minute = r.i32();
    b.second = r.i32();
    b.file_mode = r.u8();
    b.file_type = r.u8();
    b.reserved = r.u8();
    b.subdirectory = r.text(kKey);
    b.files = readTexts(r);
}

void writeRestoreFile(ByteWriter& w, const CRestoreFile& f) {
    w.u8(f.kind);
    w.text(f.file_name, kKey);
    w.text(f.full_path, kKey);
    w.i32(f.size);
    w.i32(f.year);
    w.i32(f.month);
    w.i32(f.day);
    w.i32(f.hour);
    w.i32(f.minute);
    w.i32(f.second);
    w.i32(f.day_of_week);
}

void readRestoreFile(ByteReader& r, CRestoreFile& f) {
    f.kind = r.u8();
    f.file_name = r.text(kKey);
    f.full_path = r.text(kKey);
    f.size = r.i32();
    f.year = r.i32();
    f.month = r.i32();
    f.day = r.i32();
    f.hour = r.i32();
    f.minute = r.i32();
    f.second = r.i32();
    f.day_of_week = r.i32();
}

void writeTask(ByteWriter& w, const CTask& live) {
    // Serialise a copy taken under the task's lock, so neither a worker
    // updating its task nor the interface renaming or editing it races a save
    // made on another thread.
    const CTask task(live);
    const TaskTime& created_at = task.created_at;
    const TaskTime& started_at = task.started_at;
    const TaskTime& last_run = task.last_run;
    const TaskTime& next_run = task.next_run;
    const std::vector<CBackupRecord>& backups = task.backups;

    w.u32(kTaskListMagic);
    w.text(task.ref_text, kKey);
    w.u8(task.run_now.load());
    w.text(task.name, kKey);
    w.text(task.comment, kKey);
    w.u8(task.task_type);
    w.u8(task.status.load());
    writeTaskTime(w, created_at);
    writeTaskTime(w, started_at);
    writeTaskTime(w, last_run);
    writeTaskTime(w, next_run);
    w.text(task.log_name, kKey);
    writeServerSettings(w, task.source, kKey);
    writeServerSettings(w, task.destination, kKey);

    const CExportOptions& e = task.export_options;
    w.u8(e.format);
    w.text(e.directory, kKey);
    w.text(e.fields_terminated_by, kKey);
    w.text(e.fields_enclosed_by, kKey);
    w.text(e.fields_escaped_by, kKey);
    w.text(e.lines_terminated_by, kKey);
    w.u8(e.column_names_on_top);
    writeTables(w, task.export_tables);

    writeBackupOptions(w, task.backup_options);

    w.i32(static_cast<int32_t>(task.databases.size()));
    for (const CDatabaseItem& d : task.databases) {
        w.u8(d.selected);
        w.text(d.name, kKey);
        writeTables(w, d.tables);
    }

    writeSchedule(w, task.schedule);
    writeTexts(w, task.script);

    w.i32(static_cast<int32_t>(backups.size()));
    for (const CBackupRecord& b : backups) writeBackupRecord(w, b);

    w.u8(task.restore_options.continue_on_sql_error);
    w.u8(task.restore_options.continue_on_file_error);

    w.i32(static_cast<int32_t>(task.restore_files.size()));
    for (const CRestoreFile& f : task.restore_files) writeRestoreFile(w, f);

    w.u8(task.buffer_options.mode);
    w.i32(task.buffer_options.records);
    w.u32(kTaskListMagic);
}

// Reads one framed record into a task that no other thread sees yet.
bool readTask(ByteReader& r, CTask& task) {
    if (r.u32() != kTaskListMagic || !r.ok()) return false;
    task.ref_text = r.text(kKey);
    task.run_now.store(r.u8());
    task.name = r.text(kKey);
    task.comment = r.text(kKey);
    task.task_type = r.u8();
    task.status.store(r.u8());
    task.created_at = readTaskTime(r);
    task.started_at = readTaskTime(r);
    task.last_run = readTaskTime(r);
    task.next_run = readTaskTime(r);
    task.log_name = r.text(kKey);
    readServerSettings(r, task.source, kKey);
    readServerSettings(r, task.destination, kKey);

    CExportOptions& e = task.export_options;
    e.format = r.u8();
    e.directory = r.text(kKey);
    e.fields_terminated_by = r.text(kKey);
    e.fields_enclosed_by = r.text(kKey);
    e.fields_escaped_by = r.text(kKey);
    e.lines_terminated_by = r.text(kKey);
    e.column_names_on_top = r.u8();
    task.export_tables = readTables(r);

    readBackupOptions(r, task.backup_options);

    const int32_t databases = r.count(kMinDatabaseItemSize);
    task.databases.reserve(static_cast<size_t>(databases));
    for (int32_t i = 0; i < databases && r.ok(); ++i) {
        CDatabaseItem& d = task.databases.emplace_back();
        d.selected = r.u8();
        d.name = r.text(kKey);
        d.tables = readTables(r);
    }

    readSchedule(r, task.schedule);
    task.script = readTexts(r);

    const int32_t backups = r.count(kMinBackupRecordSize);
    task.backups.reserve(static_cast<size_t>(backups));
    for (int32_t i = 0; i < backups && r.ok(); ++i) readBackupRecord(r, task.backups.emplace_back());

    task.restore_options.continue_on_sql_error = r.u8();
    task.restore_options.continue_on_file_error = r.u8();

    const int32_t files = r.count(kMinRestoreFileSize);
    task.restore_files.reserve(static_cast<size_t>(files));
    for (int32_t i = 0; i < files && r.ok(); ++i) readRestoreFile(r, task.restore_files.emplace_back());

    task.buffer_options.mode = r.u8();
    task.buffer_options.records = r.i32();
    return r.u32() == kTaskListMagic && r.ok();
}

bool writeAll(int fd, const std::string& bytes, off_t offset) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, offset + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool readExactly(int fd, char* buf, size_t size, off_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, buf + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool appendLocked(int fd, const std::string& record) {
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const off_t size = st.st_size;

    int32_t count = 0;
    if (size > 0) {
        // A file that is not a new-tasks list of ours is left alone: it is not
        // ours to overwrite.
        if (size < 8) return false;
        char head[8];
        if (!readExactly(fd, head, sizeof head, 0)) return false;
        ByteReader r(std::string_view(head, sizeof head));
        const uint32_t magic = r.u32();
        count = r.i32();
        if (magic != kTaskListMagic || count < 0 || count == INT32_MAX) return false;
    }

    // The record goes first and the count after it, so a failure part-way
    // never leaves a count that promises a record that is not there.
    if (!writeAll(fd, record, size > 0 ? size : 8) || ::fsync(fd) != 0) {
        if (::ftruncate(fd, size) != 0) {
            // Nothing more can be done; the count still matches the old records.
        }
        return false;
    }
    ByteWriter head;
    head.u32(kTaskListMagic);
    head.i32(count + 1);
    if (!writeAll(fd, head.bytes(), 0)) {
        // Drop the record again; a header that failed part-way on a file we
        // just started would otherwise make it unusable.
        if (::ftruncate(fd, size) != 0) {
            // The old records are still intact up to the old size.
        }
        return false;
    }
    return ::fsync(fd) == 0;
}

}  // namespace

std::string serializeTask(const CTask& task) {
    ByteWriter w;
    writeTask(w, task);
    return w.take();
}

bool saveTasks(const std::filesystem::path& path, const std::vector<const CTask*>& tasks) {
    if (path.empty()) return false;
    std::lock_guard lock(saveMutex());

    std::vector<const CTask*> present;
    for (const CTask* t : tasks) {
        if (t) present.push_back(t);
    }
    if (present.empty()) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        return !ec;
    }

    ByteWriter w;
    w.u32(kTaskListMagic);
    w.i32(static_cast<int32_t>(present.size()));
    for (const CTask* t : present) writeTask(w, *t);
    return writeFileAtomically(path, w.bytes());
}

bool saveTaskList(const std::filesystem::path& path, const CTaskList& list) {
    std::vector<const CTask*> tasks;
    tasks.reserve(static_cast<size_t>(list.count()));
    for (int i = 0; i < list.count(); ++i) tasks.push_back(&list.at(i));
    return saveTasks(path, tasks);
}

bool parseTaskList(const std::string& bytes, CTaskList& out) {
    ByteReader r(bytes);
    if (r.u32() != kTaskListMagic || !r.ok()) return false;
    const int32_t count = r.count(kMinTaskRecordSize);
    if (!r.ok()) return false;

    CTaskList loaded;
    for (int32_t i = 0; i < count; ++i) {
        CTask task;
        if (!readTask(r, task)) return false;
        loaded.append(task);
    }
    if (!r.ok() || !r.atEnd()) return false;
    out = std::move(loaded);
    return true;
}

bool loadTaskList(const std::filesystem::path& path, CTaskList& out) {
    if (path.empty()) return false;
    std::string bytes;
    if (!readWholeFile(path, bytes)) return false;
    return parseTaskList(bytes, out);
}

bool appendNewTask(const std::filesystem::path& path, const CTask& task) {
    if (path.empty()) return false;
    const std::string record = serializeTask(task);

    std::lock_guard lock(saveMutex());
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    // The service that consumes the file runs in another process.
    bool ok = ::flock(fd, LOCK_EX) == 0;
    if (ok) ok = appendLocked(fd, record);
    if (::close(fd) != 0) ok = false;
    return ok;
}

}  // namespace keelvault
