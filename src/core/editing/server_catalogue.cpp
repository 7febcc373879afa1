#include "core/editing/server_catalogue.h"

#include <mysql.h>

#include "core/engine/mysql_session.h"

namespace keelvault {

namespace {

// A session whose handle gets the interactive time-outs and is registered
// with the call, so that a cancel reaches it.
class InteractiveSession {
public:
    explicit InteractiveSession(ServerCallControl& control) : control_(control) {
        session_.setConnectionHooks(
            [&control](MYSQL* mysql) {
                const unsigned int seconds = control.timeoutSeconds();
                mysql_options(mysql, MYSQL_OPT_CONNECT_TIMEOUT, &seconds);
                mysql_options(mysql, MYSQL_OPT_READ_TIMEOUT, &seconds);
                mysql_options(mysql, MYSQL_OPT_WRITE_TIMEOUT, &seconds);
                control.connections().add(mysql);
            },
            [&control](MYSQL* mysql) { control.connections().remove(mysql); });
    }

    bool open(const CServerSettings& settings, ServerCallError& error) {
        if (control_.cancelled()) return cancelled(error);
        if (session_.open(settings)) return true;
        if (control_.cancelled()) return cancelled(error);
        error = {ServerCallFailure::Connect, session_.errorNumber(), session_.errorText()};
        return false;
    }

    bool cancelled(ServerCallError& error) const {
        if (!control_.cancelled()) return false;
        error = {ServerCallFailure::Cancelled, 0, {}};
        return true;
    }

    MySqlSession& operator*() { return session_; }
    MySqlSession* operator->() { return &session_; }

private:
    ServerCallControl& control_;
    MySqlSession session_;
};

std::vector<CTableItem> tableItems(const std::string& database, const std::vector<TableEntry>& entries) {
    std::vector<CTableItem> items;
    items.reserve(entries.size());
    for (const TableEntry& entry : entries) items.push_back(CTableItem{0, entry.kind, database, entry.name});
    return items;
}

// Cancelling closes the connection under the call, which the listings see as
// a failure; report it as what it is.
CatalogueLoad finished(CatalogueLoad load, InteractiveSession& session) {
    session.cancelled(load.error);
    if (!load.error.ok()) load.catalogue = {};
    session->close();
    return load;
}

}  // namespace

void ServerCallControl::cancel() {
    cancelled_.store(true);
    connections_.cancelAll();
}

ConnectionTest testServerConnection(const CServerSettings& settings, ServerCallControl& control) {
    ConnectionTest test;
    InteractiveSession session(control);
    if (!session.open(settings, test.error)) return test;
    test.version = session->versionText();
    session->close();
    session.cancelled(test.error);
    return test;
}

std::optional<CatalogueShape> catalogueShapeFor(int task_type) {
    switch (task_type) {
        case kTypeBackupToFiles:
        case kTypeBackupToServer:
        case kTypeRestoreFromServer:
            return CatalogueShape::DatabaseEntries;
        case kTypeExport:
            return CatalogueShape::FlatLists;
        default:
            return std::nullopt;
    }
}

CatalogueLoad loadServerCatalogue(const CServerSettings& settings, CatalogueShape shape, ServerCallControl& control) {
    CatalogueLoad load;
    InteractiveSession session(control);
    if (!session.open(settings, load.error)) return load;
    session->applyServerCharset();
    std::vector<std::string> names;
    session->listDatabases(names);
    ServerCatalogue& catalogue = load.catalogue;
    for (const std::string& name : names) {
        if (shape == CatalogueShape::DatabaseEntries) {
            catalogue.databases.push_back(CDatabaseItem{0, name, {}});
        } else {
            catalogue.database_names.push_back(name);
        }
    }
    for (size_t i = 0; i < names.size(); ++i) {
        if (control.cancelled()) break;
        if (!session->selectDatabase(names[i])) continue;
        session->applyDatabaseCharset();
        std::vector<TableEntry> entries;
        session->listTables(entries);
        std::vector<CTableItem> items = tableItems(names[i], entries);
        if (shape == CatalogueShape::DatabaseEntries) {
            catalogue.databases[i].tables = std::move(items);
        } else {
            catalogue.tables.insert(catalogue.tables.end(), items.begin(), items.end());
        }
    }
    return finished(std::move(load), session);
}

CatalogueLoad loadDatabaseNames(const CServerSettings& settings, ServerCallControl& control) {
    CatalogueLoad load;
    InteractiveSession session(control);
    if (!session.open(settings, load.error)) return load;
    session->applyServerCharset();
    session->listDatabases(load.catalogue.database_names);
    return finished(std::move(load), session);
}

CatalogueLoad loadDatabaseTables(const CServerSettings& settings, const std::string& database,
                                 ServerCallControl& control) {
    CatalogueLoad load;
    InteractiveSession session(control);
    if (!session.open(settings, load.error)) return load;
    session->applyServerCharset();
    if (!session->selectDatabase(database)) {
        load.error = {ServerCallFailure::UseDatabase, session->errorNumber(), session->errorText()};
        return finished(std::move(load), session);
    }
    session->applyDatabaseCharset();
    std::vector<TableEntry> entries;
    session->listTables(entries);
    load.catalogue.tables = tableItems(database, entries);
    return finished(std::move(load), session);
}

std::string useDatabaseFailedText(unsigned int error_number, const std::string& error_text) {
    return "Failed to use the database!\n\nError NO. " + std::to_string(error_number) + "\n" + error_text;
}

}  // namespace keelvault
