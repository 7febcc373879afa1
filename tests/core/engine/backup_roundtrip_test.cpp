#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "backup_test_harness.h"

namespace keelvault::backup_test {
namespace {

struct Combo {
    std::string name;
    std::function<void(CTask&)> configure;
    bool with_sakila = false;
};

void setFlag(CTask& task, int flag, uint8_t value) {
    task.backup_options.flags[static_cast<size_t>(flag)] = value;
}

// Replays the files in order into server 2; gzip files through zcat.
void replay(const std::vector<std::string>& files) {
    for (const std::string& file : files) {
        const bool gz = file.size() > 3 && file.compare(file.size() - 3, 3, ".gz") == 0;
        const std::string command =
            gz ? "zcat " + shellQuote(file) + " | " + clientCommand(2) : clientCommand(2) + " < " + shellQuote(file);
        ASSERT_EQ(shell(command), 0) << "replay failed: " << file;
    }
}

// Backs up Sakila and the hard-values databases with a table of option
// combinations, replays each backup with the mariadb client into the second
// server and compares every table and view with the original.
TEST(BackupRoundTrip, OptionCombinationsReplayIntoIdenticalDatabases) {
    KEELVAULT_REQUIRE_SERVER(1);
    KEELVAULT_REQUIRE_SERVER(2);
    ASSERT_EQ(loadHardValues(1), 0);
    ASSERT_EQ(loadSakila(1), 0);
    const std::vector<std::string> databases = {"kv_bk_hard", "kv_bk_latin1", "kv_bk_sakila"};
    std::vector<CDatabaseItem> selection;
    for (const std::string& name : databases) selection.push_back(wholeDatabase(name));

    const std::vector<Combo> combos = {
        {"defaults, one file", [](CTask&) {}, true},
        {"multiple rows, complete INSERT, batches of 3, one file per database",
         [](CTask& t) {
             setFlag(t, kOptMultipleRows, 1);
             setFlag(t, kOptCompleteInsert, 1);
             setFlag(t, kOptGrouping, 2);
             t.backup_options.file_name_format = "%TASKNAME%_%DATABASE%";
             t.buffer_options = CBufferOptions{1, 3};
         },
         true},
        {"REPLACE, whole-table buffer, one file per table, DELETE and AUTOCOMMIT",
         [](CTask& t) {
             setFlag(t, kOptReplace, 1);
             setFlag(t, kOptGrouping, 3);
             t.backup_options.file_name_format.clear();
             setFlag(t, kOptDeleteRecords, 1);
             setFlag(t, kOptAutocommit, 1);
             t.buffer_options = CBufferOptions{2, 200};
         }},
        {"INSERT IGNORE, multiple rows, whole-table buffer, no locks or key switches",
         [](CTask& t) {
             setFlag(t, kOptInsertIgnore, 1);
             setFlag(t, kOptMultipleRows, 1);
             setFlag(t, kOptLockTables, 0);
             setFlag(t, kOptAddLockTables, 0);
             setFlag(t, kOptDisableKeys, 0);
             t.buffer_options = CBufferOptions{2, 200};
         }},
        {"gzip level 9, LF only, DATE_TIME folder, multiple rows",
         [](CTask& t) {
             setFlag(t, kOptMultipleRows, 1);
             t.backup_options.gzip = 1;
             t.backup_options.compression_level = 9;
             t.backup_options.unix_newlines = 1;
             t.backup_options.date_time_subdir = 1;
         },
         true},
        {"same file, every session option off but names and CREATE DATABASE",
         [](CTask& t) {
             setFlag(t, kOptFileMode, 1);
             setFlag(t, kOptUniqueChecks, 0);
             setFlag(t, kOptForeignKeyChecks, 0);
             setFlag(t, kOptSqlNotes, 0);
             setFlag(t, kOptFlushTables, 0);
             t.backup_options.same_file_path = t.backup_options.backup_directory + ".sql";
         }},
    };

    for (const Combo& combo : combos) {
        SCOPED_TRACE(combo.name);
        BackupHarness h;
        h.task.databases = {selection[0], selection[1]};
        if (combo.with_sakila) h.task.databases.push_back(selection[2]);
        combo.configure(h.task);
        if (h.task.backup_options.flag(kOptFileMode) == 1) {
            // Same-file mode writes where the option says, not in the backup folder.
            h.task.backup_options.same_file_path = (h.dir.path() / "same.sql").string();
        }
        ASSERT_EQ(h.run(), EngineResult::Finished);
        EXPECT_TRUE(h.errors().empty()) << ::testing::PrintToString(h.errors());
        const std::vector<std::string> files = h.files();
        ASSERT_FALSE(files.empty());
        ASSERT_TRUE(runSql(2, {"DROP DATABASE IF EXISTS kv_bk_hard", "DROP DATABASE IF EXISTS kv_bk_latin1",
                               "DROP DATABASE IF EXISTS kv_bk_sakila"}));
        replay(files);
        if (::testing::Test::HasFatalFailure()) return;
        expectSameDatabase("kv_bk_hard");
        expectSameDatabase("kv_bk_latin1");
        if (combo.with_sakila) expectSameDatabase("kv_bk_sakila");
    }
    runSql(2, {"DROP DATABASE IF EXISTS kv_bk_hard", "DROP DATABASE IF EXISTS kv_bk_latin1",
               "DROP DATABASE IF EXISTS kv_bk_sakila"});
}

}  // namespace
}  // namespace keelvault::backup_test
