#include "core/editing/task_sheet_texts.h"

#include <gtest/gtest.h>

namespace keelvault {
namespace {

CDatabaseItem database(const std::string& name, uint8_t selected, std::vector<uint8_t> tables) {
    CDatabaseItem item;
    item.name = name;
    item.selected = selected;
    int n = 0;
    for (uint8_t chosen : tables) item.tables.push_back(CTableItem{chosen, 1, name, "t" + std::to_string(++n)});
    return item;
}

TEST(TaskSheetTexts, SummaryOfABackupToFilesTaskLineByLine) {
    CTask task = newTaskOfType(kTypeBackupToFiles);
    task.name = "Nightly";
    task.source.host = "db1.example";
    // Tables of an entry that is not chosen do not count.
    task.databases = {database("shop", 2, {1, 1, 0}), database("crm", 1, {0, 1}), database("old", 0, {1, 1})};
    task.backup_options.flags[kOptFileMode] = 2;
    task.backup_options.backup_directory = "/srv/backups/Nightly/";
    task.backup_options.same_file_path = "/srv/backups/Nightly.sql";
    task.schedule.kind = kScheduleEveryDay;
    EXPECT_EQ(taskSummaryText(task),
              "Task name:\r\n    Nightly\r\n\r\n"
              "Task type:\r\n    Backup MySQL databases to SQL/PHP files\r\n\r\n"
              "Source MySQL server:\r\n    db1.example\r\n\r\n"
              "Backup information:\r\n    2 database(s), 3 table(s)\r\n\r\n"
              "To folder:\r\n    /srv/backups/Nightly/\r\n"
              "\r\nTask schedule:\r\n    Every Day\r\n");

    task.backup_options.flags[kOptFileMode] = 1;
    task.schedule.kind = kScheduleTimeInterval;
    const std::string text = taskSummaryText(task);
    EXPECT_NE(text.find("To file:\r\n    /srv/backups/Nightly.sql\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Task schedule:\r\n    Time Interval\r\n"), std::string::npos) << text;
}

TEST(TaskSheetTexts, SummaryOfAScriptTaskNamesItsServerWithoutSource) {
    CTask task = newTaskOfType(kTypeExecuteScript);
    task.name = "Optimize";
    task.source.host = "localhost";
    task.script = {"OPTIMIZE TABLE a", "OPTIMIZE TABLE b", "SELECT 1"};
    EXPECT_EQ(taskSummaryText(task),
              "Task name:\r\n    Optimize\r\n\r\n"
              "Task type:\r\n    Execute MySQL script\r\n\r\n"
              "MySQL server:\r\n    localhost\r\n\r\n"
              "SQL script:\r\n    3 statement(s)\r\n"
              "\r\nTask schedule:\r\n    Manual\r\n");
}

TEST(TaskSheetTexts, SummaryBlocksOfTheOtherTypes) {
    struct Case {
        int type;
        const char* block;
    };
    const Case cases[] = {
        {kTypeBackupToServer,
         "Source MySQL server:\r\n    src\r\n\r\nBackup information:\r\n    1 database(s), 1 table(s)\r\n\r\n"
         "Destination MySQL server:\r\n    dst\r\n\r\nTask schedule:"},
        {kTypeRestoreFromDatabase,
         "Source MySQL server:\r\n    src\r\n\r\nRestore information:\r\n    1 database(s), 1 table(s)\r\n\r\n"
         "Destination MySQL server:\r\n    dst\r\n\r\nTask schedule:"},
        {kTypeExport,
         "Source MySQL server:\r\n    src\r\n\r\nExport information:\r\n    2 table(s)\r\n\r\n"
         "To file ( type and directory ):\r\n    XML\r\n    /out/\r\n\r\nTask schedule:"},
        {kTypeRestoreFromFiles,
         "Task type:\r\n    Restore MySQL databases by SQL and GZIP files\r\n\r\nBackup Files:\r\n    1 file(s)\r\n\r\n"
         "MySQL server:\r\n    dst\r\n\r\nTask schedule:"},
    };
    for (const Case& c : cases) {
        CTask task = newTaskOfType(c.type);
        task.source.host = "src";
        task.destination.host = "dst";
        task.databases = {database("a", 1, {1, 0})};
        task.export_tables = {CTableItem{1, 1, "a", "t1"}, CTableItem{1, 2, "a", "v1"}};
        task.export_options.format = 2;
        task.export_options.directory = "/out/";
        task.restore_files = {CRestoreFile{}};
        const std::string text = taskSummaryText(task);
        EXPECT_NE(text.find(c.block), std::string::npos) << c.type << ":\n" << text;
        if (c.type == kTypeRestoreFromFiles) {
            EXPECT_EQ(text.find("Source MySQL server:"), std::string::npos);
        }
    }
}

TEST(TaskSheetTexts, PageSequencesCaptionsAndTitles) {
    const size_t steps[] = {8, 7, 7, 6, 5, 6, 7, 7};
    for (int type = 1; type <= 8; ++type) {
        const auto pages = wizardPages(type);
        ASSERT_EQ(pages.size(), steps[type - 1]) << type;
        EXPECT_EQ(pages.front(), TaskPage::TaskName);
        EXPECT_EQ(pages[pages.size() - 2], TaskPage::Schedule);
        EXPECT_EQ(pages.back(), TaskPage::Summary);
        EXPECT_EQ(propertyTabs(type).size(), pages.size() - 1);
    }
    EXPECT_EQ(wizardPages(6)[1], TaskPage::RestoreFiles);
    EXPECT_EQ(wizardPages(6)[2], TaskPage::DestinationServer);
    EXPECT_EQ(wizardPages(2)[3], TaskPage::DestinationServer);
    EXPECT_EQ(propertyTabs(5), (std::vector<TaskPage>{TaskPage::TaskName, TaskPage::SourceServer, TaskPage::SqlScript,
                                                      TaskPage::Schedule}));
    EXPECT_TRUE(wizardPages(9).empty());

    EXPECT_EQ(wizardCaption(3, 3), "Task Wizard - Backup a MySQL database to another database - Step 3 of 7");
    EXPECT_EQ(wizardCaption(0, 1), "Task Wizard");
    EXPECT_EQ(welcomeText(5), "Create a new task to schedule Execute MySQL script.");
    EXPECT_EQ(taskTypeChooserCaption(8),
              "Restore a MySQL database by another database (TCP/IP, Choose ANY database name)");
    EXPECT_TRUE(taskTypeChooserDescription(4).empty());

    CTask task = newTaskOfType(kTypeExport);
    task.name = "CSV dump";
    EXPECT_EQ(propertySheetTitle(task, true),
              "Edit Task - CSV dump - Export MySQL tables and views to CSV/XML/HTML/TEXT files");
    EXPECT_EQ(propertySheetTitle(task, false),
              "Task Properties - CSV dump - Export MySQL tables and views to CSV/XML/HTML/TEXT files");
    EXPECT_EQ(newTaskOfType(42).task_type, kTypeBackupToFiles);
}

}  // namespace
}  // namespace keelvault
