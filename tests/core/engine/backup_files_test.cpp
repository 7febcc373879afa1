#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "backup_test_harness.h"
#include "core/engine/dump_file.h"
#include "core/engine/selection_resolver.h"
#include "core/model/task_list_file.h"
#include "core/scheduler/task_server.h"

namespace keelvault::backup_test {
namespace {

using Lines = std::vector<std::string>;

void setFlag(CTask& task, int flag, uint8_t value) {
    task.backup_options.flags[static_cast<size_t>(flag)] = value;
}

std::string serverText(int which, const std::string& sql) {
    MySqlSession session;
    std::string value;
    if (!connect(session, which) || !session.queryValue(sql, value)) ADD_FAILURE() << sql;
    return value;
}

std::string versionText() {
    MySqlSession session;
    EXPECT_TRUE(connect(session, 1));
    return session.versionText();
}

std::string withoutNewlines(std::string text) {
    std::erase(text, '\r');
    std::erase(text, '\n');
    return text;
}

bool contains(const Lines& lines, const std::string& text) {
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}

bool anyStartsWith(const Lines& lines, const std::string& head) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(head, 0) == 0; });
}

// True while any descriptor of this process refers to `path`.
bool fileHeldOpen(const fs::path& path) {
    std::error_code ec;
    const fs::path target = fs::canonical(path, ec);
    for (const auto& entry : fs::directory_iterator("/proc/self/fd", ec)) {
        std::error_code link_ec;
        if (fs::read_symlink(entry.path(), link_ec) == target) return true;
    }
    return false;
}

// The whole text of a small backup in both line-end modes: header, session
// lines, the create-and-use block, a table of 25 rows in 10/10/5 multi-row
// INSERTs, a view written as placeholder and defined in the footer.
TEST(BackupText, WholeFileExactInBothLineEndModes) {
    KEELVAULT_REQUIRE_SERVER(1);
    ASSERT_TRUE(
        runSql(1, {"DROP DATABASE IF EXISTS kv_bk_text", "CREATE DATABASE kv_bk_text DEFAULT CHARACTER SET utf8mb4",
                   "CREATE TABLE kv_bk_text.t25 (id INT PRIMARY KEY, s VARCHAR(20)) ENGINE=InnoDB",
                   "INSERT INTO kv_bk_text.t25 SELECT seq, CONCAT('r', seq) FROM kv_bk_text.seq_1_to_25",
                   "UPDATE kv_bk_text.t25 SET s = 'O''Brien' WHERE id = 1",
                   "UPDATE kv_bk_text.t25 SET s = '' WHERE id = 2", "UPDATE kv_bk_text.t25 SET s = NULL WHERE id = 3",
                   "CREATE VIEW kv_bk_text.v AS SELECT id FROM kv_bk_text.t25"}));
    // The server's own texts of the table and the view.
    MySqlSession session;
    ASSERT_TRUE(connect(session, 1));
    ASSERT_TRUE(session.selectDatabase("kv_bk_text"));
    std::string create, placeholder, view, view_charset, view_collation;
    {
        ResultPtr r = session.storeQuery("SHOW CREATE TABLE `t25`");
        create = withoutNewlines(mysql_fetch_row(r.get())[1]);
        r = session.storeQuery("SHOW CREATE TABLE `v`");
        MYSQL_ROW row = mysql_fetch_row(r.get());
        view = withoutNewlines(row[1]);
        view_charset = row[2];
        view_collation = row[3];
        ASSERT_TRUE(session.execute("CREATE TEMPORARY TABLE `v` SELECT * FROM `v` WHERE 0"));
        r = session.storeQuery("SHOW CREATE TABLE `v`");
        placeholder = withoutNewlines(mysql_fetch_row(r.get())[1]);
    }
    ASSERT_EQ(create.rfind("CREATE TABLE `t25`", 0), 0u);
    ASSERT_EQ(placeholder.rfind("CREATE TEMPORARY TABLE `v`", 0), 0u);

    for (const bool lf_only : {false, true}) {
        SCOPED_TRACE(lf_only ? "LF" : "CRLF");
        const std::string eol = lf_only ? "\n" : "\r\n";
        BackupHarness h;
        h.task.databases = {wholeDatabase("kv_bk_text")};
        setFlag(h.task, kOptMultipleRows, 1);
        h.task.backup_options.unix_newlines = lf_only;
        ASSERT_EQ(h.run(), EngineResult::Finished);
        ASSERT_EQ(h.files().size(), 1u);
        EXPECT_EQ(h.files()[0], (h.outDir() / "127.0.0.1_2006-05-01_09-05-07.sql").string());

        std::string expected;
        auto line = [&](const std::string& text) { expected += text + eol; };
        for (const char* text : {"-- Keelvault Professional Edition 2.0", "--", "-- Host: 127.0.0.1", "--"}) {
            line(text);
        }
        line("-- MySQL Server Version: " + versionText());
        for (const char* text :
             {"--", "-- 2006-05-01 09:05:07", "--", "-- ------------------------------------------------------", "",
              "SET @OLD_CHARACTER_SET_CLIENT=@@CHARACTER_SET_CLIENT;",
              "SET @OLD_CHARACTER_SET_RESULTS=@@CHARACTER_SET_RESULTS;",
              "SET @OLD_CHARACTER_SET_CONNECTION=@@CHARACTER_SET_CONNECTION;",
              "SET @OLD_COLLATION_CONNECTION=@@COLLATION_CONNECTION;"}) {
            line(text);
        }
        const Lines charset = {"SET CHARACTER_SET_CLIENT='utf8mb4';", "SET CHARACTER_SET_RESULTS='utf8mb4';",
                               "SET CHARACTER_SET_CONNECTION='utf8mb4';", "SET NAMES 'utf8mb4';"};
        for (const std::string& text : charset) line(text);
        for (const char* text : {"SET @OLD_UNIQUE_CHECKS=@@UNIQUE_CHECKS;", "SET UNIQUE_CHECKS=0;",
                                 "SET @OLD_FOREIGN_KEY_CHECKS=@@FOREIGN_KEY_CHECKS;", "SET FOREIGN_KEY_CHECKS=0;",
                                 "SET @OLD_SQL_MODE=@@SQL_MODE;", "SET SQL_MODE='NO_AUTO_VALUE_ON_ZERO';",
                                 "SET @OLD_TIME_ZONE=@@TIME_ZONE;", "SET TIME_ZONE='+00:00';",
                                 "SET @OLD_SQL_NOTES=@@SQL_NOTES;", "SET SQL_NOTES=0;"}) {
            line(text);
        }
        for (const std::string& text : charset) line(text);
        line("CREATE DATABASE IF NOT EXISTS `kv_bk_text` DEFAULT CHARACTER SET utf8mb4;");
        line("USE `kv_bk_text`;");
        line("");
        line("DROP TABLE IF EXISTS `t25`;");
        line("CREATE TABLE IF NOT EXISTS" + create.substr(12) + ";");
        line("ALTER TABLE `t25` DISABLE KEYS;");
        line("LOCK TABLES `t25` WRITE;");
        std::string insert = "INSERT INTO `t25` VALUES ";
        for (int id = 1; id <= 25; ++id) {
            const std::string s = id == 1   ? "'O\\'Brien'"
                                  : id == 2 ? "''"
                                  : id == 3 ? "NULL"
                                            : "'r" + std::to_string(id) + "'";
            insert += "(" + std::to_string(id) + "," + s + ")";
            if (id % 10 == 0 || id == 25) {
                line(insert + ";");
                insert = "INSERT INTO `t25` VALUES ";
            } else {
                insert += ",";
            }
        }
        line("UNLOCK TABLES;");
        line("ALTER TABLE `t25` ENABLE KEYS;");
        line("DROP VIEW IF EXISTS `v`;");
        line("DROP TABLE IF EXISTS `v`;");
        line("CREATE " + placeholder.substr(17) + ";");
        line("DROP TABLE IF EXISTS `v`;");
        line("DROP VIEW IF EXISTS `v`;");
        // The view is made under the character set settings it was made with.
        line("SET @SAVED_CS_CLIENT=@@CHARACTER_SET_CLIENT;");
        line("SET @SAVED_CS_RESULTS=@@CHARACTER_SET_RESULTS;");
        line("SET @SAVED_COL_CONNECTION=@@COLLATION_CONNECTION;");
        line("SET CHARACTER_SET_CLIENT='" + view_charset + "';");
        line("SET CHARACTER_SET_RESULTS='" + view_charset + "';");
        line("SET COLLATION_CONNECTION='" + view_collation + "';");
        line(view + ";");
        line("SET CHARACTER_SET_CLIENT=@SAVED_CS_CLIENT;");
        line("SET CHARACTER_SET_RESULTS=@SAVED_CS_RESULTS;");
        line("SET COLLATION_CONNECTION=@SAVED_COL_CONNECTION;");
        for (const char* text : {"SET SQL_MODE=@OLD_SQL_MODE;", "SET TIME_ZONE=@OLD_TIME_ZONE;",
                                 "SET FOREIGN_KEY_CHECKS=@OLD_FOREIGN_KEY_CHECKS;",
                                 "SET UNIQUE_CHECKS=@OLD_UNIQUE_CHECKS;", "SET SQL_NOTES=@OLD_SQL_NOTES;",
                                 "SET CHARACTER_SET_CLIENT=@OLD_CHARACTER_SET_CLIENT;",
                                 "SET CHARACTER_SET_RESULTS=@OLD_CHARACTER_SET_RESULTS;",
                                 "SET CHARACTER_SET_CONNECTION=@OLD_CHARACTER_SET_CONNECTION;",
                                 "SET COLLATION_CONNECTION=@OLD_COLLATION_CONNECTION;"}) {
            line(text);
        }
        EXPECT_EQ(test::readFile(h.files()[0]), expected);

        const Lines log = h.logTexts();
        const Lines expected_log = {"Connecting to the source MySQL server (127.0.0.1)... ",
                                    "Connect to the MySQL server successfully!  MySQL version: " + versionText(),
                                    "Backing up the selected databases and tables...",
                                    "Backing up the database kv_bk_text...",
                                    "Backing up the table kv_bk_text.t25...",
                                    "Backup the records from the table OK - 25 records",
                                    "Backing up the view kv_bk_text.v...",
                                    "Backup the view kv_bk_text.v - OK"};
        EXPECT_EQ(log, expected_log);
    }
    runSql(1, {"DROP DATABASE IF EXISTS kv_bk_text"});
}

