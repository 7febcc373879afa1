#include "core/engine/server_copy_engine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/engine/batch_sender.h"
#include "core/engine/create_table_text.h"
#include "core/engine/dump_statements.h"
#include "core/engine/mysql_session.h"
#include "core/engine/row_values.h"
#include "core/engine/schema_objects.h"
#include "core/engine/selection_resolver.h"
#include "core/engine/sql_quote.h"
#include "core/engine/statement_sink.h"
#include "core/engine/table_columns.h"
#include "core/model/task_log.h"
#include "core/scheduler/run_context.h"

namespace keelvault {

namespace {

constexpr int kRowsPerStatement = 10;
constexpr size_t kMaxMultiRowBytes = 1 << 20;
constexpr unsigned long kVersionTimeZone = 40103;
// Rows between stop checks inside a table, so a long table can be stopped.
constexpr long long kRowsPerStopCheck = 1000;

std::string printf1(const char* format, const std::string& value) {
    const int size = std::snprintf(nullptr, 0, format, value.c_str());
    std::string out(static_cast<size_t>(std::max(size, 0)) + 1, '\0');
    std::snprintf(out.data(), out.size(), format, value.c_str());
    out.pop_back();
    return out;
}

std::string withoutPathMarks(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c != '.' && c != '\\' && c != '/') out += c;
    }
    const auto first = out.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return out.substr(first, out.find_last_not_of(" \t") - first + 1);
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

std::string twoDigits(int value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", value);
    return buf;
}

// Which texts a run logs: the backup kinds and the restore kinds differ only in wording.
struct Wording {
    const char* no_databases;
    const char* starting;
    const char* database;
    const char* table;
    const char* view;
    const char* view_done;
    const char* records_done;
    const char* object_done;  // "Backup the " + kind + " " + db.name + " - OK"
};

constexpr Wording kBackupWording{"There are not any databases to backup!",
                                 "Backing up the selected databases and tables...",
                                 "Backing up the database ",
                                 "Backing up the table ",
                                 "Backing up the view ",
                                 "Backup the view ",
                                 "Backup the records from the table OK - %d records",
                                 "Backup the "};
constexpr Wording kRestoreWording{"There are not any databases to restore!",
                                  "Restoring the selected databases and tables...",
                                  "Restoring the database ",
                                  "Restoring the table ",
                                  "Restoring the view ",
                                  "Restore the view ",
                                  "Restore the records from the table OK - %d records",
                                  "Restore the "};

// How one step of a run ended.
enum class Flow { Go, Stop };

class CopyRun {
public:
    CopyRun(RunContext& context, const ServerCopyProbe& probe)
        : context_(context),
          task_(context.task()),
          options_(task_.backup_options),
          probe_(probe),
          restore_(task_.task_type == kTypeRestoreFromServer || task_.task_type == kTypeRestoreFromDatabase),
          another_database_(task_.task_type == kTypeBackupToDatabase || task_.task_type == kTypeRestoreFromDatabase),
          words_(restore_ ? kRestoreWording : kBackupWording) {
        source_.setVersionOverride(probe.source_version);
        destination_.setVersionOverride(probe.destination_version);
        source_.registerWith(context_);
        destination_.registerWith(context_);
        sender_.setJoinRows(true);
        sender_.setSentHandler([this](const std::string& sql, bool ok) { destinationSent(sql, ok); });
        sender_.setFailureHandler([this](const std::string& sql, unsigned int number, const std::string& text) {
            row_failure_ = RowFailure{sql, number, text};
            return BatchSender::AfterFailure::SkipRest;
        });
    }

