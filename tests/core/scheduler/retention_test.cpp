#include "core/scheduler/retention.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "core/model/task_list_file.h"
#include "core/scheduler/scheduler_fixture.h"

namespace keelvault::test {
namespace {

namespace fs = std::filesystem;

class RetentionTest : public SchedulerTest {
protected:
    RetentionTest() {
        env.save_task_list = [this] {
            saves.fetch_add(1);
            return server.saveTasksTo(env.taskListPath());
        };
    }

    // A copy made at `when` with two files in its own folder.
    CBackupRecord makeCopy(const std::string& name, const TaskTime& when) {
        CBackupRecord record;
        record.year = when.year;
        record.month = when.month;
        record.day = when.day;
        record.hour = when.hour;
        record.minute = when.minute;
        record.second = when.second;
        const fs::path folder = dir.path() / "backups" / name;
        fs::create_directories(folder);
        record.subdirectory = folder.string();
        for (const char* file : {"db1.sql", "db2.sql.gz"}) {
            writeFile(folder / file, "data");
            record.files.push_back((folder / file).string());
        }
        return record;
    }

    CTask& addBackupTask(uint8_t mode, int32_t limit, const std::vector<CBackupRecord>& copies) {
        CTask task = makeTask("backup", kScheduleEveryDay, kTypeBackupToFiles);
        task.backup_options.retention_kind = mode;
        task.backup_options.retention_limit = limit;
        task.backups = copies;
        return server.taskAt(server.addTask(task));
    }

    static bool onDisk(const CBackupRecord& copy) {
        return fs::exists(copy.subdirectory) || fs::exists(copy.files[0]) || fs::exists(copy.files[1]);
    }

    std::vector<CBackupRecord> savedCopies() const {
        CTaskList list;
        EXPECT_TRUE(loadTaskList(env.taskListPath(), list));
        return list.count() > 0 ? list.at(0).backups : std::vector<CBackupRecord>{};
    }

    std::atomic<int> saves{0};
};

TEST_F(RetentionTest, ByCountDeletesTheOldestCopiesAndSavesOnce) {
    std::vector<CBackupRecord> copies;
    for (int i = 0; i < 5; ++i) copies.push_back(makeCopy("c" + std::to_string(i), makeTime(2024, 5, 1 + i, 2, 0, 0)));
    CTask& task = addBackupTask(2, 3, copies);

    EXPECT_TRUE(applyRetention(task, env));
    EXPECT_FALSE(onDisk(copies[0]));
    EXPECT_FALSE(onDisk(copies[1]));
    for (int i = 2; i < 5; ++i) EXPECT_TRUE(fs::exists(copies[i].files[0])) << i;
    const std::vector<CBackupRecord> kept(copies.begin() + 2, copies.end());
    EXPECT_EQ(task.backups, kept);
    EXPECT_EQ(saves.load(), 1);
    EXPECT_EQ(savedCopies(), kept);
    const std::vector<LogRecord> log = logOf(task);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text, "Delete the expiration backup copies");
    EXPECT_EQ(log[0].level, kLogInfo);