// The PHP page: frame, connect line with an escaped password, every statement
// inside a mysql_query call, and no compression even when it is switched on.
TEST(BackupText, PhpFrameAndEscaping) {
    KEELVAULT_REQUIRE_SERVER(1);
    ASSERT_TRUE(runSql(
        1, {"DROP DATABASE IF EXISTS kv_bk_php", "DROP USER IF EXISTS 'kv_bk_php'@'%'",
            "CREATE USER 'kv_bk_php'@'%' IDENTIFIED BY 'p''w\\\\x'", "GRANT ALL ON kv_bk_php.* TO 'kv_bk_php'@'%'",
            "CREATE DATABASE kv_bk_php DEFAULT CHARACTER SET utf8mb4",
            "CREATE TABLE kv_bk_php.t (id INT PRIMARY KEY, s VARCHAR(20))",
            "INSERT INTO kv_bk_php.t VALUES (1, 'O''Brien\\\\')"}));
    BackupHarness h;
    h.task.source.user = "kv_bk_php";
    h.task.source.password = "p'w\\x";
    h.task.databases = {wholeDatabase("kv_bk_php")};
    setFlag(h.task, kOptFileType, 2);
    h.task.backup_options.gzip = 1;
    ASSERT_EQ(h.run(), EngineResult::Finished);
    ASSERT_EQ(h.files().size(), 1u);
    const std::string path = h.files()[0];
    EXPECT_EQ(path, (h.outDir() / "127.0.0.1_2006-05-01_09-05-07.php").string());
    EXPECT_FALSE(fs::exists(path + ".gz"));
    const std::string text = test::readFile(path);

    const std::string port = std::to_string(h.task.source.port);
    const std::string head =
        "<?\r\n/**************************************************\r\n**\r\n"
        "** Keelvault 2.0 Professional Edition\r\n**\r\n** Host: 127.0.0.1\r\n**\r\n"
        "** MySQL Server Version: " +
        versionText() +
        "\r\n**\r\n** 2006-05-01 09:05:07\r\n**\r\n"
        "**************************************************/\r\n?>\r\n\r\n<?\r\n"
        "  $conn = mysql_connect('127.0.0.1:" +
        port + "','kv_bk_php','p\\'w\\\\x') or die('Can not connect to server!');\r\n";
    EXPECT_EQ(text.substr(0, head.size()), head);
    const std::string die = ",$conn) or die('Failed! Error NO. '.mysql_errno($conn).'<br>'.mysql_error($conn));\r\n";
    for (const std::string& piece : {
             "  mysql_query('SET NAMES \\'utf8mb4\\';'" + die,
             "  mysql_query('SET AUTOCOMMIT=0;'" + die,
             std::string(
                 "  mysql_query('CREATE DATABASE IF NOT EXISTS `kv_bk_php` DEFAULT CHARACTER SET utf8mb4;',$conn)"
                 " or die('Failed to create database kv_bk_php!');\r\n"
                 "  mysql_select_db('kv_bk_php',$conn) or die('Failed to select database kv_bk_php!');\r\n"),
             "  mysql_query('INSERT INTO `t` VALUES (1,\\'O\\\\\\'Brien\\\\\\\\\\');'" + die,
         }) {
        if (piece.find("AUTOCOMMIT") != std::string::npos) {
            EXPECT_EQ(text.find(piece), std::string::npos) << "AUTOCOMMIT is off by default";
            continue;
        }
        EXPECT_NE(text.find(piece), std::string::npos) << piece;
    }
    const std::string tail = "  mysql_query('SET COLLATION_CONNECTION=@OLD_COLLATION_CONNECTION;'" + die +
                             "  mysql_close($conn);\r\n  echo 'Finished';\r\n?>\r\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    // Compression does not apply to PHP files, so nothing is logged about it.
    EXPECT_FALSE(anyStartsWith(h.logTexts(), "Compress"));
    runSql(1, {"DROP DATABASE IF EXISTS kv_bk_php", "DROP USER IF EXISTS 'kv_bk_php'@'%'"});
}

