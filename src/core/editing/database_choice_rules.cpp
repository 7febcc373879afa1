#include "core/editing/database_choice_rules.h"

namespace keelvault {

namespace {

constexpr const char* kDatabaseNameEmpty = "The database name is empty!";

CheckFailure<DatabasePageField> blockFailure(const CheckFailure<ServerBlockField>& failure) {
    return refuse(failure.message,
                  failure.focus == ServerBlockField::Port ? DatabasePageField::Port : DatabasePageField::Host);
}

}  // namespace

CheckResult<CServerSettings, DatabasePageField> checkSourceDatabasePage(const SourceDatabaseTexts& texts) {
    auto block = checkServerBlock(texts.server);
    if (!block) return blockFailure(block.failure());
    if (!texts.database) return refuse("Please choose a source database!", DatabasePageField::DatabaseList);
    if (texts.database->empty()) return refuse(kDatabaseNameEmpty, DatabasePageField::DatabaseList);
    CServerSettings server = block.value();
    server.database = *texts.database;
    return server;
}

CheckResult<DestinationDatabase, DatabasePageField> checkDestinationDatabasePage(const DestinationDatabaseTexts& texts,
                                                                                 const CServerSettings& source) {
    auto block = checkServerBlock(texts.server);
    if (!block) return blockFailure(block.failure());

    DestinationDatabase destination;
    destination.server = block.value();
    DatabasePageField name_field = DatabasePageField::DatabaseList;
    switch (texts.choice) {
        case DestinationChoice::Existing:
            if (!texts.existing) {
                return refuse("Please choose a destination database!", DatabasePageField::DatabaseList);
            }
            if (texts.existing->empty()) return refuse(kDatabaseNameEmpty, DatabasePageField::DatabaseList);
            destination.destination_database = *texts.existing;
            break;
        case DestinationChoice::New:
            name_field = DatabasePageField::NewDatabaseName;
            if (texts.new_name.empty()) {
                return refuse("Please input the new database name!", DatabasePageField::NewDatabaseName);
            }
            if (texts.new_name.find_first_of("/\\.") != std::string::npos) {
                return refuse("There are some invalid characters \n('/', '\\', or '.') \nin the database name!",
                              DatabasePageField::NewDatabaseName);
            }
            destination.new_database = 1;
            destination.destination_database = texts.new_name;
            break;
        case DestinationChoice::None:
            return refuse("Please choose the destination database!", DatabasePageField::Choice);
    }
    if (destination.server.host == source.host && destination.server.port == source.port &&
        destination.destination_database == source.database) {
        return refuse("The destination database can't same as the source database!", name_field);
    }
    destination.server.database = destination.destination_database;
    return destination;
}

}  // namespace keelvault
