// Large tables are read in key ranges over several connections; what the
// caller sees must be what one query in key order gives.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "backup_test_harness.h"
#include "core/engine/dump_statements.h"
#include "core/engine/row_text_reader.h"
#include "script_engine_harness.h"

namespace keelvault::backup_test {
namespace {

std::string databaseName() { return "kv_ranges_" + std::to_string(getpid()); }

// Keys with gaps, negative ones and a run far above the rest, so ranges of
// equal width hold very different numbers of rows.
std::vector<std::string> makeTable(const std::string& db, int rows) {
    return {"DROP DATABASE IF EXISTS " + db, "CREATE DATABASE " + db,
            "CREATE TABLE " + db + ".t (id BIGINT PRIMARY KEY, s VARCHAR(40), n INT) ENGINE=InnoDB "
            "DEFAULT CHARSET=utf8mb4",
            "INSERT INTO " + db + ".t SELECT CAST(seq AS SIGNED) * 3 - 5000, CONCAT('row ', seq, ' O''Hara \\\\ ', CHAR(10), 'é'), "
            "IF(seq % 7 = 0, NULL, seq) FROM " + db + ".seq_1_to_" + std::to_string(rows),
            "INSERT INTO " + db + ".t VALUES (9000000000, 'far', 1), (9000000001, '', NULL)"};
}

TEST(KeyRangeRead, RangesOverSeveralConnectionsGiveTheRowsInKeyOrder) {
    KEELVAULT_REQUIRE_SERVER(1);
    const std::string db = databaseName();
    ASSERT_TRUE(runSql(1, makeTable(db, 20000)));
    MySqlSession a, b, c, d, single;
    for (MySqlSession* s : {&a, &b, &c, &d, &single}) {
        ASSERT_TRUE(connect(*s, 1));
        ASSERT_TRUE(s->selectDatabase(db));
    }
    const auto format = [](std::string& out, MYSQL*, MYSQL_RES* result, MYSQL_ROW row, const unsigned long* lengths) {
        for (unsigned i = 0; i < mysql_num_fields(result); ++i) {
            out += row[i] ? std::string(row[i], lengths[i]) : "NULL";
            out += '|';
        }
    };
    const std::vector<std::string> expected = test::queryRows(single, "SELECT id, s, n FROM t ORDER BY id");
    const std::string select = "SELECT id, s, n FROM t";

    const std::vector<std::vector<MYSQL*>> sets = {{a.native(), b.native()},
                                                   {a.native(), b.native(), c.native(), d.native()}};
    for (const std::vector<MYSQL*>& connections : sets) {
        for (const int ranges : {2, 7, 64}) {
            SCOPED_TRACE(std::to_string(ranges) + " ranges over " + std::to_string(connections.size()));
            ChunkedRowTextReader reader(connections, keyRangeSelects(select, "`id`", -4997, 9000000001LL, ranges),
                                        format);
            std::vector<std::string> seen;
            std::string_view text;
            while (reader.next(text)) seen.emplace_back(text.substr(0, text.size() - 1));
            reader.stop();
            EXPECT_EQ(reader.errorNumber(), 0u);
            ASSERT_EQ(seen.size(), expected.size());
            for (size_t i = 0; i < seen.size(); ++i) {
                ASSERT_EQ(seen[i], expected[i]) << "row " << i;
            }
        }
    }

    // A range that cannot be read ends the rows after the ranges before it,
    // with the server's error; the ranges after it are never given.
    std::vector<std::string> selects = keyRangeSelects(select, "`id`", -4997, 55000, 4);
    selects[2] = "SELECT no_such_column FROM t";
    {
        ChunkedRowTextReader reader({a.native(), b.native()}, selects, format);
        size_t rows = 0;
        std::string_view text;
        while (reader.next(text)) ++rows;
        reader.stop();
        EXPECT_EQ(reader.errorNumber(), 1054u);
        EXPECT_NE(reader.errorText().find("no_such_column"), std::string::npos) << reader.errorText();
        const std::string below = test::queryRows(single, "SELECT COUNT(*) FROM t WHERE id < " +
                                                              selects[3].substr(selects[3].find(">= ") + 3, 5))
                                      .at(0);
        EXPECT_LT(rows, std::stoul(below));
        EXPECT_GT(rows, 0u);
    }
    // Stopping part way returns at once and leaves every connection usable.
    {
        ChunkedRowTextReader reader(sets[1], keyRangeSelects(select, "`id`", -4997, 55000, 8), format);
        std::string_view text;
        for (int i = 0; i < 10; ++i) ASSERT_TRUE(reader.next(text));
        reader.stop();
    }
    EXPECT_EQ(test::queryRows(a, "SELECT 1").at(0), "1");
    for (MySqlSession* s : {&b, &c, &d}) EXPECT_EQ(test::queryRows(*s, "SELECT 1").at(0), "1");
    runSql(1, {"DROP DATABASE IF EXISTS " + db});
}

// A table large enough to be read in ranges: the backup file holds every row
// once in key order, and replays into an identical table.
TEST(KeyRangeRead, LargeTableBackupReplaysIdentically) {
    KEELVAULT_REQUIRE_SERVER(1);
    KEELVAULT_REQUIRE_SERVER(2);
    const std::string db = databaseName() + "_bk";
    ASSERT_TRUE(runSql(1, makeTable(db, 150000)));
    for (const bool multiple : {false, true}) {
        SCOPED_TRACE(multiple ? "multiple rows" : "single rows");
        BackupHarness h;
        h.task.databases = {wholeDatabase(db)};
        h.task.backup_options.flags[kOptMultipleRows] = multiple ? 1 : 0;
        ASSERT_EQ(h.run(), EngineResult::Finished);
        EXPECT_TRUE(h.errors().empty()) << ::testing::PrintToString(h.errors());
        const std::vector<std::string> log = h.logTexts();
        EXPECT_NE(std::find(log.begin(), log.end(), "Backup the records from the table OK - 150002 records"), log.end());
        const std::vector<std::string> files = h.files();
        ASSERT_EQ(files.size(), 1u);
        // Keys in the file rise from row to row.
        std::ifstream in(files[0]);
        std::string line;
        long long previous = -10000;
        size_t rows = 0;
        bool ordered = true;
        while (std::getline(in, line)) {
            if (line.rfind("INSERT INTO", 0) != 0) continue;
            for (size_t at = line.find("VALUES ("); at != std::string::npos; at = line.find("),(", at + 1)) {
                const size_t start = line.find('(', at) + 1;
                const long long id = std::stoll(line.substr(start, 20));
                ordered = ordered && id > previous;
                previous = id;
                ++rows;
            }
        }
        EXPECT_TRUE(ordered);
        EXPECT_EQ(rows, 150002u);
        ASSERT_TRUE(runSql(2, {"DROP DATABASE IF EXISTS " + db}));
        ASSERT_EQ(shell(clientCommand(2) + " < " + shellQuote(files[0])), 0);
        EXPECT_EQ(test::tableChecksums(2, db), test::tableChecksums(1, db));
    }
    // A user who may hold only two connections at once still gets every row,
    // read over the connections that could be had.
    const std::string user = "kv_two_" + std::to_string(getpid());
    ASSERT_TRUE(runSql(1, {"DROP USER IF EXISTS '" + user + "'@'%'",
                           "CREATE USER '" + user + "'@'%' IDENTIFIED BY 'pw' WITH MAX_USER_CONNECTIONS 2",
                           "GRANT ALL ON " + db + ".* TO '" + user + "'@'%'"}));
    {
        BackupHarness h;
        h.task.source.user = user;
        h.task.source.password = "pw";
        h.task.databases = {wholeDatabase(db)};
        ASSERT_EQ(h.run(), EngineResult::Finished);
        EXPECT_TRUE(h.errors().empty()) << ::testing::PrintToString(h.errors());
        const std::vector<std::string> files = h.files();
        ASSERT_EQ(files.size(), 1u);
        ASSERT_TRUE(runSql(2, {"DROP DATABASE IF EXISTS " + db}));
        ASSERT_EQ(shell(clientCommand(2) + " < " + shellQuote(files[0])), 0);
        EXPECT_EQ(test::tableChecksums(2, db), test::tableChecksums(1, db));
    }
    runSql(1, {"DROP USER IF EXISTS '" + user + "'@'%'"});
    runSql(1, {"DROP DATABASE IF EXISTS " + db});
    runSql(2, {"DROP DATABASE IF EXISTS " + db});
}

}  // namespace
}  // namespace keelvault::backup_test