// Statement options around the rows, with the structure left out: the
// table block is exactly the DELETE, the key and lock switches, the
// transaction and the rows with the chosen INSERT form.
TEST(BackupText, RowStatementOptionsWithoutStructure) {
    KEELVAULT_REQUIRE_SERVER(1);
    ASSERT_TRUE(runSql(1, {"DROP DATABASE IF EXISTS kv_bk_opts", "CREATE DATABASE kv_bk_opts",
                           "CREATE TABLE kv_bk_opts.t (id INT PRIMARY KEY, `s q` VARCHAR(10))",
                           "INSERT INTO kv_bk_opts.t VALUES (1, 'a'), (2, NULL)"}));
    BackupHarness h;
    h.task.databases = {wholeDatabase("kv_bk_opts")};
    setFlag(h.task, kOptStructure, 0);
    setFlag(h.task, kOptCreateDatabase, 0);
    setFlag(h.task, kOptSetNames, 0);
    setFlag(h.task, kOptDeleteRecords, 1);
    setFlag(h.task, kOptInsertDelayed, 1);
    setFlag(h.task, kOptInsertIgnore, 1);
    setFlag(h.task, kOptCompleteInsert, 1);
    setFlag(h.task, kOptAutocommit, 1);
    h.task.buffer_options = CBufferOptions{1, 1};
    h.task.backup_options.unix_newlines = 1;
    ASSERT_EQ(h.run(), EngineResult::Finished);
    const std::string text = test::readFile(h.files().at(0));
    const std::string block =
        "SET SQL_NOTES=0;\n"
        "DELETE FROM `t`;\n"
        "ALTER TABLE `t` DISABLE KEYS;\n"
        "LOCK TABLES `t` WRITE;\n"
        "SET AUTOCOMMIT=0;\n"
        "INSERT DELAYED IGNORE INTO `t`(`id`,`s q`) VALUES (1,'a');\n"
        "INSERT DELAYED IGNORE INTO `t`(`id`,`s q`) VALUES (2,NULL);\n"
        "UNLOCK TABLES;\n"
        "ALTER TABLE `t` ENABLE KEYS;\n"
        "COMMIT;\n"
        "SET SQL_MODE=@OLD_SQL_MODE;\n";
    EXPECT_NE(text.find(block), std::string::npos) << text;
    EXPECT_EQ(text.find("CREATE"), std::string::npos);
    EXPECT_EQ(text.find("SET NAMES"), std::string::npos);
    EXPECT_TRUE(contains(h.logTexts(), "Structure option is unchecked."));
    EXPECT_TRUE(contains(h.logTexts(), "Backup the records from the table OK - 2 records"));
    runSql(1, {"DROP DATABASE IF EXISTS kv_bk_opts"});
}

