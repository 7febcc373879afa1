#include "core/engine/dump_statements.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "core/engine/dump_file.h"
#include "core/engine/statement_sink.h"
#include "support/test_support.h"

namespace keelvault {
namespace {

using Lines = std::vector<std::string>;

const Lines kCharsetSaves = {"SET @OLD_CHARACTER_SET_CLIENT=@@CHARACTER_SET_CLIENT",
                             "SET @OLD_CHARACTER_SET_RESULTS=@@CHARACTER_SET_RESULTS",
                             "SET @OLD_CHARACTER_SET_CONNECTION=@@CHARACTER_SET_CONNECTION",
                             "SET @OLD_COLLATION_CONNECTION=@@COLLATION_CONNECTION"};
const Lines kCharsetRestores = {
    "SET CHARACTER_SET_CLIENT=@OLD_CHARACTER_SET_CLIENT", "SET CHARACTER_SET_RESULTS=@OLD_CHARACTER_SET_RESULTS",
    "SET CHARACTER_SET_CONNECTION=@OLD_CHARACTER_SET_CONNECTION", "SET COLLATION_CONNECTION=@OLD_COLLATION_CONNECTION"};

Lines joined(std::initializer_list<Lines> parts) {
    Lines out;
    for (const Lines& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

TEST(DumpStatements, SessionOpeningAndClosing) {
    struct Case {
        const char* what;
        SessionSettings settings;
        Lines opening;
        Lines closing;
    };
    const Lines mode = {"SET @OLD_SQL_MODE=@@SQL_MODE", "SET SQL_MODE='NO_AUTO_VALUE_ON_ZERO'"};
    const Lines utf8 = {"SET CHARACTER_SET_CLIENT='utf8mb4'", "SET CHARACTER_SET_RESULTS='utf8mb4'",
                        "SET CHARACTER_SET_CONNECTION='utf8mb4'"};
    const std::vector<Case> cases = {
        {"nothing optional", {"", true, false, false, false, false}, mode, {"SET SQL_MODE=@OLD_SQL_MODE"}},
        {"everything",
         {"utf8mb4", true, true, true, true, true},
         joined({kCharsetSaves,
                 utf8,
                 {"SET NAMES 'utf8mb4'"},
                 {"SET @OLD_UNIQUE_CHECKS=@@UNIQUE_CHECKS", "SET UNIQUE_CHECKS=0",
                  "SET @OLD_FOREIGN_KEY_CHECKS=@@FOREIGN_KEY_CHECKS", "SET FOREIGN_KEY_CHECKS=0"},
                 mode,
                 {"SET @OLD_TIME_ZONE=@@TIME_ZONE", "SET TIME_ZONE='+00:00'", "SET @OLD_SQL_NOTES=@@SQL_NOTES",
                  "SET SQL_NOTES=0"}}),
         // Put back in the reverse order of the checks, the character set last.
         joined({{"SET SQL_MODE=@OLD_SQL_MODE", "SET TIME_ZONE=@OLD_TIME_ZONE",
                  "SET FOREIGN_KEY_CHECKS=@OLD_FOREIGN_KEY_CHECKS", "SET UNIQUE_CHECKS=@OLD_UNIQUE_CHECKS",
                  "SET SQL_NOTES=@OLD_SQL_NOTES"},
                 kCharsetRestores})},
        // A server before 4.1 knows neither SET NAMES nor time zones.
        {"old server",
         {"utf8mb4", false, false, false, false, false},
         joined({kCharsetSaves, utf8, mode}),
         joined({{"SET SQL_MODE=@OLD_SQL_MODE"}, kCharsetRestores})},
        {"one check",
         {"", true, false, true, false, false},
         joined({{"SET @OLD_FOREIGN_KEY_CHECKS=@@FOREIGN_KEY_CHECKS", "SET FOREIGN_KEY_CHECKS=0"}, mode}),
         {"SET SQL_MODE=@OLD_SQL_MODE", "SET FOREIGN_KEY_CHECKS=@OLD_FOREIGN_KEY_CHECKS"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sessionOpeningStatements(c.settings), c.opening) << c.what;
        EXPECT_EQ(sessionClosingStatements(c.settings), c.closing) << c.what;
    }
}

TEST(DumpStatements, CharsetStatements) {
    EXPECT_TRUE(charsetStatements("", true).empty());
    EXPECT_EQ(charsetStatements("latin1", false),
              (Lines{"SET CHARACTER_SET_CLIENT='latin1'", "SET CHARACTER_SET_RESULTS='latin1'",
                     "SET CHARACTER_SET_CONNECTION='latin1'"}));
    // The name stands in a string literal.
    EXPECT_EQ(charsetStatements("x'y", true).back(), "SET NAMES 'x\\'y'");
}

TEST(DumpStatements, NamedStatements) {
    using Builder = std::function<std::string(const std::string&, bool)>;
    struct Case {
        const char* what;
        Builder build;
        std::string name;
        bool quote;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"use", useDatabaseStatement, "shop", true, "USE `shop`"},
        {"use bare", useDatabaseStatement, "shop", false, "USE shop"},
        {"drop table", dropTableStatement, "a`b", true, "DROP TABLE IF EXISTS `a``b`"},
        // A name that cannot stand bare is quoted without the option too.
        {"drop view", dropViewStatement, "my view", false, "DROP VIEW IF EXISTS `my view`"},
        {"delete", deleteRowsStatement, "t; DROP TABLE x", false, "DELETE FROM `t; DROP TABLE x`"},
        {"flush", flushTableStatement, "t", true, "FLUSH TABLE `t`"},
        {"read lock", lockForReadStatement, "t", false, "LOCK TABLES t READ LOCAL"},
        {"write lock", lockForWriteStatement, "t", true, "LOCK TABLES `t` WRITE"},
        {"disable keys", disableKeysStatement, "t", true, "ALTER TABLE `t` DISABLE KEYS"},
        {"enable keys", enableKeysStatement, "t", false, "ALTER TABLE t ENABLE KEYS"},
        {"temporary", temporaryColumnsTableStatement, "v", true,
         "CREATE TEMPORARY TABLE `v` SELECT * FROM `v` WHERE 0"},
        {"drop temporary", dropTemporaryTableStatement, "v`", true, "DROP TEMPORARY TABLE `v```"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.build(c.name, c.quote), c.expected) << c.what;

    // The status pattern matches exactly the one table.
    EXPECT_EQ(tableStatusStatement("a_b%'"), "SHOW TABLE STATUS LIKE 'a\\_b\\%\\''");
    EXPECT_EQ(dropBeforeCreateStatements("v", true, true),
              (Lines{"DROP VIEW IF EXISTS `v`", "DROP TABLE IF EXISTS `v`"}));
    EXPECT_EQ(dropBeforeCreateStatements("t", false, true), (Lines{"DROP TABLE IF EXISTS `t`"}));
}

TEST(DumpStatements, CreateDatabase) {
    struct Case {
        std::string charset;
        bool with_charset;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"utf8mb4", true, "CREATE DATABASE IF NOT EXISTS `d b` DEFAULT CHARACTER SET utf8mb4"},
        {"", true, "CREATE DATABASE IF NOT EXISTS `d b`"},
        // Below 4.1 there is no character set clause.
        {"utf8mb4", false, "CREATE DATABASE IF NOT EXISTS `d b`"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(createDatabaseStatement("d b", false, c.charset, c.with_charset), c.expected) << c.charset;
    }
}

TEST(DumpStatements, InsertPrefix) {
    struct Case {
        InsertKind kind;
        bool quote;
        std::string columns;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {{}, true, "", "INSERT INTO `t` VALUES "},
        {{}, false, "(a,b)", "INSERT INTO t(a,b) VALUES "},
        {{true, false, false}, true, "", "REPLACE INTO `t` VALUES "},
        {{false, true, true}, true, "", "INSERT DELAYED IGNORE INTO `t` VALUES "},
        {{true, true, true}, true, "(`a`)", "REPLACE DELAYED IGNORE INTO `t`(`a`) VALUES "},
    };
    for (const Case& c : cases) EXPECT_EQ(insertPrefix(c.kind, "t", c.quote, c.columns), c.expected) << c.expected;

    MYSQL_FIELD fields[3] = {};
    const char* names[] = {"id", "order", "x`y"};
    for (int i = 0; i < 3; ++i) {
        fields[i].name = const_cast<char*>(names[i]);
        fields[i].name_length = static_cast<unsigned int>(std::string(names[i]).size());
    }
    EXPECT_EQ(fieldColumnList(fields, 3, true), "(`id`,`order`,`x``y`)");
    EXPECT_EQ(fieldColumnList(fields, 3, false), "(id,order,`x``y`)");
    EXPECT_EQ(fieldColumnList(fields, 0, true), "()");
}

TEST(DumpStatements, StandIns) {
    EXPECT_EQ(standInTableStatement("CREATE TEMPORARY TABLE `v` (`a` int(11) DEFAULT NULL)"),
              "CREATE TABLE `v` (`a` int(11) DEFAULT NULL)");
    EXPECT_EQ(standInTableStatement("CREATE TEMPORARY "), "");
    EXPECT_EQ(standInTableStatement(""), "");
    EXPECT_EQ(withoutTrailingSemicolons("CREATE VIEW v AS SELECT 1;;"), "CREATE VIEW v AS SELECT 1");
    EXPECT_EQ(withoutTrailingSemicolons(";"), "");
}

SchemaObject trigger() {
    SchemaObject t;
    t.kind = ObjectKind::Trigger;
    t.name = "t`rg";
    t.definition = "CREATE TRIGGER x BEFORE INSERT ON t FOR EACH ROW BEGIN SET @a=1; END";
    t.sql_mode = "STRICT_ALL_TABLES";
    t.charset_client = "utf8mb4";
    return t;
}

TEST(DumpStatements, ObjectsAndViews) {
    const SchemaObject t = trigger();
    const ObjectStatements dropped = objectStatements(t, true, true);
    EXPECT_EQ(dropped.drops, (Lines{"DROP TRIGGER IF EXISTS `t``rg`"}));
    EXPECT_EQ(dropped.before, objectSettingsBefore(t));
    EXPECT_EQ(dropped.create, t.definition);
    EXPECT_EQ(dropped.after, objectSettingsAfter(t));
    EXPECT_TRUE(objectStatements(t, false, true).drops.empty());

    SchemaObject view;
    view.kind = ObjectKind::View;
    view.name = "v";
    view.definition = "CREATE VIEW `v` AS SELECT 1";
    const ObjectStatements v = viewStatements(view, false);
    // The stand-in is dropped as a table first: that is what it usually is.
    EXPECT_EQ(v.drops, (Lines{"DROP TABLE IF EXISTS v", "DROP VIEW IF EXISTS v"}));
    EXPECT_TRUE(v.before.empty());
    EXPECT_EQ(v.create, view.definition);
}

TEST(DumpStatements, DelimiterBlockAvoidsTheDefinitionsOwnText) {
    EXPECT_EQ(delimiterBlock("CREATE PROCEDURE p() SELECT 1", "\n"),
              "DELIMITER ;;\nCREATE PROCEDURE p() SELECT 1;;\nDELIMITER ;\n");
    EXPECT_EQ(delimiterBlock("CREATE PROCEDURE p() SELECT ';;'", "\r\n"),
              "DELIMITER $$\r\nCREATE PROCEDURE p() SELECT ';;'$$\r\nDELIMITER ;\r\n");
}

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string php(const std::string& quoted) {
    return "  mysql_query('" + quoted +
           "',$conn) or die('Failed! Error NO. '.mysql_errno($conn).'<br>'.mysql_error($conn));\r\n";
}

TEST(StatementSink, FileSinkWritesEachForm) {
    test::TempDir dir;
    const std::string definition = "CREATE TRIGGER x BEFORE INSERT ON t FOR EACH ROW SET @a='it''s'";
    struct Case {
        DumpForm form;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {DumpForm::Sql, "SET UNIQUE_CHECKS=0;\r\nCOMMIT;\r\nDELIMITER ;;\r\n" + definition + ";;\r\nDELIMITER ;\r\n"},
        {DumpForm::Php, php("SET UNIQUE_CHECKS=0;") + php("COMMIT;") + php(phpQuoted(definition) + ";")},
    };
    for (const Case& c : cases) {
        const std::filesystem::path path = dir / (c.form == DumpForm::Sql ? "out.sql" : "out.php");
        {
            DumpFile file(c.form, false);
            ASSERT_TRUE(file.create(path.string()));
            FileStatementSink sink(file);
            EXPECT_TRUE(sink.statements({"SET UNIQUE_CHECKS=0", "COMMIT;"}));
            EXPECT_TRUE(sink.definition(definition));
            ASSERT_TRUE(file.close());
        }
        EXPECT_EQ(fileText(path), c.expected) << path;
    }
}

// The ranges part the key space with no gap and no overlap, for any keys a
// signed 64-bit column holds.
TEST(DumpStatements, KeyRangesCoverEveryKeyOnce) {
    struct Case {
        long long low, high, ranges;
        Lines selects;
    };
    const std::string s = "SELECT * FROM `t`";
    const std::vector<Case> cases = {
        {1, 100, 4,
         {s + " WHERE `id` < 25 ORDER BY `id`", s + " WHERE `id` >= 25 AND `id` < 50 ORDER BY `id`",
          s + " WHERE `id` >= 50 AND `id` < 75 ORDER BY `id`", s + " WHERE `id` >= 75 ORDER BY `id`"}},
        {-9223372036854775807LL - 1, 9223372036854775807LL, 2,
         {s + " WHERE `id` < -1 ORDER BY `id`", s + " WHERE `id` >= -1 ORDER BY `id`"}},
        {5, 5, 3,
         {s + " WHERE `id` < 5 ORDER BY `id`", s + " WHERE `id` >= 5 AND `id` < 5 ORDER BY `id`",
          s + " WHERE `id` >= 5 ORDER BY `id`"}},
        {1, 10, 1, {s + " ORDER BY `id`"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(keyRangeSelects(s, "`id`", c.low, c.high, c.ranges), c.selects) << c.low << ".." << c.high;
    }
    // The bounds of many ranges over the widest span keep rising.
    const Lines wide = keyRangeSelects(s, "k", -9223372036854775807LL - 1, 9223372036854775807LL, 64);
    ASSERT_EQ(wide.size(), 64u);
    long long previous = -9223372036854775807LL - 1;
    for (size_t i = 1; i < wide.size(); ++i) {
        const size_t at = wide[i].find(">= ") + 3;
        const long long bound = std::stoll(wide[i].substr(at));
        EXPECT_GT(bound, previous) << wide[i];
        previous = bound;
    }
}

}  // namespace
}  // namespace keelvault
