#include "core/editing/options_rules.h"

#include <gtest/gtest.h>

#include "check_expect.h"

namespace keelvault {
namespace {

using test::accepted;
using test::refused;

TEST(OptionsRules, MaximumLogSize) {
    struct Case {
        std::string size;
        int32_t accepted_as;  // 0: refused
    };
    const std::vector<Case> cases = {{"5", 5}, {"1", 1},      {"100000", 100000}, {"0", 0},
                                     {"", 0},  {"100001", 0}, {"1O", 0},          {"9999999999999", 0}};
    for (const Case& c : cases) {
        const auto result = checkBackupLogTab({"/backups/", LogSizeChoice::Maximum, c.size}, CSystemOptions{});
        if (c.accepted_as == 0) {
            EXPECT_TRUE(
                refused(result, "Please input the maximum size between 1 and 100000!", OptionsField::MaximumLogSize))
                << c.size;
        } else {
            ASSERT_TRUE(accepted(result)) << c.size;
            EXPECT_EQ(result.value().log_size_limited, 1);
            EXPECT_EQ(result.value().max_log_size_kb, c.accepted_as);
            EXPECT_EQ(result.value().default_backup_folder, "/backups/");
        }
    }
}

TEST(OptionsRules, UnlimitedClearsTheSizeAndTheFolderIsTakenAsTyped) {
    CSystemOptions options;
    options.log_size_limited = 1;
    options.max_log_size_kb = 500;
    const auto result = checkBackupLogTab({"relative dir", LogSizeChoice::Unlimited, "junk"}, options);
    ASSERT_TRUE(accepted(result));
    EXPECT_EQ(result.value().log_size_limited, 0);
    EXPECT_EQ(result.value().max_log_size_kb, 0);
    EXPECT_EQ(result.value().default_backup_folder, "relative dir");

    const BackupLogTabTexts shown = backupLogTabTexts(options);
    EXPECT_EQ(shown.log_size, LogSizeChoice::Maximum);
    EXPECT_EQ(shown.maximum_size, "500");
    EXPECT_EQ(backupLogTabTexts(CSystemOptions{}).maximum_size, "");
}

TEST(OptionsRules, GeneralTab) {
    GeneralTabTexts texts;
    texts.login_user = "";
    texts.login_password = "secret";
    texts.date_format_buttons = {false, true, true};
    texts.twelve_hour_time = true;
    CSystemOptions options = readGeneralTab(texts, CSystemOptions{});
    EXPECT_EQ(options.login_password, "");  // no user, no password
    EXPECT_EQ(options.date_format, 2);      // the first checked button
    EXPECT_EQ(options.time_format, 2);

    texts.login_user = "admin";
    texts.date_format_buttons = {};
    texts.twelve_hour_time = false;
    options = readGeneralTab(texts, CSystemOptions{});
    EXPECT_EQ(options.login_password, "secret");
    EXPECT_EQ(options.date_format, 1);
    EXPECT_EQ(options.time_format, 1);
}

TEST(OptionsRules, ConfirmingAnEmptyFolderGivesTheDataFolder) {
    CSystemOptions edited;
    EXPECT_EQ(confirmedOptions(edited, "/home/u/.local/share/keelvault").default_backup_folder,
              "/home/u/.local/share/keelvault/Data/");
    edited.default_backup_folder = "/mine";
    EXPECT_EQ(confirmedOptions(edited, "/elsewhere").default_backup_folder, "/mine");
}

}  // namespace
}  // namespace keelvault
