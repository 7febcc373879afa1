#include "core/engine/schema_objects.h"

#include <mysql.h>
#include <strings.h>

#include <algorithm>

#include "core/engine/create_table_text.h"
#include "core/engine/mysql_session.h"
#include "core/engine/sql_quote.h"

namespace keelvault {

namespace {

constexpr unsigned long kVersionEvents = 50106;

// Column of a result by its name; -1 when there is none.
int columnIndex(MYSQL_RES* result, const char* name) {
    const unsigned int count = mysql_num_fields(result);
    const MYSQL_FIELD* fields = mysql_fetch_fields(result);
    for (unsigned int i = 0; i < count; ++i) {
        if (fields[i].name && strcasecmp(fields[i].name, name) == 0) return static_cast<int>(i);
    }
    return -1;
}

std::string cell(MYSQL_ROW row, const unsigned long* lengths, int index) {
    if (index < 0 || !row[index]) return {};
    return std::string(row[index], lengths[index]);
}

// Reads definitions as the server keeps them: the bytes of an object are in
// the character set it was created in, which its own settings name, and any
// conversion on the way could lose characters.
class StoredBytes {
public:
    explicit StoredBytes(MySqlSession& session) : session_(session) {
        had_value_ = session_.queryValue("SELECT @@character_set_results", old_);
        session_.execute("SET CHARACTER_SET_RESULTS=binary");
    }
    ~StoredBytes() {
        session_.execute(had_value_ ? "SET CHARACTER_SET_RESULTS='" + escapeStringLiteral(old_) + "'"
                                    : std::string("SET CHARACTER_SET_RESULTS=NULL"));
    }
    StoredBytes(const StoredBytes&) = delete;
    StoredBytes& operator=(const StoredBytes&) = delete;

private:
    MySqlSession& session_;
    std::string old_;
    bool had_value_ = false;
};

struct ShowCreate {
    const char* statement;
    const char* column;
};

ShowCreate showCreateFor(ObjectKind kind) {
    switch (kind) {
        case ObjectKind::Trigger:
            return {"SHOW CREATE TRIGGER ", "SQL Original Statement"};
        case ObjectKind::Procedure:
            return {"SHOW CREATE PROCEDURE ", "Create Procedure"};
        case ObjectKind::Function:
            return {"SHOW CREATE FUNCTION ", "Create Function"};
        case ObjectKind::Event:
            return {"SHOW CREATE EVENT ", "Create Event"};
        case ObjectKind::View:
            return {"SHOW CREATE VIEW ", "Create View"};
    }
    return {"", ""};
}

const char* keywordOf(ObjectKind kind) {
    switch (kind) {
        case ObjectKind::Trigger:
            return "TRIGGER";
        case ObjectKind::Procedure:
            return "PROCEDURE";
        case ObjectKind::Function:
            return "FUNCTION";
        case ObjectKind::Event:
            return "EVENT";
        case ObjectKind::View:
            return "VIEW";
    }
    return "";
}

std::string listingFailed(const char* what, const std::string& database, MySqlSession& session) {
    return std::string("Failed to list the ") + what + " of the database " + database + "!  " + session.errorLogText();
}

std::string upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

// A table option of a CREATE TABLE text such as "ENGINE=" (after its column
// list, outside any quoted name or literal); empty when there is none.
std::string tableOption(const std::string& create_text, const char* option) {
    const size_t option_length = std::char_traits<char>::length(option);
    char quote = 0;
    bool escape = false;
    int depth = 0;
    bool past_columns = false;
    for (size_t i = 0; i < create_text.size(); ++i) {
        const char c = create_text[i];
        if (quote) {
            if (escape) {
                escape = false;
            } else if (c == '\\' && quote != '`') {
                escape = true;
            } else if (c == quote) {
                quote = 0;
            }
            continue;
        }
        if (c == '\'' || c == '"' || c == '`') {
            quote = c;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (--depth == 0) past_columns = true;
        } else if (past_columns && depth == 0 && (i == 0 || create_text[i - 1] == ' ') &&
                   strncasecmp(create_text.c_str() + i, option, option_length) == 0) {
            const size_t from = i + option_length;
            size_t to = from;
            while (to < create_text.size() && create_text[to] != ' ' && create_text[to] != '\n') ++to;
            return create_text.substr(from, to - from);
        }
    }
    return {};
}

std::string engineName(const std::string& engine, const std::string& create_text) {
    const std::string named = upper(engine);
    return named.empty() || named == "NULL" ? upper(tableOption(create_text, "ENGINE=")) : named;
}

}  // namespace

const char* objectKindWord(ObjectKind kind) {
    switch (kind) {
        case ObjectKind::Trigger:
            return "trigger";
        case ObjectKind::Procedure:
            return "procedure";
        case ObjectKind::Function:
            return "function";
        case ObjectKind::Event:
            return "event";
        case ObjectKind::View:
            return "view";
    }
    return "";
}

DatabaseCatalogue readDatabaseCatalogue(MySqlSession& session, const std::string& database, bool whole_database) {
    DatabaseCatalogue catalogue;
    if (session.versionNumber() < kVersionSchemaObjects) return catalogue;
    const std::string db = escapeStringLiteral(database);

    {
        ResultPtr result = session.storeQuery(
            "SELECT EVENT_OBJECT_TABLE, TRIGGER_NAME FROM information_schema.TRIGGERS WHERE TRIGGER_SCHEMA='" + db +
            "' ORDER BY EVENT_OBJECT_TABLE, ACTION_ORDER");
        if (!result) {
            catalogue.warnings.push_back(listingFailed("triggers", database, session));
        } else {
            while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
                const unsigned long* lengths = mysql_fetch_lengths(result.get());
                catalogue.triggers[cell(row, lengths, 0)].push_back(cell(row, lengths, 1));
            }
        }
    }
    {
        ResultPtr result = session.storeQuery(
            "SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA='" + db +
            "' AND UPPER(ENGINE) IN ('MRG_MYISAM','MRG_ISAM')");
        if (result) {
            while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
                catalogue.merge_tables.insert(cell(row, mysql_fetch_lengths(result.get()), 0));
            }
        }
    }
    if (!whole_database) return catalogue;

    {
        ResultPtr result = session.storeQuery(
            "SELECT ROUTINE_TYPE, ROUTINE_NAME FROM information_schema.ROUTINES WHERE ROUTINE_SCHEMA='" + db +
            "' AND ROUTINE_TYPE IN ('FUNCTION','PROCEDURE') ORDER BY ROUTINE_TYPE, ROUTINE_NAME");
        if (!result) {
            catalogue.warnings.push_back(listingFailed("stored routines", database, session));
        } else {
            while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
                const unsigned long* lengths = mysql_fetch_lengths(result.get());
                const ObjectKind kind =
                    cell(row, lengths, 0) == "FUNCTION" ? ObjectKind::Function : ObjectKind::Procedure;
                catalogue.routines.emplace_back(kind, cell(row, lengths, 1));
            }
        }
    }
    if (session.versionNumber() >= kVersionEvents) {
        // SHOW EVENTS refuses an account without the EVENT right instead of
        // listing nothing, so a missing right is seen and reported.
        ResultPtr result = session.storeQuery("SHOW EVENTS FROM " + quoteName(database, true));
        if (!result) {
            catalogue.warnings.push_back(listingFailed("events", database, session));
        } else {
            const int name = columnIndex(result.get(), "Name");
            while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
                catalogue.events.push_back(cell(row, mysql_fetch_lengths(result.get()), name));
            }
            std::sort(catalogue.events.begin(), catalogue.events.end());
        }
    }
    return catalogue;
}

