#include "core/engine/table_columns.h"

#include <mysql.h>
#include <strings.h>

#include "core/engine/mysql_session.h"
#include "core/engine/schema_objects.h"
#include "core/engine/sql_quote.h"

namespace keelvault {

namespace {

// The words of SHOW COLUMNS' Extra text, e.g. "VIRTUAL GENERATED", "INVISIBLE".
bool hasWord(const std::string& extra, const char* word) {
    const size_t length = std::char_traits<char>::length(word);
    for (size_t at = 0; at + length <= extra.size(); ++at) {
        const bool starts = at == 0 || extra[at - 1] == ' ' || extra[at - 1] == ',';
        const bool ends = at + length == extra.size() || extra[at + length] == ' ' || extra[at + length] == ',';
        if (starts && ends && strncasecmp(extra.c_str() + at, word, length) == 0) return true;
    }
    return false;
}

bool isGenerated(const std::string& extra) {
    return hasWord(extra, "VIRTUAL") || hasWord(extra, "PERSISTENT") || hasWord(extra, "STORED") ||
           hasWord(extra, "GENERATED");
}

}  // namespace

std::string TableColumns::selectStatement(const std::string& quoted_table, bool quote) const {
    if (!explicit_list) return "SELECT * FROM " + quoted_table;
    std::string select = "SELECT ";
    for (size_t i = 0; i < names.size(); ++i) {
        if (i) select += ',';
        select += quoteName(names[i], quote);
    }
    return select + " FROM " + quoted_table;
}

std::string TableColumns::insertColumnList(bool quote) const {
    if (!explicit_list) return {};
    std::string list = "(";
    for (size_t i = 0; i < names.size(); ++i) {
        if (i) list += ',';
        list += quoteName(names[i], quote);
    }
    return list + ")";
}

TableColumns readTableColumns(MySqlSession& session, const std::string& quoted_table) {
    TableColumns columns;
    if (session.versionNumber() < kVersionSchemaObjects) return columns;
    ResultPtr result = session.storeQuery("SHOW COLUMNS FROM " + quoted_table);
    if (!result || mysql_num_fields(result.get()) < 6) return columns;
    std::vector<std::string> names;
    bool special = false;
    while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
        const unsigned long* lengths = mysql_fetch_lengths(result.get());
        if (!row[0]) continue;
        const std::string extra = row[5] ? std::string(row[5], lengths[5]) : std::string();
        if (isGenerated(extra)) {
            special = true;
            continue;
        }
        if (hasWord(extra, "INVISIBLE")) special = true;
        names.emplace_back(row[0], lengths[0]);
    }
    if (special && !names.empty()) {
        columns.explicit_list = true;
        columns.names = std::move(names);
    }
    return columns;
}

}  // namespace keelvault