// Old servers, made by an injected version number: bare names below 32306,
// CREATE TABLE from the column list below 32320, the three SET CHARACTER_SET
// statements and no DEFAULT CHARACTER SET below 40100.
TEST(BackupOldServer, VersionThresholds) {
    KEELVAULT_REQUIRE_SERVER(1);
    ASSERT_TRUE(
        runSql(1, {"DROP DATABASE IF EXISTS kv_bk_old", "CREATE DATABASE kv_bk_old DEFAULT CHARACTER SET latin1",
                   "CREATE TABLE kv_bk_old.old_t (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,"
                   " name VARCHAR(20) NOT NULL DEFAULT 'x', price DECIMAL(6,2) UNSIGNED,"
                   " born DATE DEFAULT '2006-05-01', kind ENUM('a','b') DEFAULT 'a', n INT DEFAULT 7)"
                   " ENGINE=MyISAM",
                   "INSERT INTO kv_bk_old.old_t VALUES (1, 'O''Brien', 9.5, '2001-02-03', 'b', 3)"}));
    const std::string server_charset = serverText(1, "SELECT @@character_set_server");
    const std::string columns =
        "(#id# INT(11) NOT NULL AUTO_INCREMENT, #name# varchar(20) NOT NULL DEFAULT 'x', "
        "#price# DECIMAL UNSIGNED NULL, #born# DATE NULL DEFAULT '2006-05-01', #kind# enum('a','b') NULL DEFAULT 'a', "
        "#n# INT(11) NULL DEFAULT 7, PRIMARY KEY (#id#))TYPE=MyISAM;";
    auto quoted = [](std::string text, const std::string& quote) {
        for (size_t at = text.find('#'); at != std::string::npos; at = text.find('#', at + quote.size())) {
            text.replace(at, 1, quote);
        }
        return text;
    };
    auto threeSets = [](const std::string& cs) {
        return Lines{"SET CHARACTER_SET_CLIENT='" + cs + "';", "SET CHARACTER_SET_RESULTS='" + cs + "';",
                     "SET CHARACTER_SET_CONNECTION='" + cs + "';"};
    };
    struct Case {
        unsigned long version;
        Lines present;
        Lines absent;
        bool no_backquotes;
    };
    const std::vector<Case> cases = {
        {32305,
         {"CREATE TABLE IF NOT EXISTS old_t" + quoted(columns, ""), "CREATE DATABASE IF NOT EXISTS kv_bk_old;",
          "USE kv_bk_old;", "INSERT INTO old_t VALUES (1,'O\\'Brien','9.50','2001-02-03','b',3);",
          threeSets(server_charset)[0], threeSets("latin1")[2]},
         {"SET NAMES '" + server_charset + "';", "SET NAMES 'latin1';"},
         true},
        {32319,
         {"CREATE TABLE IF NOT EXISTS `old_t`" + quoted(columns, "`"), "USE `kv_bk_old`;",
          "CREATE DATABASE IF NOT EXISTS `kv_bk_old`;"},
         {"SET NAMES 'latin1';"},
         false},
        {40000,
         {"CREATE DATABASE IF NOT EXISTS `kv_bk_old`;", threeSets("latin1")[0], threeSets("latin1")[1]},
         {"SET NAMES 'latin1';", "CREATE TABLE IF NOT EXISTS `old_t`" + quoted(columns, "`")},
         false},
        {40100,
         {"CREATE DATABASE IF NOT EXISTS `kv_bk_old` DEFAULT CHARACTER SET latin1;", "SET NAMES 'latin1';"},
         {},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        BackupHarness h;
        h.task.databases = {wholeDatabase("kv_bk_old")};
        h.task.backup_options.unix_newlines = 1;
        ASSERT_EQ(h.run(c.version), EngineResult::Finished);
        EXPECT_TRUE(h.errors().empty()) << ::testing::PrintToString(h.errors());
        ASSERT_EQ(h.files().size(), 1u);
        const std::string text = test::readFile(h.files()[0]);
        Lines lines;
        for (size_t from = 0, at; (at = text.find('\n', from)) != std::string::npos; from = at + 1) {
            lines.push_back(text.substr(from, at - from));
        }
        for (const std::string& wanted : c.present) EXPECT_TRUE(contains(lines, wanted)) << wanted << "\n" << text;
        for (const std::string& unwanted : c.absent) EXPECT_FALSE(contains(lines, unwanted)) << unwanted;
        if (c.no_backquotes) {
            EXPECT_EQ(text.find('`'), std::string::npos) << text;
        }
        if (c.version >= 32320) {
            EXPECT_TRUE(anyStartsWith(lines, "CREATE TABLE IF NOT EXISTS `old_t` (  `id` int(11) NOT NULL"));
        }
    }
    runSql(1, {"DROP DATABASE IF EXISTS kv_bk_old"});
}

// Runs that end before any data is written: each logs its reason, records no
// backup and leaves no file behind.
TEST(BackupFailures, EarlyEndsAreLoggedAndRecordNothing) {
    KEELVAULT_REQUIRE_SERVER(1);
    ASSERT_TRUE(runSql(1, {"DROP DATABASE IF EXISTS kv_bk_fail", "CREATE DATABASE kv_bk_fail",
                           "CREATE TABLE kv_bk_fail.t (id INT)", "INSERT INTO kv_bk_fail.t VALUES (1)"}));
    const CDatabaseItem database = wholeDatabase("kv_bk_fail");
    struct Case {
        std::string name;
        std::function<void(BackupHarness&)> configure;
        std::function<Lines(BackupHarness&)> expected_log;
    };
    const std::string connecting = "Connecting to the source MySQL server (127.0.0.1)... ";
    const std::string connected = "Connect to the MySQL server successfully!  MySQL version: " + versionText();
    const std::string backing = "Backing up the selected databases and tables...";
    const std::vector<Case> cases = {
        {"no databases", [](BackupHarness& h) { h.task.databases.clear(); },
         [](BackupHarness&) { return Lines{"There are not any databases to backup!"}; }},
        {"empty backup directory", [](BackupHarness& h) { h.task.backup_options.backup_directory.clear(); },
         [](BackupHarness&) { return Lines{"Backup directory name is empty!"}; }},
        {"server not reachable",
         [](BackupHarness& h) {
             // Nothing listens on port 1.
             h.task.source.port = 1;
         },
         [&](BackupHarness&) {
             return Lines{connecting, "Failed to connect to the MySQL server!  Error NO. 2002  "};
         }},
        {"file cannot be created",
         [](BackupHarness& h) {
             test::writeFile(h.dir.path() / "plain", "x");
             h.task.backup_options.backup_directory = (h.dir.path() / "plain" / "sub").string();
         },
         [&](BackupHarness& h) {
             return Lines{connecting, connected, backing,
                          "Failed to create the backup file! - " +
                              (h.dir.path() / "plain" / "sub" / "127.0.0.1_2006-05-01_09-05-07.sql").string()};
         }},
        {"disk full",
         [](BackupHarness& h) {
             setFlag(h.task, kOptFileMode, 1);
             h.task.backup_options.same_file_path = "/dev/full";
         },
         [&](BackupHarness&) {
             return Lines{connecting, connected, backing, "Failed to write the title to the backup file! - /dev/full"};
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BackupHarness h;
        h.task.databases = {database};
        c.configure(h);
        EXPECT_EQ(h.run(), EngineResult::Failed);
        Lines log = h.logTexts();
        const Lines expected = c.expected_log(h);
        ASSERT_EQ(log.size(), expected.size()) << ::testing::PrintToString(log);
        // The library's error text follows the fixed part of a connection failure.
        if (c.name == "server not reachable") log.back().resize(expected.back().size());
        EXPECT_EQ(log, expected);
        EXPECT_EQ(h.log().back().level, kLogError);
        EXPECT_TRUE(h.backups().empty());
        EXPECT_FALSE(fs::exists(h.outDir()) && !fs::is_empty(h.outDir()));
    }
    runSql(1, {"DROP DATABASE IF EXISTS kv_bk_fail"});
}

// A disk that fills up in the middle of a table: the write failure is logged
// with the path, that file is abandoned and left out of the record, and the
// run goes on with the next file.
// Runs the backup while no file of the process may grow past `bytes`, as on
// a disk that fills: writes past the limit fail.
EngineResult runWithFileSizeLimit(BackupHarness& h, rlim_t bytes) {
    rlimit old_limit{};
    EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    const auto old_handler = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_limit;
    limit.rlim_cur = bytes;
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const EngineResult result = h.run();
    setrlimit(RLIMIT_FSIZE, &old_limit);
    signal(SIGXFSZ, old_handler);
    return result;
}

TEST(BackupFailures, FullDiskMidTableAbandonsThatFile) {
    KEELVAULT_REQUIRE_SERVER(1);
    ASSERT_TRUE(
        runSql(1, {"DROP DATABASE IF EXISTS kv_bk_full", "CREATE DATABASE kv_bk_full",
                   "CREATE TABLE kv_bk_full.big (id INT PRIMARY KEY, s VARCHAR(64))",
                   // Hashes, so that the compressed file still outgrows the limit.
                   "INSERT INTO kv_bk_full.big SELECT seq, SHA2(seq, 256) FROM kv_bk_full.seq_1_to_60000",
                   "CREATE TABLE kv_bk_full.small (id INT PRIMARY KEY)", "INSERT INTO kv_bk_full.small VALUES (1)"}));
    BackupHarness h;
    h.task.databases = {wholeDatabase("kv_bk_full")};
    setFlag(h.task, kOptGrouping, 3);
    h.task.backup_options.file_name_format = "%TABLE%";
    h.task.backup_options.gzip = 1;

    // Files may not grow past 256 KB while the run writes; writes past it fail.
    const EngineResult result = runWithFileSizeLimit(h, 256 * 1024);

    EXPECT_EQ(result, EngineResult::Finished);
    const std::string big = (h.outDir() / "big.sql.gz").string();
    EXPECT_EQ(h.errors(), (Lines{"Failed to write a record to the backup file! - " + big,
                                 "The backup file is not complete and is kept as " + big + ".incomplete"}));
    // The fragment never passes for a backup: not under its name, not recorded.
    EXPECT_FALSE(fs::exists(big));
    EXPECT_TRUE(fs::exists(big + ".incomplete"));
    const Lines log = h.logTexts();
    EXPECT_FALSE(contains(log, "Backup the records from the table OK - 60000 records"));
    EXPECT_TRUE(contains(log, "Backup the records from the table OK - 1 records"));
    EXPECT_EQ(h.files(), Lines{(h.outDir() / "small.sql.gz").string()});
    EXPECT_TRUE(contains(log, "Compressing 1 SQL backup files..."));
    runSql(1, {"DROP DATABASE IF EXISTS kv_bk_full"});
}

// A connection lost while the rows of a table stream in: the table is not
// reported as backed up.
TEST(BackupFailures, LostRowsAreNotReportedComplete) {
    KEELVAULT_REQUIRE_SERVER(1);
    ASSERT_TRUE(runSql(1, {"DROP DATABASE IF EXISTS kv_bk_kill", "CREATE DATABASE kv_bk_kill",
                           "CREATE TABLE kv_bk_kill.big (id INT PRIMARY KEY, s VARCHAR(60))",
                           "INSERT INTO kv_bk_kill.big SELECT seq, REPEAT('k', 50) FROM kv_bk_kill.seq_1_to_300000"}));
    BackupHarness h;
    h.task.databases = {wholeDatabase("kv_bk_kill")};
    EngineResult result = EngineResult::Failed;
    std::thread run([&] { result = h.run(); });
    MySqlSession killer;
    ASSERT_TRUE(connect(killer, 1));
    bool killed = false;
    for (int i = 0; i < 5000 && !killed; ++i) {
        std::string id;
        if (killer.queryValue("SELECT ID FROM information_schema.PROCESSLIST WHERE DB = 'kv_bk_kill' AND "
                              "INFO LIKE 'SELECT * FROM `big`%'",
                              id)) {
            killed = killer.execute("KILL QUERY " + id);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    run.join();
    ASSERT_TRUE(killed) << "the SELECT was never seen";
    EXPECT_EQ(result, EngineResult::Finished);
    const Lines errors = h.errors();
    ASSERT_EQ(errors.size(), 2u) << ::testing::PrintToString(errors);
    EXPECT_EQ(errors[0].rfind("Failed to get all records of table big !  Error NO. ", 0), 0u) << errors[0];
    EXPECT_FALSE(anyStartsWith(h.logTexts(), "Backup the records from the table OK"));
    // The file cut short is kept aside and neither recorded nor counted.
    const std::string file = (h.outDir() / "127.0.0.1_2006-05-01_09-05-07.sql").string();
    EXPECT_EQ(errors[1], "The backup file is not complete and is kept as " + file + ".incomplete");
    EXPECT_FALSE(fs::exists(file));
    EXPECT_GT(fs::file_size(file + ".incomplete"), 0u);
    EXPECT_TRUE(h.backups().empty());
    runSql(1, {"DROP DATABASE IF EXISTS kv_bk_kill"});
}

// A stop request while the rows of a large table are written ends the run
// with "User canceled!" and records no backup; in same-file mode the last
// complete backup stays as it was.
TEST(BackupStop, StopMidTableCancelsAndKeepsTheLastBackup) {
    KEELVAULT_REQUIRE_SERVER(1);
    ASSERT_TRUE(runSql(1, {"DROP DATABASE IF EXISTS kv_bk_stop", "CREATE DATABASE kv_bk_stop",
                           "CREATE TABLE kv_bk_stop.big (id INT PRIMARY KEY, s VARCHAR(60))",
                           "INSERT INTO kv_bk_stop.big SELECT seq, REPEAT('s', 50) FROM kv_bk_stop.seq_1_to_300000"}));
    test::TempDir dir;
    TaskEnvironment env;
    env.data_folder = dir.path() / "data";
    fs::create_directories(env.logsFolder());
    env.registerEngine(kTypeBackupToFiles, [](RunContext& c) { return runBackupToFiles(c); });
    CTask task;
    task.name = "stopper";
    task.log_name = "stopper.log";
    task.source = test::testServerSettings(1);
    task.databases = {wholeDatabase("kv_bk_stop")};
    setFlag(task, kOptFileMode, 1);
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);
    const fs::path file = out / "stop.sql";
    const std::string last_backup = "-- the last complete backup\n";
    test::writeFile(file, last_backup);
    task.backup_options.same_file_path = file.string();

    // The file being written, under its temporary name beside the backup.
    auto partSize = [&]() -> uintmax_t {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(out, ec)) {
            if (entry.path() != file) return entry.file_size(ec);
        }
        return 0;
    };
    TaskServer server;
    server.setEnvironment(&env);
    const int index = server.addTask(task);
    server.taskAt(index).run_now = 1;
    server.startTask(index);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline && partSize() <= 2'000'000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const bool reached = partSize() > 2'000'000;
    server.stopTask(index);
    ASSERT_TRUE(reached) << "the backup never reached the rows";
    ASSERT_FALSE(server.hasWorker(index));

    const std::vector<LogRecord> log = readAllLog(env.logsFolder(), task.log_name);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().text, "User canceled!");
    EXPECT_EQ(log.back().level, kLogWarning);
    Lines texts;
    for (const LogRecord& r : log) texts.push_back(r.text);
    EXPECT_TRUE(contains(texts, "Backing up the table kv_bk_stop.big..."));
    EXPECT_FALSE(anyStartsWith(texts, "Backup the records from the table OK"));
    EXPECT_FALSE(contains(texts, "Finished"));
    EXPECT_TRUE(contains(texts, "The backup file is not complete; the last complete backup is kept - " + file.string()));
    EXPECT_EQ(test::readFile(file), last_backup);
    EXPECT_FALSE(fileHeldOpen(file));
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1) << "a fragment was left";
    {
        std::lock_guard lock(server.taskAt(index).mutex());
        EXPECT_TRUE(server.taskAt(index).backups.empty());
    }
    EXPECT_EQ(server.taskAt(index).status.load(), kStatusIdle);
    runSql(1, {"DROP DATABASE IF EXISTS kv_bk_stop"});
}

// A same-file backup that runs out of space part-way leaves the last
// complete backup in place, and no fragment beside it.
TEST(BackupFailures, SameFileBackupThatFillsTheDiskKeepsTheLastBackup) {
    KEELVAULT_REQUIRE_SERVER(1);
    ASSERT_TRUE(
        runSql(1, {"DROP DATABASE IF EXISTS kv_bk_samefull", "CREATE DATABASE kv_bk_samefull",
                   "CREATE TABLE kv_bk_samefull.big (id INT PRIMARY KEY, s VARCHAR(60))",
                   "INSERT INTO kv_bk_samefull.big SELECT seq, REPEAT('f', 50) FROM kv_bk_samefull.seq_1_to_20000"}));
    BackupHarness h;
    h.task.databases = {wholeDatabase("kv_bk_samefull")};
    setFlag(h.task, kOptFileMode, 1);
    const fs::path folder = h.dir.path() / "same";
    fs::create_directories(folder);
    const fs::path file = folder / "same.sql";
    h.task.backup_options.same_file_path = file.string();
    ASSERT_EQ(h.run(), EngineResult::Finished);
    ASSERT_EQ(h.errors(), Lines{});
    const std::string good = test::readFile(file);
    ASSERT_GT(good.size(), 256u * 1024u);

    const EngineResult result = runWithFileSizeLimit(h, 256 * 1024);

    EXPECT_EQ(result, EngineResult::Finished);
    EXPECT_EQ(h.errors().back(), "The backup file is not complete; the last complete backup is kept - " + file.string());
    EXPECT_EQ(test::readFile(file), good);
    // The backup and the digests of its run, nothing else.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2) << "a fragment was left";
    EXPECT_TRUE(fs::exists(file.string() + ".digests"));
    EXPECT_EQ(h.backups().size(), 1u) << "the failed run was recorded";
    runSql(1, {"DROP DATABASE IF EXISTS kv_bk_samefull"});
}

// Two databases in per-database layout with gzip: two ".gz" files, one record
// listing both, no ".sql" left; with a retention count of 1 a second run
// deletes the first run's files.
TEST(BackupRecords, PerDatabaseFilesCompressedRecordedAndRetained) {
    KEELVAULT_REQUIRE_SERVER(1);
    ASSERT_TRUE(runSql(
        1, {"DROP DATABASE IF EXISTS kv_bk_two_a", "DROP DATABASE IF EXISTS kv_bk_two_b", "CREATE DATABASE kv_bk_two_a",
            "CREATE DATABASE kv_bk_two_b", "CREATE TABLE kv_bk_two_a.t (id INT)", "CREATE TABLE kv_bk_two_b.t (id INT)",
            "INSERT INTO kv_bk_two_a.t VALUES (1)", "INSERT INTO kv_bk_two_b.t VALUES (2)"}));
    BackupHarness h;
    h.task.databases = {wholeDatabase("kv_bk_two_a"), wholeDatabase("kv_bk_two_b")};
    setFlag(h.task, kOptGrouping, 2);
    h.task.backup_options.file_name_format.clear();
    h.task.backup_options.gzip = 1;
    h.task.backup_options.compression_level = 9;
    h.task.backup_options.date_time_subdir = 1;
    h.task.backup_options.retention_kind = 2;
    h.task.backup_options.retention_limit = 1;
    ASSERT_EQ(h.run(), EngineResult::Finished);

    const fs::path folder = h.outDir() / "2006-05-01_09-05-07";
    const Lines first = {(folder / "127.0.0.1_kv_bk_two_a_2006-05-01_09-05-07.sql.gz").string(),
                         (folder / "127.0.0.1_kv_bk_two_b_2006-05-01_09-05-07.sql.gz").string()};
    ASSERT_EQ(h.backups().size(), 1u);
    const CBackupRecord record = h.backups()[0];
    EXPECT_EQ(record.files, first);
    EXPECT_EQ(record.subdirectory, folder.string());
    EXPECT_EQ((std::vector<int>{record.year, record.month, record.day, record.hour, record.minute, record.second}),
              (std::vector<int>{2006, 5, 1, 9, 5, 7}));
    EXPECT_EQ(record.file_mode, 2);
    EXPECT_EQ(record.file_type, 1);
    for (const std::string& f : first) EXPECT_TRUE(fs::exists(f)) << f;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".digests") {
            EXPECT_EQ(entry.path().extension(), ".gz");
        }
    }
    EXPECT_TRUE(fs::exists(first[0] + ".digests"));
    EXPECT_TRUE(contains(h.logTexts(), "Compressing 2 SQL backup files..."));
    EXPECT_TRUE(contains(h.logTexts(), "Compress 2 SQL backup files successfully."));
    EXPECT_EQ(shell("zcat " + shellQuote(first[1]) + " | grep -q 'INSERT INTO `t` VALUES (2);'"), 0);

    {
        TaskTime later = fixedStart();
        later.minute = 6;
        std::lock_guard lock(h.task.mutex());
        h.task.last_run = later;
    }
    ASSERT_EQ(h.run(), EngineResult::Finished);
    ASSERT_EQ(h.backups().size(), 1u);
    EXPECT_EQ(h.backups()[0].subdirectory, (h.outDir() / "2006-05-01_09-06-07").string());
    for (const std::string& f : first) EXPECT_FALSE(fs::exists(f)) << f;
    const Lines second = h.files();
    EXPECT_EQ(second.size(), 2u);
    for (const std::string& f : second) EXPECT_TRUE(fs::exists(f)) << f;
    runSql(1, {"DROP DATABASE IF EXISTS kv_bk_two_a", "DROP DATABASE IF EXISTS kv_bk_two_b"});
}