    // Within the limit now: nothing more happens.
    EXPECT_FALSE(applyRetention(task, env));
    EXPECT_EQ(saves.load(), 1);
    EXPECT_EQ(logOf(task).size(), 1u);
}

TEST_F(RetentionTest, ByAgeDeletesCopiesOfTheLimitOrOlder) {
    clock.set(makeTime(2024, 5, 20, 12, 0, 0));
    // Not in age order, so the walk has to keep one and go on.
    const std::vector<CBackupRecord> copies = {
        makeCopy("ten_days", makeTime(2024, 5, 10, 12, 0, 0)),
        makeCopy("six_days_23h", makeTime(2024, 5, 13, 13, 0, 0)),
        makeCopy("seven_days", makeTime(2024, 5, 13, 12, 0, 0)),
        makeCopy("one_day", makeTime(2024, 5, 19, 12, 0, 0)),
    };
    CTask& task = addBackupTask(1, 7, copies);

    EXPECT_TRUE(applyRetention(task, env));
    EXPECT_FALSE(onDisk(copies[0]));
    EXPECT_TRUE(fs::exists(copies[1].files[0]));
    EXPECT_FALSE(onDisk(copies[2]));
    EXPECT_TRUE(fs::exists(copies[3].files[0]));
    EXPECT_EQ(task.backups, (std::vector<CBackupRecord>{copies[1], copies[3]}));
    EXPECT_EQ(saves.load(), 1);
    EXPECT_EQ(logTexts(task), std::vector<std::string>{"Delete the expiration backup copies"});

    // An hour later the 6 d 23 h copy is 7 days old.
    clock.advanceMinutes(60);
    EXPECT_TRUE(applyRetention(task, env));
    EXPECT_EQ(task.backups, std::vector<CBackupRecord>{copies[3]});
    EXPECT_EQ(saves.load(), 2);
    EXPECT_EQ(savedCopies(), std::vector<CBackupRecord>{copies[3]});
}

TEST_F(RetentionTest, ForeignFileKeepsTheFolderButTheEntryGoes) {
    std::vector<CBackupRecord> copies = {makeCopy("old", makeTime(2024, 5, 1, 0, 0, 0)),
                                         makeCopy("new", makeTime(2024, 5, 2, 0, 0, 0))};
    writeFile(fs::path(copies[0].subdirectory) / "notes.txt", "mine");
    CTask& task = addBackupTask(2, 1, copies);

    EXPECT_TRUE(applyRetention(task, env));
    EXPECT_FALSE(fs::exists(copies[0].files[0]));
    EXPECT_FALSE(fs::exists(copies[0].files[1]));
    EXPECT_TRUE(fs::exists(fs::path(copies[0].subdirectory) / "notes.txt"));
    EXPECT_EQ(task.backups, std::vector<CBackupRecord>{copies[1]});
}

TEST_F(RetentionTest, CopiesAlreadyGoneFromDiskAreDroppedFromTheList) {
    std::vector<CBackupRecord> copies = {makeCopy("gone", makeTime(2024, 5, 1, 0, 0, 0)),
                                         makeCopy("kept", makeTime(2024, 5, 2, 0, 0, 0))};
    fs::remove_all(copies[0].subdirectory);
    CBackupRecord in_fixed_folder = makeCopy("fixed", makeTime(2024, 5, 3, 0, 0, 0));
    in_fixed_folder.subdirectory.clear();  // files written into the fixed backup folder
    copies.insert(copies.begin() + 1, in_fixed_folder);
    CTask& task = addBackupTask(2, 1, copies);

    EXPECT_TRUE(applyRetention(task, env));
    EXPECT_EQ(task.backups, std::vector<CBackupRecord>{copies[2]});
    EXPECT_FALSE(fs::exists(in_fixed_folder.files[0]));
    EXPECT_TRUE(fs::exists(dir.path() / "backups" / "fixed"));  // not its own folder: left alone
    EXPECT_EQ(saves.load(), 1);
}

TEST_F(RetentionTest, NothingHappensWhenNothingHasExpired) {
    clock.set(makeTime(2024, 5, 20, 12, 0, 0));
    struct Case {
        const char* what;
        uint8_t mode;
        int32_t limit;
    };
    const Case cases[] = {
        {"keep everything", 0, 1},
        {"unknown mode", 7, 0},
        {"count at the limit", 2, 2},
        {"all younger than the limit", 1, 60},
    };
    const std::vector<CBackupRecord> copies = {makeCopy("a", makeTime(2024, 4, 1, 0, 0, 0)),
                                               makeCopy("b", makeTime(2024, 5, 1, 0, 0, 0))};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CTask& task = addBackupTask(c.mode, c.limit, copies);
        EXPECT_FALSE(applyRetention(task, env));
        EXPECT_EQ(task.backups, copies);
    }
    for (const CBackupRecord& copy : copies) EXPECT_TRUE(fs::exists(copy.files[1]));
    EXPECT_EQ(saves.load(), 0);
    EXPECT_FALSE(fs::exists(env.logsFolder() / "backup.log"));
}

TEST_F(RetentionTest, LimitOfZeroDeletesEveryCopy) {
    clock.set(makeTime(2024, 5, 20, 12, 0, 0));
    for (uint8_t mode : {1, 2}) {
        SCOPED_TRACE(int(mode));
        const std::vector<CBackupRecord> copies = {
            makeCopy("x" + std::to_string(mode), makeTime(2024, 5, 20, 11, 0, 0))};
        CTask& task = addBackupTask(mode, 0, copies);
        EXPECT_TRUE(applyRetention(task, env));
        EXPECT_TRUE(task.backups.empty());
        EXPECT_FALSE(onDisk(copies[0]));
    }
}

}  // namespace
}  // namespace keelvault::test
