#include "core/editing/restore_file_rules.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>

#include <filesystem>

#include "check_expect.h"
#include "support/test_support.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;
using test::accepted;
using test::refused;

TEST(RestoreFileRules, EntryFromAPath) {
    test::TempDir dir;
    test::writeFile(dir / "small.sql", std::string(1000, 'x'));
    test::writeFile(dir / "dump.SQL", "x");
    test::writeFile(dir / "dump.sql.GZ", "x");
    test::writeFile(dir / "mysql", "x");  // ends in "sql" without a dot
    test::writeFile(dir / "notes.txt", "x");
    test::writeFile(dir / "sql", "x");  // three characters
    test::writeFile(dir / ".gz", "x");
    fs::create_directory(dir / "folder.sql");
    ASSERT_EQ(::mkfifo((dir / "pipe.sql").c_str(), 0600), 0);

    struct Case {
        const char* name;
        std::optional<uint8_t> kind;  // nullopt: skipped
    };
    const std::vector<Case> cases = {
        {"small.sql", 0},
        {"dump.SQL", 0},
        {"dump.sql.GZ", 1},
        {"mysql", 0},
        {"notes.txt", std::nullopt},
        {"sql", std::nullopt},
        {".gz", std::nullopt},
        {"folder.sql", std::nullopt},
        {"pipe.sql", std::nullopt},
        {"missing.sql", std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<CRestoreFile> entry = restoreFileEntry((dir / c.name).string());
        ASSERT_EQ(entry.has_value(), c.kind.has_value()) << c.name;
        if (entry) {
            EXPECT_EQ(entry->kind, *c.kind) << c.name;
            EXPECT_EQ(entry->file_name, c.name);
        }
    }
}

TEST(RestoreFileRules, SizeAndModificationTime) {
    test::TempDir dir;
    const fs::path file = dir / "small.sql";
    test::writeFile(file, std::string(1000, 'x'));
    const TaskTime when = test::makeTime(2021, 3, 14, 15, 9, 26);  // a Sunday
    struct tm tm {};
    tm.tm_year = when.year - 1900;
    tm.tm_mon = when.month - 1;
    tm.tm_mday = when.day;
    tm.tm_hour = when.hour;
    tm.tm_min = when.minute;
    tm.tm_sec = when.second;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    const struct timespec times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);

    const std::optional<CRestoreFile> entry = restoreFileEntry(file.string());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->full_path, file.string());
    EXPECT_EQ(entry->size, 1000);  // under 1024 bytes: shows as 0 KB
    EXPECT_EQ((TaskTime{entry->year, entry->month, entry->day, entry->hour, entry->minute, entry->second,
                        entry->day_of_week}),
              when);
}

TEST(RestoreFileRules, AFileBeyondTheSizeFieldKeepsItsLargestValue) {
    test::TempDir dir;
    const fs::path file = dir / "huge.sql";
    test::writeFile(file, "");
    fs::resize_file(file, uint64_t{5} << 30);  // sparse, 5 GiB
    const std::optional<CRestoreFile> entry = restoreFileEntry(file.string());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->size, 2147483647);
}

TEST(RestoreFileRules, AddingSelectsListedRowsAndAppendsTheRest) {
    test::TempDir dir;
    for (const char* name : {"a.sql", "b.sql", "c.gz", "d.sql"}) test::writeFile(dir / name, "x");
    const auto path = [&](const char* name) { return (dir / name).string(); };

    RestoreFileList list = addRestoreFiles({}, {path("a.sql"), path("b.sql"), path("skip.txt")});
    ASSERT_EQ(list.files.size(), 2u);
    EXPECT_EQ(list.selected, std::vector<int>{1});  // the last row

    // Only already listed files: that row alone is selected, nothing is added twice.
    list.selected = {0, 1};
    list = addRestoreFiles(list, {path("a.sql")});
    EXPECT_EQ(list.files.size(), 2u);
    EXPECT_EQ(list.selected, std::vector<int>{0});

    // A listed file among new ones: the new ones are appended, the last row selected.
    list = addRestoreFiles(list, {path("c.gz"), path("b.sql"), path("d.sql")});
    ASSERT_EQ(list.files.size(), 4u);
    EXPECT_EQ(list.files[2].file_name, "c.gz");
    EXPECT_EQ(list.files[2].kind, 1);
    EXPECT_EQ(list.files[3].file_name, "d.sql");
    EXPECT_EQ(list.selected, std::vector<int>{3});

    // Nothing taken: the selection stays.
    list.selected = {1, 2};
    list = addRestoreFiles(list, {path("missing.sql")});
    EXPECT_EQ(list.selected, (std::vector<int>{1, 2}));
}

TEST(RestoreFileRules, MovingNeedsExactlyOneRow) {
    RestoreFileList list;
    for (const char* name : {"a.sql", "b.sql", "c.sql"}) {
        CRestoreFile f;
        f.file_name = name;
        list.files.push_back(f);
    }
    for (const std::vector<int>& selected : {std::vector<int>{}, std::vector<int>{0, 1}}) {
        list.selected = selected;
        EXPECT_TRUE(refused(moveRestoreFile(list, true), "Please choose a file item!", RestoreFilesField::List));
    }
    list.selected = {1};
    auto moved = moveRestoreFile(list, true);
    ASSERT_TRUE(accepted(moved));
    EXPECT_EQ(moved.value().files[0].file_name, "b.sql");
    EXPECT_EQ(moved.value().files[1].file_name, "a.sql");
    EXPECT_EQ(moved.value().selected, std::vector<int>{0});
    // Nothing above the top row or below the bottom row.
    EXPECT_EQ(moveRestoreFile(moved.value(), true).value().files, moved.value().files);
    list.selected = {2};
    EXPECT_EQ(moveRestoreFile(list, false).value().files, list.files);
}

TEST(RestoreFileRules, NextNeedsFilesAndCarriesTheQuestion) {
    EXPECT_TRUE(refused(checkRestoreFilesPage({}, true, true), "Please add the files!", RestoreFilesField::AddButton));
    CRestoreFile f;
    f.full_path = "/x/a.sql";
    const auto result = checkRestoreFilesPage({f}, false, true);
    ASSERT_TRUE(accepted(result));
    EXPECT_EQ(result.value().options, (CRestoreOptions{0, 1}));
    EXPECT_EQ(result.value().files.size(), 1u);
    EXPECT_EQ(result.value().question,
              "If there are some DROP and DELETE statements in these SQL files, some old databases and tables on the "
              "destination server will be deleted during the task running.\n\nDo you want to continue?");
}

}  // namespace
}  // namespace keelvault
