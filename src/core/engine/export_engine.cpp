#include "core/engine/export_engine.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/engine/export_writers.h"
#include "core/engine/mysql_session.h"
#include "core/engine/row_text_reader.h"
#include "core/engine/sql_quote.h"
#include "core/platform/data_folder.h"
#include "core/scheduler/run_context.h"

namespace keelvault {

namespace {

// A database or table name as part of a file name.
std::string fileNamePart(const std::string& name) {
    if (name == "." || name == "..") return std::string(name.size(), '_');
    std::string out = name;
    for (char& c : out) {
        if (c == '/' || c == '\0') c = '_';
    }
    return out;
}

// The directory as stored without one trailing separator; only its last level
// is created and a failure shows later, when the file cannot be created.
void createExportDirectory(const std::string& directory) {
    std::string path = directory;
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    std::error_code ec;
    std::filesystem::create_directory(path, ec);
}

// The server's estimate of a table's rows; -1 when it has none.
int64_t rowEstimate(MySqlSession& session, const std::string& database, const std::string& table) {
    std::string value;
    if (!session.queryValue("SELECT TABLE_ROWS FROM information_schema.TABLES WHERE TABLE_SCHEMA='" +
                                escapeStringLiteral(database) + "' AND TABLE_NAME='" + escapeStringLiteral(table) + "'",
                            value) ||
        value.empty()) {
        return -1;
    }
    return std::atoll(value.c_str());
}

enum class EntryResult { Exported, Skipped, Canceled };

class ExportRun {
public:
    ExportRun(RunContext& context, MySqlSession& session, bool quote)
        : ctx_(context), session_(session), quote_(quote), options_(context.task().export_options) {}

    EntryResult exportEntry(const CTableItem& entry);

private:
    EntryResult canceled(MYSQL_RES* streaming);

