#include "core/model/task.h"

#include <gtest/gtest.h>

#include <string>

namespace keelvault {
namespace {

TEST(Task, DefaultRecord) {
    const CTask t;
    EXPECT_EQ(t.task_type, kTypeBackupToFiles);
    EXPECT_EQ(t.status.load(), kStatusIdle);
    EXPECT_EQ(t.run_now.load(), 0);
    EXPECT_EQ(t.schedule.kind, kScheduleManual);
    EXPECT_EQ(t.schedule.interval_minutes, 30);
    EXPECT_FALSE(t.created_at.isSet());
    EXPECT_EQ(t.next_run, TaskTime{});
    for (const CServerSettings* s : {&t.source, &t.destination}) {
        EXPECT_EQ(s->host, "localhost");
        EXPECT_EQ(s->port, 3306);
        EXPECT_EQ(s->user, "root");
        EXPECT_TRUE(s->password.empty());
        EXPECT_TRUE(s->connection_name.empty());
    }
    EXPECT_EQ(t.backup_options.file_name_format, "%HOST%_%DATE%_%TIME%");
    EXPECT_EQ(t.backup_options.compression_level, 5);
    EXPECT_EQ(t.backup_options.flag(kOptFileType), 1);
    EXPECT_EQ(t.backup_options.flag(kOptFileMode), 2);
    EXPECT_EQ(t.backup_options.flag(kOptGrouping), 1);
    EXPECT_EQ(t.backup_options.flag(kOptStructure), 1);
    EXPECT_EQ(t.backup_options.flag(kOptDeleteRecords), 0);
    EXPECT_EQ(t.backup_options.flag(kOptDisableKeys), 1);
    EXPECT_EQ(t.export_options.format, 1);
    EXPECT_EQ(t.buffer_options.mode, 0);
    EXPECT_EQ(t.buffer_options.records, 200);
    EXPECT_EQ(t.restore_options.continue_on_sql_error, 1);
    EXPECT_EQ(t.restore_options.continue_on_file_error, 1);
    EXPECT_TRUE(t.databases.empty() && t.script.empty() && t.backups.empty() && t.restore_files.empty() &&
                t.export_tables.empty());
}

TEST(Task, MakeDefaultResetsEveryPart) {
    CTask t;
    t.name = "x";
    t.status = kStatusRunning;
    t.run_now = 1;
    t.script = {"SELECT 1"};
    t.backups.emplace_back();
    t.source.port = 1;
    t.makeDefault();
    EXPECT_EQ(t, CTask{});
}

TEST(Task, CopiesAreDeep) {
    CTask original;
    original.name = "orig";
    original.status = kStatusWaiting;
    original.run_now = 1;
    original.last_run = TaskTime{2024, 1, 2, 3, 4, 5, 3};
    original.databases = {CDatabaseItem{2, "db", {CTableItem{2, 1, "db", "t"}}}};
    original.export_tables = {CTableItem{2, 1, "db", "e"}};
    original.script = {"a", "b"};
    original.backups = {CBackupRecord{2024, 1, 1, 0, 0, 0, 2, 1, 0, "sub", {"f1"}}};
    original.restore_files = {CRestoreFile{1, "n.gz", "/p/n.gz", 5, 2024, 1, 1, 0, 0, 0, 2}};

    CTask copy(original);
    EXPECT_EQ(copy, original);
    CTask assigned;
    assigned = original;
    EXPECT_EQ(assigned, original);

    copy.databases[0].tables[0].table = "changed";
    copy.export_tables[0].table = "changed";
    copy.script.push_back("c");
    copy.backups[0].files[0] = "changed";
    copy.restore_files[0].full_path = "changed";
    copy.status = kStatusRunning;
    copy.last_run.year = 1999;

    EXPECT_EQ(original.databases[0].tables[0].table, "t");
    EXPECT_EQ(original.export_tables[0].table, "e");
    EXPECT_EQ(original.script.size(), 2u);
    EXPECT_EQ(original.backups[0].files[0], "f1");
    EXPECT_EQ(original.restore_files[0].full_path, "/p/n.gz");
    EXPECT_EQ(original.status.load(), kStatusWaiting);
    EXPECT_EQ(original.last_run.year, 2024);
    EXPECT_NE(copy, original);
    EXPECT_EQ(assigned, original);
}

TEST(Task, MakeLogName) {
    struct Case {
        const char* name;
        TaskTime created;
        const char* expected;
    };
    const Case cases[] = {
        {"My:Task*1 ", {2024, 3, 5, 7, 8, 9, 3}, "MyTask1_202435789.log"},
        {"", {2024, 3, 5, 7, 8, 9, 3}, "Default_202435789.log"},
        {"   ", {2024, 3, 5, 7, 8, 9, 3}, "Default_202435789.log"},
        {":*?\"<>|", {2024, 3, 5, 7, 8, 9, 3}, "Default_202435789.log"},
        {" \ta/b\\c?\"<>|\r\n ", {2005, 12, 31, 23, 59, 59, 7}, "abc_20051231235959.log"},
        {"  Keep  inner  blanks ", {2024, 10, 10, 0, 0, 0, 5}, "Keep  inner  blanks_20241010000.log"},
    };
    for (const Case& c : cases) EXPECT_EQ(makeLogName(c.name, c.created), c.expected) << '"' << c.name << '"';
}

TEST(Task, ApplyScheduleStatus) {
    for (uint8_t kind = kScheduleManual; kind <= kScheduleTimeInterval; ++kind) {
        CTask t;
        t.schedule.kind = kind;
        t.status = kStatusRunning;
        t.applyScheduleStatus();
        EXPECT_EQ(t.status.load(), kind == kScheduleManual ? kStatusIdle : kStatusWaiting) << int(kind);
    }
}

TEST(Task, CodeTexts) {
    const std::pair<int, std::string> types[] = {
        {1, "Backup to SQL/PHP files"},
        {2, "Backup to another server"},
        {3, "Backup to another database"},
        {4, "Export to CSV/XML/HTML/TEXT files"},
        {5, "Execute SQL script"},
        {6, "Restore by SQL and GZIP files"},
        {7, "Restore by another server"},
        {8, "Restore by another database"},
        {0, "Unknown"},
        {9, "Unknown"},
    };
    for (const auto& [code, text] : types) EXPECT_EQ(taskTypeName(code), text) << code;

    const std::pair<int, std::string> statuses[] = {
        {1, "Waiting..."}, {2, "Stop"}, {3, "Running..."}, {100, "Service..."}, {0, "Unknown"}, {4, "Unknown"},
    };
    for (const auto& [code, text] : statuses) EXPECT_EQ(taskStatusText(code), text) << code;

    const std::pair<int, std::string> kinds[] = {
        {0, "Manual"},       {1, "Every Day"}, {2, "Every Week"}, {3, "Every Month"},
        {4, "Special Date"}, {5, "Minutes"},   {6, "Unknown"},    {-1, "Unknown"},
    };
    for (const auto& [code, text] : kinds) EXPECT_EQ(scheduleKindText(code), text) << code;
}

TEST(TaskList, AppendRemoveReplaceKeepOrder) {
    CTaskList list;
    for (const char* n : {"a", "b", "c"}) {
        CTask t;
        t.name = n;
        const int expected_index = list.count();
        EXPECT_EQ(list.append(t), expected_index);
    }
    list.removeAt(1);
    CTask z;
    z.name = "z";
    list.replaceAt(0, z);
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.at(0).name, "z");
    EXPECT_EQ(list.at(1).name, "c");
}

}  // namespace
}  // namespace keelvault
