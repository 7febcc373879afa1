#include "core/engine/dump_statements.h"

#include "core/engine/sql_quote.h"

namespace keelvault {

namespace {

constexpr size_t kTemporaryPrefix = 17;  // "CREATE TEMPORARY "

}  // namespace

std::vector<std::string> sessionOpeningStatements(const SessionSettings& s) {
    std::vector<std::string> lines;
    if (!s.charset.empty()) {
        lines = {"SET @OLD_CHARACTER_SET_CLIENT=@@CHARACTER_SET_CLIENT",
                 "SET @OLD_CHARACTER_SET_RESULTS=@@CHARACTER_SET_RESULTS",
                 "SET @OLD_CHARACTER_SET_CONNECTION=@@CHARACTER_SET_CONNECTION",
                 "SET @OLD_COLLATION_CONNECTION=@@COLLATION_CONNECTION"};
        const std::vector<std::string> set = charsetStatements(s.charset, s.set_names);
        lines.insert(lines.end(), set.begin(), set.end());
    }
    if (s.unique_checks) lines.insert(lines.end(), {"SET @OLD_UNIQUE_CHECKS=@@UNIQUE_CHECKS", "SET UNIQUE_CHECKS=0"});
    if (s.foreign_key_checks) {
        lines.insert(lines.end(), {"SET @OLD_FOREIGN_KEY_CHECKS=@@FOREIGN_KEY_CHECKS", "SET FOREIGN_KEY_CHECKS=0"});
    }
    lines.insert(lines.end(), {"SET @OLD_SQL_MODE=@@SQL_MODE", "SET SQL_MODE='NO_AUTO_VALUE_ON_ZERO'"});
    if (s.time_zone) lines.insert(lines.end(), {"SET @OLD_TIME_ZONE=@@TIME_ZONE", utcTimeZoneStatement()});
    if (s.sql_notes) lines.insert(lines.end(), {"SET @OLD_SQL_NOTES=@@SQL_NOTES", "SET SQL_NOTES=0"});
    return lines;
}

std::vector<std::string> sessionClosingStatements(const SessionSettings& s) {
    std::vector<std::string> lines = {"SET SQL_MODE=@OLD_SQL_MODE"};
    if (s.time_zone) lines.push_back("SET TIME_ZONE=@OLD_TIME_ZONE");
    if (s.foreign_key_checks) lines.push_back("SET FOREIGN_KEY_CHECKS=@OLD_FOREIGN_KEY_CHECKS");
    if (s.unique_checks) lines.push_back("SET UNIQUE_CHECKS=@OLD_UNIQUE_CHECKS");
    if (s.sql_notes) lines.push_back("SET SQL_NOTES=@OLD_SQL_NOTES");
    if (!s.charset.empty()) {
        lines.insert(lines.end(), {"SET CHARACTER_SET_CLIENT=@OLD_CHARACTER_SET_CLIENT",
                                   "SET CHARACTER_SET_RESULTS=@OLD_CHARACTER_SET_RESULTS",
                                   "SET CHARACTER_SET_CONNECTION=@OLD_CHARACTER_SET_CONNECTION",
                                   "SET COLLATION_CONNECTION=@OLD_COLLATION_CONNECTION"});
    }
    return lines;
}

std::vector<std::string> charsetStatements(const std::string& charset, bool set_names) {
    if (charset.empty()) return {};
    const std::string cs = escapeStringLiteral(charset);
    std::vector<std::string> lines = {"SET CHARACTER_SET_CLIENT='" + cs + "'", "SET CHARACTER_SET_RESULTS='" + cs + "'",
                                      "SET CHARACTER_SET_CONNECTION='" + cs + "'"};
    if (set_names) lines.push_back("SET NAMES '" + cs + "'");
    return lines;
}

std::string utcTimeZoneStatement() {
    return "SET TIME_ZONE='+00:00'";
}

std::string createDatabaseStatement(const std::string& database, bool quote, const std::string& default_charset,
                                    bool with_charset) {
    std::string create = "CREATE DATABASE IF NOT EXISTS " + quoteName(database, quote);
    if (with_charset && !default_charset.empty()) create += " DEFAULT CHARACTER SET " + default_charset;
    return create;
}

std::string useDatabaseStatement(const std::string& database, bool quote) {
    return "USE " + quoteName(database, quote);
}

std::string dropTableStatement(const std::string& table, bool quote) {
    return "DROP TABLE IF EXISTS " + quoteName(table, quote);
}

std::string dropViewStatement(const std::string& view, bool quote) {
    return "DROP VIEW IF EXISTS " + quoteName(view, quote);
}

std::vector<std::string> dropBeforeCreateStatements(const std::string& table, bool is_view, bool quote) {
    std::vector<std::string> drops;
    if (is_view) drops.push_back(dropViewStatement(table, quote));
    drops.push_back(dropTableStatement(table, quote));
    return drops;
}

std::string deleteRowsStatement(const std::string& table, bool quote) {
    return "DELETE FROM " + quoteName(table, quote);
}

std::string flushTableStatement(const std::string& table, bool quote) {
    return "FLUSH TABLE " + quoteName(table, quote);
}

std::string lockForReadStatement(const std::string& table, bool quote) {
    return "LOCK TABLES " + quoteName(table, quote) + " READ LOCAL";
}

std::string tableStatusStatement(const std::string& table) {
    return "SHOW TABLE STATUS LIKE '" + escapeForLike(table) + "'";
}

std::string lockForWriteStatement(const std::string& table, bool quote) {
    return "LOCK TABLES " + quoteName(table, quote) + " WRITE";
}

std::string unlockTablesStatement() {
    return "UNLOCK TABLES";
}

std::string disableKeysStatement(const std::string& table, bool quote) {
    return "ALTER TABLE " + quoteName(table, quote) + " DISABLE KEYS";
}

std::string enableKeysStatement(const std::string& table, bool quote) {
    return "ALTER TABLE " + quoteName(table, quote) + " ENABLE KEYS";
}

std::string autocommitOffStatement() {
    return "SET AUTOCOMMIT=0";
}

std::string commitStatement() {
    return "COMMIT";
}

std::string insertPrefix(const InsertKind& kind, const std::string& table, bool quote, const std::string& column_list) {
    std::string prefix = kind.replace ? "REPLACE" : "INSERT";
    if (kind.delayed) prefix += " DELAYED";
    if (kind.ignore) prefix += " IGNORE";
    prefix += " INTO " + quoteName(table, quote) + column_list + " VALUES ";
    return prefix;
}

std::string fieldColumnList(const MYSQL_FIELD* fields, unsigned int count, bool quote) {
    std::string list = "(";
    for (unsigned int i = 0; i < count; ++i) {
        if (i) list += ",";
        list += quoteName(std::string(fields[i].name ? fields[i].name : "", fields[i].name_length), quote);
    }
    list += ")";
    return list;
}

std::string temporaryColumnsTableStatement(const std::string& view, bool quote) {
    const std::string q = quoteName(view, quote);
    return "CREATE TEMPORARY TABLE " + q + " SELECT * FROM " + q + " WHERE 0";
}

std::string dropTemporaryTableStatement(const std::string& view, bool quote) {
    return "DROP TEMPORARY TABLE " + quoteName(view, quote);
}

std::string standInTableStatement(const std::string& temporary_create) {
    if (temporary_create.size() <= kTemporaryPrefix) return {};
    return "CREATE " + temporary_create.substr(kTemporaryPrefix);
}

std::string withoutTrailingSemicolons(std::string statement) {
    while (!statement.empty() && statement.back() == ';') statement.pop_back();
    return statement;
}

ObjectStatements objectStatements(const SchemaObject& object, bool drop, bool quote) {
    ObjectStatements out;
    if (drop) out.drops.push_back(dropObjectStatement(object.kind, object.name, quote));
    out.before = objectSettingsBefore(object);
    out.create = object.definition;
    out.after = objectSettingsAfter(object);
    return out;
}

ObjectStatements viewStatements(const SchemaObject& view, bool quote) {
    ObjectStatements out;
    // The stand-in is a table, or a view when no table could hold the columns.
    out.drops = {dropTableStatement(view.name, quote), dropViewStatement(view.name, quote)};
    out.before = objectSettingsBefore(view);
    out.create = view.definition;
    out.after = objectSettingsAfter(view);
    return out;
}

std::string delimiterBlock(const std::string& definition, const std::string& eol) {
    const std::string delimiter = blockDelimiter(definition);
    return "DELIMITER " + delimiter + eol + definition + delimiter + eol + "DELIMITER ;" + eol;
}

std::vector<std::string> keyRangeSelects(const std::string& select, const std::string& key, long long low,
                                         long long high, long long ranges) {
    std::vector<std::string> selects;
    if (ranges < 1) ranges = 1;
    // Offsets from the lowest key in unsigned arithmetic: the span of any
    // two signed 64-bit keys fits there.
    const unsigned long long span =
        high > low ? static_cast<unsigned long long>(high) - static_cast<unsigned long long>(low) : 0;
    const auto n = static_cast<unsigned long long>(ranges);
    const auto bound = [&](long long i) {
        // span * i / n without the product overflowing; never past `high`.
        const auto k = static_cast<unsigned long long>(i);
        const unsigned long long offset = span / n * k + span % n * k / n;
        return std::to_string(static_cast<long long>(static_cast<unsigned long long>(low) + offset));
    };
    for (long long i = 0; i < ranges; ++i) {
        std::string where;
        if (i > 0) where = key + " >= " + bound(i);
        if (i + 1 < ranges) where += (where.empty() ? "" : " AND ") + key + " < " + bound(i + 1);
        selects.push_back(select + (where.empty() ? "" : " WHERE " + where) + " ORDER BY " + key);
    }
    return selects;
}

}  // namespace keelvault
