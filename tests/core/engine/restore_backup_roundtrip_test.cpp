// Backups written by the backup-to-files engine, restored by the restore
// engine into the second server: every table must come back identical.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "backup_test_harness.h"
#include "core/engine/restore_engine.h"
#include "core/model/task_list_file.h"
#include "script_engine_harness.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;

void dropOn(int which, const std::vector<std::string>& databases) {
    auto session = test::connectTo(which);
    for (const std::string& database : databases) test::execOrFail(*session, "DROP DATABASE IF EXISTS " + database);
}

// The hard-values fixture under names of our own.
bool loadHardValues(const std::string& hard, const std::string& latin1) {
    return test::shell("sed -e 's/kv_hard/" + hard + "/g' -e 's/kv_latin1/" + latin1 + "/g' '" +
                       backup_test::fixturePath("hard_values.sql") + "' | " + test::toolCommand("mariadb", 1)) == 0;
}

std::vector<CRestoreFile> restoreEntries(const std::vector<std::string>& files) {
    std::vector<CRestoreFile> entries;
    for (const std::string& file : files) {
        const bool gz = file.size() > 3 && file.compare(file.size() - 3, 3, ".gz") == 0;
        entries.push_back(test::restoreEntry(gz ? 1 : 0, file));
    }
    return entries;
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(RestoreBackupRoundTrip, OurBackupsRestoreIdentically) {
    KEELVAULT_REQUIRE_SERVER(1);
    KEELVAULT_REQUIRE_SERVER(2);
    const std::vector<std::string> databases = {"kv_rs_rt_hard", "kv_rs_rt_latin1"};
    ASSERT_TRUE(loadHardValues(databases[0], databases[1]));
    std::vector<CDatabaseItem> selection;
    for (const std::string& name : databases) selection.push_back(backup_test::wholeDatabase(name));

    struct Combo {
        const char* name;
        uint8_t gzip, multiple_rows, grouping;
        CBufferOptions restore_buffer;
    };
    const std::vector<Combo> combos = {
        {"plain, single rows, one file", 0, 0, 1, {0, 200}},
        {"gzip, multiple rows, per table", 1, 1, 3, {1, 7}},
        {"plain, multiple rows, per table", 0, 1, 3, {2, 200}},
        {"gzip, single rows, one file", 1, 0, 1, {1, 200}},
    };
    for (const Combo& combo : combos) {
        SCOPED_TRACE(combo.name);
        backup_test::BackupHarness backup;
        backup.task.databases = selection;
        backup.task.backup_options.gzip = combo.gzip;
        backup.task.backup_options.flags[kOptMultipleRows] = combo.multiple_rows;
        backup.task.backup_options.flags[kOptGrouping] = combo.grouping;
        if (combo.grouping == 3) backup.task.backup_options.file_name_format = "%HOST%_%DATABASE%_%TABLE%_%DATE%_%TIME%";
        ASSERT_EQ(backup.run(), EngineResult::Finished);
        ASSERT_TRUE(backup.errors().empty()) << ::testing::PrintToString(backup.errors());
        const std::vector<std::string> files = backup.files();
        ASSERT_FALSE(files.empty());
        for (const std::string& file : files) {
            EXPECT_EQ(endsWith(file, ".gz"), combo.gzip != 0) << file;
        }
        if (combo.grouping == 3) {
            EXPECT_GT(files.size(), 10u);
        }

        dropOn(2, databases);
        test::EngineHarness restore;
        restore.task.task_type = kTypeRestoreFromFiles;
        restore.task.destination = test::testServerSettings(2);
        restore.task.restore_options = {0, 0};
        restore.task.buffer_options = combo.restore_buffer;
        restore.task.restore_files = restoreEntries(files);
        EXPECT_EQ(restore.run([](RunContext& context) { return runRestoreFromFiles(context); }),
                  EngineResult::Finished);
        EXPECT_EQ(restore.texts(kLogError), std::vector<std::string>{});
        for (const std::string& database : databases) backup_test::expectSameDatabase(database);
        // Nothing unpacked is left behind.
        for (const std::string& file : files) {
            if (endsWith(file, ".gz")) {
                EXPECT_FALSE(fs::exists(file.substr(0, file.size() - 3))) << file;
            }
        }
    }
    dropOn(1, databases);
    dropOn(2, databases);
}

// The whole road through the command-line program: a task list written by
// this test, a gzip backup made by a type-1 task, restored by a type-6 task.
TEST(RestoreBackupRoundTrip, CommandLineRestoresAGzipBackupOfATypeOneTask) {
    KEELVAULT_REQUIRE_SERVER(1);
    KEELVAULT_REQUIRE_SERVER(2);
    const std::vector<std::string> databases = {"kv_rs_cli_hard", "kv_rs_cli_latin1", "kv_rs_cli_sakila"};
    ASSERT_TRUE(loadHardValues(databases[0], databases[1]));
    ASSERT_TRUE(test::loadSakila(1, databases[2]));

    test::ScopedDataHome home;
    fs::create_directories(home.dataFolder());
    const fs::path list_path = home.dataFolder() / "tasks_pro.tsk";
    test::TempDir out;

    CTask backup;
    backup.name = "kv nightly";
    backup.log_name = "kv_nightly.log";
    backup.task_type = kTypeBackupToFiles;
    backup.source = test::testServerSettings(1);
    for (const std::string& name : databases) backup.databases.push_back(backup_test::wholeDatabase(name));
    backup.backup_options.backup_directory = out.path().string();
    backup.backup_options.gzip = 1;
    CTaskList list;
    list.append(backup);
    ASSERT_TRUE(saveTaskList(list_path, list));

    const std::string cli = std::string(KEELVAULT_CLI_PATH) + " run ";
    ASSERT_EQ(test::shell(cli + "'kv nightly' > /dev/null"), 0);
    ASSERT_TRUE(loadTaskList(list_path, list));
    std::vector<std::string> files;
    {
        std::lock_guard lock(list.at(0).mutex());
        ASSERT_EQ(list.at(0).backups.size(), 1u);
        files = list.at(0).backups.front().files;
    }
    ASSERT_FALSE(files.empty());
    for (const std::string& file : files) ASSERT_TRUE(endsWith(file, ".gz")) << file;

    dropOn(2, databases);
    CTask restore;
    restore.name = "kv restore";
    restore.log_name = "kv_restore.log";
    restore.task_type = kTypeRestoreFromFiles;
    restore.destination = test::testServerSettings(2);
    restore.restore_options = {0, 0};
    restore.restore_files = restoreEntries(files);
    list.append(restore);
    ASSERT_TRUE(saveTaskList(list_path, list));
    // 0: the run logged "Finished" and no error line.
    EXPECT_EQ(test::shell(cli + "'kv restore' > /dev/null"), 0);

    for (const std::string& database : databases) backup_test::expectSameDatabase(database);
    for (const std::string& file : files) EXPECT_TRUE(fs::exists(file)) << file;
    dropOn(1, databases);
    dropOn(2, databases);
}

}  // namespace
}  // namespace keelvault