    EngineResult run() {
        {
            // The name may be changed while the task runs; the run keeps
            // the one it started with.
            std::lock_guard lock(task_.mutex());
            start_ = task_.last_run;
            task_name_ = task_.name;
        }
        if (start_.year == 0) start_ = context_.now();
        if (context_.stopRequested()) return canceled();
        if (task_.databases.empty()) {
            context_.log(kLogError, words_.no_databases);
            return EngineResult::Failed;
        }

        context_.log(kLogInfo, "Connecting to the source MySQL server (" + task_.source.host + ")... ");
        if (!source_.open(task_.source)) {
            context_.log(kLogError,
                         connectFailedLogText(source_.errorNumber(), source_.errorText(), ServerRole::Source));
            return EngineResult::Failed;
        }
        context_.log(kLogInfo,
                     "Connect to the source MySQL server successfully!  MySQL version: " + source_.versionText());
        const unsigned long source_version = source_.versionNumber();
        quote_ = option(kOptQuoteNames) && source_version >= kVersionQuoteNames;
        // TIMESTAMP values travel in UTC, so they mean the same instant on
        // servers in different time zones.
        if (source_version >= kVersionTimeZone) toSource(utcTimeZoneStatement());
        show_create_ = source_version >= kVersionShowCreateTable;
        set_names_ = source_version >= kVersionSetNames;
        if (context_.stopRequested()) return canceled();

        context_.log(kLogInfo, "Connecting to the destination MySQL server (" + task_.destination.host + ")... ");
        if (!destination_.open(task_.destination)) {
            context_.log(kLogError, connectFailedLogText(destination_.errorNumber(), destination_.errorText(),
                                                         ServerRole::Destination));
            closeBoth();
            return EngineResult::Failed;
        }
        context_.log(kLogInfo, "Connect to the destination MySQL server successfully!  MySQL version: " +
                                   destination_.versionText());
        charset_clause_ = destination_.versionNumber() >= kVersionSetNames;
        time_zone_ = destination_.versionNumber() >= kVersionTimeZone && source_version >= kVersionTimeZone;
        if (probe_.on_connected) probe_.on_connected(source_.native(), destination_.native());
        if (context_.stopRequested()) return canceled();

        std::string charset;
        if (option(kOptSetCharset)) charset = source_.applyServerCharset().connection;
        if (context_.stopRequested()) return canceled();

        context_.log(kLogInfo, words_.starting);
        applyDestinationSettings(charset);
        if (context_.stopRequested()) return canceled();

        if (option(kOptFlushLogs)) toSource("FLUSH LOGS");
        // The restore kinds copy the stored selection as it is.
        const bool new_tables = !restore_ && option(kOptNewTables);
        const bool new_databases = !restore_ && option(kOptNewDatabases);
        const std::vector<CDatabaseItem> databases =
            resolveSelection(source_, task_.databases, new_tables, new_databases);
        if (context_.stopRequested()) return canceled();

        const size_t count = another_database_ ? std::min<size_t>(1, databases.size()) : databases.size();
        for (size_t i = 0; i < count; ++i) {
            if (databases[i].selected != 0) context_.progress().addSelectedTables(databases[i]);
        }
        for (size_t i = 0; i < count; ++i) {
            if (databases[i].selected == 0) continue;
            if (copyDatabase(databases[i]) == Flow::Stop) return canceled();
            if (context_.stopRequested()) return canceled();
        }

        restoreDestinationSettings();
        closeBoth();
        return EngineResult::Finished;
    }

private:
    bool option(int index) const { return options_.flag(index) != 0; }
    std::string qt(const std::string& name) const { return quoteName(name, quote_); }

    EngineResult canceled() {
        closeBoth();
        return EngineResult::Canceled;
    }

    void closeBoth() {
        source_.close();
        destination_.close();
    }

    bool toDestination(const std::string& sql) { return destination_sink_.statement(sql); }

    void destinationSent(const std::string& sql, bool ok) {
        if (!row_counts_.empty() && BatchSender::isRowStatement(sql)) {
            rows_answered_ += row_counts_.front();
            row_counts_.pop_front();
        }
        if (ok) context_.progress().addBytes(static_cast<int64_t>(sql.size()));
        if (probe_.on_destination_statement) probe_.on_destination_statement(sql, ok);
    }

    bool toSource(const std::string& sql) {
        const bool ok = source_.execute(sql);
        if (probe_.on_source_statement) probe_.on_source_statement(sql, ok);
        return ok;
    }

