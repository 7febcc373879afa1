#include "core/editing/restore_task.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include "support/test_support.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;

CBackupRecord record(std::vector<std::string> files, int32_t day) {
    CBackupRecord r;
    r.year = 2026;
    r.month = 3;
    r.day = day;
    r.files = std::move(files);
    return r;
}

class RestoreTaskTest : public ::testing::Test {
protected:
    test::TempDir dir;

    std::string file(const std::string& name, const std::string& bytes = "SELECT 1;\n") {
        const fs::path path = dir / name;
        test::writeFile(path, bytes);
        return path.string();
    }

    CTask backupTask(uint8_t type) {
        CTask task;
        task.name = "nightly";
        task.task_type = type;
        task.source.host = "src.example";
        task.destination.host = "dst.example";
        task.backup_options.destination_database = "bk_%DATABASE%";
        return task;
    }
};

TEST_F(RestoreTaskTest, EntriesCarrySizeTimeNameAndKind) {
    const std::string sql = file("a.sql", "12345");
    utimbuf times{};
    times.modtime = 1709211909;  // 2024-02-29 13:05:09 UTC
    times.actime = times.modtime;
    ASSERT_EQ(::utime(sql.c_str(), &times), 0);
    const auto entry = backupFileEntry(sql);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->file_name, "a.sql");
    EXPECT_EQ(entry->full_path, sql);
    EXPECT_EQ(entry->size, 5);
    const TaskTime local = localTimeOf(times.modtime);
    EXPECT_EQ((std::vector<int32_t>{entry->year, entry->month, entry->day, entry->hour, entry->minute, entry->second,
                                    entry->day_of_week}),
              (std::vector<int32_t>{local.year, local.month, local.day, local.hour, local.minute, local.second,
                                    local.day_of_week}));

    const struct {
        const char* name;
        uint8_t kind;
    } kinds[] = {{"b.sql", 0}, {"c.mysql", 0}, {"d.sql.gz", 1}, {"e.SQL.GZ", 101}, {"f.txt", 101}, {"g.Sql", 101}};
    for (const auto& k : kinds) {
        const auto e = backupFileEntry(file(k.name));
        ASSERT_TRUE(e) << k.name;
        EXPECT_EQ(e->kind, k.kind) << k.name;
    }
    EXPECT_FALSE(backupFileEntry((dir / "gone.sql").string()));
    EXPECT_FALSE(backupFileEntry(dir.path().string()));  // a folder is no file to restore
}

TEST_F(RestoreTaskTest, FromABackupTaskSwapsTheServersAndTakesTheNewestCopy) {
    EXPECT_FALSE(restoreTaskFromBackupTask(backupTask(kTypeExport)));
    EXPECT_FALSE(restoreTaskFromBackupTask(backupTask(kTypeRestoreFromFiles)));
    for (const auto& [from, to] : {std::pair{kTypeBackupToServer, kTypeRestoreFromServer},
                                   std::pair{kTypeBackupToDatabase, kTypeRestoreFromDatabase}}) {
        const auto task = restoreTaskFromBackupTask(backupTask(from));
        ASSERT_TRUE(task);
        EXPECT_EQ(task->task_type, to);
        EXPECT_TRUE(task->restore_files.empty());
    }

    CTask backup = backupTask(kTypeBackupToFiles);
    const std::string newest = file("new.sql.gz");
    backup.backups = {record({file("old.sql")}, 2), record({newest, (dir / "deleted.sql").string()}, 9),
                      record({file("middle.sql")}, 5)};
    const auto task = restoreTaskFromBackupTask(backup);
    ASSERT_TRUE(task);
    EXPECT_EQ(task->task_type, kTypeRestoreFromFiles);
    EXPECT_EQ(task->name, "Restore_nightly");
    EXPECT_EQ(task->source.host, "dst.example");
    EXPECT_EQ(task->destination.host, "src.example");
    EXPECT_EQ(task->backup_options, backup.backup_options);
    ASSERT_EQ(task->restore_files.size(), 1u);  // the deleted file is skipped
    EXPECT_EQ(task->restore_files[0].full_path, newest);
    EXPECT_EQ(task->restore_files[0].kind, 1);

    backup.backups.clear();
    ASSERT_TRUE(restoreTaskFromBackupTask(backup));
    EXPECT_TRUE(restoreTaskFromBackupTask(backup)->restore_files.empty());
}

TEST_F(RestoreTaskTest, FromABackupRecordNeedsOneReadableFile) {
    const CTask backup = backupTask(kTypeBackupToFiles);
    EXPECT_FALSE(restoreTaskFromBackupRecord(backup, record({(dir / "x.sql").string(), (dir / "y.sql").string()}, 1)));

    const std::string kept = file("kept.sql");
    const auto task = restoreTaskFromBackupRecord(
        backup, record({(dir / "x.sql").string(), kept, (dir / "y.sql.gz").string()}, 1));
    ASSERT_TRUE(task);
    EXPECT_EQ(task->task_type, kTypeRestoreFromFiles);
    EXPECT_EQ(task->name, "Restore_nightly");
    EXPECT_EQ(task->destination.host, "src.example");
    EXPECT_EQ(task->source, CServerSettings{});
    ASSERT_EQ(task->restore_files.size(), 1u);
    EXPECT_EQ(task->restore_files[0].full_path, kept);
}

}  // namespace
}  // namespace keelvault
