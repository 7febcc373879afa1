#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "core/model/task.h"
#include "core/scheduler/run_context.h"

namespace keelvault {

// The server calls of the pages and dialogs: the connection test and the
// catalogue of databases and tables. They block, so the desktop runs them on
// a worker thread; a ServerCallControl lets the interface give up on one.

// Interactive connections give up after this long instead of hanging on a
// host that never answers.
inline constexpr unsigned kInteractiveTimeoutSeconds = 10;

// Shared by the interface thread and the worker running one call.
class ServerCallControl {
public:
    explicit ServerCallControl(unsigned timeout_seconds = kInteractiveTimeoutSeconds) : timeout_(timeout_seconds) {}

    // Asks the call to stop: blocking calls on its connections return at once.
    void cancel();
    bool cancelled() const { return cancelled_.load(); }
    unsigned timeoutSeconds() const { return timeout_; }
    ConnectionRegistry& connections() { return connections_; }

private:
    unsigned timeout_;
    std::atomic<bool> cancelled_{false};
    ConnectionRegistry connections_;
};

enum class ServerCallFailure { None, Connect, UseDatabase, Cancelled };

struct ServerCallError {
    ServerCallFailure failure = ServerCallFailure::None;
    unsigned int number = 0;
    std::string text;

    bool ok() const { return failure == ServerCallFailure::None; }
};

struct ConnectionTest {
    ServerCallError error;
    std::string version;  // the server's version text
};

// Opens a session with exactly these settings and closes it again.
ConnectionTest testServerConnection(const CServerSettings& settings, ServerCallControl& control);

// What the server pages cache for the selection pages.
struct ServerCatalogue {
    std::vector<CDatabaseItem> databases;     // database entries with their tables, nothing chosen
    std::vector<std::string> database_names;  // flat: every database name
    std::vector<CTableItem> tables;           // flat: every table with its database name
};

enum class CatalogueShape { DatabaseEntries, FlatLists };

// The shape a source server page loads for a task type: entries for the
// backup and restore-by-server types, flat lists for an export; nothing for
// any other type.
std::optional<CatalogueShape> catalogueShapeFor(int task_type);

struct CatalogueLoad {
    ServerCallError error;
    ServerCatalogue catalogue;
};

// Connects, applies the server-level character-set step, lists the databases
// and, for each one that can be selected, applies the database-level step and
// lists its tables with their kinds. A database that cannot be selected is
// skipped silently (its entry stays, without tables).
CatalogueLoad loadServerCatalogue(const CServerSettings& settings, CatalogueShape shape, ServerCallControl& control);

// The databases of a server (the database lists of the database pages).
CatalogueLoad loadDatabaseNames(const CServerSettings& settings, ServerCallControl& control);

// The tables of one database as a flat list (the source database page); a
// database that cannot be selected fails with UseDatabase.
CatalogueLoad loadDatabaseTables(const CServerSettings& settings, const std::string& database,
                                 ServerCallControl& control);

// "Failed to use the database!\n\nError NO. %d\n%s".
std::string useDatabaseFailedText(unsigned int error_number, const std::string& error_text);

}  // namespace keelvault