// A stored compression level gzip does not know leaves the files as plain
// SQL, each reported with code 102, and the record lists them as written.
TEST(BackupRecords, UnknownCompressionLevelKeepsPlainFiles) {
    KEELVAULT_REQUIRE_SERVER(1);
    const std::string db = "kv_bk_level_" + std::to_string(getpid());
    ASSERT_TRUE(runSql(1, {"DROP DATABASE IF EXISTS " + db, "CREATE DATABASE " + db,
                           "CREATE TABLE " + db + ".t (id INT)", "INSERT INTO " + db + ".t VALUES (1)"}));
    BackupHarness h;
    h.task.databases = {wholeDatabase(db)};
    h.task.backup_options.gzip = 1;
    h.task.backup_options.compression_level = 0;
    ASSERT_EQ(h.run(), EngineResult::Finished);
    const std::string file = (h.outDir() / "127.0.0.1_2006-05-01_09-05-07.sql").string();
    EXPECT_EQ(h.files(), Lines{file});
    EXPECT_TRUE(fs::exists(file));
    EXPECT_FALSE(fs::exists(file + ".gz"));
    EXPECT_EQ(h.errors(), Lines{"Failed to compress the SQL file! Error No: 102, File: " + file});
    EXPECT_TRUE(contains(h.logTexts(), "Compressing 1 SQL backup files..."));
    EXPECT_TRUE(contains(h.logTexts(), "Compress 0 SQL backup files successfully."));
    runSql(1, {"DROP DATABASE IF EXISTS " + db});
}

