#pragma once

#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine/backup_digests.h"
#include "core/model/task.h"

namespace keelvault {

class ConnectionRegistry;

// What verifying one backup needs: the backup's record, where it came from
// (so that nothing is ever written there) and the server to restore it on.
struct VerifyRequest {
    CBackupRecord record;
    CServerSettings source;                     // the backup task's source server
    std::vector<std::string> source_databases;  // the databases the task backs up
    CServerSettings target;                     // where the scratch databases go
};
VerifyRequest verifyRequestFor(const CTask& task, const CBackupRecord& record, const CServerSettings& target);

enum class TableVerdict { Equal, RowsDiffer, ValuesDiffer, Missing };

struct TableCheck {
    TableDigestEntry expected;
    TableVerdict verdict = TableVerdict::Missing;
    uint64_t rows_read = 0;

    // "equal", "different: rows 999 of 1000", "different: values", "missing".
    std::string verdictText() const;
    // "database.table: " + verdictText().
    std::string lineText() const;
};

enum class VerifyStatus {
    Equal,      // every recorded table came back equal
    Different,  // at least one table differs or is missing
    Failed,     // the backup could not be verified at all (see error)
    Canceled,
};

struct VerifyReport {
    VerifyStatus status = VerifyStatus::Failed;
    std::string error;  // why, when Failed
    std::vector<TableCheck> tables;
    std::string summary;
};

// Where a verify reports as it goes, and how it is stopped. `line` gets
// every line with a log level (kLogInfo, kLogWarning, kLogError); it may be
// called from the verifying thread only.
struct VerifyHooks {
    std::function<void(uint8_t level, const std::string& text)> line;
    std::stop_token stop;
    // The connection is registered here while it is open, so a stop can
    // cancel a blocking server call.
    ConnectionRegistry* connections = nullptr;
};

// Restores the record's files into scratch databases on the target server
// (names that exist nowhere there, "kv_verify_<pid>_<n>_<database>"), reads
// every recorded table back through the dump writer's value formatter and
// compares row counts and digests with the recorded ones. Only tables and
// rows are restored: views, triggers, routines and events are skipped. The
// scratch databases are dropped however the verify ends.
VerifyReport verifyBackup(const VerifyRequest& request, const VerifyHooks& hooks);

// How a backup-file statement is treated while verifying. Exposed for tests.
enum class VerifyAction {
    Run,             // session setting, table or row statement of the current database
    CreateDatabase,  // `name` gets a scratch database; `tail` is the rest (character set)
    UseDatabase,
    DropDatabase,
    Qualified,  // names a table of the database `name` directly: never run
    Skip,       // views, triggers, routines, events, global settings, anything else
};
struct ClassifiedStatement {
    VerifyAction action = VerifyAction::Skip;
    std::string name;
    std::string tail;
    bool table_statement = false;  // Run: works on a table of the current database
};
ClassifiedStatement classifyVerifyStatement(std::string_view statement);

// "kv_verify_<pid>_<n>_<database>", cut to 64 bytes without splitting a character.
std::string scratchDatabaseName(long pid, int n, const std::string& database);

}  // namespace keelvault
