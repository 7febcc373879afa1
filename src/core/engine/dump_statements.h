#pragma once

#include <mysql.h>

#include <string>
#include <vector>

#include "core/engine/schema_objects.h"

namespace keelvault {

// The statements a backup file and a server-to-server copy both consist of,
// built from plain inputs. The dump writer writes them to a file, the copy
// engine sends them to the destination; both get the same text.

// The settings a run changes for its session and puts back at its end.
struct SessionSettings {
    std::string charset;    // character set named by the SET lines; empty leaves it alone
    bool set_names = true;  // the server knows SET NAMES (4.1 on)
    bool unique_checks = false;
    bool foreign_key_checks = false;
    bool time_zone = false;  // the server knows time zones (4.1.3 on)
    bool sql_notes = false;
};

// Saves the current settings and sets the run's own: character set,
// UNIQUE_CHECKS, FOREIGN_KEY_CHECKS, SQL_MODE, TIME_ZONE, SQL_NOTES.
std::vector<std::string> sessionOpeningStatements(const SessionSettings& settings);
// Puts back what sessionOpeningStatements saved.
std::vector<std::string> sessionClosingStatements(const SessionSettings& settings);
// The three SET CHARACTER_SET statements and, with `set_names`, SET NAMES;
// nothing for an empty `charset`.
std::vector<std::string> charsetStatements(const std::string& charset, bool set_names);
// TIMESTAMP values are read and written in UTC, so they mean the same
// instant on a server in any time zone.
std::string utcTimeZoneStatement();

// "CREATE DATABASE IF NOT EXISTS `d`", with " DEFAULT CHARACTER SET cs"
// when `with_charset` and `default_charset` is known.
std::string createDatabaseStatement(const std::string& database, bool quote, const std::string& default_charset,
                                    bool with_charset);
std::string useDatabaseStatement(const std::string& database, bool quote);

std::string dropTableStatement(const std::string& table, bool quote);
std::string dropViewStatement(const std::string& view, bool quote);
// What clears the way for a new table or view's stand-in: a view is dropped
// as a view first, then as a table.
std::vector<std::string> dropBeforeCreateStatements(const std::string& table, bool is_view, bool quote);
std::string deleteRowsStatement(const std::string& table, bool quote);

// On the source, around reading a table.
std::string flushTableStatement(const std::string& table, bool quote);
std::string lockForReadStatement(const std::string& table, bool quote);
std::string tableStatusStatement(const std::string& table);

// Around the rows of a table.
std::string lockForWriteStatement(const std::string& table, bool quote);
std::string unlockTablesStatement();
std::string disableKeysStatement(const std::string& table, bool quote);
std::string enableKeysStatement(const std::string& table, bool quote);
std::string autocommitOffStatement();
std::string commitStatement();

// How rows are written.
struct InsertKind {
    bool replace = false;
    bool delayed = false;
    bool ignore = false;
};
// "INSERT INTO `t`(`a`,`b`) VALUES ": the text before a row's values.
// `column_list` is "(...)" or empty.
std::string insertPrefix(const InsertKind& kind, const std::string& table, bool quote, const std::string& column_list);
// "(`a`,`b`)": every column of a field list.
std::string fieldColumnList(const MYSQL_FIELD* fields, unsigned int count, bool quote);

// A view stands in as an empty table of its columns until the view itself
// is created: made on the source as a temporary table, whose CREATE text,
// without TEMPORARY, makes the stand-in.
std::string temporaryColumnsTableStatement(const std::string& view, bool quote);
std::string dropTemporaryTableStatement(const std::string& view, bool quote);
// The stand-in from SHOW CREATE of the temporary table; empty when the text
// is too short to be one.
std::string standInTableStatement(const std::string& temporary_create);
// The statement without any ';' at its end.
std::string withoutTrailingSemicolons(std::string statement);

// The queries that read a table's rows in `ranges` ranges of its integer
// key from `low` to `high`, in key order: `select` with a WHERE on the
// (quoted) key column and an ORDER BY it. The first range has no lower
// bound and the last no upper one, so every row falls in exactly one.
std::vector<std::string> keyRangeSelects(const std::string& select, const std::string& key, long long low,
                                         long long high, long long ranges);

// A trigger, routine, event or view in the order it is replayed: what
// removes an older one, the object's own settings, its CREATE statement,
// then the settings back.
struct ObjectStatements {
    std::vector<std::string> drops;
    std::vector<std::string> before;
    std::string create;
    std::vector<std::string> after;
};
// A trigger, routine or event; `drop` removes an older one first.
ObjectStatements objectStatements(const SchemaObject& object, bool drop, bool quote);
// A view that replaces its stand-in (table or view of the same name).
ObjectStatements viewStatements(const SchemaObject& view, bool quote);
// An object definition between DELIMITER lines, for a script that the
// client splits at ';'.
std::string delimiterBlock(const std::string& definition, const std::string& eol);

}  // namespace keelvault
