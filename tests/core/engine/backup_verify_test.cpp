// Digests recorded by backup runs, and verifying a backup by restoring it
// into scratch databases and comparing every table with them.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "backup_test_harness.h"
#include "core/engine/backup_digests.h"
#include "core/engine/backup_verify.h"
#include "core/engine/table_digest.h"
#include "core/scheduler/retention.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;
using backup_test::BackupHarness;

std::string digestOf(const std::vector<std::string>& rows) {
    TableDigest digest;
    for (const std::string& row : rows) digest.addRow(row);
    return digest.hex() + "/" + std::to_string(digest.rows());
}

TEST(TableDigest, SameRowsSameDigestAndAnyChangeShows) {
    const std::vector<std::string> rows = {"(1,'a',NULL)", "(2,'b\\'c',0x00FF)", "(3,'',NULL)"};
    EXPECT_EQ(digestOf(rows), digestOf(rows));
    struct Case {
        const char* what;
        std::vector<std::string> rows;
    };
    const std::vector<Case> changed = {
        {"one value changed", {"(1,'a',NULL)", "(2,'b\\'d',0x00FF)", "(3,'',NULL)"}},
        {"one row fewer", {"(1,'a',NULL)", "(2,'b\\'c',0x00FF)"}},
        {"rows in another order", {"(2,'b\\'c',0x00FF)", "(1,'a',NULL)", "(3,'',NULL)"}},
        {"the same bytes cut into rows elsewhere", {"(1,'a',NULL)(2,'b\\'c',0x00FF)", "(3,'',NULL)", ""}},
    };
    for (const Case& c : changed) EXPECT_NE(digestOf(c.rows), digestOf(rows)) << c.what;

    TableDigest digest;
    digest.addRow("(1)");
    TableDigest copy = digest;
    copy.addRow("(2)");
    EXPECT_EQ(digest.rows(), 1u);  // a copy goes on by itself
    digest.reset();
    EXPECT_EQ(digest.hex(), TableDigest().hex());
}

TEST(BackupDigestsFile, RoundTripsAndRejectsWhatIsNotOurs) {
    BackupDigests digests;
    digests.task = "nightly";
    digests.run_time = test::makeTime(2006, 5, 1, 9, 5, 7);
    digests.run_time.day_of_week = 0;
    digests.tables = {{"shop", "orders", 25, "0123456789abcdef", "/b/x.sql.gz", "utf8mb4"},
                      {"shop", "na`me", 0, "fedcba9876543210", "/b/x.sql.gz", ""}};
    const auto back = parseBackupDigests(backupDigestsJson(digests));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, digests);
    for (const char* text : {"", "{}", "[1,2]", "{\"format\":\"keelvault-backup-digests\",\"algorithm\":\"xxh3-64\"}",
                             "{\"format\":\"other\",\"algorithm\":\"xxh3-64\",\"run_time\":\"2006-05-01 09:05:07\","
                             "\"tables\":[]}",
                             "{\"format\":\"keelvault-backup-digests\",\"algorithm\":\"xxh3-64\",\"run_time\":"
                             "\"2006-05-01 09:05:07\",\"tables\":[{\"database\":\"a\"}]}"}) {
        EXPECT_FALSE(parseBackupDigests(text)) << text;
    }
}

