#pragma once

#include <mysql.h>

#include <string>
#include <string_view>

namespace keelvault {

class MySqlSession;

// A statement on one line: every CR and LF removed, except inside quoted
// names and literals, where they are part of the name or value.
std::string joinedLines(std::string_view text);

// The second column of "SHOW CREATE TABLE `name`" (backquoted whatever the
// quoting option says) on one line (joinedLines). Empty on failure or when
// there is no row.
std::string showCreateText(MySqlSession& session, const std::string& name);

// The CREATE TABLE IF NOT EXISTS statement of a table, without a trailing ";".
// From 32320 on (`show_create`) it is the server's own text; below, it is
// built from the column list (`fields` from mysql_list_fields) with the type
// texts of string columns from SHOW COLUMNS. Empty on failure.
std::string createTableStatement(MySqlSession& session, const std::string& table, const std::string& engine,
                                 const MYSQL_FIELD* fields, unsigned int count, bool quote, bool show_create);

// The CREATE TABLE text built from the column list alone (servers below 32320).
std::string createTableFromColumns(MySqlSession& session, const std::string& table, const std::string& engine,
                                   const MYSQL_FIELD* fields, unsigned int count, bool quote);

// "CREATE VIEW v AS SELECT 1 AS `a`,1 AS `b`": a stand-in with the view's
// column names for views whose columns no table can hold.
std::string standInViewStatement(const std::string& quoted_view, const MYSQL_FIELD* fields, unsigned int count,
                                 bool quote);

}  // namespace keelvault