    // A statement on the source whose result rows are wanted whole. `failed`
    // tells a failed statement from one that returns no result set.
    ResultPtr storeFromSource(const std::string& sql, bool& failed) {
        MYSQL* mysql = source_.native();
        failed = mysql_real_query(mysql, sql.data(), static_cast<unsigned long>(sql.size())) != 0;
        if (probe_.on_source_statement) probe_.on_source_statement(sql, !failed);
        if (failed) return nullptr;
        ResultPtr result(mysql_store_result(mysql));
        if (!result && mysql_errno(mysql) != 0) failed = true;
        return result;
    }

    void error(const std::string& text) { context_.log(kLogError, text); }
    // A failure line followed by the server's reason.
    void destinationError(const std::string& text) {
        error(text);
        context_.log(kLogWarning, destination_.errorLogText());
    }
    // A failure line for a row statement the sender reported, then its reason.
    void rowError(const std::string& text) {
        error(text);
        context_.log(kLogWarning, serverErrorLogText(row_failure_.error_number, row_failure_.error_text));
    }
    void sourceError(const std::string& text) {
        error(text);
        context_.log(kLogWarning, source_.errorLogText());
    }

    // A failed SET leaves the copy going; its statements are sent all the same.
    void applyDestinationSettings(const std::string& charset) {
        if (option(kOptSetNames)) destination_settings_.charset = charset;
        destination_settings_.set_names = set_names_;
        destination_settings_.unique_checks = option(kOptUniqueChecks);
        destination_settings_.foreign_key_checks = option(kOptForeignKeyChecks);
        destination_settings_.time_zone = time_zone_;
        destination_settings_.sql_notes = option(kOptSqlNotes);
        destination_sink_.statements(sessionOpeningStatements(destination_settings_));
    }

    void restoreDestinationSettings() { destination_sink_.statements(sessionClosingStatements(destination_settings_)); }

    std::string destinationNameFor(const std::string& database) const {
        // The "another database" kinds always write into the task's
        // destination database; falling back to the source name there could
        // aim the copy at the source database itself on the same server.
        if (!another_database_ || options_.destination_database.empty()) return database;
        if (!options_.new_database) return options_.destination_database;
        return expandDestinationName(options_.destination_database, task_name_, task_.source.host, database, start_);
    }

    Flow copyDatabase(const CDatabaseItem& database) {
        const std::string& db = database.name;
        context_.log(kLogInfo, words_.database + db + "...");
        if (!source_.selectDatabase(db)) {
            sourceError("Failed to use database " + db + " on the source server!");
            return Flow::Go;
        }
        if (context_.stopRequested()) return Flow::Stop;

        CharsetStep database_charset;
        if (option(kOptSetCharset)) {
            database_charset = source_.applyDatabaseCharset();
            if (option(kOptSetNames) && !database_charset.connection.empty()) {
                destination_sink_.statements(charsetStatements(database_charset.connection, set_names_));
            }
        }

        const std::string target = destinationNameFor(db);
        if (option(kOptCreateDatabase)) {
            if (!toDestination(createDatabaseStatement(target, quote_, database_charset.name, charset_clause_))) {
                destinationError(printf1("Failed to create database %s on the destination server!", target));
                return Flow::Go;
            }
        }
        if (!destination_.selectDatabase(target)) {
            destinationError(printf1("Failed to use database %s on the destination server!", target));
            return Flow::Go;
        }
        if (context_.stopRequested()) return Flow::Stop;

        views_.clear();
        catalogue_ = DatabaseCatalogue{};
        if (option(kOptStructure)) {
            catalogue_ = readDatabaseCatalogue(source_, db, database.selected == kWholeDatabase);
            for (const std::string& warning : catalogue_.warnings) context_.log(kLogWarning, warning);
        }
        for (const CTableItem* table : tablesInReplayOrder(database, catalogue_)) {
            context_.progress().beginTable(db, table->table, -1);
            const Flow flow = copyTable(db, *table);
            context_.progress().endTable();
            if (flow == Flow::Stop) return Flow::Stop;
            if (context_.stopRequested()) return Flow::Stop;
        }
        // Routines come before the views: a view that calls a stored
        // function cannot be created without it.
        for (const auto& [kind, name] : catalogue_.routines) {
            copyObject(db, kind, name);
            if (context_.stopRequested()) return Flow::Stop;
        }
        for (const std::string& event : catalogue_.events) {
            copyObject(db, ObjectKind::Event, event);
            if (context_.stopRequested()) return Flow::Stop;
        }
        createDeferredViews();
        return Flow::Go;
    }

