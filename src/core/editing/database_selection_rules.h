#pragma once

#include <string>
#include <vector>

#include "core/editing/check_result.h"
#include "core/model/task.h"

namespace keelvault {

// The pages that choose what a task works on: the databases tree (backup,
// copy and restore by server), the source tables list (database to
// database) and the export tables lists.
enum class SelectionField { StructureRecords, Selection, SourceTables, SourceDatabase, ExportTables };

struct ChooseDatabasesTexts {
    bool structure = true;
    bool records = true;
    // "Backup all newly-created databases on the MySQL server" as shown; the
    // restore kind hides the box, and its page passes false.
    bool new_databases = false;
    // The tree read back: each database and table with its check image less
    // one (0 unchecked, 1 partly checked, 2 checked).
    std::vector<CDatabaseItem> tree;
};

struct ChosenDatabases {
    // Every entry, chosen or not; an unchecked database loses its tables'
    // choices, the tables of a chosen one are 2 or 0.
    std::vector<CDatabaseItem> databases;
    // Set when nothing was chosen but new databases are taken: the wizard asks
    // it (Yes/No) before going on; the edit sheet goes on without asking.
    std::string question;
};

CheckResult<ChosenDatabases, SelectionField> checkChooseDatabases(const ChooseDatabasesTexts& texts);

struct ChooseTablesTexts {
    bool structure = true;
    bool records = true;
    bool new_tables = false;         // "Backup all newly-created tables in the source database"
    std::vector<CTableItem> tables;  // every listed table, `selected` non-zero for a selected line
    std::string source_database;
};

struct ChosenTables {
    // The one entry the selection becomes: named after the source database,
    // state 2 when every listed table is selected (also when none is
    // listed), else 1.
    CDatabaseItem database;
    std::string question;  // as for ChosenDatabases
};

CheckResult<ChosenTables, SelectionField> checkChooseTables(const ChooseTablesTexts& texts);

// ">": needs selected source tables, then a chosen database.
CheckResult<Accepted, SelectionField> checkMoveToExport(size_t selected_source_tables, bool database_chosen);
// "<": needs selected export tables.
CheckResult<Accepted, SelectionField> checkMoveBackFromExport(size_t selected_export_tables);
// Next: the export list must not be empty.
CheckResult<std::vector<CTableItem>, SelectionField> checkExportTables(const std::vector<CTableItem>& export_tables);

}  // namespace keelvault
