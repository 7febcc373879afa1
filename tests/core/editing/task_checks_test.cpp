#include "core/editing/task_checks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "support/test_support.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;

CServerSettings server(const std::string& host, int32_t port, const std::string& database = "") {
    CServerSettings s;
    s.host = host;
    s.port = port;
    s.database = database;
    return s;
}

// A task of each type that every page accepts, writing below `dir`.
CTask validTask(int type, const fs::path& dir) {
    CTask task;
    task.task_type = static_cast<uint8_t>(type);
    task.name = "Task of type " + std::to_string(type);
    task.source = server("db1", 3306);
    task.destination = server("db2", 3306);
    const CDatabaseItem shop{2, "shop", {CTableItem{2, 1, "shop", "orders"}}};
    switch (type) {
        case kTypeBackupToFiles:
            task.databases = {shop};
            task.backup_options.backup_directory = (dir / "backups").string() + "/";
            break;
        case kTypeBackupToServer:
        case kTypeRestoreFromServer:
            task.databases = {shop};
            break;
        case kTypeBackupToDatabase:
        case kTypeRestoreFromDatabase:
            task.source.database = "shop";
            task.destination = server("db1", 3306, "shop_copy");
            task.backup_options.destination_database = "shop_copy";
            task.databases = {shop};
            break;
        case kTypeExport:
            task.export_tables = {CTableItem{2, 1, "shop", "orders"}};
            task.export_options.directory = (dir / "export").string();
            break;
        case kTypeExecuteScript:
            task.script = {"SELECT 1;"};
            break;
        case kTypeRestoreFromFiles: {
            CRestoreFile file;
            file.file_name = "a.sql";
            file.full_path = (dir / "a.sql").string();
            task.restore_files = {file};
            task.source = task.destination;  // a restore from files has no source to compare with
            break;
        }
    }
    task.schedule.kind = kScheduleEveryDay;
    task.schedule.hour = 2;
    return task;
}

struct Refusal {
    const char* what;
    std::function<void(CTask&)> change;
    std::string message;
    std::string field;
};

void expectRefusals(int type, const std::vector<Refusal>& refusals) {
    test::TempDir dir;
    for (const Refusal& r : refusals) {
        CTask task = validTask(type, dir.path());
        r.change(task);
        const std::optional<TaskCheckFailure> failure = checkTaskForSave(task, {});
        ASSERT_TRUE(failure) << "type " << type << ": " << r.what;
        EXPECT_EQ(*failure, (TaskCheckFailure{r.message, r.field})) << "type " << type << ": " << r.what;
    }
}

TEST(TaskChecks, EveryTypeHasAValidTask) {
    test::TempDir dir;
    for (int type = 1; type <= 8; ++type) {
        const std::optional<TaskCheckFailure> failure = checkTaskForSave(validTask(type, dir.path()), {});
        EXPECT_FALSE(failure) << "type " << type << ": " << failure->message << " on " << failure->field;
    }
    EXPECT_TRUE(fs::is_directory(dir / "backups"));  // the folder checks create one level, as the pages do
    EXPECT_TRUE(fs::is_directory(dir / "export"));
}

TEST(TaskChecks, NameAndTypeComeFirst) {
    test::TempDir dir;
    CTask task = validTask(kTypeBackupToFiles, dir.path());
    task.source.host.clear();  // a later page fails too
    TaskCheckContext context{{"Other", task.name}, -1};
    EXPECT_EQ(checkTaskForSave(task, context),
              (TaskCheckFailure{"The task name is already existed!\nPlease choose a different task name.", "name"}));
    context.edit_index = 1;  // its own name on edit
    EXPECT_EQ(checkTaskForSave(task, context),
              (TaskCheckFailure{"Please input the Host name or IP address!", "source.host"}));
    task.name.clear();
    EXPECT_EQ(checkTaskForSave(task, context), (TaskCheckFailure{"Please input task name!", "name"}));
    for (uint8_t type : {0, 9}) {
        task.task_type = type;
        EXPECT_EQ(checkTaskForSave(task, context), (TaskCheckFailure{"Please choose a task type!", "task_type"}));
    }
}

