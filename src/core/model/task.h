#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/model/task_time.h"

namespace keelvault {

// Task type codes.
enum TaskType : uint8_t {
    kTypeBackupToFiles = 1,
    kTypeBackupToServer = 2,
    kTypeBackupToDatabase = 3,
    kTypeExport = 4,
    kTypeExecuteScript = 5,
    kTypeRestoreFromFiles = 6,
    kTypeRestoreFromServer = 7,
    kTypeRestoreFromDatabase = 8,
};

// Task status codes.
enum TaskStatus : uint8_t {
    kStatusWaiting = 1,
    kStatusIdle = 2,
    kStatusRunning = 3,
    kStatusService = 100,
};

// Schedule kinds.
enum ScheduleKind : uint8_t {
    kScheduleManual = 0,
    kScheduleEveryDay = 1,
    kScheduleEveryWeek = 2,
    kScheduleEveryMonth = 3,
    kScheduleSpecialDate = 4,
    kScheduleTimeInterval = 5,
};

// "Backup to SQL/PHP files" and friends: the name shown in lists and summaries;
// "Unknown" for a code outside 1..8.
const char* taskTypeName(int type);
// "Waiting...", "Stop", "Running...", "Service..." or "Unknown".
const char* taskStatusText(int status);
// "Manual", "Every Day", ..., "Minutes", or "Unknown".
const char* scheduleKindText(int kind);

struct CServerSettings {
    std::string connection_name;
    std::string host = "localhost";
    int32_t port = 3306;
    std::string user = "root";
    std::string password;
    std::string database;
    std::string comment;
    uint8_t save_password = 0;
    uint8_t use_compression = 0;
    uint8_t use_ssl = 0;
    uint8_t reserved2 = 0;

    bool operator==(const CServerSettings&) const = default;
};

struct CTableItem {
    uint8_t selected = 0;  // any non-zero value counts as chosen
    uint8_t kind = 0;      // 0 unknown, 1 table, 2 view
    std::string database;
    std::string table;

    bool operator==(const CTableItem&) const = default;
};

struct CDatabaseItem {
    uint8_t selected = 0;  // 0 not chosen, 1 some tables, 2 whole database
    std::string name;
    std::vector<CTableItem> tables;

    bool operator==(const CDatabaseItem&) const = default;
};

struct CExportOptions {
    uint8_t format = 1;  // 1 CSV, 2 XML, 3 HTML, 4 TEXT
    std::string directory;
    std::string fields_terminated_by;
    std::string fields_enclosed_by;
    std::string fields_escaped_by;
    std::string lines_terminated_by;
    uint8_t column_names_on_top = 0;

    bool operator==(const CExportOptions&) const = default;
};

// Indexes of the 29 option bytes of CBackupOptions::flags.
enum BackupFlag : int {
    kOptStructure = 0,
    kOptRecords = 1,
    kOptLockTables = 2,
    kOptFlushTables = 3,
    kOptQuoteNames = 4,
    kOptSetCharset = 5,
    kOptNewTables = 6,
    kOptNewDatabases = 7,
    kOptFlushLogs = 8,
    kOptReserved9 = 9,
    kOptCreateDatabase = 10,
    kOptAddLockTables = 11,
    kOptDropTable = 12,
    kOptDeleteRecords = 13,
    kOptSetNames = 14,
    kOptCompleteInsert = 15,
    kOptInsertDelayed = 16,
    kOptMultipleRows = 17,
    kOptReplace = 18,
    kOptInsertIgnore = 19,
    kOptAutocommit = 20,
    kOptForeignKeyChecks = 21,
    kOptUniqueChecks = 22,
    kOptSqlNotes = 23,
    kOptKeywordColumns = 24,
    kOptDisableKeys = 25,
    kOptFileType = 26,   // 1 SQL, 2 PHP
    kOptFileMode = 27,   // 1 same file each time, 2 new files each time
    kOptGrouping = 28,   // 1 one file, 2 per database, 3 per table
    kBackupFlagCount = 29,
};

struct CBackupOptions {
    std::array<uint8_t, kBackupFlagCount> flags = defaultFlags();
    std::string same_file_path;
    std::string backup_directory;
    std::string file_name_format = "%HOST%_%DATE%_%TIME%";
    uint8_t retention_kind = 0;   // 0 none, 1 by age (days), 2 by count
    int32_t retention_limit = 0;
    uint8_t date_time_subdir = 0;
    uint8_t unix_newlines = 0;
    uint8_t reserved36 = 0;
    uint8_t new_database = 0;
    std::string destination_database;
    uint8_t gzip = 0;
    int32_t compression_level = 5;