    RunContext& ctx_;
    MySqlSession& session_;
    bool quote_;
    const CExportOptions& options_;
};

EntryResult ExportRun::canceled(MYSQL_RES* streaming) {
    // Releasing a half-read result would read the rest of the table first;
    // abort the connection so the release returns at once.
    if (streaming) mariadb_cancel(session_.native());
    return EntryResult::Canceled;
}

EntryResult ExportRun::exportEntry(const CTableItem& entry) {
    const bool view = entry.kind == kKindView;
    const char* what = view ? "view" : "table";
    const std::string path = exportFilePath(options_.directory, entry.database, entry.table, options_.format);
    ctx_.log(kLogInfo,
             std::string("Exporting the ") + what + " " + entry.database + "." + entry.table + " to " + path + " ...");

    if (!session_.selectDatabase(entry.database)) {
        ctx_.log(kLogError, "Can't use database (" + entry.database + ")!");
        return EntryResult::Skipped;
    }
    session_.applyDatabaseCharset();

    OutputFile file;
    if (!file.create(path)) {
        ctx_.log(kLogError, "Failed to create the export file - " + path + "!");
        return EntryResult::Skipped;
    }

    MYSQL* mysql = session_.native();
    {
        ResultPtr listed(mysql_list_fields(mysql, entry.table.c_str(), nullptr));
        if (!listed) {
            ctx_.log(kLogWarning, "Failed to list fields!");
            return EntryResult::Skipped;
        }
    }

    ctx_.progress().beginTable(entry.database, entry.table, rowEstimate(session_, entry.database, entry.table));
    const std::string select = "SELECT * FROM " + quoteName(entry.table, quote_);
    if (mysql_real_query(mysql, select.data(), static_cast<unsigned long>(select.size())) != 0) {
        ctx_.log(kLogWarning, "Failed to select all records!");
        return EntryResult::Skipped;
    }
    ResultPtr result(mysql_use_result(mysql));
    if (!result) {
        ctx_.log(kLogWarning, "Record set is empty!");
        return EntryResult::Skipped;
    }

    // The result's own descriptions, so the field count always matches the rows.
    ExportWriter writer(options_, exportFieldsOf(mysql_fetch_fields(result.get()), mysql_num_fields(result.get())),
                        mysql);
    if (!writer.writeHeader(file)) {
        ctx_.log(kLogError, "Failed to write the fields title to the file!");
        return EntryResult::Skipped;
    }

    // Rows are fetched and turned into text on a thread of their own while
    // the texts before are written.
    uint64_t rows = 0;
    RowTextReader reader(result.get(), [&writer](std::string& out, MYSQL_ROW row, const unsigned long* lengths) {
        writer.rowText(row, lengths, out);
    });
    std::string_view text;
    while (reader.next(text)) {
        if (ctx_.stopRequested()) {
            // The cancel breaks a fetch that waits on the server, and the
            // release of the half-read result then returns at once.
            reader.stop([this] { mariadb_cancel(session_.native()); });
            return EntryResult::Canceled;
        }
        if (!file.append(text)) {
            reader.stop();
            ctx_.log(kLogError, "Failed to write records to the file!");
            return EntryResult::Skipped;
        }
        ++rows;
        ctx_.progress().addRowOutput(static_cast<int64_t>(file.size()));
    }
    // The connection is the reader's until it has stopped.
    reader.stop();
    if (ctx_.stopRequested()) return canceled(nullptr);
    // Rows that stop coming because the connection broke are not a whole table.
    const bool fetch_failed = mysql_errno(mysql) != 0;
    result.reset();
    if (fetch_failed) {
        ctx_.log(kLogWarning, "Failed to select all records!");
        return EntryResult::Skipped;
    }
    // What is still buffered belongs to the rows: a failure here is theirs.
    if (!file.flush()) {
        ctx_.log(kLogError, "Failed to write records to the file!");
        return EntryResult::Skipped;
    }
    if (options_.format == kExportXml || options_.format == kExportHtml) {
        if (!writer.writeEnd(file) || !file.flush()) ctx_.log(kLogError, "Failed to write the end string to the file!");
    }
    file.close();
    ctx_.progress().setOutputBytes(static_cast<int64_t>(file.size()));
    ctx_.progress().closeOutput();

    ctx_.log(kLogInfo, "Exported " + std::to_string(rows) + " records from the " + what + " " + entry.database + "." +
                           entry.table);
    return EntryResult::Exported;
}

}  // namespace

const char* exportFileExtension(int format) {
    switch (format) {
        case kExportCsv:
            return ".csv";
        case kExportXml:
            return ".xml";
        case kExportHtml:
            return ".html";
        default:
            return ".txt";
    }
}

std::string exportFilePath(const std::string& directory, const std::string& database, const std::string& table,
                           int format) {
    if (directory.empty()) return {};
    std::string path = directory;
    if (path.back() != '/') path += '/';
    path += fileNamePart(database);
    path += '_';
    path += fileNamePart(table);
    path += exportFileExtension(format);
    return path;
}

EngineResult runExportTask(RunContext& context) {
    return runExportTask(context, ExportRunSettings{});
}

EngineResult runExportTask(RunContext& context, const ExportRunSettings& settings) {
    const CTask& task = context.task();
    const std::vector<CTableItem>& entries = task.export_tables;
    if (entries.empty()) {
        context.log(kLogError, "There are not any tables or views to export!");
        return EngineResult::Failed;
    }
    const std::filesystem::path& data_folder = context.env().data_folder;
    if (!data_folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directory(backupDataFolderPath(data_folder), ec);
    }
    const std::string& directory = task.export_options.directory;
    if (directory.empty()) {
        context.log(kLogError, "Export directory name is empty!");
        return EngineResult::Failed;
    }
    createExportDirectory(directory);

    context.log(kLogInfo, "Connecting to the source MySQL server (" + task.source.host + ")... ");
    MySqlSession session;
    session.registerWith(context);
    session.setVersionOverride(settings.version_override);
    if (!session.open(task.source)) {
        context.log(kLogError, connectFailedLogText(session.errorNumber(), session.errorText()));
        return EngineResult::Failed;
    }
    context.log(kLogInfo, connectSucceededLogText(session.versionText()));
    const bool quote = session.quotingAllowed();
    session.applyServerCharset();

    context.log(kLogInfo, "Exporting " + std::to_string(entries.size()) + " selected tables and views...");
    ExportRun run(context, session, quote);
    int exported = 0;
    context.progress().setTablesTotal(static_cast<int64_t>(entries.size()));
    for (const CTableItem& entry : entries) {
        if (context.stopRequested()) return EngineResult::Canceled;
        const EntryResult result = run.exportEntry(entry);
        context.progress().endTable();
        if (result == EntryResult::Canceled) return EngineResult::Canceled;
        if (result == EntryResult::Exported) ++exported;
    }
    session.close();
    context.log(kLogInfo, "Exported " + std::to_string(exported) + " tables and views");
    return EngineResult::Finished;
}

}  // namespace keelvault
