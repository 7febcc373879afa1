#pragma once

#include <optional>
#include <string>

#include "core/editing/check_result.h"
#include "core/editing/server_block_rules.h"
#include "core/model/task.h"

namespace keelvault {

// The source and destination database pages: a server block and a database.
enum class DatabasePageField { Host, Port, DatabaseList, NewDatabaseName, Choice };

// What "Create a new database" fills into an empty name edit.
inline constexpr const char* kNewDatabaseNameProposal = "%DATABASE%_%DATE%_%TIME%";

struct SourceDatabaseTexts {
    ServerBlockTexts server;
    std::optional<std::string> database;  // the list's selection; nullopt when none
};

// The accepted source server carries the database name.
CheckResult<CServerSettings, DatabasePageField> checkSourceDatabasePage(const SourceDatabaseTexts& texts);

enum class DestinationChoice { None, Existing, New };

struct DestinationDatabaseTexts {
    ServerBlockTexts server;
    DestinationChoice choice = DestinationChoice::None;
    std::optional<std::string> existing;  // the list's selection ("Choose a existent database")
    std::string new_name;                 // the name edit ("Create a new database")
};

struct DestinationDatabase {
    CServerSettings server;  // with the database name
    uint8_t new_database = 0;
    std::string destination_database;
};

// Checks the block, then the choice, then that the destination is not the
// source database itself (host, port and name equal, names compared exactly).
CheckResult<DestinationDatabase, DatabasePageField> checkDestinationDatabasePage(const DestinationDatabaseTexts& texts,
                                                                                 const CServerSettings& source);

}  // namespace keelvault
