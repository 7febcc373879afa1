#include "core/engine/selection_resolver.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "core/engine/mysql_session.h"

namespace keelvault {

namespace {

// The server's own catalogues: no statement can create them, so a copy of
// one could never be replayed or written anywhere.
bool isVirtualSchema(const std::string& name) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower == "information_schema" || lower == "performance_schema";
}

std::vector<CDatabaseItem> readCatalogue(MySqlSession& session) {
    std::vector<CDatabaseItem> catalogue;
    std::vector<std::string> names;
    if (!session.listDatabases(names)) return catalogue;
    for (const std::string& name : names) {
        CDatabaseItem database;
        database.selected = kSelectedFromServer;
        database.name = name;
        std::vector<TableEntry> tables;
        if (session.selectDatabase(name) && session.listTables(tables)) {
            for (const TableEntry& table : tables) {
                database.tables.push_back(CTableItem{kSelectedFromServer, table.kind, name, table.name});
            }
        }
        catalogue.push_back(std::move(database));
    }
    return catalogue;
}

}  // namespace

std::vector<CDatabaseItem> resolveSelection(MySqlSession& session, const std::vector<CDatabaseItem>& stored,
                                            bool new_tables, bool new_databases) {
    std::vector<CDatabaseItem> working = stored;
    if (!new_tables && !new_databases) return working;
    const std::vector<CDatabaseItem> catalogue = readCatalogue(session);
    const size_t stored_count = working.size();
    for (const CDatabaseItem& live : catalogue) {
        const auto end = working.begin() + static_cast<std::ptrdiff_t>(stored_count);
        const auto found =
            std::find_if(working.begin(), end, [&live](const CDatabaseItem& item) { return item.name == live.name; });
        if (found == end) {
            if (new_databases && !isVirtualSchema(live.name)) working.push_back(live);
            continue;
        }
        if (!new_tables) continue;
        // Tables appended here were not in the stored entry; compare against
        // the stored tables only.
        const size_t stored_tables = found->tables.size();
        for (const CTableItem& table : live.tables) {
            const auto tables_end = found->tables.begin() + static_cast<std::ptrdiff_t>(stored_tables);
            const bool known = std::any_of(found->tables.begin(), tables_end, [&](const CTableItem& item) {
                return item.table == table.table && (item.database.empty() || item.database == table.database);
            });
            if (!known) found->tables.push_back(table);
        }
    }
    return working;
}

}  // namespace keelvault
