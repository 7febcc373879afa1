#pragma once

#include <mysql.h>

#include <memory>
#include <string>
#include <vector>

#include "core/engine/backup_digests.h"
#include "core/engine/dump_file.h"
#include "core/engine/dump_statements.h"
#include "core/engine/schema_objects.h"
#include "core/engine/table_digest.h"
#include "core/model/task.h"
#include "core/model/task_time.h"

namespace keelvault {

class MySqlSession;
class RunContext;

// What a backup run hands the dump writer.
struct DumpSettings {
    CBackupOptions options;
    CBufferOptions buffer;
    CServerSettings source;      // host in the header; host, port, user, password in the PHP connect line
    std::string version_text;    // server version text for the header
    unsigned long version = 0;   // server version number for the thresholds
    std::string server_charset;  // character set the file's SET lines name; empty for none
    TaskTime time;               // backup time in the header

    bool quote() const { return options.flag(kOptQuoteNames) && version >= 32306; }
    // The time zone statements exist from 4.1.3 on.
    bool timeZone() const { return version >= 40103; }
    // The session lines at the start of the file and their restoring lines at its end.
    SessionSettings session() const;
    InsertKind insertKind() const;
};

// How writing one table or view ended.
enum class TableResult { Done, Failed, Canceled };

// "-- 2006-05-01 09:05:07" style time of the header.
std::string dumpTimeText(const TaskTime& t);

// Writes the statement stream of a backup file from a live server: header,
// session lines, database blocks, tables and views, footer. Failures are
// logged to the run's task log with the file path.
class DumpWriter {
public:
    DumpWriter(MySqlSession& session, RunContext& context, DumpSettings settings);

    // Header (and in the PHP form the connect line), then the session lines.
    bool writeHeader(DumpFile& file);
    // The database's character-set lines and the create-and-use block.
    // `charset` is the database's connection character set for the SET
    // lines, `default_charset` its own default for CREATE DATABASE.
    bool writeDatabaseBlock(DumpFile& file, const std::string& database, const std::string& charset,
                            const std::string& default_charset);
    // Reads what the tables of the selected database need to know: their
    // triggers, the MERGE tables and, for a database chosen whole, its
    // routines and events. Listings that fail are logged as warnings.
    void beginDatabase(const std::string& database, bool whole_database);
    const DatabaseCatalogue& catalogue() const { return catalogue_; }
    // One table or view of the selected database; `database` names it in
    // logs. A table's triggers follow its rows.
    TableResult writeTable(DumpFile& file, const std::string& database, const std::string& name);
    // The routines and events of the database begun last, after its tables.
    // False when the file failed.
    bool writeRoutinesAndEvents(DumpFile& file, const std::string& database);
    // True when the database begun last has routines or events to write.
    bool hasRoutinesOrEvents() const { return !catalogue_.routines.empty() || !catalogue_.events.empty(); }
    // Deferred views, restoring lines and, in the PHP form, the PHP footer;
    // then the data are flushed to the system.
    bool writeFooter(DumpFile& file);

    const DumpSettings& settings() const { return settings_; }
    // One entry per table whose rows were written whole, with the file
    // they went to (its path while being written).
    const std::vector<TableDigestEntry>& digests() const { return digests_; }

private:
    bool fileError(DumpFile& file, const std::string& message);
    bool serverError(const std::string& message);
    TableResult writeView(DumpFile& file, const std::string& database, const std::string& name, const std::string& q,
                          const MYSQL_FIELD* fields, unsigned int count);
    TableResult writeRecords(DumpFile& file, const std::string& name, const std::string& select,
                             const std::string& column_list);
    // For a large locked InnoDB table with a one-column integer key, the
    // queries of the key ranges its rows are read in over several connections;
    // empty when it is read with the one query `select`.
    std::vector<std::string> rangeSelectsFor(const std::string& name, const std::string& select);
    // The connections a table is read over in ranges, the first one first,
    // the others with its settings; empty when no other can be had.
    std::vector<MYSQL*> readingConnections();
    // One object: DROP (option), its settings, its CREATE in a DELIMITER
    // block, the settings back. False when the file failed (logged).
    bool writeObject(DumpFile& file, const std::string& database, ObjectKind kind, const std::string& name);

    MySqlSession& session_;
    RunContext& context_;
    DumpSettings settings_;
    bool quote_;
    DatabaseCatalogue catalogue_;
    TableDigest digest_;  // of the rows of the table being written
    // What the table being written is: whether this session holds its read
    // lock, its engine and the rows the server counts in it.
    bool table_locked_ = false;
    std::string table_engine_;
    long long table_rows_ = 0;
    std::vector<std::unique_ptr<MySqlSession>> extra_;  // the reading connections after the first
    bool second_failed_ = false;  // no other could be opened; not tried again
    bool more_failed_ = false;    // one could not be opened; no more are tried
    std::vector<TableDigestEntry> digests_;
};

}  // namespace keelvault
