#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "check_expect.h"
#include "core/editing/backup_file_rules.h"
#include "core/editing/default_file_names.h"
#include "support/test_support.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;
using test::accepted;
using test::refused;

TEST(DefaultFileNames, StemAndDefaultsFromTheOptionsFolder) {
    EXPECT_EQ(taskNameStem("  Nightly: db/1 *?  "), "Nightly db1");
    EXPECT_EQ(taskNameStem("\r\n\t\\/:*?\"<>| "), "Default");
    EXPECT_EQ(taskNameStem(""), "Default");

    CSystemOptions options;
    options.default_backup_folder = "/srv/keel/Data/";
    EXPECT_EQ(defaultBackupFile(options, "Nightly", 1), "/srv/keel/Data/Nightly.sql");
    EXPECT_EQ(defaultBackupFile(options, "Nightly", 2), "/srv/keel/Data/Nightly.php");
    EXPECT_EQ(defaultBackupFolder(options, "a|b"), "/srv/keel/Data/ab/");
    // A folder typed without its separator still gets the name inside it.
    options.default_backup_folder = "/srv/keel/Data";
    EXPECT_EQ(defaultBackupFolder(options, ""), "/srv/keel/Data/Default/");
}

TEST(DefaultFileNames, NoFolderInTheOptionsFallsBackToTheDataFolder) {
    test::ScopedDataHome home;
    const CSystemOptions options;
    EXPECT_EQ(defaultBackupFile(options, "T", 1), (home.dataFolder() / "Data" / "T.sql").string());
}

TEST(BackupFileRules, FileTypeRadiosSwapTheLastFourCharacters) {
    struct Case {
        std::string file;
        uint8_t type;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"a.txt", 1, "a.sql"},
        {"/b/x.sql", 2, "/b/x.php"},
        {"/b/x.php", 1, "/b/x.sql"},
        {"/b/archive", 1, "/b/arc.sql"},  // whatever the last four were
        {"abcd", 1, "abcd"},              // four characters: not more than four
        {"abc", 2, "abc"},
        {"", 1, ""},
        {"d/Sicherung", 2, "d/Siche.php"},
        {"Übung", 1, "Ü.sql"},  // five characters, six bytes
        {"Üben", 1, "Üben"},    // four characters, five bytes
        {"/b/Köln", 1, "/b/.sql"},
    };
    for (const Case& c : cases) EXPECT_EQ(withBackupFileExtension(c.file, c.type), c.expected) << c.file;
}

TEST(BackupFileRules, SameFileMode) {
    test::TempDir dir;
    BackupFileTexts texts;
    texts.file_mode = 1;
    texts.folder = "ignored";
    texts.unix_newlines = true;
    EXPECT_TRUE(refused(checkBackupFilePage(texts), "Please input a file!", BackupFileField::BrowseButton));

    // A new file in an existing folder: accepted, and the test file is gone again.
    texts.file = (dir / "new.sql").string();
    auto result = checkBackupFilePage(texts);
    ASSERT_TRUE(accepted(result));
    EXPECT_FALSE(fs::exists(dir / "new.sql"));
    EXPECT_EQ(result.value().same_file_path, texts.file);
    EXPECT_EQ(result.value().backup_directory, "");
    EXPECT_EQ(result.value().unix_newlines, 1);

    // An existing backup is accepted and left exactly as it was.
    test::writeFile(dir / "old.sql", "-- a good backup\n");
    texts.file = (dir / "old.sql").string();
    ASSERT_TRUE(accepted(checkBackupFilePage(texts)));
    EXPECT_EQ(test::readFile(dir / "old.sql"), "-- a good backup\n");

    for (const fs::path& bad : {dir / "missing" / "x.sql", dir.path()}) {
        texts.file = bad.string();
        EXPECT_TRUE(refused(checkBackupFilePage(texts), "Invalid file!", BackupFileField::FileEdit)) << bad;
    }
}

TEST(BackupFileRules, ANamedPipeIsRefusedWithoutWaitingForAWriter) {
    test::TempDir dir;
    const fs::path pipe = dir / "pipe.sql";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    BackupFileTexts texts;
    texts.file_mode = 1;
    texts.file = pipe.string();
    EXPECT_TRUE(refused(checkBackupFilePage(texts), "Invalid file!", BackupFileField::FileEdit));
    EXPECT_TRUE(fs::is_fifo(pipe));
}

TEST(BackupFileRules, NewFilesModeCreatesOneLevelAndAddsTheSeparator) {
    test::TempDir dir;
    BackupFileTexts texts;
    texts.file_mode = 2;
    texts.file = "ignored.sql";
    texts.file_type = 2;
    texts.unix_newlines = true;
    EXPECT_TRUE(refused(checkBackupFilePage(texts), "Please input a folder!", BackupFileField::FolderButton));

    texts.folder = (dir / "backups").string();
    auto result = checkBackupFilePage(texts);
    ASSERT_TRUE(accepted(result));
    EXPECT_TRUE(fs::is_directory(dir / "backups"));
    EXPECT_EQ(result.value().backup_directory, (dir / "backups").string() + "/");
    EXPECT_EQ(result.value().same_file_path, "");
    EXPECT_EQ(result.value().file_type, 2);
    EXPECT_EQ(result.value().unix_newlines, 0);  // never for PHP files

    texts.folder = (dir / "backups").string() + "/";
    result = checkBackupFilePage(texts);
    ASSERT_TRUE(accepted(result));
    EXPECT_EQ(result.value().backup_directory, texts.folder);

    test::writeFile(dir / "plain", "x");
    for (const fs::path& bad : {dir / "a" / "b", dir / "plain"}) {
        texts.folder = bad.string();
        EXPECT_TRUE(refused(checkBackupFilePage(texts), "Invalid folder!", BackupFileField::FolderEdit)) << bad;
    }
    EXPECT_FALSE(fs::exists(dir / "a"));
}

TEST(BackupFileRules, PageTextsFollowTheStoredOptions) {
    CBackupOptions options;
    options.flags[kOptFileType] = 2;
    options.flags[kOptFileMode] = 1;
    options.same_file_path = "/b/x.php";
    options.unix_newlines = 1;
    const BackupFileTexts texts = backupFilePageTexts(options);
    EXPECT_EQ(texts.file_type, 2);
    EXPECT_EQ(texts.file_mode, 1);
    EXPECT_EQ(texts.file, "/b/x.php");
    EXPECT_FALSE(texts.unix_newlines);  // the box is unchecked for PHP files
}

}  // namespace
}  // namespace keelvault