    // Creates one trigger, routine or event of the source database on the
    // destination, under the settings it was created with.
    void copyObject(const std::string& db, ObjectKind kind, const std::string& name) {
        const std::string word = objectKindWord(kind);
        std::string reason;
        const std::optional<SchemaObject> object = readSchemaObject(source_, kind, name, reason);
        if (!object) {
            context_.log(kLogWarning,
                         "Failed to read the " + word + " " + db + "." + name + "; it is not copied!  " + reason);
            return;
        }
        const ObjectStatements statements = objectStatements(*object, option(kOptDropTable), quote_);
        destination_sink_.statements(statements.drops);
        destination_sink_.statements(statements.before);
        const bool created = destination_sink_.definition(statements.create);
        if (!created) {
            destinationError("Failed to create the " + word + " " + name + " on the destination server!");
        }
        destination_sink_.statements(statements.after);
        if (created) context_.log(kLogInfo, words_.object_done + word + " " + db + "." + name + " - OK");
    }

    // The views replace their placeholder tables once every table of the
    // database is there, so views on views find what they select from.
    void createDeferredViews() {
        for (const SchemaObject& view : views_) {
            const std::string& name = view.name;
            if (name.empty() || view.definition.empty()) continue;
            const ObjectStatements statements = viewStatements(view, quote_);
            // Only the table drop must succeed: the stand-in may be a view.
            if (!toDestination(statements.drops.front())) {
                destinationError(printf1("Failed to DROP TABLE %s!", name));
                continue;
            }
            for (size_t i = 1; i < statements.drops.size(); ++i) toDestination(statements.drops[i]);
            // Created under the character set settings it was made with.
            destination_sink_.statements(statements.before);
            if (!toDestination(statements.create)) destinationError(printf1("Failed to CREATE VIEW %s!", name));
            destination_sink_.statements(statements.after);
        }
        views_.clear();
    }

    // Leaves no lock behind when a table ends early.
    struct LockRelease {
        CopyRun& run;
        bool source = false;
        bool destination = false;
        ~LockRelease() { release(); }
        void release() {
            if (destination) run.toDestination(unlockTablesStatement());
            if (source) run.toSource(unlockTablesStatement());
            destination = source = false;
        }
    };