// Per-table files under a name format without %TABLE%: each table still gets
// a file of its own instead of overwriting the one before it.
TEST(BackupRecords, PerTableFilesWithASharedNameAreNumbered) {
    KEELVAULT_REQUIRE_SERVER(1);
    ASSERT_TRUE(runSql(1, {"DROP DATABASE IF EXISTS kv_bk_same", "CREATE DATABASE kv_bk_same",
                           "CREATE TABLE kv_bk_same.a (id INT)", "CREATE TABLE kv_bk_same.b (id INT)",
                           "INSERT INTO kv_bk_same.a VALUES (1)", "INSERT INTO kv_bk_same.b VALUES (2)"}));
    BackupHarness h;
    h.task.databases = {wholeDatabase("kv_bk_same")};
    setFlag(h.task, kOptGrouping, 3);
    h.task.backup_options.file_name_format = "%HOST%_%DATE%_%TIME%";
    ASSERT_EQ(h.run(), EngineResult::Finished);
    const Lines expected = {(h.outDir() / "127.0.0.1_2006-05-01_09-05-07.sql").string(),
                            (h.outDir() / "127.0.0.1_2006-05-01_09-05-07_2.sql").string()};
    ASSERT_EQ(h.files(), expected);
    EXPECT_EQ(shell("grep -q 'INSERT INTO `a` VALUES (1);' " + shellQuote(expected[0])), 0);
    EXPECT_EQ(shell("grep -q 'INSERT INTO `b` VALUES (2);' " + shellQuote(expected[1])), 0);
    runSql(1, {"DROP DATABASE IF EXISTS kv_bk_same"});
}