    uint8_t flag(int index) const { return flags[static_cast<size_t>(index)]; }
    static std::array<uint8_t, kBackupFlagCount> defaultFlags();
    bool operator==(const CBackupOptions&) const = default;
};

struct CSchedule {
    uint8_t kind = kScheduleManual;
    int32_t hour = 0;
    int32_t minute = 0;
    std::array<uint8_t, 7> week_days{};    // Sunday first
    std::array<uint8_t, 31> month_days{};  // day 1 first
    int32_t year = 0;
    int32_t month = 0;
    int32_t day = 0;
    int32_t every_n_days = 0;
    int32_t interval_minutes = 30;

    bool operator==(const CSchedule&) const = default;
};

struct CRestoreOptions {
    uint8_t continue_on_sql_error = 1;
    uint8_t continue_on_file_error = 1;

    bool operator==(const CRestoreOptions&) const = default;
};

struct CRestoreFile {
    uint8_t kind = 0;  // 0 plain SQL, 1 gzip, 101 other
    std::string file_name;
    std::string full_path;
    int32_t size = 0;
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int32_t day_of_week = 0;

    bool operator==(const CRestoreFile&) const = default;
};

struct CBackupRecord {
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    uint8_t file_mode = 0;
    uint8_t file_type = 0;
    uint8_t reserved = 0;
    std::string subdirectory;
    std::vector<std::string> files;

    bool operator==(const CBackupRecord&) const = default;
};

struct CBufferOptions {
    uint8_t mode = 0;  // 0 none, 1 N records per batch, 2 all records
    int32_t records = 200;

    bool operator==(const CBufferOptions&) const = default;
};

// One scheduled job. A value object: copies are deep.
//
// Thread use while the task server runs: a worker updates its own task in
// place while the interface thread reads it for display. `status` and
// `run_now` are atomics; the four time stamps and `backups` are guarded by
// mutex(), which is never held across an engine run. Every other field is
// written only while the task has no worker.
class CTask {
public:
    CTask() = default;
    CTask(const CTask& other);
    CTask& operator=(const CTask& other);

    // Field-by-field equality (time stamps and backups read under the locks).
    bool operator==(const CTask& other) const;

    void makeDefault() { *this = CTask(); }
    // status 1 when the schedule kind is not Manual, else 2.
    void applyScheduleStatus();

    std::mutex& mutex() const { return mutex_; }

    std::string ref_text;
    std::atomic<uint8_t> run_now{0};
    std::string name;
    std::string comment;
    uint8_t task_type = kTypeBackupToFiles;
    std::atomic<uint8_t> status{kStatusIdle};
    TaskTime created_at;  // guarded
    TaskTime started_at;  // guarded
    TaskTime last_run;    // guarded
    TaskTime next_run;    // guarded
    std::string log_name;
    CServerSettings source;
    CServerSettings destination;
    CExportOptions export_options;
    std::vector<CTableItem> export_tables;
    CBackupOptions backup_options;
    std::vector<CDatabaseItem> databases;
    CSchedule schedule;
    std::vector<std::string> script;
    std::vector<CBackupRecord> backups;  // guarded
    CRestoreOptions restore_options;
    std::vector<CRestoreFile> restore_files;
    CBufferOptions buffer_options;

private:
    void copyFrom(const CTask& other);
    mutable std::mutex mutex_;
};

// A task name or host made fit for a file name: carriage returns, line
// feeds, tabs and \ / : * ? " < > | removed, blanks trimmed on both ends.
std::string cleanFileNamePart(const std::string& text);

// The log file name of a new task: the cleaned task name, the six parts of
// the creation time without padding, and ".log".
std::string makeLogName(const std::string& task_name, const TaskTime& created);

// The ordered list of tasks.
class CTaskList {
public:
    int count() const { return static_cast<int>(tasks_.size()); }
    CTask& at(int index) { return tasks_.at(static_cast<size_t>(index)); }
    const CTask& at(int index) const { return tasks_.at(static_cast<size_t>(index)); }
    int append(const CTask& task) {
        tasks_.push_back(task);
        return count() - 1;
    }
    void removeAt(int index) { tasks_.erase(tasks_.begin() + index); }
    void replaceAt(int index, const CTask& task) { tasks_.at(static_cast<size_t>(index)) = task; }
    void clear() { tasks_.clear(); }

private:
    std::vector<CTask> tasks_;
};

}  // namespace keelvault
