#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/model/task.h"

namespace keelvault {

class MySqlSession;

// The schema objects that live beside the tables of a database.
enum class ObjectKind { Trigger, Procedure, Function, Event, View };

// "trigger", "procedure", "function", "event", "view" for log lines.
const char* objectKindWord(ObjectKind kind);

// A schema object as SHOW CREATE gives it, with the session settings it was
// created under: replaying it under other settings would change what it does
// (SQL mode) or how its text is read (character set).
struct SchemaObject {
    ObjectKind kind = ObjectKind::Trigger;
    std::string name;
    std::string definition;  // the CREATE statement, bytes as stored
    std::string sql_mode;
    std::string charset_client;
    std::string collation_connection;
    std::string time_zone;  // events only
};

// What a backup or copy needs to know of one database before its tables.
struct DatabaseCatalogue {
    // Trigger names by table, each list in firing order.
    std::map<std::string, std::vector<std::string>> triggers;
    // Stored functions, then procedures, each by name.
    std::vector<std::pair<ObjectKind, std::string>> routines;
    std::vector<std::string> events;
    // MERGE tables: their rows are those of the tables they join, so they
    // are written without rows and after those tables.
    std::set<std::string> merge_tables;
    // Listings the account could not make, as warning lines.
    std::vector<std::string> warnings;
};

// Selection state of a database chosen whole (with its routines and events).
inline constexpr uint8_t kWholeDatabase = 2;

// The selected tables of a database entry in the order they are written:
// as chosen, but MERGE tables after every other table.
std::vector<const CTableItem*> tablesInReplayOrder(const CDatabaseItem& database, const DatabaseCatalogue& catalogue);

// Servers from this version on have triggers, routines and events.
inline constexpr unsigned long kVersionSchemaObjects = 50000;

// Reads the catalogue of the database selected on the session. Routines and
// events are listed only with `whole_database` (a database chosen whole);
// triggers always.
DatabaseCatalogue readDatabaseCatalogue(MySqlSession& session, const std::string& database, bool whole_database);

// The definition of one object of the selected database, or nothing with
// `reason` set (a warning text) when the account may not read it.
std::optional<SchemaObject> readSchemaObject(MySqlSession& session, ObjectKind kind, const std::string& name,
                                             std::string& reason);

// A view's CREATE statement on one line, with the character set settings it
// was created under; its text is read in that character set, so that the
// settings and the bytes agree. Nothing when the view cannot be shown.
std::optional<SchemaObject> readViewObject(MySqlSession& session, const std::string& name);

// "DROP TRIGGER IF EXISTS `t`" and its kin.
std::string dropObjectStatement(ObjectKind kind, const std::string& name, bool quote);
// Statements that set the session to the object's own settings before its
// CREATE statement (saving the current ones), and that restore them after.
std::vector<std::string> objectSettingsBefore(const SchemaObject& object);
std::vector<std::string> objectSettingsAfter(const SchemaObject& object);
// A terminator for a DELIMITER block that the definition does not contain.
std::string blockDelimiter(const std::string& definition);

// Engines whose rows live in other tables (MERGE) or on another server
// (FEDERATED): their rows are never written again. `create_text` is the
// table's CREATE TABLE text, which names the engine when the status cannot.
bool rowsLiveElsewhere(const std::string& engine, const std::string& create_text);
bool isMergeEngine(const std::string& engine, const std::string& create_text);
// A sequence (SEQUENCE=1): its one row is set by an INSERT, and a DELETE is refused.
bool isSequenceTable(const std::string& create_text);

}  // namespace keelvault