std::optional<SchemaObject> readSchemaObject(MySqlSession& session, ObjectKind kind, const std::string& name,
                                             std::string& reason) {
    const ShowCreate show = showCreateFor(kind);
    StoredBytes stored(session);
    ResultPtr result = session.storeQuery(show.statement + quoteName(name, true));
    if (!result) {
        reason = session.errorLogText();
        return std::nullopt;
    }
    MYSQL_ROW row = mysql_fetch_row(result.get());
    const int definition = columnIndex(result.get(), show.column);
    if (!row || definition < 0 || !row[definition]) {
        reason = "The account may not see its definition.";
        return std::nullopt;
    }
    const unsigned long* lengths = mysql_fetch_lengths(result.get());
    SchemaObject object;
    object.kind = kind;
    object.name = name;
    object.definition = cell(row, lengths, definition);
    object.sql_mode = cell(row, lengths, columnIndex(result.get(), "sql_mode"));
    object.charset_client = cell(row, lengths, columnIndex(result.get(), "character_set_client"));
    object.collation_connection = cell(row, lengths, columnIndex(result.get(), "collation_connection"));
    if (kind == ObjectKind::Event) object.time_zone = cell(row, lengths, columnIndex(result.get(), "time_zone"));
    return object;
}

std::optional<SchemaObject> readViewObject(MySqlSession& session, const std::string& name) {
    auto fetch = [&]() -> std::optional<SchemaObject> {
        ResultPtr result = session.storeQuery("SHOW CREATE TABLE " + quoteName(name, true));
        if (!result || mysql_num_fields(result.get()) < 2) return std::nullopt;
        MYSQL_ROW row = mysql_fetch_row(result.get());
        if (!row || !row[1]) return std::nullopt;
        const unsigned long* lengths = mysql_fetch_lengths(result.get());
        SchemaObject view;
        view.kind = ObjectKind::View;
        view.name = name;
        view.definition = joinedLines(std::string_view(row[1], lengths[1]));
        while (!view.definition.empty() && view.definition.back() == ';') view.definition.pop_back();
        view.charset_client = cell(row, lengths, columnIndex(result.get(), "character_set_client"));
        view.collation_connection = cell(row, lengths, columnIndex(result.get(), "collation_connection"));
        return view;
    };
    std::optional<SchemaObject> view = fetch();
    if (!view || view->charset_client.empty()) return view;
    std::string results;
    const bool had_results = session.queryValue("SELECT @@character_set_results", results);
    if (had_results && results == view->charset_client) return view;
    session.execute("SET CHARACTER_SET_RESULTS='" + escapeStringLiteral(view->charset_client) + "'");
    view = fetch();
    session.execute(had_results ? "SET CHARACTER_SET_RESULTS='" + escapeStringLiteral(results) + "'"
                                : std::string("SET CHARACTER_SET_RESULTS=NULL"));
    return view;
}