TEST(VerifyStatements, WhatRunsWhereAndWhatIsSkipped) {
    struct Case {
        const char* statement;
        VerifyAction action;
        const char* name;
    };
    const std::vector<Case> cases = {
        {"CREATE DATABASE IF NOT EXISTS `shop` DEFAULT CHARACTER SET utf8mb4", VerifyAction::CreateDatabase, "shop"},
        {"create database odd`name", VerifyAction::CreateDatabase, "odd"},
        {"CREATE DATABASE IF NOT EXISTS `we``ird`", VerifyAction::CreateDatabase, "we`ird"},
        {"USE `shop`", VerifyAction::UseDatabase, "shop"},
        {"DROP DATABASE IF EXISTS shop", VerifyAction::DropDatabase, "shop"},
        {"CREATE TABLE IF NOT EXISTS `t` (`a` int)", VerifyAction::Run, ""},
        {"INSERT INTO `t` VALUES (1)", VerifyAction::Run, ""},
        {"REPLACE DELAYED IGNORE INTO t VALUES (1)", VerifyAction::Run, ""},
        {"INSERT INTO `other`.`t` VALUES (1)", VerifyAction::Qualified, "other"},
        {"DELETE FROM other . t", VerifyAction::Qualified, "other"},
        {"CREATE TABLE `shop`.`t` (a int)", VerifyAction::Qualified, "shop"},
        {"LOCK TABLES `t` WRITE", VerifyAction::Run, ""},
        {"ALTER TABLE `t` DISABLE KEYS", VerifyAction::Run, ""},
        {"SET SQL_MODE='NO_AUTO_VALUE_ON_ZERO'", VerifyAction::Run, ""},
        {"SET GLOBAL max_connections=1", VerifyAction::Skip, ""},
        {"SET @@global.sql_mode=''", VerifyAction::Skip, ""},
        {"CREATE ALGORITHM=UNDEFINED DEFINER=`root`@`%` VIEW `v` AS select 1", VerifyAction::Skip, ""},
        {"CREATE DEFINER=`root`@`localhost` TRIGGER `t1` BEFORE INSERT ON `t` FOR EACH ROW SET @x=1",
         VerifyAction::Skip, ""},
        {"DROP VIEW IF EXISTS `v`", VerifyAction::Skip, ""},
        {"DROP PROCEDURE IF EXISTS `p`", VerifyAction::Skip, ""},
        {"GRANT ALL ON *.* TO x", VerifyAction::Skip, ""},
    };
    for (const Case& c : cases) {
        const ClassifiedStatement got = classifyVerifyStatement(c.statement);
        EXPECT_EQ(got.action, c.action) << c.statement;
        EXPECT_EQ(got.name, c.name) << c.statement;
    }
}

TEST(VerifyStatements, ScratchNamesFitAndKeepCharactersWhole) {
    EXPECT_EQ(scratchDatabaseName(42, 1, "shop"), "kv_verify_42_1_shop");
    const std::string long_name = scratchDatabaseName(4194304, 12, std::string(60, 'a'));
    EXPECT_EQ(long_name.size(), 64u);
    // "é" is two bytes; a cut through it would leave half a character.
    std::string accents;
    for (int i = 0; i < 30; ++i) accents += "\xC3\xA9";
    const std::string cut = scratchDatabaseName(4194304, 3, accents);
    EXPECT_LE(cut.size(), 64u);
    EXPECT_NE(static_cast<unsigned char>(cut.back()), 0xC3);
}

TEST(BackupDigestsFile, RetentionRemovesItWithTheFiles) {
    test::TempDir dir;
    BackupHarness harness;
    CTask& task = harness.task;
    task.backup_options.retention_kind = 2;
    task.backup_options.retention_limit = 1;
    for (const char* name : {"old.sql", "new.sql"}) {
        const std::string path = (dir / name).string();
        test::writeFile(path, "SELECT 1;\n");
        CBackupRecord record;
        record.files = {path};
        ASSERT_TRUE(saveBackupDigests(backupDigestsPath(record), BackupDigests{"nightly", backup_test::fixedStart(), {}}));
        task.backups.push_back(record);
    }
    ASSERT_TRUE(hasBackupDigests(task.backups[0]));
    applyRetention(task, harness.env);
    EXPECT_FALSE(fs::exists(dir / "old.sql.digests"));
    EXPECT_FALSE(fs::exists(dir / "old.sql"));
    EXPECT_TRUE(fs::exists(dir / "new.sql.digests"));
}

// Names of every scratch database left on a server.
std::vector<std::string> scratchLeft(int which) {
    MySqlSession session;
    std::vector<std::string> names, left;
    if (!backup_test::connect(session, which) || !session.listDatabases(names)) {
        ADD_FAILURE() << "cannot list the databases of server " << which;
        return left;
    }
    for (const std::string& name : names)
        if (name.rfind("kv_verify_", 0) == 0) left.push_back(name);
    return left;
}

bool loadHard(const std::string& hard, const std::string& latin1) {
    return backup_test::shell("sed -e 's/kv_hard/" + hard + "/g' -e 's/kv_latin1/" + latin1 + "/g' '" +
                              backup_test::fixturePath("hard_values.sql") + "' | " +
                              backup_test::clientCommand(1)) == 0;
}

struct Verified {
    VerifyReport report;
    std::vector<std::pair<uint8_t, std::string>> lines;
};

Verified verify(const BackupHarness& harness, int into) {
    Verified v;
    VerifyHooks hooks;
    hooks.line = [&v](uint8_t level, const std::string& text) { v.lines.emplace_back(level, text); };
    const auto records = harness.backups();
    if (records.empty()) {
        ADD_FAILURE() << "the backup recorded nothing";
        return v;
    }
    v.report = verifyBackup(verifyRequestFor(harness.task, records.back(), test::testServerSettings(into)), hooks);
    return v;
}

