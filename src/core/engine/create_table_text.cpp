#include "core/engine/create_table_text.h"

#include <string_view>

#include "core/engine/mysql_session.h"
#include "core/engine/sql_quote.h"

namespace keelvault {

namespace {

constexpr std::string_view kCreateTable = "CREATE TABLE";

std::string withoutTrailingSemicolon(std::string text) {
    while (!text.empty() && text.back() == ';') text.pop_back();
    return text;
}

enum class DefaultStyle { Bare, Quoted };

// The type text of one column for the column-list form, with how its
// default value is written and whether it takes UNSIGNED and ZEROFILL.
std::string typeText(MySqlSession& session, const std::string& table, const MYSQL_FIELD& field, bool quote,
                     DefaultStyle& default_style, bool& numeric) {
    const std::string length = std::to_string(field.length);
    numeric = false;
    default_style = DefaultStyle::Quoted;
    switch (field.type) {
        case MYSQL_TYPE_DECIMAL:
        case MYSQL_TYPE_NEWDECIMAL:
            numeric = true;
            default_style = DefaultStyle::Bare;
            return "DECIMAL ";
        case MYSQL_TYPE_TINY:
            numeric = true;
            default_style = DefaultStyle::Bare;
            return "TINYINT(" + length + ") ";
        case MYSQL_TYPE_SHORT:
            numeric = true;
            default_style = DefaultStyle::Bare;
            return "SMALLINT(" + length + ") ";
        case MYSQL_TYPE_LONG:
            numeric = true;
            default_style = DefaultStyle::Bare;
            return "INT(" + length + ") ";
        case MYSQL_TYPE_INT24:
            numeric = true;
            default_style = DefaultStyle::Bare;
            return "MEDIUMINT(" + length + ") ";
        case MYSQL_TYPE_LONGLONG:
            numeric = true;
            default_style = DefaultStyle::Bare;
            return "BIGINT(" + length + ") ";
        case MYSQL_TYPE_FLOAT:
            numeric = true;
            default_style = DefaultStyle::Bare;
            return "FLOAT ";
        case MYSQL_TYPE_DOUBLE:
            numeric = true;
            default_style = DefaultStyle::Bare;
            return "DOUBLE ";
        case MYSQL_TYPE_NULL:
            default_style = DefaultStyle::Bare;
            return "NULL ";
        case MYSQL_TYPE_TIMESTAMP:
        case MYSQL_TYPE_TIMESTAMP2:
            return "TIMESTAMP ";
        case MYSQL_TYPE_DATE:
        case MYSQL_TYPE_NEWDATE:
            return "DATE ";
        case MYSQL_TYPE_TIME:
        case MYSQL_TYPE_TIME2:
            return "TIME ";
        case MYSQL_TYPE_DATETIME:
        case MYSQL_TYPE_DATETIME2:
            return "DATETIME ";
        case MYSQL_TYPE_YEAR:
            return "YEAR ";
        case MYSQL_TYPE_BIT:
            default_style = DefaultStyle::Bare;
            return field.length < 2 ? "BIT " : "BIT(" + length + ") ";
        case MYSQL_TYPE_GEOMETRY:
            default_style = DefaultStyle::Bare;
            return "GEOMETRY ";
        default: {
            // String, ENUM, SET and BLOB columns: the server's own type text.
            std::string type;
            const std::string column(field.name ? field.name : "", field.name_length);
            ResultPtr result = session.storeQuery("SHOW COLUMNS FROM " + quoteName(table, quote) + " LIKE '" +
                                                  escapeForLike(column) + "'");
            if (result && mysql_num_fields(result.get()) >= 2) {
                if (MYSQL_ROW row = mysql_fetch_row(result.get()); row && row[1]) {
                    type.assign(row[1], mysql_fetch_lengths(result.get())[1]);
                }
            }
            return type + " ";
        }
    }
}

}  // namespace

std::string joinedLines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    char quote = 0;
    bool escape = false;
    for (char c : text) {
        if (quote) {
            out += c;
            if (escape) {
                escape = false;
            } else if (c == '\\' && quote != '`') {
                escape = true;
            } else if (c == quote) {
                quote = 0;
            }
            continue;
        }
        if (c == '\r' || c == '\n') continue;
        if (c == '\'' || c == '"' || c == '`') quote = c;
        out += c;
    }
    return out;
}

