#include "core/engine/backup_naming.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;

TaskTime start() {
    TaskTime t;
    t.year = 2006;
    t.month = 5;
    t.day = 1;
    t.hour = 9;
    t.minute = 5;
    t.second = 7;
    return t;
}

CBackupOptions newFiles(int grouping, const std::string& directory, const std::string& format) {
    CBackupOptions options;
    options.flags[kOptFileType] = 1;
    options.flags[kOptFileMode] = 2;
    options.flags[kOptGrouping] = static_cast<uint8_t>(grouping);
    options.backup_directory = directory;
    options.file_name_format = format;
    return options;
}

TEST(BackupNaming, LayoutFromModeAndGrouping) {
    struct Case {
        int mode, grouping;
        BackupLayout expected;
    };
    const std::vector<Case> cases = {
        {1, 1, BackupLayout::SameFile},    {1, 3, BackupLayout::SameFile}, {2, 1, BackupLayout::OneFile},
        {2, 2, BackupLayout::PerDatabase}, {2, 3, BackupLayout::PerTable},
    };
    for (const Case& c : cases) {
        CBackupOptions options;
        options.flags[kOptFileMode] = static_cast<uint8_t>(c.mode);
        options.flags[kOptGrouping] = static_cast<uint8_t>(c.grouping);
        EXPECT_EQ(backupLayoutFor(options), c.expected) << c.mode << "/" << c.grouping;
    }
    EXPECT_EQ(defaultFileNameFormat(1), "%HOST%_%DATE%_%TIME%");
    EXPECT_EQ(defaultFileNameFormat(2), "%HOST%_%DATABASE%_%DATE%_%TIME%");
    EXPECT_EQ(defaultFileNameFormat(3), "%HOST%_%DATABASE%_%TABLE%_%DATE%_%TIME%");
}

TEST(BackupNaming, DateTimeTexts) {
    EXPECT_EQ(backupDateText(start()), "2006-05-01");
    EXPECT_EQ(backupTimeText(start()), "09-05-07");
    EXPECT_EQ(backupDateTimeFolderName(start()), "2006-05-01_09-05-07");
    TaskTime late = start();
    late.month = 12;
    late.day = 31;
    late.hour = 23;
    late.minute = 59;
    late.second = 59;
    EXPECT_EQ(backupDateTimeFolderName(late), "2006-12-31_23-59-59");
}

TEST(BackupNaming, CleanFileNamePart) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"db:1/x", "db1x"}, {"  Nightly * run?  ", "Nightly  run"}, {"\t\"a\\b\"<c>|d\r\n", "abcd"},
        {" :/ ", ""},       {"plain.host", "plain.host"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(cleanFileNamePart(in), out) << in;
}

TEST(BackupNaming, FilePaths) {
    struct Case {
        CBackupOptions options;
        BackupNameValues values;
        std::string expected;
    };
    const BackupNameValues shop{"Nightly", "db:1/x", "shop", "", start()};
    const BackupNameValues shop_orders{"Nightly", "db:1/x", "shop", "orders", start()};
    CBackupOptions php = newFiles(2, "/B", "%HOST%_%DATABASE%_%DATE%_%TIME%");
    php.flags[kOptFileType] = 2;
    CBackupOptions with_subdir = newFiles(2, "/B", "%HOST%_%DATABASE%_%DATE%_%TIME%");
    with_subdir.date_time_subdir = 1;
    const std::vector<Case> cases = {
        {newFiles(2, "/B", "%HOST%_%DATABASE%_%DATE%_%TIME%"), shop, "/B/db1x_shop_2006-05-01_09-05-07.sql"},
        {newFiles(2, "/B/", "%HOST%_%DATABASE%_%DATE%_%TIME%"), shop, "/B/db1x_shop_2006-05-01_09-05-07.sql"},
        {newFiles(2, "/B\\", "%HOST%_%DATABASE%_%DATE%_%TIME%"), shop, "/B/db1x_shop_2006-05-01_09-05-07.sql"},
        {php, shop, "/B/db1x_shop_2006-05-01_09-05-07.php"},
        {with_subdir, shop, "/B/2006-05-01_09-05-07/db1x_shop_2006-05-01_09-05-07.sql"},
        // A placeholder without a value in this layout becomes empty.
        {newFiles(2, "/B", "%DATABASE%_%TABLE%"), shop, "/B/shop_.sql"},
        {newFiles(3, "/B", "%TASKNAME%-%TABLE%-%TASKNAME%"), BackupNameValues{" Run: 1 ", "h", "d", "t", start()},
         "/B/Run 1-t-Run 1.sql"},
        // An empty format falls back to the grouping's default.
        {newFiles(3, "/B", ""), shop_orders, "/B/db1x_shop_orders_2006-05-01_09-05-07.sql"},
        {newFiles(1, "/B", ""), shop, "/B/db1x_2006-05-01_09-05-07.sql"},
        // Names from the server cannot climb out of the backup folder.
        {newFiles(3, "/B", "%DATABASE%_%TABLE%"), BackupNameValues{"", "h", "../x", "..\\..\\etc/passwd", start()},
         "/B/..x_....etcpasswd.sql"},
        {newFiles(2, "/B", "%HOST%%UNKNOWN%"), shop, "/B/db1x%UNKNOWN%.sql"},
    };
    for (const Case& c : cases) {
        const BackupFolder folder = backupFolderFor(c.options, c.values.start);
        EXPECT_EQ(backupFilePath(folder, c.options, c.values), c.expected) << c.options.file_name_format;
    }
}

TEST(BackupNaming, SameFileModeIgnoresSubdirectory) {
    CBackupOptions options = newFiles(2, "/B", "x");
    options.flags[kOptFileMode] = 1;
    options.date_time_subdir = 1;
    EXPECT_EQ(backupFolderFor(options, start()).subdirectory, "");
}

TEST(BackupNaming, PrepareFolderCreatesOneLevelAndSubdirectory) {
    test::TempDir temp;
    CBackupOptions options = newFiles(2, (temp.path() / "backups").string() + "/", "x");
    options.date_time_subdir = 1;
    BackupFolder folder;
    ASSERT_TRUE(prepareBackupFolder(options, start(), folder));
    EXPECT_EQ(folder.directory, (temp.path() / "backups").string());
    EXPECT_EQ(folder.subdirectory, (temp.path() / "backups" / "2006-05-01_09-05-07").string());
    EXPECT_TRUE(fs::is_directory(folder.subdirectory));
    EXPECT_EQ(backupFilePath(folder, options, BackupNameValues{}), folder.subdirectory + "/x.sql");

    // An existing folder is fine; a missing parent is not created.
    ASSERT_TRUE(prepareBackupFolder(options, start(), folder));
    options.backup_directory = (temp.path() / "missing" / "deeper").string();
    ASSERT_TRUE(prepareBackupFolder(options, start(), folder));
    EXPECT_FALSE(fs::exists(temp.path() / "missing"));

    options.backup_directory.clear();
    EXPECT_FALSE(prepareBackupFolder(options, start(), folder));
}

}  // namespace
}  // namespace keelvault