std::string linesText(const Verified& v) {
    std::string text;
    for (const auto& [level, line] : v.lines) text += std::to_string(level) + " " + line + "\n";
    return text;
}

class BackupVerifyTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::serverReachable(1) || !test::serverReachable(2)) {
            if (test::serversRequired()) FAIL() << "the MariaDB test servers are not reachable (CI requires them)";
            GTEST_SKIP() << "the MariaDB test servers are not reachable";
        }
    }
};

TEST_F(BackupVerifyTest, GoodBackupsVerifyEqualInEveryLayout) {
    ASSERT_TRUE(loadHard("kv_vf_hard", "kv_vf_latin1"));
    const std::string rename = " | sed -E 's/\\bsakila\\b/kv_vf_sakila/g' | " + backup_test::clientCommand(1);
    ASSERT_EQ(backup_test::shell(test::sakilaCatCommand("schema") + rename), 0);
    ASSERT_EQ(backup_test::shell(test::sakilaCatCommand("data") + rename), 0);
    const std::vector<CDatabaseItem> selection = {backup_test::wholeDatabase("kv_vf_hard"),
                                                  backup_test::wholeDatabase("kv_vf_latin1"),
                                                  backup_test::wholeDatabase("kv_vf_sakila")};
    struct Combo {
        const char* name;
        uint8_t gzip, multiple_rows, grouping;
    };
    for (const Combo& combo : {Combo{"plain, single rows, one file", 0, 0, 1},
                               Combo{"gzip, multiple rows, a file per table", 1, 1, 3}}) {
        SCOPED_TRACE(combo.name);
        BackupHarness backup;
        backup.task.databases = selection;
        backup.task.backup_options.gzip = combo.gzip;
        backup.task.backup_options.flags[kOptMultipleRows] = combo.multiple_rows;
        backup.task.backup_options.flags[kOptGrouping] = combo.grouping;
        if (combo.grouping == 3) backup.task.backup_options.file_name_format = "%HOST%_%DATABASE%_%TABLE%";
        ASSERT_EQ(backup.run(), EngineResult::Finished);
        ASSERT_TRUE(backup.errors().empty()) << ::testing::PrintToString(backup.errors());
        const auto digests = loadBackupDigests(backupDigestsPath(backup.backups().back()));
        ASSERT_TRUE(digests);
        EXPECT_GT(digests->tables.size(), 20u);  // every table of the three databases
        for (const TableDigestEntry& t : digests->tables) {
            EXPECT_NE(std::find(backup.files().begin(), backup.files().end(), t.file), backup.files().end()) << t.file;
        }

        const Verified v = verify(backup, 2);
        EXPECT_EQ(v.report.status, VerifyStatus::Equal) << linesText(v);
        EXPECT_EQ(v.report.tables.size(), digests->tables.size());
        for (const TableCheck& t : v.report.tables) EXPECT_EQ(t.verdictText(), "equal") << t.lineText();
        EXPECT_TRUE(scratchLeft(2).empty());
    }
}

// A backup of one small table whose file can be edited by hand.
class TamperedBackupTest : public BackupVerifyTest {
protected:
    // Tests run side by side in processes of their own.
    static std::string small() { return "kv_vf_small_" + std::to_string(getpid()); }

    void SetUp() override {
        BackupVerifyTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(backup_test::runSql(
            1, {"DROP DATABASE IF EXISTS " + small(), "CREATE DATABASE " + small(), "USE " + small(),
                "CREATE TABLE items (id INT PRIMARY KEY, name VARCHAR(20))",
                "INSERT INTO items VALUES (1,'one'),(2,'two'),(3,'three')",
                "CREATE TABLE kept (id INT PRIMARY KEY)", "INSERT INTO kept VALUES (7)",
                "CREATE VIEW names AS SELECT name FROM items"}));
        backup.task.databases = {backup_test::wholeDatabase(small())};
        ASSERT_EQ(backup.run(), EngineResult::Finished);
        ASSERT_EQ(backup.files().size(), 1u);
        file = backup.files().front();
    }
    void TearDown() override { backup_test::runSql(1, {"DROP DATABASE IF EXISTS " + small()}); }

    void edit(const std::string& from, const std::string& to) {
        std::string text = test::readFile(file);
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        test::writeFile(file, text);
    }