std::string showCreateText(MySqlSession& session, const std::string& name) {
    ResultPtr result = session.storeQuery("SHOW CREATE TABLE " + quoteName(name, true));
    if (!result || mysql_num_fields(result.get()) < 2) return {};
    MYSQL_ROW row = mysql_fetch_row(result.get());
    if (!row || !row[1]) return {};
    const unsigned long length = mysql_fetch_lengths(result.get())[1];
    return joinedLines(std::string_view(row[1], length));
}

std::string createTableFromColumns(MySqlSession& session, const std::string& table, const std::string& engine,
                                   const MYSQL_FIELD* fields, unsigned int count, bool quote) {
    std::string text = "CREATE TABLE IF NOT EXISTS " + quoteName(table, quote) + "(";
    std::string keys;
    for (unsigned int i = 0; i < count; ++i) {
        const MYSQL_FIELD& field = fields[i];
        const std::string name = quoteName(std::string(field.name ? field.name : "", field.name_length), quote);
        DefaultStyle default_style = DefaultStyle::Quoted;
        bool numeric = false;
        std::string column = name + " " + typeText(session, table, field, quote, default_style, numeric);
        if (numeric) {
            if (field.flags & UNSIGNED_FLAG) column += "UNSIGNED ";
            if (field.flags & ZEROFILL_FLAG) column += "ZEROFILL ";
        }
        column += (field.flags & NOT_NULL_FLAG) ? "NOT NULL " : "NULL ";
        if (field.flags & AUTO_INCREMENT_FLAG) {
            column += "AUTO_INCREMENT ";
        } else if (field.def && field.def[0]) {
            const std::string value(field.def,
                                    field.def_length ? field.def_length : std::char_traits<char>::length(field.def));
            if (value == "NULL" || default_style == DefaultStyle::Bare) {
                column += "DEFAULT " + value + " ";
            } else {
                column += "DEFAULT '" + escapeStringLiteral(value) + "' ";
            }
        }
        if (!column.empty() && column.back() == ' ') column.pop_back();
        text += column + ", ";
        if (field.flags & PRI_KEY_FLAG) {
            if (!keys.empty()) keys += ", ";
            keys += name;
        }
    }
    if (count > 0) text.resize(text.size() - 2);
    if (!keys.empty()) text += ", PRIMARY KEY (" + keys + ")";
    text += engine.empty() ? ")" : ")TYPE=" + engine;
    return text;
}

std::string standInViewStatement(const std::string& quoted_view, const MYSQL_FIELD* fields, unsigned int count,
                                 bool quote) {
    std::string text = "CREATE VIEW " + quoted_view + " AS SELECT ";
    for (unsigned int i = 0; i < count; ++i) {
        if (i) text += ',';
        text += "1 AS " + quoteName(std::string(fields[i].name ? fields[i].name : "", fields[i].name_length), quote);
    }
    return text;
}

std::string createTableStatement(MySqlSession& session, const std::string& table, const std::string& engine,
                                 const MYSQL_FIELD* fields, unsigned int count, bool quote, bool show_create) {
    if (!show_create) return createTableFromColumns(session, table, engine, fields, count, quote);
    std::string text = showCreateText(session, table);
    if (text.empty()) return {};
    if (text.compare(0, kCreateTable.size(), kCreateTable) == 0) {
        text.replace(0, kCreateTable.size(), "CREATE TABLE IF NOT EXISTS");
    }
    return withoutTrailingSemicolon(std::move(text));
}

}  // namespace keelvault