std::string dropObjectStatement(ObjectKind kind, const std::string& name, bool quote) {
    return std::string("DROP ") + keywordOf(kind) + " IF EXISTS " + quoteName(name, quote);
}

std::vector<std::string> objectSettingsBefore(const SchemaObject& object) {
    // A view keeps no SQL mode of its own, only character set settings.
    const bool view = object.kind == ObjectKind::View;
    if (view && object.charset_client.empty() && object.collation_connection.empty()) return {};
    std::vector<std::string> lines = {"SET @SAVED_CS_CLIENT=@@CHARACTER_SET_CLIENT",
                                      "SET @SAVED_CS_RESULTS=@@CHARACTER_SET_RESULTS",
                                      "SET @SAVED_COL_CONNECTION=@@COLLATION_CONNECTION"};
    if (!view) lines.push_back("SET @SAVED_SQL_MODE=@@SQL_MODE");
    const bool event = object.kind == ObjectKind::Event;
    if (event) lines.push_back("SET @SAVED_TIME_ZONE=@@TIME_ZONE");
    if (!object.charset_client.empty()) {
        const std::string cs = escapeStringLiteral(object.charset_client);
        lines.push_back("SET CHARACTER_SET_CLIENT='" + cs + "'");
        lines.push_back("SET CHARACTER_SET_RESULTS='" + cs + "'");
    }
    if (!object.collation_connection.empty()) {
        lines.push_back("SET COLLATION_CONNECTION='" + escapeStringLiteral(object.collation_connection) + "'");
    }
    if (!view) lines.push_back("SET SQL_MODE='" + escapeStringLiteral(object.sql_mode) + "'");
    if (event && !object.time_zone.empty()) {
        lines.push_back("SET TIME_ZONE='" + escapeStringLiteral(object.time_zone) + "'");
    }
    return lines;
}

std::vector<std::string> objectSettingsAfter(const SchemaObject& object) {
    const bool view = object.kind == ObjectKind::View;
    if (view && object.charset_client.empty() && object.collation_connection.empty()) return {};
    std::vector<std::string> lines;
    if (!view) lines.push_back("SET SQL_MODE=@SAVED_SQL_MODE");
    lines.insert(lines.end(), {"SET CHARACTER_SET_CLIENT=@SAVED_CS_CLIENT", "SET CHARACTER_SET_RESULTS=@SAVED_CS_RESULTS",
                               "SET COLLATION_CONNECTION=@SAVED_COL_CONNECTION"});
    if (object.kind == ObjectKind::Event) lines.push_back("SET TIME_ZONE=@SAVED_TIME_ZONE");
    return lines;
}

std::string blockDelimiter(const std::string& definition) {
    for (const char* candidate : {";;", "$$", "//", ";;;"}) {
        if (definition.find(candidate) == std::string::npos) return candidate;
    }
    for (int n = 1;; ++n) {
        const std::string candidate = "$kv" + std::to_string(n) + "$";
        if (definition.find(candidate) == std::string::npos) return candidate;
    }
}

std::vector<const CTableItem*> tablesInReplayOrder(const CDatabaseItem& database, const DatabaseCatalogue& catalogue) {
    std::vector<const CTableItem*> tables;
    for (const CTableItem& table : database.tables) {
        if (table.selected != 0) tables.push_back(&table);
    }
    std::stable_partition(tables.begin(), tables.end(),
                          [&](const CTableItem* table) { return !catalogue.merge_tables.contains(table->table); });
    return tables;
}

bool isMergeEngine(const std::string& engine, const std::string& create_text) {
    const std::string name = engineName(engine, create_text);
    return name == "MRG_MYISAM" || name == "MRG_ISAM";
}

bool isSequenceTable(const std::string& create_text) {
    return tableOption(create_text, "SEQUENCE=") == "1";
}

bool rowsLiveElsewhere(const std::string& engine, const std::string& create_text) {
    return isMergeEngine(engine, create_text) || engineName(engine, create_text) == "FEDERATED";
}

}  // namespace keelvault