    BackupHarness backup;
    std::string file;
};

TEST_F(TamperedBackupTest, AChangedValueAndALostRowAreNamed) {
    const Verified good = verify(backup, 2);
    ASSERT_EQ(good.report.status, VerifyStatus::Equal) << linesText(good);
    EXPECT_NE(linesText(good).find("Views, triggers, routines and events are not compared"), std::string::npos);

    edit("'two'", "'tow'");
    Verified v = verify(backup, 2);
    EXPECT_EQ(v.report.status, VerifyStatus::Different);
    std::string text = linesText(v);
    EXPECT_NE(text.find("2 " + small() + ".items: different: values"), std::string::npos) << text;
    EXPECT_NE(text.find("0 " + small() + ".kept: equal"), std::string::npos) << text;

    edit("INSERT INTO `items` VALUES (3,'three');", "");
    v = verify(backup, 2);
    text = linesText(v);
    EXPECT_NE(text.find(small() + ".items: different: rows 2 of 3"), std::string::npos) << text;
    EXPECT_NE(text.find("Verified 2 tables: 1 equal, 1 different"), std::string::npos) << text;
    EXPECT_TRUE(scratchLeft(2).empty());
}

TEST_F(TamperedBackupTest, ABrokenFileLeavesNoScratchBehind) {
    edit("CREATE TABLE IF NOT EXISTS `kept`", "CREATE TABLE IF NOT EXISTS `kept` BROKEN");
    const Verified v = verify(backup, 2);
    EXPECT_EQ(v.report.status, VerifyStatus::Different);
    const std::string text = linesText(v);
    EXPECT_NE(text.find("Failed to execute the SQL statement: CREATE TABLE IF NOT EXISTS `kept` BROKEN"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(small() + ".kept: missing"), std::string::npos) << text;
    EXPECT_TRUE(scratchLeft(2).empty());

    // A file that is gone altogether: nothing to compare with.
    fs::remove(file);
    EXPECT_EQ(verify(backup, 2).report.status, VerifyStatus::Different);
    fs::remove(backupDigestsPath(backup.backups().back()));
    const Verified none = verify(backup, 2);
    EXPECT_EQ(none.report.status, VerifyStatus::Failed);
    EXPECT_EQ(none.report.error, "the backup has no digests; it cannot be verified");
    EXPECT_TRUE(scratchLeft(2).empty());
}

TEST_F(TamperedBackupTest, OnTheSourceServerItselfTheSourceIsNeverTouched) {
    const Verified v = verify(backup, 1);
    EXPECT_EQ(v.report.status, VerifyStatus::Equal) << linesText(v);
    std::string count;
    MySqlSession session;
    ASSERT_TRUE(backup_test::connect(session, 1));
    ASSERT_TRUE(session.queryValue("SELECT COUNT(*) FROM " + small() + ".items", count));
    EXPECT_EQ(count, "3");
    EXPECT_TRUE(scratchLeft(1).empty());

    // A statement that names the source database directly is refused there.
    edit("INSERT INTO `kept` VALUES (7);", "INSERT INTO `" + small() + "`.`kept` VALUES (8);");
    const Verified refused = verify(backup, 1);
    EXPECT_EQ(refused.report.status, VerifyStatus::Failed);
    EXPECT_NE(refused.report.error.find("source database " + small()), std::string::npos) << refused.report.error;
    ASSERT_TRUE(session.queryValue("SELECT COUNT(*) FROM " + small() + ".kept", count));
    EXPECT_EQ(count, "1");
    EXPECT_TRUE(scratchLeft(1).empty());
}

TEST_F(TamperedBackupTest, AStopDropsTheScratchDatabases) {
    std::stop_source stop;
    VerifyHooks hooks;
    int tables = 0;
    hooks.stop = stop.get_token();
    hooks.line = [&](uint8_t, const std::string& text) {
        // Stop once the file is restored, before the tables are read back.
        if (text.rfind("Views, triggers", 0) == 0) stop.request_stop();
        if (text.find(": equal") != std::string::npos) ++tables;
    };
    const auto report =
        verifyBackup(verifyRequestFor(backup.task, backup.backups().back(), test::testServerSettings(2)), hooks);
    EXPECT_EQ(report.status, VerifyStatus::Canceled);
    EXPECT_EQ(tables, 0);
    EXPECT_TRUE(scratchLeft(2).empty());
}

}  // namespace
}  // namespace keelvault
