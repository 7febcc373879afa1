#pragma once

#include <string>
#include <vector>

namespace keelvault {

class MySqlSession;

// Which columns a table's rows are read from and written to. SELECT * leaves
// out INVISIBLE columns, and generated columns take no values, so a table
// with either kind is read and written through an explicit column list.
struct TableColumns {
    bool explicit_list = false;
    std::vector<std::string> names;  // the columns read and written, when explicit_list

    // "SELECT * FROM t" or "SELECT `a`,`b` FROM t".
    std::string selectStatement(const std::string& quoted_table, bool quote) const;
    // "(`a`,`b`)" for the INSERT, when explicit_list; else empty.
    std::string insertColumnList(bool quote) const;
};

// From SHOW COLUMNS of the table; servers before 5.0 have neither kind.
TableColumns readTableColumns(MySqlSession& session, const std::string& quoted_table);

}  // namespace keelvault