    Flow copyTable(const std::string& db, const CTableItem& entry) {
        const std::string& t = entry.table;
        uint8_t kind = entry.kind;
        context_.log(kLogInfo, (kind == kKindView ? words_.view : words_.table) + db + "." + t + "...");
        if (context_.stopRequested()) return Flow::Stop;

        LockRelease locks{*this};
        if (option(kOptFlushTables)) toSource(flushTableStatement(t, quote_));
        if (option(kOptLockTables)) {
            toSource(lockForReadStatement(t, quote_));
            locks.source = true;
        }
        if (option(kOptStructure)) kind = source_.tableKind(t);
        if (context_.stopRequested()) return Flow::Stop;

        bool failed = false;
        std::string engine = "MyISAM";
        std::string status_engine;  // as the status names it; empty when it cannot
        {
            ResultPtr status = storeFromSource(tableStatusStatement(t), failed);
            if (failed) {
                sourceError("Failed to show table status: " + t);
                return Flow::Go;
            }
            if (!status) {
                error("No result of show table status: " + t);
                return Flow::Go;
            }
            if (MYSQL_ROW row = mysql_fetch_row(status.get()); row && mysql_num_fields(status.get()) >= 2) {
                engine = status_engine = row[1] ? row[1] : "";
                if (mysql_num_fields(status.get()) >= 5 && row[4])
                    context_.progress().setRowsEstimate(std::atoll(row[4]));
            }
        }
        ResultPtr field_list(mysql_list_fields(source_.native(), t.c_str(), nullptr));
        if (!field_list) {
            error("No result of list table fields: " + t);
            return Flow::Go;
        }
        const unsigned int field_count = mysql_num_fields(field_list.get());
        const MYSQL_FIELD* fields = mysql_fetch_fields(field_list.get());
        if (context_.stopRequested()) return Flow::Stop;

        std::string create;
        if (option(kOptStructure)) {
            if (!createStructure(db, t, kind, engine, fields, field_count, create)) return Flow::Go;
        } else {
            context_.log(kLogInfo, "Structure option is unchecked.");
        }
        if (context_.stopRequested()) return Flow::Stop;
        if (kind == kKindView) return Flow::Go;

        // Without the structure the CREATE text is read only for what it
        // tells of the rows: their engine, or a sequence.
        if (create.empty() && show_create_) create = showCreateText(source_, t);
        if (rowsLiveElsewhere(status_engine, create)) {
            // A MERGE table's rows are those of its tables, a FEDERATED
            // table's are on another server: copying them (or a DELETE)
            // would double or destroy them.
            context_.log(kLogInfo, "The records of the table " + t + " are kept in other tables; they are not copied.");
        } else {
            // A sequence refuses a DELETE; its INSERT replaces its one row.
            if (option(kOptDeleteRecords) && !isSequenceTable(create) &&
                !toDestination(deleteRowsStatement(t, quote_))) {
                destinationError(printf1("Failed to DELETE %s!", t));
                return Flow::Go;
            }
            if (option(kOptRecords)) {
                if (context_.stopRequested()) return Flow::Stop;
                const Flow rows = copyRows(t, std::move(field_list), locks);
                if (rows == Flow::Stop || !rows_done_) return rows;
            }
        }
        if (option(kOptStructure)) {
            if (const auto triggers = catalogue_.triggers.find(t); triggers != catalogue_.triggers.end()) {
                // After the rows, so that copying them fires nothing.
                locks.release();
                for (const std::string& trigger : triggers->second) {
                    copyObject(db, ObjectKind::Trigger, trigger);
                    if (context_.stopRequested()) return Flow::Stop;
                }
            }
        }
        return Flow::Go;
    }

    bool createStructure(const std::string& db, const std::string& t, uint8_t kind, const std::string& engine,
                         const MYSQL_FIELD* fields, unsigned int field_count, std::string& create) {
        if (option(kOptDropTable)) {
            // A failed view drop is no failure: a table of that name may be there.
            const std::vector<std::string> drops = dropBeforeCreateStatements(t, kind == kKindView, quote_);
            for (size_t i = 0; i + 1 < drops.size(); ++i) toDestination(drops[i]);
            if (!toDestination(drops.back())) {
                destinationError("Failed to drop table " + t + "!");
                return false;
            }
        }
        if (kind == kKindView) return createViewPlaceholder(db, t, fields, field_count);

        create = createTableStatement(source_, t, engine, fields, field_count, quote_, show_create_);
        if (create.empty()) {
            error("Failed to get create table! - " + t);
            return false;
        }
        if (!toDestination(create)) {
            if (another_database_) {
                destinationError(printf1("Failed to CREATE TABLE %s on the destination server!", t));
            } else {
                destinationError(printf1("Failed to CREATE TABLE %s.", db) +
                                 printf1("%s on the destination server!", t));
            }
            return false;
        }
        return true;
    }

