#include "core/editing/database_selection_rules.h"

namespace keelvault {

namespace {

constexpr const char* kChooseStructureOrRecords = "Please choose the table structure or records!";
constexpr const char* kChooseSourceTables = "Please choose the source tables!";
constexpr const char* kChooseExportTables = "Please choose the export tables!";

uint8_t chosenOrNot(uint8_t state) {
    return state != 0 ? 2 : 0;
}

}  // namespace

CheckResult<ChosenDatabases, SelectionField> checkChooseDatabases(const ChooseDatabasesTexts& texts) {
    if (!texts.structure && !texts.records) return refuse(kChooseStructureOrRecords, SelectionField::StructureRecords);

    ChosenDatabases chosen;
    chosen.databases = texts.tree;
    bool any = false;
    for (CDatabaseItem& database : chosen.databases) {
        if (database.selected > 2) database.selected = 2;
        for (CTableItem& table : database.tables) {
            table.selected = database.selected == 0 ? 0 : chosenOrNot(table.selected);
        }
        any = any || database.selected != 0;
    }
    if (!any) {
        if (!texts.new_databases) {
            return refuse("Please choose the source databases or tables!", SelectionField::Selection);
        }
        chosen.question =
            "You did not choose any databases.\nDo you want to backup all newly-created databases on the server?";
    }
    return chosen;
}

CheckResult<ChosenTables, SelectionField> checkChooseTables(const ChooseTablesTexts& texts) {
    if (!texts.structure && !texts.records) return refuse(kChooseStructureOrRecords, SelectionField::StructureRecords);

    ChosenTables chosen;
    chosen.database.name = texts.source_database;
    chosen.database.tables = texts.tables;
    size_t selected = 0;
    for (CTableItem& table : chosen.database.tables) {
        table.selected = chosenOrNot(table.selected);
        if (table.selected != 0) ++selected;
    }
    chosen.database.selected = selected == chosen.database.tables.size() ? 2 : 1;
    if (selected == 0) {
        if (!texts.new_tables) return refuse(kChooseSourceTables, SelectionField::SourceTables);
        chosen.question =
            "You did not choose any tables.\nDo you want to backup all newly-created tables in the source database?";
    }
    return chosen;
}

CheckResult<Accepted, SelectionField> checkMoveToExport(size_t selected_source_tables, bool database_chosen) {
    if (selected_source_tables == 0) return refuse(kChooseSourceTables, SelectionField::SourceTables);
    if (!database_chosen) return refuse("Please choose the databases!", SelectionField::SourceDatabase);
    return Accepted{};
}

CheckResult<Accepted, SelectionField> checkMoveBackFromExport(size_t selected_export_tables) {
    if (selected_export_tables == 0) return refuse(kChooseExportTables, SelectionField::ExportTables);
    return Accepted{};
}

CheckResult<std::vector<CTableItem>, SelectionField> checkExportTables(const std::vector<CTableItem>& export_tables) {
    if (export_tables.empty()) return refuse(kChooseExportTables, SelectionField::ExportTables);
    return export_tables;
}

}  // namespace keelvault
