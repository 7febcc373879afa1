#include "core/engine/dump_writer.h"

#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "core/engine/create_table_text.h"
#include "core/engine/dump_statements.h"
#include "core/engine/mysql_session.h"
#include "core/engine/row_text_reader.h"
#include "core/engine/row_values.h"
#include "core/engine/sql_quote.h"
#include "core/engine/statement_sink.h"
#include "core/engine/table_columns.h"
#include "core/model/task_log.h"
#include "core/scheduler/run_context.h"

namespace keelvault {

namespace {

constexpr int kRowsPerInsert = 10;
constexpr size_t kMaxMultiRowBytes = 1 << 20;

// Breaks a connection so the unread rows are not fetched on release; a fetch
// waiting on the server returns at once. The socket is reset on close rather
// than shut down politely: a server blocked on a full send window would
// otherwise hold the table's locks until its write timeout.
void interruptConnection(MYSQL* mysql) {
    if (!mysql) return;
    const my_socket fd = mysql_get_socket(mysql);
    if (fd != MARIADB_INVALID_SOCKET) {
        const linger reset{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
    mariadb_cancel(mysql);
}

// Large tables are read in ranges of about this many rows, two at a time; a
// range is small enough that the connection reading ahead finishes it
// within what it may hold.
constexpr long long kRangeRows = 25000;
constexpr long long kMaxRanges = 64;
// Connections a table is read over in key ranges, the first included.
constexpr size_t kReadConnections = 4;

// Holds a result and the session it streams from, so that leaving early
// does not read the rest of a large table first.
class StreamedRows {
public:
    StreamedRows(MySqlSession& session, ResultPtr result) : session_(session), result_(std::move(result)) {}
    ~StreamedRows() { result_.reset(); }
    MYSQL_RES* get() const { return result_.get(); }
    void interrupt() { interruptConnection(session_.native()); }
    void release() { result_.reset(); }

private:
    MySqlSession& session_;
    ResultPtr result_;
};

}  // namespace

SessionSettings DumpSettings::session() const {
    SessionSettings s;
    if (options.flag(kOptSetNames)) s.charset = server_charset;
    s.set_names = version >= kVersionSetNames;
    s.unique_checks = options.flag(kOptUniqueChecks) != 0;
    s.foreign_key_checks = options.flag(kOptForeignKeyChecks) != 0;
    s.time_zone = timeZone();
    s.sql_notes = options.flag(kOptSqlNotes) != 0;
    return s;
}

InsertKind DumpSettings::insertKind() const {
    return InsertKind{options.flag(kOptReplace) != 0, options.flag(kOptInsertDelayed) != 0,
                      options.flag(kOptInsertIgnore) != 0};
}

std::string dumpTimeText(const TaskTime& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return buf;
}

DumpWriter::DumpWriter(MySqlSession& session, RunContext& context, DumpSettings settings)
    : session_(session), context_(context), settings_(std::move(settings)), quote_(settings_.quote()) {}

bool DumpWriter::fileError(DumpFile& file, const std::string& message) {
    context_.log(kLogError, message + file.path());
    return false;
}

bool DumpWriter::serverError(const std::string& message) {
    context_.log(kLogError, message);
    // The server's reason, when a statement of its own failed.
    if (session_.errorNumber() != 0) context_.log(kLogWarning, session_.errorLogText());
    return false;
}

bool DumpWriter::writeHeader(DumpFile& file) {
    const std::string& eol = file.eol();
    const std::string time = dumpTimeText(settings_.time);
    std::string header;
    if (file.form() == DumpForm::Sql) {
        header = "-- Keelvault Professional Edition 2.0" + eol + "--" + eol + "-- Host: " + settings_.source.host +
                 eol + "--" + eol + "-- MySQL Server Version: " + settings_.version_text + eol + "--" + eol + "-- " +
                 time + eol + "--" + eol + "-- ------------------------------------------------------" + eol + eol;
    } else {
        header = "<?" + eol + "/**************************************************" + eol + "**" + eol +
                 "** Keelvault 2.0 Professional Edition" + eol + "**" + eol + "** Host: " + settings_.source.host +
                 eol + "**" + eol + "** MySQL Server Version: " + settings_.version_text + eol + "**" + eol + "** " +
                 time + eol + "**" + eol + "**************************************************/" + eol + "?>" + eol +
                 eol + "<?" + eol;
    }
    if (!file.write(header) || !file.flush())
        return fileError(file, "Failed to write the title to the backup file! - ");
    if (file.form() == DumpForm::Php) {
        const CServerSettings& s = settings_.source;
        const std::string connect = "  $conn = mysql_connect('" + phpQuoted(s.host) + ":" + std::to_string(s.port) +
                                    "','" + phpQuoted(s.user) + "','" + phpQuoted(s.password) +
                                    "') or die('Can not connect to server!');" + eol;
        if (!file.write(connect) || !file.flush()) {
            return fileError(file, "Failed to write the connect statement to the PHP file! - ");
        }
    }

    FileStatementSink sink(file);
    if (!sink.statements(sessionOpeningStatements(settings_.session()))) {
        return fileError(file, "Failed to write the title to the backup file! - ");
    }
    return true;
}

bool DumpWriter::writeDatabaseBlock(DumpFile& file, const std::string& database, const std::string& charset,
                                    const std::string& default_charset) {
    const CBackupOptions& o = settings_.options;
    const char* failure = "Failed to write the CREATE and USE database to the backup file! - ";
    FileStatementSink sink(file);
    if (o.flag(kOptSetNames) && !sink.statements(charsetStatements(charset, settings_.version >= kVersionSetNames))) {
        return fileError(file, failure);
    }
    if (!o.flag(kOptCreateDatabase)) return true;
    const std::string create =
        createDatabaseStatement(database, quote_, default_charset, settings_.version >= kVersionSetNames);
    const std::string& eol = file.eol();
    std::string block;
    if (file.form() == DumpForm::Sql) {
        block = create + ";" + eol + useDatabaseStatement(database, quote_) + ";" + eol + eol;
    } else {
        const std::string name = phpQuoted(database);
        block = "  mysql_query('" + phpQuoted(create) + ";',$conn) or die('Failed to create database " + name + "!');" +
                eol + "  mysql_select_db('" + name + "',$conn) or die('Failed to select database " + name + "!');" +
                eol;
    }
    if (!file.write(block)) return fileError(file, failure);
    file.current_database = database;
    return true;
}

void DumpWriter::beginDatabase(const std::string& database, bool whole_database) {
    catalogue_ = DatabaseCatalogue{};
    // Triggers, routines and events are structure.
    if (!settings_.options.flag(kOptStructure)) return;
    catalogue_ = readDatabaseCatalogue(session_, database, whole_database);
    for (const std::string& warning : catalogue_.warnings) context_.log(kLogWarning, warning);
}

TableResult DumpWriter::writeTable(DumpFile& file, const std::string& database, const std::string& name) {
    const CBackupOptions& o = settings_.options;
    const std::string q = quoteName(name, quote_);
    if (o.flag(kOptFlushTables)) session_.execute(flushTableStatement(name, quote_));
    table_locked_ = o.flag(kOptLockTables) && session_.execute(lockForReadStatement(name, quote_));
    table_engine_.clear();
    table_rows_ = 0;
    // A lock taken here must not outlive the table, whichever way it ends.
    struct Unlock {
        MySqlSession& session;
        bool on;
        ~Unlock() {
            if (on && session.isOpen()) session.execute(unlockTablesStatement());
        }
    } unlock{session_, o.flag(kOptLockTables) != 0};
    FileStatementSink sink(file);

    const uint8_t kind = session_.tableKind(name);
    std::string engine = "MyISAM";
    std::string status_engine;  // as the status names it; empty when it cannot
    {
        const std::string status_query = tableStatusStatement(name);
        if (mysql_real_query(session_.native(), status_query.data(), static_cast<unsigned long>(status_query.size()))) {
            serverError("Failed to show table status: " + name);
            return TableResult::Failed;
        }
        ResultPtr status(mysql_store_result(session_.native()));
        if (!status) {
            serverError("No result of show table status: " + name);
            return TableResult::Failed;
        }
        MYSQL_ROW row = mysql_fetch_row(status.get());
        if (row && mysql_num_fields(status.get()) >= 2 && row[1]) engine = status_engine = row[1];
        if (row && mysql_num_fields(status.get()) >= 5 && row[4]) {
            table_rows_ = std::atoll(row[4]);
            context_.progress().setRowsEstimate(table_rows_);
        }
        table_engine_ = status_engine;
    }
    ResultPtr columns(mysql_list_fields(session_.native(), name.c_str(), nullptr));
    if (!columns) {
        serverError("No result of list table fields: " + name);
        return TableResult::Failed;
    }
    const unsigned int column_count = mysql_num_fields(columns.get());
    const MYSQL_FIELD* fields = mysql_fetch_fields(columns.get());

    std::string create;
    if (!o.flag(kOptStructure)) {
        context_.log(kLogInfo, "Structure option is unchecked.");
    } else {
        if (o.flag(kOptDropTable)) {
            if (!sink.statements(dropBeforeCreateStatements(name, kind == kKindView, quote_))) {
                fileError(file, "Failed to write the CREATE TABLE to the backup file! - ");
                return TableResult::Failed;
            }
        }
        if (kind == kKindView) {
            const TableResult view = writeView(file, database, name, q, fields, column_count);
            if (view != TableResult::Done) return view;
        } else {
            create = createTableStatement(session_, name, engine, fields, column_count, quote_,
                                          settings_.version >= kVersionShowCreateTable);
            if (create.empty()) {
                serverError("Failed to get create table! - " + name);
                return TableResult::Failed;
            }
            if (!sink.statement(create)) {
                fileError(file, "Failed to write the CREATE TABLE to the backup file! - ");
                return TableResult::Failed;
            }
        }
    }
    if (kind == kKindView) return TableResult::Done;

    // Without the structure the CREATE text is read only for what it tells
    // of the rows: their engine, or a sequence.
    if (create.empty() && settings_.version >= kVersionShowCreateTable) create = showCreateText(session_, name);
    if (rowsLiveElsewhere(status_engine, create)) {
        // A MERGE table's rows are those of its tables, a FEDERATED table's
        // are on another server: writing them (or a DELETE) here would
        // double or destroy them on restore.
        context_.log(kLogInfo, "The records of the table " + name + " are kept in other tables; they are not written.");
    } else {
        // A sequence refuses a DELETE; its INSERT replaces its one row.
        if (o.flag(kOptDeleteRecords) && !isSequenceTable(create) &&
            !sink.statement(deleteRowsStatement(name, quote_))) {
            fileError(file, "Failed to write the DELETE to the backup file! - ");
            return TableResult::Failed;
        }
        if (o.flag(kOptRecords)) {
            if (context_.stopRequested()) return TableResult::Canceled;
            const TableColumns plan = readTableColumns(session_, q);
            std::string column_list = plan.insertColumnList(quote_);
            if (column_list.empty() && o.flag(kOptCompleteInsert)) {
                column_list = fieldColumnList(fields, column_count, quote_);
            }
            columns.reset();
            const TableResult rows = writeRecords(file, name, plan.selectStatement(q, quote_), column_list);
            if (rows != TableResult::Done) return rows;
            digests_.push_back(TableDigestEntry{database, name, digest_.rows(), digest_.hex(), file.path(), {}});
        }
    }
    if (o.flag(kOptStructure)) {
        const auto triggers = catalogue_.triggers.find(name);
        if (triggers != catalogue_.triggers.end()) {
            for (const std::string& trigger : triggers->second) {
                if (!writeObject(file, database, ObjectKind::Trigger, trigger)) return TableResult::Failed;
            }
        }
    }
    return TableResult::Done;
}

bool DumpWriter::writeRoutinesAndEvents(DumpFile& file, const std::string& database) {
    for (const auto& [kind, name] : catalogue_.routines) {
        if (!writeObject(file, database, kind, name)) return false;
    }
    for (const std::string& event : catalogue_.events) {
        if (!writeObject(file, database, ObjectKind::Event, event)) return false;
    }
    return true;
}

bool DumpWriter::writeObject(DumpFile& file, const std::string& database, ObjectKind kind, const std::string& name) {
    const char* word = objectKindWord(kind);
    std::string reason;
    const std::optional<SchemaObject> object = readSchemaObject(session_, kind, name, reason);
    if (!object) {
        // Never left out in silence: the backup lacks it and the log says so.
        context_.log(kLogWarning, std::string("Failed to read the ") + word + " " + database + "." + name +
                                      "; it is not in the backup!  " + reason);
        return true;
    }
    const ObjectStatements statements = objectStatements(*object, settings_.options.flag(kOptDropTable), quote_);
    FileStatementSink sink(file);
    const bool ok = sink.statements(statements.drops) && sink.statements(statements.before) &&
                    sink.definition(statements.create) && sink.statements(statements.after);
    if (!ok) {
        fileError(file, std::string("Failed to write the ") + word + " " + name + " to the backup file! - ");
        return false;
    }
    context_.log(kLogInfo, std::string("Backup the ") + word + " " + database + "." + name + " - OK");
    return true;
}

TableResult DumpWriter::writeView(DumpFile& file, const std::string& database, const std::string& name,
                                  const std::string& q, const MYSQL_FIELD* fields, unsigned int count) {
    // An empty table with the view's columns stands in for the view until
    // the footer, so views on views and tables that name the view load in
    // any order.
    std::string placeholder;
    if (session_.execute(temporaryColumnsTableStatement(name, quote_))) {
        placeholder = standInTableStatement(showCreateText(session_, name));
        session_.execute(dropTemporaryTableStatement(name, quote_));
        if (placeholder.empty()) {
            serverError("Failed to show temporary table for the view " + name);
            return TableResult::Failed;
        }
    } else {
        // Too many or too wide columns for a table: a view of constants with
        // the same column names stands in instead.
        placeholder = standInViewStatement(q, fields, count, quote_);
        context_.log(kLogInfo, "The view " + name + " has no stand-in table; a stand-in view takes its place.");
    }
    if (!file.writeStatement(withoutTrailingSemicolons(std::move(placeholder)))) {
        fileError(file, "Failed to write create temporary table for the view " + name + " to the backup file! - ");
        return TableResult::Failed;
    }
    std::optional<SchemaObject> view = readViewObject(session_, name);
    if (!view || view->definition.empty()) {
        serverError("Failed to show view " + name);
        return TableResult::Failed;
    }
    file.pending_views.push_back(DumpFile::PendingView{database, std::move(*view)});
    context_.log(kLogInfo, "Backup the view " + database + "." + name + " - OK");
    return TableResult::Done;
}

std::vector<std::string> DumpWriter::rangeSelectsFor(const std::string& name, const std::string& select) {
    std::vector<std::string> selects;
    // Only a table locked against writers reads the same over several
    // connections, and only InnoDB gives one plain query's rows in key
    // order, so the ranges leave the file as that query would.
    if (!table_locked_ || second_failed_ || table_rows_ < 2 * kRangeRows) return selects;
    std::string engine = table_engine_;
    for (char& c : engine) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (engine != "innodb") return selects;

    ResultPtr keys = session_.storeQuery("SHOW KEYS FROM " + quoteName(name, true) + " WHERE Key_name = 'PRIMARY'");
    if (!keys || mysql_num_rows(keys.get()) != 1 || mysql_num_fields(keys.get()) < 5) return selects;
    MYSQL_ROW key = mysql_fetch_row(keys.get());
    if (!key || !key[4]) return selects;
    const std::string column = key[4];
    std::string type;
    if (!session_.queryValue("SELECT DATA_TYPE FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND "
                             "TABLE_NAME = '" + escapeStringLiteral(name) + "' AND COLUMN_NAME = '" +
                                 escapeStringLiteral(column) + "'",
                             type)) {
        return selects;
    }
    for (char& c : type) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (type != "tinyint" && type != "smallint" && type != "mediumint" && type != "int" && type != "bigint") {
        return selects;
    }
    const std::string q = quoteName(column, true);
    ResultPtr bounds = session_.storeQuery("SELECT MIN(" + q + "), MAX(" + q + ") FROM " + quoteName(name, true));
    MYSQL_ROW row = bounds ? mysql_fetch_row(bounds.get()) : nullptr;
    if (!row || !row[0] || !row[1]) return selects;
    // Keys beyond the signed 64-bit range are read in one query.
    errno = 0;
    char* end_low = nullptr;
    char* end_high = nullptr;
    const long long low = std::strtoll(row[0], &end_low, 10);
    const long long high = std::strtoll(row[1], &end_high, 10);
    if (errno != 0 || *end_low != '\0' || *end_high != '\0' || high <= low) return selects;

    const long long ranges = std::min(kMaxRanges, std::max(2LL, table_rows_ / kRangeRows));
    return keyRangeSelects(select, q, low, high, ranges);
}

std::vector<MYSQL*> DumpWriter::readingConnections() {
    std::vector<MYSQL*> connections;
    if (second_failed_) return connections;
    while (!more_failed_ && extra_.size() < kReadConnections - 1) {
        auto session = std::make_unique<MySqlSession>();
        session->registerWith(context_);
        if (!session->open(settings_.source)) {
            // Fewer connections still read in ranges; none at all is the one
            // query. Either way no more are tried for this run.
            more_failed_ = true;
            if (extra_.empty()) second_failed_ = true;
            break;
        }
        extra_.push_back(std::move(session));
    }
    if (extra_.empty()) return connections;
    // The settings that shape the rows' texts, as the first connection has them now.
    ResultPtr settings = session_.storeQuery(
        "SELECT DATABASE(), @@character_set_client, @@character_set_connection, @@character_set_results, "
        "@@collation_connection, @@time_zone, @@sql_mode");
    MYSQL_ROW row = settings ? mysql_fetch_row(settings.get()) : nullptr;
    if (!row || !row[0]) {
        extra_.clear();
        return connections;
    }
    const auto value = [&row](int i) { return row[i] ? "'" + escapeStringLiteral(row[i]) + "'" : std::string("NULL"); };
    const std::string set = "SET character_set_client = " + value(1) + ", character_set_connection = " + value(2) +
                            ", character_set_results = " + value(3) + ", collation_connection = " + value(4) +
                            ", time_zone = " + value(5) + ", sql_mode = " + value(6);
    connections.push_back(session_.native());
    for (const std::unique_ptr<MySqlSession>& extra : extra_) {
        if (!extra->selectDatabase(row[0]) || !extra->execute(set)) {
            extra_.clear();
            second_failed_ = true;
            return {};
        }
        connections.push_back(extra->native());
    }
    return connections;
}

TableResult DumpWriter::writeRecords(DumpFile& file, const std::string& name, const std::string& select,
                                     const std::string& column_list) {
    const CBackupOptions& o = settings_.options;
    MYSQL* mysql = session_.native();
    std::vector<std::string> ranges = rangeSelectsFor(name, select);
    const std::vector<MYSQL*> connections = ranges.empty() ? std::vector<MYSQL*>{} : readingConnections();
    std::optional<StreamedRows> rows;
    if (connections.empty()) {
        if (mysql_real_query(mysql, select.data(), static_cast<unsigned long>(select.size())) != 0) {
            serverError("Failed to get all records of table " + name + " !");
            return TableResult::Failed;
        }
        rows.emplace(session_, ResultPtr(mysql_use_result(mysql)));
        if (!rows->get()) {
            serverError("No records of the table " + name);
            return TableResult::Failed;
        }
    }

    FileStatementSink sink(file);
    if (o.flag(kOptDisableKeys) && !sink.statement(disableKeysStatement(name, quote_))) {
        fileError(file, "Failed to write DISABLE KEYS to the backup file! - ");
        return TableResult::Failed;
    }
    if (o.flag(kOptAddLockTables) && !sink.statement(lockForWriteStatement(name, quote_))) {
        fileError(file, "Failed to write LOCK TABLES to the backup file! - ");
        return TableResult::Failed;
    }
    if (o.flag(kOptAutocommit) && !sink.statement(autocommitOffStatement())) {
        fileError(file, "Failed to write SET AUTOCOMMIT to the backup file! - ");
        return TableResult::Failed;
    }

    const std::string prefix = insertPrefix(settings_.insertKind(), name, quote_, column_list);

    const bool multiple = o.flag(kOptMultipleRows) != 0;
    const uint8_t buffer_mode = settings_.buffer.mode;
    const size_t batch_size = settings_.buffer.records > 0 ? static_cast<size_t>(settings_.buffer.records) : 1;
    const char* direct_failure = multiple ? "Failed to write multi-rows records to the backup file! - "
                                          : "Failed to write a record to the backup file! - ";
    const char* batch_failure = "Failed to write some records to the backup file! - ";

    std::vector<std::string> batch;
    std::string statement = prefix;
    int pending_rows = 0;
    long long row_count = 0;
    bool write_failed = false;

    // Hands a finished statement on by the buffer mode; false on a failed write.
    auto emit = [&](std::string& text) {
        if (buffer_mode == 0) {
            if (file.writeStatement(text)) return true;
            fileError(file, direct_failure);
            return false;
        }
        batch.push_back(std::move(text));
        if (buffer_mode == 1 && batch.size() >= batch_size) {
            const bool ok = file.writeStatements(batch);
            batch.clear();
            if (!ok) fileError(file, batch_failure);
            return ok;
        }
        return true;
    };

    digest_.reset();
    // Rows are fetched and formatted on threads of their own while the rows
    // before are written: one streamed query, or the key ranges over several
    // connections.
    std::optional<RowTextReader> reader;
    std::optional<ChunkedRowTextReader> ranged;
    if (rows) {
        MYSQL_RES* result = rows->get();
        const unsigned int count = mysql_num_fields(result);
        const MYSQL_FIELD* fields = mysql_fetch_fields(result);
        reader.emplace(result, [mysql, fields, count](std::string& out, MYSQL_ROW row, const unsigned long* lengths) {
            appendRowValues(out, mysql, row, lengths, fields, count);
        });
    } else {
        ranged.emplace(connections, std::move(ranges),
                       [](std::string& out, MYSQL* connection, MYSQL_RES* result, MYSQL_ROW row,
                          const unsigned long* lengths) {
                           appendRowValues(out, connection, row, lengths, mysql_fetch_fields(result),
                                           mysql_num_fields(result));
                       });
    }
    const auto next = [&](std::string_view& text) { return reader ? reader->next(text) : ranged->next(text); };
    std::string_view values;  // the value list of one row, "(v1,v2,...)"
    while (next(values)) {
        if (context_.stopRequested()) {
            if (reader) {
                reader->stop([&rows] { rows->interrupt(); });
                rows->release();
            } else {
                ranged->stop([&] {
                    for (MYSQL* connection : connections) interruptConnection(connection);
                });
                ranged.reset();
                extra_.clear();
            }
            return TableResult::Canceled;
        }
        ++row_count;
        context_.progress().addRowOutput(static_cast<int64_t>(file.bytesWritten()));
        digest_.addRow(values);
        if (!multiple) {
            if (buffer_mode == 0) {
                if (file.writeStatement(prefix, values)) continue;
                fileError(file, direct_failure);
                write_failed = true;
                break;
            }
            statement.assign(prefix);
            statement += values;
            if (!emit(statement)) {
                write_failed = true;
                break;
            }
            continue;
        }
        statement.reserve(statement.size() + values.size() + 20);
        statement += values;
        // Ten rows, or fewer when they are large, so that every statement
        // fits the packet limit of any server.
        if (++pending_rows < kRowsPerInsert && statement.size() <= kMaxMultiRowBytes) {
            statement += ',';
            continue;
        }
        const bool ok = emit(statement);
        statement.assign(prefix);
        pending_rows = 0;
        if (!ok) {
            write_failed = true;
            break;
        }
    }
    // The connections are the reader's until it has stopped.
    if (reader) reader->stop();
    if (ranged) ranged->stop();
    if (write_failed) return TableResult::Failed;
    // A fetch error (a lost connection) means rows are missing: the table is
    // not complete and must not be reported as backed up.
    const unsigned int fetch_error = reader ? mysql_errno(mysql) : ranged->errorNumber();
    const std::string fetch_error_text = !fetch_error ? "" : reader ? mysql_error(mysql) : ranged->errorText();
    // A connection that failed is not used again.
    if (ranged && fetch_error) extra_.clear();

    if (!batch.empty()) {
        if (!file.writeStatements(batch)) {
            fileError(file, batch_failure);
            return TableResult::Failed;
        }
        batch.clear();
    }
    if (multiple && pending_rows > 0) {
        if (statement.back() == ',') statement.pop_back();
        if (!file.writeStatement(statement)) {
            fileError(file, "Failed to write multi-row records to the backup file! - ");
            return TableResult::Failed;
        }
    }
    if (o.flag(kOptAddLockTables) && !sink.statement(unlockTablesStatement())) {
        fileError(file, "Failed to write UNLOCK TABLES to the backup file! - ");
        return TableResult::Failed;
    }
    if (o.flag(kOptDisableKeys) && !sink.statement(enableKeysStatement(name, quote_))) {
        fileError(file, "Failed to write ENABLE KEYS to the backup file! - ");
        return TableResult::Failed;
    }
    if (o.flag(kOptAutocommit) && !sink.statement(commitStatement())) {
        fileError(file, "Failed to write COMMIT to the backup file! - ");
        return TableResult::Failed;
    }
    if (fetch_error) {
        char detail[64];
        std::snprintf(detail, sizeof detail, "  Error NO. %u  ", fetch_error);
        context_.log(kLogError, "Failed to get all records of table " + name + " !" + detail + fetch_error_text);
        return TableResult::Failed;
    }
    // The rows must have reached the system before the table counts as done.
    if (!file.flush()) {
        fileError(file, multiple ? "Failed to write multi-row records to the backup file! - "
                                 : "Failed to write a record to the backup file! - ");
        return TableResult::Failed;
    }
    char done[96];
    std::snprintf(done, sizeof done, "Backup the records from the table OK - %lld records", row_count);
    context_.log(kLogInfo, done);
    return TableResult::Done;
}

bool DumpWriter::writeFooter(DumpFile& file) {
    const CBackupOptions& o = settings_.options;
    FileStatementSink sink(file);
    for (const DumpFile::PendingView& view : file.pending_views) {
        bool ok = true;
        // Views of an earlier database in the same file go back into it.
        if (o.flag(kOptCreateDatabase) && view.database != file.current_database) {
            ok = sink.statement(useDatabaseStatement(view.database, quote_));
            file.current_database = view.database;
        }
        // Created under the character set settings it was made with.
        const ObjectStatements statements = viewStatements(view.view, quote_);
        ok = ok && sink.statements(statements.drops) && sink.statements(statements.before) &&
             sink.statement(statements.create) && sink.statements(statements.after);
        if (!ok) return fileError(file, "Failed to write CREATE VIEW to the backup file! - ");
    }
    file.pending_views.clear();

    if (!sink.statements(sessionClosingStatements(settings_.session())) || !file.flush()) {
        return fileError(file, "Failed to write the end of the backup file! - ");
    }
    if (file.form() == DumpForm::Php) {
        const std::string& eol = file.eol();
        const std::string footer = "  mysql_close($conn);" + eol + "  echo 'Finished';" + eol + "?>" + eol;
        if (!file.write(footer) || !file.flush()) {
            return fileError(file, "Failed to write PHP mysql_close to the bakcup file! - ");
        }
    }
    return true;
}

}  // namespace keelvault