TEST(TaskChecks, BackupToFiles) {
    expectRefusals(
        kTypeBackupToFiles,
        {
            {"port zero", [](CTask& t) { t.source.port = 0; }, "Please input a number between 1 and 65535!",
             "source.port"},
            {"negative port", [](CTask& t) { t.source.port = -80; }, "The port must be a number between 1 and 65535!",
             "source.port"},
            {"neither structure nor records",
             [](CTask& t) { t.backup_options.flags[kOptStructure] = t.backup_options.flags[kOptRecords] = 0; },
             "Please choose the table structure or records!", "backup_options.flags"},
            {"nothing chosen", [](CTask& t) { t.databases[0].selected = 0; },
             "Please choose the source databases or tables!", "databases"},
            {"no folder", [](CTask& t) { t.backup_options.backup_directory.clear(); }, "Please input a folder!",
             "backup_options.backup_directory"},
            {"folder two levels down",
             [](CTask& t) { t.backup_options.backup_directory = t.backup_options.backup_directory + "a/b/"; },
             "Invalid folder!", "backup_options.backup_directory"},
            {"same file, none given", [](CTask& t) { t.backup_options.flags[kOptFileMode] = 1; },
             "Please input a file!", "backup_options.same_file_path"},
            {"small-letter placeholder",
             [](CTask& t) {
                 t.backup_options.flags[kOptGrouping] = 2;
                 t.backup_options.file_name_format = "%HOST%_%database%";
             },
             "Please include %DATABASE% in file name format!", "backup_options.file_name_format"},
            {"keep 0 days", [](CTask& t) { t.backup_options.retention_kind = 1; }, "Invalid keeping days!",
             "backup_options.retention_limit"},
            {"keep 10001 copies",
             [](CTask& t) {
                 t.backup_options.retention_kind = 2;
                 t.backup_options.retention_limit = 10001;
             },
             "Invalid backup copies!", "backup_options.retention_limit"},
            {"buffer of 0",
             [](CTask& t) {
                 t.buffer_options = {1, 0};
             },
             "Please input a number between 1 and 10000!", "buffer_options.records"},
            {"every week without days", [](CTask& t) { t.schedule.kind = kScheduleEveryWeek; },
             "Please set the Every Week Settings!", "schedule.week_days"},
        });
}

TEST(TaskChecks, BackupToFilesAcceptsNewDatabasesWithoutAChoiceAndAnExistingSameFile) {
    test::TempDir dir;
    CTask task = validTask(kTypeBackupToFiles, dir.path());
    task.databases[0].selected = 0;
    task.backup_options.flags[kOptNewDatabases] = 1;
    task.backup_options.flags[kOptFileMode] = 1;
    test::writeFile(dir / "same.sql", "old backup");
    task.backup_options.same_file_path = (dir / "same.sql").string();
    task.backup_options.backup_directory.clear();
    task.backup_options.retention_kind = 2;
    task.backup_options.retention_limit = 10000;
    task.buffer_options = {1, 7};
    EXPECT_FALSE(checkTaskForSave(task, {}));
    EXPECT_EQ(test::readFile(dir / "same.sql"), "old backup");
}

TEST(TaskChecks, CopyToAnotherServer) {
    for (int type : {kTypeBackupToServer, kTypeRestoreFromServer}) {
        expectRefusals(type, {
                                 {"destination is the source", [](CTask& t) { t.destination = t.source; },
                                  "The destination server can't same as the source server!", "destination.host"},
                                 {"destination port", [](CTask& t) { t.destination.port = 65536; },
                                  "Please input a number between 1 and 65535!", "destination.port"},
                                 {"no destination host", [](CTask& t) { t.destination.host.clear(); },
                                  "Please input the Host name or IP address!", "destination.host"},
                                 {"buffer count",
                                  [](CTask& t) {
                                      t.buffer_options = {1, 10001};
                                  },
                                  "Please input a number between 1 and 10000!", "buffer_options.records"},
                             });
    }
    // The restore kind hides the new-databases box, and its run ignores it.
    test::TempDir dir;
    for (int type : {kTypeBackupToServer, kTypeRestoreFromServer}) {
        CTask task = validTask(type, dir.path());
        task.databases.clear();
        task.backup_options.flags[kOptNewDatabases] = 1;
        const std::optional<TaskCheckFailure> failure = checkTaskForSave(task, {});
        EXPECT_EQ(failure.has_value(), type == kTypeRestoreFromServer) << type;
    }
}

