#include "core/editing/task_checks.h"

#include "core/editing/backup_file_rules.h"
#include "core/editing/backup_files_settings_rules.h"
#include "core/editing/buffer_rules.h"
#include "core/editing/database_choice_rules.h"
#include "core/editing/database_selection_rules.h"
#include "core/editing/export_rules.h"
#include "core/editing/restore_file_rules.h"
#include "core/editing/schedule_rules.h"
#include "core/editing/script_rules.h"
#include "core/editing/server_block_rules.h"
#include "core/editing/task_name_rules.h"

namespace keelvault {

namespace {

using Failure = std::optional<TaskCheckFailure>;

template <typename Value, typename Field, typename FieldName>
Failure failureOf(const CheckResult<Value, Field>& result, FieldName field_name) {
    if (result) return std::nullopt;
    return TaskCheckFailure{result.failure().message, field_name(result.failure().focus)};
}

// The JSON name of a server block field of the "source" or "destination" server.
std::string serverFieldName(const char* server, ServerBlockField field) {
    return std::string(server) + (field == ServerBlockField::Port ? ".port" : ".host");
}

Failure checkName(const CTask& task, const TaskCheckContext& context) {
    return failureOf(checkTaskName({task.name, task.comment}, context.task_names, context.edit_index),
                     [](TaskNameField) { return "name"; });
}

// A server page of the source role.
Failure checkSourceServer(const CTask& task) {
    return failureOf(checkServerBlock(serverBlockTexts(task.source)),
                     [](ServerBlockField f) { return serverFieldName("source", f); });
}

// A server page of the destination role, with its not-the-source rule.
Failure checkDestinationServer(const CTask& task) {
    auto block = checkServerBlock(serverBlockTexts(task.destination));
    if (!block) return failureOf(block, [](ServerBlockField f) { return serverFieldName("destination", f); });
    return failureOf(checkDestinationNotSource(block.value(), task.source, task.task_type),
                     [](ServerBlockField f) { return serverFieldName("destination", f); });
}

std::string selectionFieldName(SelectionField field) {
    switch (field) {
        case SelectionField::StructureRecords:
            return "backup_options.flags";
        case SelectionField::ExportTables:
            return "export_tables";
        default:
            return "databases";
    }
}

Failure checkDatabases(const CTask& task) {
    const CBackupOptions& b = task.backup_options;
    ChooseDatabasesTexts texts;
    texts.structure = b.flag(kOptStructure) != 0;
    texts.records = b.flag(kOptRecords) != 0;
    // The restore kind hides the box, and its run ignores the flag.
    texts.new_databases = task.task_type != kTypeRestoreFromServer && b.flag(kOptNewDatabases) != 0;
    texts.tree = task.databases;
    return failureOf(checkChooseDatabases(texts), selectionFieldName);
}

Failure checkTables(const CTask& task) {
    const CBackupOptions& b = task.backup_options;
    ChooseTablesTexts texts;
    texts.structure = b.flag(kOptStructure) != 0;
    texts.records = b.flag(kOptRecords) != 0;
    texts.new_tables = b.flag(kOptNewTables) != 0;
    for (const CDatabaseItem& database : task.databases) {
        texts.tables.insert(texts.tables.end(), database.tables.begin(), database.tables.end());
    }
    texts.source_database = task.source.database;
    return failureOf(checkChooseTables(texts), selectionFieldName);
}

// An empty stored name shows as no entry chosen in the page's list.
std::optional<std::string> listChoice(const std::string& name) {
    if (name.empty()) return std::nullopt;
    return name;
}

Failure checkSourceDatabase(const CTask& task) {
    SourceDatabaseTexts texts{serverBlockTexts(task.source), listChoice(task.source.database)};
    return failureOf(checkSourceDatabasePage(texts), [](DatabasePageField f) -> std::string {
        if (f == DatabasePageField::Host) return "source.host";
        if (f == DatabasePageField::Port) return "source.port";
        return "source.database";
    });
}

Failure checkDestinationDatabase(const CTask& task) {
    const CBackupOptions& b = task.backup_options;
    DestinationDatabaseTexts texts;
    texts.server = serverBlockTexts(task.destination);
    // The run takes its destination database from the backup options, so the
    // name checked is that one.
    if (b.new_database == 0) {
        texts.choice = DestinationChoice::Existing;
        texts.existing = listChoice(b.destination_database);
    } else if (b.new_database == 1) {
        texts.choice = DestinationChoice::New;
        texts.new_name = b.destination_database;
    }
    return failureOf(checkDestinationDatabasePage(texts, task.source), [](DatabasePageField f) -> std::string {
        switch (f) {
            case DatabasePageField::Host:
                return "destination.host";
            case DatabasePageField::Port:
                return "destination.port";
            case DatabasePageField::Choice:
                return "backup_options.new_database";
            default:
                return "backup_options.destination_database";
        }
    });
}

Failure checkBackupFiles(const CTask& task) {
    Failure failure =
        failureOf(checkBackupFilePage(backupFilePageTexts(task.backup_options)), [](BackupFileField f) -> std::string {
            if (f == BackupFileField::FileEdit || f == BackupFileField::BrowseButton) {
                return "backup_options.same_file_path";
            }
            return "backup_options.backup_directory";
        });
    if (failure) return failure;
    return failureOf(checkBackupSettings(backupSettingsTexts(task.backup_options)),
                     [](BackupSettingsField f) -> std::string {
                         if (f == BackupSettingsField::Format) return "backup_options.file_name_format";
                         return "backup_options.retention_limit";
                     });
}

Failure checkBuffer(const CTask& task) {
    return failureOf(checkBufferPage(bufferTexts(task.buffer_options)),
                     [](BufferField) { return "buffer_options.records"; });
}

Failure checkExportTablesOf(const CTask& task) {
    return failureOf(checkExportTables(task.export_tables), selectionFieldName);
}

Failure checkExportFile(const CTask& task) {
    return failureOf(checkExportPage(exportTexts(task.export_options)), [](ExportField f) -> std::string {
        return f == ExportField::FileType ? "export_options.format" : "export_options.directory";
    });
}

Failure checkScript(const CTask& task) {
    return failureOf(checkScriptText(scriptEditText(task.script)), [](ScriptField) { return "script"; });
}

Failure checkRestoreFiles(const CTask& task) {
    const CRestoreOptions& r = task.restore_options;
    return failureOf(
        checkRestoreFilesPage(task.restore_files, r.continue_on_sql_error != 0, r.continue_on_file_error != 0),
        [](RestoreFilesField) { return "restore_files"; });
}

Failure checkSchedule(const CTask& task) {
    const CSchedule& s = task.schedule;
    // A stored kind the page has no radio button for is no choice at all.
    std::optional<uint8_t> choice;
    if (s.kind <= kScheduleTimeInterval) choice = scheduleChoiceFor(s);
    return failureOf(checkSchedulePage(s, choice), [&s](ScheduleField f) -> std::string {
        switch (f) {
            case ScheduleField::Choice:
                return "schedule.kind";
            case ScheduleField::Minutes:
                return "schedule.interval_minutes";
            case ScheduleField::Hour:
                return "schedule.hour";
            case ScheduleField::Minute:
                return "schedule.minute";
            case ScheduleField::WeekDays:
                return "schedule.week_days";
            case ScheduleField::MonthDays:
                return "schedule.month_days";
            case ScheduleField::Date:
                break;
        }
        if (s.year <= 0) return "schedule.year";
        if (s.month < 1 || s.month > 12) return "schedule.month";
        return "schedule.day";
    });
}

using PageCheck = Failure (*)(const CTask&);

// The pages after the task name page, in wizard order; the compression page
// has no checks.
std::vector<PageCheck> pagesOf(int task_type) {
    switch (task_type) {
        case kTypeBackupToFiles:
            return {checkSourceServer, checkDatabases, checkBackupFiles, checkBuffer, checkSchedule};
        case kTypeBackupToServer:
        case kTypeRestoreFromServer:
            return {checkSourceServer, checkDatabases, checkDestinationServer, checkBuffer, checkSchedule};
        case kTypeBackupToDatabase:
        case kTypeRestoreFromDatabase:
            return {checkSourceDatabase, checkTables, checkDestinationDatabase, checkBuffer, checkSchedule};
        case kTypeExport:
            return {checkSourceServer, checkExportTablesOf, checkExportFile, checkSchedule};
        case kTypeExecuteScript:
            return {checkSourceServer, checkScript, checkSchedule};
        case kTypeRestoreFromFiles:
            return {checkRestoreFiles, checkDestinationServer, checkBuffer, checkSchedule};
        default:
            return {};
    }
}

}  // namespace

std::optional<TaskCheckFailure> checkTaskForSave(const CTask& task, const TaskCheckContext& context) {
    if (task.task_type < kTypeBackupToFiles || task.task_type > kTypeRestoreFromDatabase) {
        return TaskCheckFailure{"Please choose a task type!", "task_type"};
    }
    if (Failure failure = checkName(task, context)) return failure;
    for (PageCheck page : pagesOf(task.task_type)) {
        if (Failure failure = page(task)) return failure;
    }
    return std::nullopt;
}

}  // namespace keelvault
