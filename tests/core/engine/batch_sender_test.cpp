#include "core/engine/batch_sender.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "core/engine/mysql_session.h"
#include "script_engine_harness.h"

namespace keelvault {
namespace {

using After = BatchSender::AfterFailure;

TEST(BatchSenderRules, WhichStatementsJoinABatchAndWhichEndGrouping) {
    struct Case {
        std::string statement;
        bool row, controls;
    };
    const std::vector<Case> cases = {
        {"INSERT INTO `t` VALUES (1)", true, false},
        {"  replace into t values (1)", true, false},
        {"INSERT IGNORE INTO t SELECT * FROM u", true, false},
        {"INSERTED", false, false},
        {"UPDATE t SET a=1", false, false},
        {"/*!40000 ALTER TABLE `t` DISABLE KEYS */", false, false},
        {"LOCK TABLES `t` WRITE", false, false},
        {"SET AUTOCOMMIT=0", false, true},
        {"set @@session.autocommit = 0", false, true},
        {"/*!40101 SET autocommit=0 */", false, true},
        {"SET completion_type=CHAIN", false, true},
        {"START TRANSACTION", false, true},
        {"BEGIN", false, true},
        {"begin work", false, true},
        {"XA START 'x'", false, true},
        {"SET NAMES utf8mb4", false, false},
        {"CREATE PROCEDURE p() BEGIN SET autocommit=0; END", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BatchSender::isRowStatement(c.statement), c.row) << c.statement;
        EXPECT_EQ(BatchSender::controlsTransactions(c.statement), c.controls) << c.statement;
    }
}

TEST(BatchSenderRules, RowListsAndTheirTables) {
    struct Case {
        std::string statement;
        size_t row;  // npos: cannot join
        std::string target;
    };
    constexpr size_t no = std::string::npos;
    const std::vector<Case> cases = {
        {"INSERT INTO `t` VALUES (1,'a')", 23, "`t`"},
        {"INSERT INTO `a``b`.`t`(`x`,`values`) VALUES (')(','\\'),')", 44, "`a``b`.`t`"},
        {"REPLACE DELAYED IGNORE INTO db.t VALUES (NOW())", 40, "db.t"},
        {"INSERT INTO t VALUES (1),(2)", 21, "t"},
        {"INSERT INTO t VALUES (1) , ( 2 ) ", 21, "t"},
        {"INSERT INTO t VALUES (1),", no, "t"},
        {"INSERT INTO t VALUES (1) (2)", no, "t"},
        {"INSERT INTO t VALUES (1),(2) ON DUPLICATE KEY UPDATE a=1", no, "t"},
        {"INSERT INTO t VALUES (1) ON DUPLICATE KEY UPDATE a=VALUES(a)", no, "t"},
        {"INSERT INTO t SELECT * FROM u", no, "t"},
        {"INSERT INTO t VALUES ('unterminated)", no, "t"},
        {"INSERT INTO t SET a = 1", no, "t"},
        {"UPDATE t SET a = 1", no, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BatchSender::rowListStart(c.statement), c.row) << c.statement;
        EXPECT_EQ(BatchSender::insertTarget(c.statement), c.target) << c.statement;
    }
}

class BatchSenderTest : public ::testing::Test {
protected:
    // Tests run side by side in processes of their own.
    static std::string db() { return "kv_batch_" + std::to_string(getpid()); }

    void SetUp() override {
        KEELVAULT_REQUIRE_SERVER(2);
        admin_ = test::connectTo(2);
        test::execOrFail(*admin_, "DROP DATABASE IF EXISTS " + db());
        test::execOrFail(*admin_, "CREATE DATABASE " + db());
        ASSERT_TRUE(session_.open(test::testServerSettings(2)));
        ASSERT_TRUE(session_.selectDatabase(db()));
        sender_.setFailureHandler([this](const std::string& sql, unsigned int number, const std::string&) {
            failures_.emplace_back(sql, number);
            return after_;
        });
        sender_.setSentHandler([this](const std::string& sql, bool ok) { sent_.emplace_back(sql, ok); });
        sender_.setJoinRows(true);
    }
    // INSERT statements the server has run for the session so far.
    long inserts() {
        return std::stol(test::queryRows(session_, "SHOW SESSION STATUS LIKE 'Com_insert'").at(0).substr(11));
    }
    void TearDown() override {
        if (admin_) test::execOrFail(*admin_, "DROP DATABASE IF EXISTS " + db());
    }

    std::string ids(const std::string& table) {
        return test::queryRows(*admin_, "SELECT IFNULL(GROUP_CONCAT(id ORDER BY id), '') FROM " + db() + "." + table)
            .at(0);
    }
    static std::string insert(int id) { return "INSERT INTO t VALUES (" + std::to_string(id) + ")"; }