    // A view first becomes a table of its columns, so that the tables and
    // views after it can refer to it before the real view exists.
    bool createViewPlaceholder(const std::string& db, const std::string& t, const MYSQL_FIELD* fields,
                               unsigned int field_count) {
        if (!toSource(temporaryColumnsTableStatement(t, quote_))) {
            // Too many or too wide columns for a table: a view of constants
            // with the same column names stands in instead.
            context_.log(kLogInfo, "The view " + t + " has no stand-in table; a stand-in view takes its place.");
            if (!toDestination(standInViewStatement(qt(t), fields, field_count, quote_))) {
                destinationError(
                    printf1("Failed to create temporary table on the destination server for the view %s!", t));
                return false;
            }
        } else {
            // The temporary table hides the view of the same name.
            const std::string placeholder = standInTableStatement(showCreateText(source_, t));
            const std::string drop_temporary = dropTemporaryTableStatement(t, quote_);
            if (placeholder.empty()) {
                error("Failed to show temporary table for the view " + t);
                toSource(drop_temporary);
                return false;
            }
            if (!toDestination(placeholder)) {
                destinationError(
                    printf1("Failed to create temporary table on the destination server for the view %s!", t));
                toSource(drop_temporary);
                return false;
            }
            if (!toSource(drop_temporary)) {
                error("Failed to drop temporary table for the view " + t);
                return false;
            }
        }
        std::optional<SchemaObject> view = readViewObject(source_, t);
        if (!view || view->definition.empty()) {
            error("Failed to show view " + t);
            return false;
        }
        views_.push_back(std::move(*view));
        context_.log(kLogInfo, words_.view_done + db + "." + t + " - OK");
        return true;
    }

    std::string insertPrefix(const std::string& t, const MYSQL_FIELD* fields, unsigned int count,
                             const TableColumns& plan) const {
        std::string column_list;
        if (plan.explicit_list) {
            // Hidden and generated columns: the columns read are named.
            column_list = plan.insertColumnList(option(kOptKeywordColumns) || quote_);
        } else if (option(kOptCompleteInsert)) {
            // Column names here are quoted by their own option, not the table's.
            column_list = fieldColumnList(fields, count, option(kOptKeywordColumns));
        }
        const InsertKind kind{option(kOptReplace), option(kOptInsertDelayed), option(kOptInsertIgnore)};
        return keelvault::insertPrefix(kind, t, quote_, column_list);
    }

    bool sendQueue() {
        const size_t statements = queue_.size();
        bool ok = true;
        for (std::string& statement : queue_) {
            if (!sender_.add(std::move(statement))) {
                ok = false;
                break;
            }
        }
        ok = ok && sender_.flush();
        queue_.clear();
        if (probe_.on_queue_sent) probe_.on_queue_sent(statements, ok);
        return ok;
    }

    // Sends or queues one finished statement by the buffer mode; false
    // (logged) when the destination rejected it.
    // Without a buffer mode the sender still groups the statements: a
    // failure may come to light a few statements later, and is then
    // reported for the statement that failed.
    bool dispatch(const std::string& t, std::string statement, bool multi_row, int rows) {
        const uint8_t mode = task_.buffer_options.mode;
        row_counts_.push_back(rows);
        if (mode == 1 || mode == 2) {
            queue_.push_back(std::move(statement));
            const size_t limit = static_cast<size_t>(std::max<int32_t>(1, task_.buffer_options.records));
            if (mode == 2 || queue_.size() < limit || sendQueue()) return true;
            rowError(multi_row ? "Failed to insert some multi-rows records to the table " + t + "!"
                               : "Failed to insert some records to the table " + t + "!");
            return false;
        }
        if (sender_.add(std::move(statement))) return true;
        immediateFailed(t, multi_row);
        return false;
    }

    void immediateFailed(const std::string& t, bool multi_row) {
        rowError(multi_row ? "Failed to insert multi-rows records to the table " + t + "!"
                           : "Failed to insert a record to the table " + t + "!");
    }