// The working list of a run against the live server, for each combination
// of the two newly-created flags.
TEST(SelectionResolver, NewTablesAndDatabases) {
    KEELVAULT_REQUIRE_SERVER(1);
    ASSERT_TRUE(
        runSql(1, {"DROP DATABASE IF EXISTS kv_bk_sel", "DROP DATABASE IF EXISTS kv_bk_sel_new",
                   "CREATE DATABASE kv_bk_sel", "CREATE DATABASE kv_bk_sel_new", "CREATE TABLE kv_bk_sel.a (id INT)",
                   "CREATE TABLE kv_bk_sel.b (id INT)", "CREATE TABLE kv_bk_sel.c (id INT)",
                   "CREATE VIEW kv_bk_sel.v AS SELECT id FROM kv_bk_sel.a", "CREATE TABLE kv_bk_sel_new.x (id INT)"}));
    CDatabaseItem stored;
    stored.selected = 1;
    stored.name = "kv_bk_sel";
    stored.tables = {CTableItem{1, 1, "kv_bk_sel", "a"}, CTableItem{0, 1, "kv_bk_sel", "c"}};
    CDatabaseItem gone;
    gone.selected = 1;
    gone.name = "kv_bk_sel_gone";
    const std::vector<CDatabaseItem> selection = {stored, gone};

    MySqlSession session;
    ASSERT_TRUE(connect(session, 1));
    auto find = [](const std::vector<CDatabaseItem>& list, const std::string& name) {
        return std::count_if(list.begin(), list.end(), [&](const CDatabaseItem& d) { return d.name == name; });
    };

    EXPECT_EQ(resolveSelection(session, selection, false, false), selection);

    std::vector<CDatabaseItem> tables = resolveSelection(session, selection, true, false);
    ASSERT_EQ(tables.size(), 2u);
    const std::vector<CTableItem> expected_tables = {
        CTableItem{1, 1, "kv_bk_sel", "a"}, CTableItem{0, 1, "kv_bk_sel", "c"}, CTableItem{2, 1, "kv_bk_sel", "b"},
        CTableItem{2, 2, "kv_bk_sel", "v"}};
    EXPECT_EQ(tables[0].tables, expected_tables);
    EXPECT_EQ(tables[0].selected, 1);
    EXPECT_EQ(tables[1], gone);

    std::vector<CDatabaseItem> databases = resolveSelection(session, selection, false, true);
    EXPECT_EQ(databases[0], stored);
    EXPECT_EQ(databases[1], gone);
    EXPECT_EQ(find(databases, "kv_bk_sel"), 1);
    ASSERT_EQ(find(databases, "kv_bk_sel_new"), 1);
    const auto added = std::find_if(databases.begin(), databases.end(),
                                    [](const CDatabaseItem& d) { return d.name == "kv_bk_sel_new"; });
    EXPECT_EQ(added->selected, 2);
    EXPECT_EQ(added->tables, (std::vector<CTableItem>{CTableItem{2, 1, "kv_bk_sel_new", "x"}}));
    // The server's virtual catalogues are never picked up: no copy of them could be replayed.
    EXPECT_EQ(find(databases, "information_schema"), 0);
    EXPECT_EQ(find(databases, "performance_schema"), 0);
    EXPECT_EQ(find(databases, "mysql"), 1);

    std::vector<CDatabaseItem> both = resolveSelection(session, selection, true, true);
    EXPECT_EQ(both[0].tables, expected_tables);
    EXPECT_EQ(find(both, "kv_bk_sel_new"), 1);
    runSql(1, {"DROP DATABASE IF EXISTS kv_bk_sel", "DROP DATABASE IF EXISTS kv_bk_sel_new"});
}