    std::unique_ptr<MySqlSession> admin_;
    MySqlSession session_;
    BatchSender sender_{session_};
    After after_ = After::Continue;
    std::vector<std::pair<std::string, unsigned int>> failures_;
    std::vector<std::pair<std::string, bool>> sent_;
};

// A duplicate key in the middle of one batch, on tables with and without
// transactions: exactly the failing statement is reported, each statement
// before it is applied once, and the handler decides about the rest.
TEST_F(BatchSenderTest, FailingStatementInTheMiddleOfABatch) {
    struct Case {
        std::string engine;
        After after;
        std::string rows;
    };
    const std::vector<Case> cases = {
        {"InnoDB", After::Continue, "1,2,3,4"},
        {"InnoDB", After::SkipRest, "1,2"},
        {"MyISAM", After::Continue, "1,2,3,4"},
        {"MyISAM", After::SkipRest, "1,2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.engine + (c.after == After::Continue ? " continue" : " skip rest"));
        test::execOrFail(*admin_, "DROP TABLE IF EXISTS " + db() + ".t");
        test::execOrFail(*admin_, "CREATE TABLE " + db() + ".t (id INT PRIMARY KEY) ENGINE=" + c.engine);
        failures_.clear();
        sent_.clear();
        after_ = c.after;
        const std::vector<std::string> statements = {insert(1), insert(2), insert(2), insert(3), insert(4)};
        for (const std::string& statement : statements) EXPECT_TRUE(sender_.add(statement));
        EXPECT_EQ(sender_.queued(), statements.size());
        EXPECT_FALSE(sender_.flush());
        EXPECT_EQ(sender_.queued(), 0u);
        EXPECT_EQ(failures_, (std::vector<std::pair<std::string, unsigned int>>{{insert(2), 1062}}));
        EXPECT_EQ(ids("t"), c.rows);
        // Every statement answered once, in order; the skipped ones never.
        std::vector<std::pair<std::string, bool>> expected = {{insert(1), true}, {insert(2), true}, {insert(2), false}};
        if (c.after == After::Continue) expected.insert(expected.end(), {{insert(3), true}, {insert(4), true}});
        EXPECT_EQ(sent_, expected);
    }
}

// The rows of a transactional table are joined into one statement; a
// warning, or a table without transactions, sends them as they are.
TEST_F(BatchSenderTest, JoinsRowsOnlyWhereNothingChanges) {
    struct Case {
        std::string engine;
        std::string value;  // may hold a second row
        long statements;    // INSERTs the server ran for three statements
        std::string rows;
    };
    const std::vector<Case> cases = {
        {"InnoDB", "7", 1, "7,7,7"},
        {"InnoDB", "'7x'", 1 + 3, "7,7,7"},  // truncation warnings: joined, rolled back, sent again
        {"MyISAM", "7", 3, "7,7,7"},
        {"InnoDB", "7), (1$, 8", 1, "7,7,7,8,8,8"},  // "$": the statement's own id, so ids 11..13
    };
    test::execOrFail(session_, "SET SESSION sql_mode = ''");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.engine + " " + c.value);
        test::execOrFail(*admin_, "DROP TABLE IF EXISTS " + db() + ".t");
        test::execOrFail(*admin_, "CREATE TABLE " + db() + ".t (id INT PRIMARY KEY, v INT) ENGINE=" + c.engine);
        const long before = inserts();
        for (int id = 1; id <= 3; ++id) {
            std::string value = c.value;
            if (const size_t at = value.find('$'); at != std::string::npos) value.replace(at, 1, std::to_string(id));
            EXPECT_TRUE(sender_.add("INSERT INTO t VALUES (" + std::to_string(id) + "," + value + ")"));
        }
        EXPECT_TRUE(sender_.flush());
        EXPECT_EQ(inserts() - before, c.statements);
        EXPECT_EQ(test::queryRows(*admin_, "SELECT GROUP_CONCAT(v ORDER BY id) FROM " + db() + ".t").at(0), c.rows);
        EXPECT_EQ(sent_.size(), 3u);
        sent_.clear();
    }
}

// Numbers the server gives rows stay as single statements would leave them
// when a statement of the batch fails; a session without backslash escapes
// keeps its statements as written, so a backslash ending a string stays a
// character.
TEST_F(BatchSenderTest, GeneratedNumbersAndPlainBackslashes) {
    test::execOrFail(
        *admin_, "CREATE TABLE " + db() + ".a (id INT PRIMARY KEY AUTO_INCREMENT, v VARCHAR(10) UNIQUE) ENGINE=InnoDB");
    for (const char* v : {"x", "y", "x", "z"}) sender_.add(std::string("INSERT INTO a (v) VALUES ('") + v + "')");
    EXPECT_FALSE(sender_.flush());
    EXPECT_EQ(failures_.size(), 1u);
    // One at a time: x=1, y=2, the duplicate takes 3 with it, z=4.
    EXPECT_EQ(test::queryRows(*admin_, "SELECT GROUP_CONCAT(id, v ORDER BY id) FROM " + db() + ".a").at(0), "1x,2y,4z");

    test::execOrFail(session_, "SET SESSION sql_mode = 'NO_BACKSLASH_ESCAPES'");
    const long before = inserts();
    EXPECT_TRUE(sender_.add("INSERT INTO a VALUES (10, 'a\\')"));
    EXPECT_TRUE(sender_.add("INSERT INTO a VALUES (11, 'b')"));
    EXPECT_TRUE(sender_.flush());
    EXPECT_EQ(inserts() - before, 2);
    EXPECT_EQ(test::queryRows(*admin_, "SELECT GROUP_CONCAT(v ORDER BY id) FROM " + db() + ".a WHERE id >= 10").at(0),
              "a\\,b");
}

// Batches are cut at the statement limit and before every other statement,
// which then runs alone in its place; a skipped rest takes the statement
// being added with it.
TEST_F(BatchSenderTest, OtherStatementsRunInOrderBetweenBatches) {
    test::execOrFail(*admin_, "CREATE TABLE " + db() + ".t (id INT PRIMARY KEY) ENGINE=InnoDB");
    sender_.setLimits(2, 1 << 20);
    EXPECT_TRUE(sender_.add(insert(1)));
    EXPECT_EQ(sender_.queued(), 1u);
    EXPECT_TRUE(sender_.add(insert(2)));
    EXPECT_EQ(sender_.queued(), 0u);  // the limit sent both
    EXPECT_TRUE(sender_.add(insert(3)));
    // Sees the row before it, so the queue went first.
    EXPECT_TRUE(sender_.add("UPDATE t SET id = id * 10 WHERE id = 3"));
    EXPECT_EQ(ids("t"), "1,2,30");

    after_ = After::SkipRest;
    EXPECT_TRUE(sender_.add(insert(1)));
    EXPECT_FALSE(sender_.add("DELETE FROM t"));
    EXPECT_EQ(ids("t"), "1,2,30");
    EXPECT_EQ(failures_.size(), 1u);
}

// A file that turns autocommit off keeps its own transaction: nothing is
// committed behind its back, and its COMMIT is what makes the rows visible.
TEST_F(BatchSenderTest, FileThatSetsAutocommitKeepsItsTransaction) {
    test::execOrFail(*admin_, "CREATE TABLE " + db() + ".t (id INT PRIMARY KEY) ENGINE=InnoDB");
    EXPECT_TRUE(sender_.grouping());
    EXPECT_TRUE(sender_.add("SET AUTOCOMMIT=0"));
    EXPECT_FALSE(sender_.grouping());
    for (int id = 1; id <= 3; ++id) EXPECT_TRUE(sender_.add(insert(id)));
    EXPECT_TRUE(sender_.flush());
    EXPECT_EQ(ids("t"), "");
    EXPECT_TRUE(sender_.add("COMMIT"));
    EXPECT_EQ(ids("t"), "1,2,3");
    EXPECT_EQ(test::queryRows(session_, "SELECT @@autocommit"), std::vector<std::string>{"0"});
}

// Rows batched under LOCK TABLES, as dumps write them, are committed at
// every flush while the lock stays held.
TEST_F(BatchSenderTest, BatchesUnderLockTables) {
    test::execOrFail(*admin_, "CREATE TABLE " + db() + ".t (id INT PRIMARY KEY) ENGINE=InnoDB");
    EXPECT_TRUE(sender_.add("LOCK TABLES t WRITE"));
    for (int id = 1; id <= 3; ++id) EXPECT_TRUE(sender_.add(insert(id)));
    EXPECT_TRUE(sender_.flush());
    EXPECT_TRUE(sender_.grouping());
    // Still locked: another table is out of reach, and autocommit is back on.
    EXPECT_FALSE(session_.execute("SELECT 1 FROM " + db() + ".t AS other"));
    EXPECT_EQ(test::queryRows(session_, "SELECT @@autocommit"), std::vector<std::string>{"1"});
    EXPECT_TRUE(sender_.add("UNLOCK TABLES"));
    EXPECT_EQ(ids("t"), "1,2,3");
}

}  // namespace
}  // namespace keelvault
