#include "core/editing/backup_files_settings_rules.h"

#include <gtest/gtest.h>

#include "check_expect.h"

namespace keelvault {
namespace {

using test::accepted;
using test::refused;

BackupSettingsTexts settings(uint8_t grouping, const std::string& format) {
    BackupSettingsTexts texts;
    texts.grouping = grouping;
    texts.format = format;
    return texts;
}

TEST(BackupSettingsRules, FormatChecksInOrder) {
    const std::string invalid = "There are some invalid characters in the file name format!\n\n\\ / : * ? \" < > |";
    struct Case {
        uint8_t grouping;
        std::string format;
        std::string message;  // empty: accepted
    };
    const std::vector<Case> cases = {
        {1, "", "Please input file name format!"},
        {1, "  \t ", "Please input file name format!"},
        {1, "%HOST%/%DATE%", invalid},
        {2, "a:b%TABLE%", invalid},  // characters before placeholders
        {1, "a\tb", invalid},
        {1, "x|y", invalid},
        {1, "%HOST%_%DATABASE%", "Please do not include %DATABASE% in file name format!"},
        {1, "%HOST%_%TABLE%", "Please do not include %TABLE% in file name format!"},
        {1, "%HOST%_%database%_%table%", ""},
        {2, "%DATABASE%_%TABLE%", "Please do not include %TABLE% in file name format!"},
        {2, "%HOST%_%database%_%DATE%", "Please include %DATABASE% in file name format!"},
        {2, "%HOST%_%DATABASE%", ""},
        {3, "%HOST%_%DATABASE%_%table%", "Please include %TABLE% in file name format!"},
        {3, "%TABLE%", ""},
        {3, "%HOST%_%DATABASE%_%TABLE%_%DATE%_%TIME%", ""},
    };
    for (const Case& c : cases) {
        const auto result = checkBackupSettings(settings(c.grouping, c.format));
        if (c.message.empty()) {
            EXPECT_TRUE(accepted(result)) << c.format;
        } else {
            EXPECT_TRUE(refused(result, c.message, BackupSettingsField::Format)) << c.format;
        }
    }
}

TEST(BackupSettingsRules, TheFormatIsStoredTrimmed) {
    BackupSettingsTexts texts = settings(2, " \t%HOST%_%DATABASE% ");
    texts.date_time_subdirectory = true;
    const auto result = checkBackupSettings(texts);
    ASSERT_TRUE(accepted(result));
    EXPECT_EQ(result.value().format, "%HOST%_%DATABASE%");
    EXPECT_EQ(result.value().grouping, 2);
    EXPECT_EQ(result.value().date_time_subdirectory, 1);
    EXPECT_EQ(result.value().retention_kind, 0);
    EXPECT_EQ(result.value().retention_limit, 0);
}

TEST(BackupSettingsRules, RetentionNumbers) {
    struct Case {
        std::string number;
        int32_t accepted_as;  // 0: refused
    };
    const std::vector<Case> cases = {{"0", 0},  {"", 0},          {"10001", 0},
                                     {"1", 1},  {"10000", 10000}, {"007", 7},
                                     {"7 ", 0}, {"-3", 0},        {"99999999999999999999", 0}};
    for (const Case& c : cases) {
        for (RetentionChoice choice : {RetentionChoice::KeepDays, RetentionChoice::KeepCopies}) {
            BackupSettingsTexts texts = settings(1, "%HOST%");
            texts.retention = choice;
            const bool days = choice == RetentionChoice::KeepDays;
            (days ? texts.days : texts.copies) = c.number;
            (days ? texts.copies : texts.days) = "5";  // the other, disabled edit does not count
            const auto result = checkBackupSettings(texts);
            if (c.accepted_as == 0) {
                EXPECT_TRUE(refused(result, days ? "Invalid keeping days!" : "Invalid backup copies!",
                                    days ? BackupSettingsField::KeepDays : BackupSettingsField::KeepCopies))
                    << c.number;
            } else {
                ASSERT_TRUE(accepted(result)) << c.number;
                EXPECT_EQ(result.value().retention_kind, days ? 1 : 2);
                EXPECT_EQ(result.value().retention_limit, c.accepted_as);
            }
        }
    }
}

TEST(BackupSettingsRules, OpeningShowsTheGroupingDefaultAndTheStoredRetention) {
    CBackupOptions options;
    options.flags[kOptGrouping] = 3;
    options.file_name_format.clear();
    options.retention_kind = 2;
    options.retention_limit = 12;
    BackupSettingsTexts texts = backupSettingsTexts(options);
    EXPECT_EQ(texts.format, "%HOST%_%DATABASE%_%TABLE%_%DATE%_%TIME%");
    EXPECT_EQ(texts.retention, RetentionChoice::KeepCopies);
    EXPECT_EQ(texts.copies, "12");
    EXPECT_EQ(texts.days, "");

    // Defaults are what "Reset to default" shows.
    texts = backupSettingsTexts(CBackupOptions{});
    EXPECT_EQ(texts.grouping, 1);
    EXPECT_EQ(texts.format, "%HOST%_%DATE%_%TIME%");
    EXPECT_EQ(texts.retention, RetentionChoice::None);
    EXPECT_FALSE(texts.date_time_subdirectory);
}

}  // namespace
}  // namespace keelvault
