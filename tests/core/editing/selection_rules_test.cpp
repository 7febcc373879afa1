#include <gtest/gtest.h>

#include "check_expect.h"
#include "core/editing/database_choice_rules.h"
#include "core/editing/database_selection_rules.h"

namespace keelvault {
namespace {

using test::accepted;
using test::refused;

CTableItem table(const std::string& name, uint8_t selected, uint8_t kind = 1) {
    return CTableItem{selected, kind, "shop", name};
}

TEST(ChooseDatabasesRules, TreeStatesBecomeTheStoredSelection) {
    ChooseDatabasesTexts texts;
    // Partly checked with one checked table, fully checked, unchecked with a stale table mark.
    texts.tree = {
        CDatabaseItem{1, "shop", {table("orders", 2), table("items", 0), table("v_sales", 1, 2)}},
        CDatabaseItem{2, "crm", {table("people", 2), table("notes", 2)}},
        CDatabaseItem{0, "logs", {table("events", 2)}},
    };
    const auto result = checkChooseDatabases(texts);
    ASSERT_TRUE(accepted(result));
    const auto& stored = result.value().databases;
    ASSERT_EQ(stored.size(), 3u);  // unchosen databases stay in the list
    EXPECT_EQ(stored[0].selected, 1);
    EXPECT_EQ(stored[0].tables[0].selected, 2);
    EXPECT_EQ(stored[0].tables[1].selected, 0);
    EXPECT_EQ(stored[0].tables[2].selected, 2);  // a partly checked child counts as chosen
    EXPECT_EQ(stored[1].selected, 2);
    EXPECT_EQ(stored[1].tables[1].selected, 2);
    EXPECT_EQ(stored[2].selected, 0);
    EXPECT_EQ(stored[2].tables[0].selected, 0);
    EXPECT_TRUE(result.value().question.empty());
}

TEST(ChooseDatabasesRules, StructureOrRecordsThenSomethingChosen) {
    ChooseDatabasesTexts texts;
    texts.tree = {CDatabaseItem{0, "shop", {table("orders", 0)}}};
    texts.structure = false;
    texts.records = false;
    EXPECT_TRUE(refused(checkChooseDatabases(texts), "Please choose the table structure or records!",
                        SelectionField::StructureRecords));
    texts.records = true;
    EXPECT_TRUE(refused(checkChooseDatabases(texts), "Please choose the source databases or tables!",
                        SelectionField::Selection));
    texts.new_databases = true;
    const auto result = checkChooseDatabases(texts);
    ASSERT_TRUE(accepted(result));
    EXPECT_EQ(result.value().question,
              "You did not choose any databases.\nDo you want to backup all newly-created databases on the server?");
}

TEST(ChooseTablesRules, OneEntryNamedAfterTheSourceDatabase) {
    ChooseTablesTexts texts;
    texts.source_database = "shop";
    texts.tables = {table("orders", 2), table("items", 0)};
    auto result = checkChooseTables(texts);
    ASSERT_TRUE(accepted(result));
    EXPECT_EQ(result.value().database.name, "shop");
    EXPECT_EQ(result.value().database.selected, 1);
    EXPECT_EQ(result.value().database.tables.size(), 2u);

    texts.tables[1].selected = 1;
    result = checkChooseTables(texts);
    ASSERT_TRUE(accepted(result));
    EXPECT_EQ(result.value().database.selected, 2);
    EXPECT_EQ(result.value().database.tables[1].selected, 2);
}

TEST(ChooseTablesRules, NothingSelected) {
    ChooseTablesTexts texts;
    texts.source_database = "shop";
    texts.tables = {table("orders", 0)};
    texts.structure = false;
    texts.records = false;
    EXPECT_TRUE(refused(checkChooseTables(texts), "Please choose the table structure or records!",
                        SelectionField::StructureRecords));
    texts.structure = true;
    EXPECT_TRUE(refused(checkChooseTables(texts), "Please choose the source tables!", SelectionField::SourceTables));
    texts.new_tables = true;
    auto result = checkChooseTables(texts);
    ASSERT_TRUE(accepted(result));
    EXPECT_EQ(result.value().question,
              "You did not choose any tables.\nDo you want to backup all newly-created tables in the source database?");
    EXPECT_EQ(result.value().database.selected, 1);
    texts.tables.clear();  // an empty list counts as all selected
    result = checkChooseTables(texts);
    ASSERT_TRUE(accepted(result));
    EXPECT_EQ(result.value().database.selected, 2);
}

TEST(ExportTablesRules, MoveButtonsAndNext) {
    EXPECT_TRUE(refused(checkMoveToExport(0, false), "Please choose the source tables!", SelectionField::SourceTables));
    EXPECT_TRUE(refused(checkMoveToExport(2, false), "Please choose the databases!", SelectionField::SourceDatabase));
    EXPECT_TRUE(accepted(checkMoveToExport(2, true)));
    EXPECT_TRUE(refused(checkMoveBackFromExport(0), "Please choose the export tables!", SelectionField::ExportTables));
    EXPECT_TRUE(accepted(checkMoveBackFromExport(1)));
    EXPECT_TRUE(refused(checkExportTables({}), "Please choose the export tables!", SelectionField::ExportTables));
    EXPECT_TRUE(accepted(checkExportTables({table("orders", 2)})));
}

ServerBlockTexts block(const std::string& host, const std::string& port) {
    ServerBlockTexts texts;
    texts.host = host;
    texts.port = port;
    texts.user = "root";
    return texts;
}

TEST(SourceDatabaseRules, BlockThenDatabase) {
    EXPECT_TRUE(refused(checkSourceDatabasePage({block("", "3306"), "shop"}),
                        "Please input the Host name or IP address!", DatabasePageField::Host));
    EXPECT_TRUE(refused(checkSourceDatabasePage({block("db1", "0"), "shop"}),
                        "Please input a number between 1 and 65535!", DatabasePageField::Port));
    EXPECT_TRUE(refused(checkSourceDatabasePage({block("db1", "3306"), std::nullopt}),
                        "Please choose a source database!", DatabasePageField::DatabaseList));
    EXPECT_TRUE(refused(checkSourceDatabasePage({block("db1", "3306"), ""}), "The database name is empty!",
                        DatabasePageField::DatabaseList));
    const auto result = checkSourceDatabasePage({block("db1", "3306"), "shop"});
    ASSERT_TRUE(accepted(result));
    EXPECT_EQ(result.value().database, "shop");
    EXPECT_EQ(result.value().host, "db1");
}

TEST(DestinationDatabaseRules, ChoiceChecks) {
    CServerSettings source;
    source.host = "db1";
    source.port = 3306;
    source.database = "shop";
    const std::string invalid = "There are some invalid characters \n('/', '\\', or '.') \nin the database name!";
    struct Case {
        DestinationChoice choice;
        std::optional<std::string> existing;
        std::string new_name;
        const char* message;
        DatabasePageField focus;
    };
    const std::vector<Case> cases = {
        {DestinationChoice::None, "copy", "copy", "Please choose the destination database!", DatabasePageField::Choice},
        {DestinationChoice::Existing, std::nullopt, "", "Please choose a destination database!",
         DatabasePageField::DatabaseList},
        {DestinationChoice::Existing, "", "", "The database name is empty!", DatabasePageField::DatabaseList},
        {DestinationChoice::New, "copy", "", "Please input the new database name!", DatabasePageField::NewDatabaseName},
        {DestinationChoice::New, std::nullopt, "shop.copy", invalid.c_str(), DatabasePageField::NewDatabaseName},
        {DestinationChoice::New, std::nullopt, "shop/copy", invalid.c_str(), DatabasePageField::NewDatabaseName},
        {DestinationChoice::New, std::nullopt, "shop\\copy", invalid.c_str(), DatabasePageField::NewDatabaseName},
        {DestinationChoice::Existing, "shop", "", "The destination database can't same as the source database!",
         DatabasePageField::DatabaseList},
        {DestinationChoice::New, std::nullopt, "shop", "The destination database can't same as the source database!",
         DatabasePageField::NewDatabaseName},
    };
    for (const Case& c : cases) {
        DestinationDatabaseTexts texts{block("db1", "3306"), c.choice, c.existing, c.new_name};
        EXPECT_TRUE(refused(checkDestinationDatabasePage(texts, source), c.message, c.focus)) << c.new_name;
    }
}

TEST(DestinationDatabaseRules, AcceptedChoicesFillServerAndOptions) {
    CServerSettings source;
    source.host = "db1";
    source.port = 3306;
    source.database = "shop";

    // The proposal with its placeholders stands as it is.
    DestinationDatabaseTexts fresh{block("db1", "3306"), DestinationChoice::New, std::nullopt,
                                   kNewDatabaseNameProposal};
    auto result = checkDestinationDatabasePage(fresh, source);
    ASSERT_TRUE(accepted(result));
    EXPECT_EQ(result.value().new_database, 1);
    EXPECT_EQ(result.value().destination_database, "%DATABASE%_%DATE%_%TIME%");
    EXPECT_EQ(result.value().server.database, "%DATABASE%_%DATE%_%TIME%");

    // Same server, another database; and the same name on another port or with other letter case.
    for (auto [port, name] : {std::pair{"3306", "shop_copy"}, {"3307", "shop"}, {"3306", "Shop"}}) {
        DestinationDatabaseTexts texts{block("db1", port), DestinationChoice::Existing, name, ""};
        result = checkDestinationDatabasePage(texts, source);
        ASSERT_TRUE(accepted(result)) << port << " " << name;
        EXPECT_EQ(result.value().new_database, 0);
        EXPECT_EQ(result.value().destination_database, name);
        EXPECT_EQ(result.value().server.database, name);
    }
}

}  // namespace
}  // namespace keelvault