// Write checks of the output file itself.
TEST(DumpFileWrites, StatementFormsAndFailures) {
    test::TempDir dir;
    const std::string path = (dir.path() / "f.sql").string();
    {
        DumpFile file(DumpForm::Sql, false);
        ASSERT_TRUE(file.create(path));
        EXPECT_TRUE(file.writeStatement("SET A=1"));
        EXPECT_TRUE(file.writeStatement("SET AUTOCOMMIT=0;"));
        EXPECT_TRUE(file.close());
    }
    EXPECT_EQ(test::readFile(path), "SET A=1;\r\nSET AUTOCOMMIT=0;\r\n");
    {
        DumpFile file(DumpForm::Php, true);
        ASSERT_TRUE(file.create(path));
        EXPECT_TRUE(file.writeStatement("INSERT INTO t VALUES ('a\\'b\\\\')"));
        EXPECT_TRUE(file.close());
    }
    EXPECT_EQ(test::readFile(path),
              "  mysql_query('INSERT INTO t VALUES (\\'a\\\\\\'b\\\\\\\\\\');',$conn) or die('Failed! Error NO. "
              "'.mysql_errno($conn).'<br>'.mysql_error($conn));\n");

    DumpFile full(DumpForm::Sql, false);
    ASSERT_TRUE(full.create("/dev/full"));
    EXPECT_TRUE(full.writeStatement("SET A=1"));  // still in the buffer
    EXPECT_FALSE(full.flush());
    EXPECT_TRUE(full.failed());
    EXPECT_FALSE(full.writeStatement("SET B=2"));
    EXPECT_FALSE(full.close());

    DumpFile missing(DumpForm::Sql, false);
    EXPECT_FALSE(missing.create((dir.path() / "no" / "such" / "f.sql").string()));
}

// keelvault-cli runs a stored type-1 task through the real worker cycle; its
// file replays into an identical database.
TEST(BackupCli, RunStoredTaskAndReplay) {
    KEELVAULT_REQUIRE_SERVER(1);
    KEELVAULT_REQUIRE_SERVER(2);
    ASSERT_TRUE(
        runSql(1, {"DROP DATABASE IF EXISTS kv_bk_cli", "CREATE DATABASE kv_bk_cli DEFAULT CHARACTER SET utf8mb4",
                   "CREATE TABLE kv_bk_cli.t (id INT PRIMARY KEY, s VARCHAR(40), b BLOB, bits BIT(10))",
                   "INSERT INTO kv_bk_cli.t VALUES (1, 'Emoji \xF0\x9F\x98\x80 O''Brien', x'00FF27', b'1000000001'),"
                   " (2, NULL, '', NULL)",
                   "CREATE VIEW kv_bk_cli.v AS SELECT id, s FROM kv_bk_cli.t"}));
    test::TempDir home;
    const fs::path data = home.path() / "keelvault";
    fs::create_directories(data);
    CTask task;
    task.name = "cli backup";
    task.log_name = "cli backup.log";
    task.source = test::testServerSettings(1);
    task.databases = {wholeDatabase("kv_bk_cli")};
    setFlag(task, kOptMultipleRows, 1);
    task.backup_options.backup_directory = (home.path() / "out").string();
    CTaskList list;
    list.append(task);
    ASSERT_TRUE(saveTaskList(data / "tasks_pro.tsk", list));

    const int status = shell("XDG_DATA_HOME=" + shellQuote(home.path().string()) + " " +
                             shellQuote(KEELVAULT_CLI_PATH) + " run 'cli backup' > /dev/null");
    ASSERT_EQ(status, 0);
    CTaskList saved;
    ASSERT_TRUE(loadTaskList(data / "tasks_pro.tsk", saved));
    ASSERT_EQ(saved.count(), 1);
    ASSERT_EQ(saved.at(0).backups.size(), 1u);
    const Lines files = saved.at(0).backups[0].files;
    ASSERT_EQ(files.size(), 1u);

    ASSERT_TRUE(runSql(2, {"DROP DATABASE IF EXISTS kv_bk_cli"}));
    ASSERT_EQ(shell(clientCommand(2) + " < " + shellQuote(files[0])), 0);
    expectSameDatabase("kv_bk_cli");
    runSql(1, {"DROP DATABASE IF EXISTS kv_bk_cli"});
    runSql(2, {"DROP DATABASE IF EXISTS kv_bk_cli"});
}

}  // namespace
}  // namespace keelvault::backup_test