TEST(TaskChecks, CopyToAnotherDatabase) {
    const std::string same = "The destination database can't same as the source database!";
    for (int type : {kTypeBackupToDatabase, kTypeRestoreFromDatabase}) {
        expectRefusals(
            type, {
                      {"no source database", [](CTask& t) { t.source.database.clear(); },
                       "Please choose a source database!", "source.database"},
                      {"no tables", [](CTask& t) { t.databases[0].tables[0].selected = 0; },
                       "Please choose the source tables!", "databases"},
                      {"no destination database", [](CTask& t) { t.backup_options.destination_database.clear(); },
                       "Please choose a destination database!", "backup_options.destination_database"},
                      {"into the source database", [](CTask& t) { t.backup_options.destination_database = "shop"; },
                       same, "backup_options.destination_database"},
                      {"new database with a dot",
                       [](CTask& t) {
                           t.backup_options.new_database = 1;
                           t.backup_options.destination_database = "shop.copy";
                       },
                       "There are some invalid characters \n('/', '\\', or '.') \nin the database name!",
                       "backup_options.destination_database"},
                      {"new database without name",
                       [](CTask& t) {
                           t.backup_options.new_database = 1;
                           t.backup_options.destination_database.clear();
                       },
                       "Please input the new database name!", "backup_options.destination_database"},
                      {"no choice", [](CTask& t) { t.backup_options.new_database = 2; },
                       "Please choose the destination database!", "backup_options.new_database"},
                      {"destination port", [](CTask& t) { t.destination.port = 0; },
                       "Please input a number between 1 and 65535!", "destination.port"},
                  });
    }
    test::TempDir dir;
    CTask task = validTask(kTypeBackupToDatabase, dir.path());
    task.backup_options.new_database = 1;
    task.backup_options.destination_database = "%DATABASE%_%DATE%_%TIME%";
    EXPECT_FALSE(checkTaskForSave(task, {}));
    task.destination.port = 3307;  // the same name on another server
    task.backup_options.destination_database = "shop";
    EXPECT_FALSE(checkTaskForSave(task, {}));
}

TEST(TaskChecks, Export) {
    expectRefusals(kTypeExport,
                   {
                       {"no tables", [](CTask& t) { t.export_tables.clear(); }, "Please choose the export tables!",
                        "export_tables"},
                       {"no type", [](CTask& t) { t.export_options.format = 0; }, "Please choose the file type!",
                        "export_options.format"},
                       {"no directory", [](CTask& t) { t.export_options.directory.clear(); },
                        "Please choose the directory!", "export_options.directory"},
                       {"directory two levels down", [](CTask& t) { t.export_options.directory += "/a/b"; },
                        "Invalid directory!", "export_options.directory"},
                       {"interval zero",
                        [](CTask& t) {
                            t.schedule.kind = kScheduleTimeInterval;
                            t.schedule.interval_minutes = 0;
                        },
                        "Please set the Time Interval Settings!", "schedule.interval_minutes"},
                   });
}

TEST(TaskChecks, ExecuteScript) {
    expectRefusals(
        kTypeExecuteScript,
        {
            {"no statements", [](CTask& t) { t.script.clear(); }, "Please input the SQL script!", "script"},
            {"only a comment", [](CTask& t) { t.script = {"-- nothing"}; }, "Please input the SQL script!", "script"},
            {"no host", [](CTask& t) { t.source.host.clear(); }, "Please input the Host name or IP address!",
             "source.host"},
            {"special date never set", [](CTask& t) { t.schedule.kind = kScheduleSpecialDate; },
             "Please set the Special Date Settings!", "schedule.year"},
            {"unknown schedule kind", [](CTask& t) { t.schedule.kind = 6; }, "Please choose task schedule options!",
             "schedule.kind"},
        });
}

TEST(TaskChecks, RestoreFromFiles) {
    expectRefusals(
        kTypeRestoreFromFiles,
        {
            {"no files", [](CTask& t) { t.restore_files.clear(); }, "Please add the files!", "restore_files"},
            {"no destination host", [](CTask& t) { t.destination.host.clear(); },
             "Please input the Host name or IP address!", "destination.host"},
            {"negative buffer count",
             [](CTask& t) {
                 t.buffer_options = {1, -200};
             },
             "Please input a number between 1 and 10000!", "buffer_options.records"},
            {"every month without days", [](CTask& t) { t.schedule.kind = kScheduleEveryMonth; },
             "Please set the Every Month Settings!", "schedule.month_days"},
            {"every day at hour 24", [](CTask& t) { t.schedule.hour = 24; }, "Please set the Every Day Settings!",
             "schedule.hour"},
        });
}

}  // namespace
}  // namespace keelvault