    Flow copyRows(const std::string& t, ResultPtr field_list, LockRelease& locks) {
        rows_done_ = false;
        MYSQL* source = source_.native();
        const TableColumns plan = readTableColumns(source_, qt(t));
        const std::string select = plan.selectStatement(qt(t), quote_);
        const bool select_failed =
            mysql_real_query(source, select.data(), static_cast<unsigned long>(select.size())) != 0;
        if (probe_.on_source_statement) probe_.on_source_statement(select, !select_failed);
        if (select_failed) {
            sourceError("Failed to get all records of table " + t + " !");
            return Flow::Go;
        }
        ResultPtr rows(mysql_use_result(source));
        if (!rows) {
            error("No records of the table " + t);
            return Flow::Go;
        }

        if (option(kOptDisableKeys) && !toDestination(disableKeysStatement(t, quote_))) {
            destinationError(printf1("Failed to DISABLE KEYS of the table %s!", t));
            return Flow::Go;
        }
        if (option(kOptAddLockTables)) {
            if (!toDestination(lockForWriteStatement(t, quote_))) {
                destinationError(printf1("Failed to LOCK TABLES %s!", t));
                return Flow::Go;
            }
            locks.destination = true;
        }
        if (option(kOptAutocommit) && !toDestination(autocommitOffStatement())) {
            destinationError(printf1("Failed to SET AUTOCOMMIT of the table %s!", t));
            return Flow::Go;
        }

        const unsigned int count = mysql_num_fields(rows.get());
        const MYSQL_FIELD* fields = mysql_fetch_fields(rows.get());
        const std::string prefix = insertPrefix(t, fields, count, plan);
        const bool multi_row = option(kOptMultipleRows);
        MYSQL* escaper = destination_.native();

        long long fetched = 0;
        std::string pending = prefix;
        int pending_rows = 0;
        std::string values;
        bool send_failed = false;
        bool stop = false;
        while (MYSQL_ROW row = mysql_fetch_row(rows.get())) {
            const unsigned long* lengths = mysql_fetch_lengths(rows.get());
            ++fetched;
            context_.progress().addRows();
            values.clear();
            appendRowValues(values, escaper, row, lengths, fields, count);
            if (!multi_row) {
                std::string statement;
                statement.reserve(prefix.size() + values.size());
                statement += prefix;
                statement += values;
                if (!dispatch(t, std::move(statement), false, 1)) {
                    send_failed = true;
                    break;
                }
            } else {
                pending.reserve(pending.size() + values.size() + 20);
                pending += values;
                // Ten rows, or fewer when they are large, so that every
                // statement fits the packet limit of the destination.
                if (++pending_rows < kRowsPerStatement && pending.size() <= kMaxMultiRowBytes) {
                    pending += ',';
                } else {
                    const bool immediate = task_.buffer_options.mode != 1 && task_.buffer_options.mode != 2;
                    if (!dispatch(t, pending, true, pending_rows)) {
                        send_failed = true;
                        // A rejected immediate send keeps its statement: the
                        // closing step sends it once more.
                        if (immediate) {
                            pending = row_failure_.statement;
                        } else {
                            pending = prefix;
                            pending_rows = 0;
                        }
                        break;
                    }
                    pending = prefix;
                    pending_rows = 0;
                }
            }
            if (fetched % kRowsPerStopCheck == 0 && context_.stopRequested()) {
                stop = true;
                break;
            }
        }

        if (stop) {
            // Rows not yet sent stay unsent; the log claims none of them.
            sender_.discard();
            row_counts_.clear();
            // Freeing an unread result would read the rest of the table first.
            mariadb_cancel(source);
            return Flow::Stop;
        }
        const bool immediate = task_.buffer_options.mode != 1 && task_.buffer_options.mode != 2;
        if (immediate && !send_failed && !sender_.flush()) {
            send_failed = true;
            immediateFailed(t, multi_row);
            if (multi_row) {
                pending = row_failure_.statement;
                pending_rows = 1;
            }
        }
        if (immediate && send_failed) {
            // The rows up to the one that failed, as when each is sent alone.
            fetched = rows_answered_;
        }
        row_counts_.clear();
        rows_answered_ = 0;
        // A source that failed in mid-table did not give every row.
        unsigned int fetch_error = 0;
        std::string fetch_error_text;
        if (!send_failed && mysql_errno(source) != 0) {
            fetch_error = mysql_errno(source);
            fetch_error_text = mysql_error(source);
        }

        rows.reset();
        field_list.reset();
        if (context_.stopRequested()) return Flow::Stop;
        if (!queue_.empty() && !sendQueue()) {
            destinationError("Failed to insert multi-rows records to the table " + t + "!");
            return Flow::Go;
        }
        if (multi_row) {
            if (!pending.empty() && pending.back() == ',') pending.pop_back();
            if (pending_rows > 0 && !toDestination(pending)) {
                rowError("Failed to insert multi-row records to the table " + t + "!");
                return Flow::Go;
            }
        }
        if (option(kOptLockTables)) {
            toSource(unlockTablesStatement());
            locks.source = false;
        }
        if (option(kOptAddLockTables)) {
            locks.destination = false;
            if (!toDestination(unlockTablesStatement())) {
                destinationError("Failed to UNLOCK TABLES on the destination server! - " + t);
                return Flow::Go;
            }
        }
        if (option(kOptDisableKeys) && !toDestination(enableKeysStatement(t, quote_))) {
            destinationError(printf1("Failed to ENABLE KEYS of the table %s!", t));
            return Flow::Go;
        }
        if (option(kOptAutocommit) && !toDestination(commitStatement())) {
            destinationError(printf1("Failed to COMMIT of the table %s!", t));
            return Flow::Go;
        }
        if (fetch_error != 0) {
            char head[160];
            std::snprintf(head, sizeof head, "  Error NO. %u  ", fetch_error);
            error("Failed to read all records of the table " + t + " from the source server!" + head +
                  fetch_error_text);
            return Flow::Go;
        }
        char summary[160];
        std::snprintf(summary, sizeof summary, words_.records_done, static_cast<int>(fetched));
        context_.log(kLogInfo, summary);
        rows_done_ = true;
        return Flow::Go;
    }

