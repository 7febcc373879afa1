#pragma once

#include <mysql.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/model/task.h"

namespace keelvault {

class RunContext;

// Server version thresholds (the number the client library reports).
inline constexpr unsigned long kVersionQuoteNames = 32306;       // backquoted names
inline constexpr unsigned long kVersionShowCreateTable = 32320;  // SHOW CREATE TABLE text
inline constexpr unsigned long kVersionSetNames = 40100;         // SET NAMES, DEFAULT CHARACTER SET
inline constexpr unsigned long kVersionUtf8mb4 = 50503;          // utf8mb4 exists

// Client flags for mysql_real_connect: CLIENT_COMPRESS (32) with compression,
// CLIENT_SSL (2048) with SSL, nothing else.
unsigned long clientFlagsFor(const CServerSettings& settings);

// The character set a session talks in after the character-set step. From
// 50503 on the connection uses utf8mb4 whatever the default is, so that no
// character stored in a table is turned into '?'. Empty name, empty result.
std::string connectionCharsetFor(const std::string& default_charset, unsigned long version);

// The statements the character-set step sends for a default character set:
// below 40100 the three SET CHARACTER_SET_* statements, from 40100 on
// SET NAMES, each naming connectionCharsetFor(). None for an empty name.
std::vector<std::string> charsetStatements(const std::string& default_charset, unsigned long version);

// Result of the character-set step.
struct CharsetStep {
    std::string name;        // the server's or database's default character set, trimmed; may be empty
    std::string connection;  // what the connection was set to; empty when nothing was sent
};

// Kind of a catalogue name, as stored in CTableItem::kind.
inline constexpr uint8_t kKindUnknown = 0;
inline constexpr uint8_t kKindTable = 1;
inline constexpr uint8_t kKindView = 2;

struct TableEntry {
    std::string name;
    uint8_t kind = kKindUnknown;
};

struct ResultFree {
    void operator()(MYSQL_RES* result) const {
        if (result) mysql_free_result(result);
    }
};
using ResultPtr = std::unique_ptr<MYSQL_RES, ResultFree>;

// Where a connection failure is logged from.
enum class ServerRole { Server, Source, Destination };

// Log lines of the worker threads and texts of the dialogs.
std::string connectFailedLogText(unsigned int error_number, const std::string& error_text,
                                 ServerRole role = ServerRole::Server);
std::string connectSucceededLogText(const std::string& version_text);
std::string connectFailedDialogText(unsigned int error_number, const std::string& error_text);
std::string connectSucceededDialogText(const std::string& version_text);
// The server's reason for a failed statement, as the warning line after it:
// "Error NO. %d  %s".
std::string serverErrorLogText(unsigned int error_number, const std::string& error_text);

// One client connection to a MySQL server, used by one thread only.
class MySqlSession {
public:
    MySqlSession() = default;
    ~MySqlSession();
    MySqlSession(const MySqlSession&) = delete;
    MySqlSession& operator=(const MySqlSession&) = delete;

    // Called with the handle right after mysql_init and right before
    // mysql_close, so a worker can have blocking calls cancelled.
    void setConnectionHooks(std::function<void(MYSQL*)> on_init, std::function<void(MYSQL*)> before_close);
    // The hooks that register the handle with a run's connections.
    void registerWith(RunContext& context);

    // Connects (closing any earlier connection first). On failure the handle
    // is closed and errorNumber()/errorText() hold the library's error.
    bool open(const CServerSettings& settings);
    void close();
    bool isOpen() const { return mysql_ != nullptr; }
    MYSQL* native() const { return mysql_; }

    unsigned int errorNumber() const;
    std::string errorText() const;
    // serverErrorLogText() of the last error.
    std::string errorLogText() const { return serverErrorLogText(errorNumber(), errorText()); }

    std::string versionText() const;
    // The reported version, or the override when one is set.
    unsigned long versionNumber() const;
    // Makes the session act for a server of this version (0 removes it);
    // kept across open and close.
    void setVersionOverride(unsigned long version) { version_override_ = version; }
    // Backquoted names allowed at all (option 4 decides from here on).
    bool quotingAllowed() const { return versionNumber() >= kVersionQuoteNames; }

    // The character-set step, at server level or, after selectDatabase, at
    // database level. Never fails: an unknown set leaves the session as it was.
    CharsetStep applyServerCharset();
    CharsetStep applyDatabaseCharset();

    bool selectDatabase(const std::string& database);
    // Every database name, in server order; false when the listing fails.
    bool listDatabases(std::vector<std::string>& names);
    // Every table and view of the selected database with its kind.
    bool listTables(std::vector<TableEntry>& tables);
    // Kind from SHOW CREATE TABLE: 1 table, 2 view, 0 on failure or anything else.
    uint8_t tableKind(const std::string& name);

    // Sends one statement and discards whatever it returns.
    bool execute(const std::string& sql);
    // Sends a query and takes its whole result (store) or opens it row by row
    // (use). Null on failure or when the statement returns no rows.
    ResultPtr storeQuery(const std::string& sql);
    ResultPtr useQuery(const std::string& sql);
    // First column of the first row; false on failure, no row or NULL.
    bool queryValue(const std::string& sql, std::string& value);
    // The largest packet the server takes (max_allowed_packet); 0 when unknown.
    unsigned long long maxAllowedPacket();

private:
    CharsetStep applyCharset(const char* query);
    void keepError();

    MYSQL* mysql_ = nullptr;
    unsigned long version_override_ = 0;
    unsigned int error_number_ = 0;
    std::string error_text_;
    std::function<void(MYSQL*)> on_init_;
    std::function<void(MYSQL*)> before_close_;
};

}  // namespace keelvault
