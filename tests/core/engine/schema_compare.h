#pragma once

// Compares everything but the rows of a database on two servers: the
// structure of every table, and every view, trigger, routine (with its
// parameters) and event by the definition information_schema keeps.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/engine/mysql_session.h"
#include "core/engine/sql_quote.h"
#include "script_engine_harness.h"
#include "support/test_support.h"

namespace keelvault::test {

// What a database holds besides rows, one text per object.
inline std::vector<std::string> schemaOf(MySqlSession& session, const std::string& database) {
    const std::string db = "'" + escapeStringLiteral(database) + "'";
    std::vector<std::string> all;
    auto add = [&](const std::string& kind, const std::string& sql) {
        for (const std::string& row : queryRows(session, sql)) all.push_back(kind + ": " + row);
    };
    add("database", "SELECT DEFAULT_CHARACTER_SET_NAME, DEFAULT_COLLATION_NAME FROM information_schema.SCHEMATA "
                    "WHERE SCHEMA_NAME=" + db);
    for (const std::string& table : queryRows(session, "SELECT TABLE_NAME FROM information_schema.TABLES WHERE "
                                                        "TABLE_SCHEMA=" + db + " AND TABLE_TYPE<>'VIEW' "
                                                        "ORDER BY TABLE_NAME")) {
        add("table", "SHOW CREATE TABLE " + quoteName(database, true) + "." + quoteName(table, true));
    }
    add("column", "SELECT TABLE_NAME, COLUMN_NAME, ORDINAL_POSITION, COLUMN_TYPE, IS_NULLABLE, COLUMN_DEFAULT, EXTRA, "
                  "COLLATION_NAME, COLUMN_COMMENT FROM information_schema.COLUMNS WHERE TABLE_SCHEMA=" + db +
                  " ORDER BY TABLE_NAME, ORDINAL_POSITION");
    add("view", "SELECT TABLE_NAME, VIEW_DEFINITION, CHECK_OPTION, IS_UPDATABLE, DEFINER, SECURITY_TYPE, "
                "CHARACTER_SET_CLIENT, COLLATION_CONNECTION, ALGORITHM FROM information_schema.VIEWS "
                "WHERE TABLE_SCHEMA=" + db + " ORDER BY TABLE_NAME");
    add("trigger", "SELECT TRIGGER_NAME, EVENT_MANIPULATION, EVENT_OBJECT_TABLE, ACTION_ORDER, ACTION_STATEMENT, "
                   "ACTION_TIMING, SQL_MODE, DEFINER, CHARACTER_SET_CLIENT, COLLATION_CONNECTION, DATABASE_COLLATION "
                   "FROM information_schema.TRIGGERS WHERE TRIGGER_SCHEMA=" + db + " ORDER BY TRIGGER_NAME");
    add("routine", "SELECT ROUTINE_NAME, ROUTINE_TYPE, DTD_IDENTIFIER, ROUTINE_BODY, ROUTINE_DEFINITION, "
                   "IS_DETERMINISTIC, SQL_DATA_ACCESS, SECURITY_TYPE, SQL_MODE, ROUTINE_COMMENT, DEFINER, "
                   "CHARACTER_SET_CLIENT, COLLATION_CONNECTION, DATABASE_COLLATION FROM information_schema.ROUTINES "
                   "WHERE ROUTINE_SCHEMA=" + db + " ORDER BY ROUTINE_TYPE, ROUTINE_NAME");
    add("parameter", "SELECT SPECIFIC_NAME, ORDINAL_POSITION, PARAMETER_MODE, PARAMETER_NAME, DTD_IDENTIFIER "
                     "FROM information_schema.PARAMETERS WHERE SPECIFIC_SCHEMA=" + db +
                     " ORDER BY SPECIFIC_NAME, ORDINAL_POSITION");
    add("event", "SELECT EVENT_NAME, DEFINER, TIME_ZONE, EVENT_BODY, EVENT_DEFINITION, EVENT_TYPE, EXECUTE_AT, "
                 "INTERVAL_VALUE, INTERVAL_FIELD, SQL_MODE, STARTS, ENDS, STATUS, ON_COMPLETION, EVENT_COMMENT, "
                 "CHARACTER_SET_CLIENT, COLLATION_CONNECTION, DATABASE_COLLATION FROM information_schema.EVENTS "
                 "WHERE EVENT_SCHEMA=" + db + " ORDER BY EVENT_NAME");
    return all;
}

// The number of objects of each kind, to check a comparison compared something.
inline size_t countKind(const std::vector<std::string>& schema, const std::string& kind) {
    size_t n = 0;
    for (const std::string& line : schema) n += line.starts_with(kind + ": ");
    return n;
}

// Fails the test for every object that differs between server `a` and `b`.
inline void expectSameSchema(const std::string& database, int a = 1, int b = 2,
                             const std::string& database_b = "") {
    SCOPED_TRACE("schema of " + database);
    MySqlSession one, two;
    ASSERT_TRUE(one.open(testServerSettings(a)));
    ASSERT_TRUE(two.open(testServerSettings(b)));
    for (MySqlSession* session : {&one, &two}) ASSERT_TRUE(session->execute("SET NAMES utf8mb4"));
    const std::vector<std::string> expected = schemaOf(one, database);
    const std::vector<std::string> got = schemaOf(two, database_b.empty() ? database : database_b);
    // Name what differs rather than print both lists whole.
    for (const std::string& line : expected) {
        EXPECT_NE(std::find(got.begin(), got.end(), line), got.end()) << "missing or different: " << line;
    }
    for (const std::string& line : got) {
        EXPECT_NE(std::find(expected.begin(), expected.end(), line), expected.end()) << "not in the original: " << line;
    }
    EXPECT_EQ(got.size(), expected.size());
}

}  // namespace keelvault::test