    RunContext& context_;
    CTask& task_;
    const CBackupOptions& options_;
    const ServerCopyProbe& probe_;
    const bool restore_;
    const bool another_database_;
    const Wording& words_;
    TaskTime start_;
    std::string task_name_;
    MySqlSession source_;
    MySqlSession destination_;
    bool quote_ = false;
    bool show_create_ = true;
    bool set_names_ = true;
    bool charset_clause_ = true;
    SessionSettings destination_settings_;  // what the destination's session was set to, to be put back
    bool time_zone_ = false;
    bool rows_done_ = false;  // the last copyRows reached its summary line
    DatabaseCatalogue catalogue_;
    std::vector<SchemaObject> views_;
    std::vector<std::string> queue_;
    BatchSender sender_{destination_};
    ServerStatementSink destination_sink_{sender_};
    struct RowFailure {
        std::string statement;
        unsigned int error_number = 0;
        std::string error_text;
    };
    RowFailure row_failure_;       // the last statement the sender reported failed
    std::deque<int> row_counts_;   // rows of each row statement not yet answered
    long long rows_answered_ = 0;  // rows of the statements answered so far in this table
};

}  // namespace

std::string expandDestinationName(const std::string& pattern, const std::string& task_name,
                                  const std::string& source_host, const std::string& database, const TaskTime& start) {
    std::string name = pattern;
    replaceAll(name, "%TASKNAME%", withoutPathMarks(task_name));
    replaceAll(name, "%HOST%", withoutPathMarks(source_host));
    replaceAll(name, "%DATABASE%", database);
    replaceAll(name, "%DATE%", std::to_string(start.year) + "-" + twoDigits(start.month) + "-" + twoDigits(start.day));
    replaceAll(name, "%TIME%", twoDigits(start.hour) + "-" + twoDigits(start.minute) + "-" + twoDigits(start.second));
    return name;
}

EngineResult runServerCopy(RunContext& context, const ServerCopyProbe& probe) {
    CopyRun run(context, probe);
    return run.run();
}

}  // namespace keelvault
