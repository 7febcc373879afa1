#include "core/engine/backup_files_engine.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "core/engine/backup_digests.h"
#include "core/engine/backup_naming.h"
#include "core/engine/dump_writer.h"
#include "core/engine/mysql_session.h"
#include "core/engine/selection_resolver.h"
#include "core/model/task_log.h"
#include "core/platform/data_folder.h"
#include "core/scheduler/retention.h"
#include "core/scheduler/run_context.h"

namespace keelvault {

namespace {

std::string formatCount(const char* format, long long value) {
    char buf[128];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

class BackupRun {
public:
    BackupRun(RunContext& context, unsigned long version_override)
        : context_(context),
          task_(context.task()),
          options_(task_.backup_options),
          layout_(backupLayoutFor(options_)),
          file_(options_.flag(kOptFileType) == 2 ? DumpForm::Php : DumpForm::Sql, options_.unix_newlines != 0) {
        session_.setVersionOverride(version_override);
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

        if (task_.databases.empty()) return failure("There are not any databases to backup!");
        std::error_code ec;
        std::filesystem::create_directory(backupDataFolderPath(context_.env().data_folder), ec);
        if (layout_ != BackupLayout::SameFile && !prepareBackupFolder(options_, start_, folder_)) {
            return failure("Backup directory name is empty!");
        }

        if (context_.stopRequested()) return canceled();
        context_.log(kLogInfo, "Connecting to the source MySQL server (" + task_.source.host + ")... ");
        session_.registerWith(context_);
        if (!session_.open(task_.source)) {
            return failure(connectFailedLogText(session_.errorNumber(), session_.errorText()));
        }
        context_.log(kLogInfo, connectSucceededLogText(session_.versionText()));
        if (context_.stopRequested()) return canceled();

        DumpSettings settings;
        settings.options = options_;
        settings.buffer = task_.buffer_options;
        settings.source = task_.source;
        settings.version_text = session_.versionText();
        settings.version = session_.versionNumber();
        settings.time = start_;
        if (options_.flag(kOptSetCharset)) settings.server_charset = session_.applyServerCharset().connection;
        if (settings.timeZone()) session_.execute("SET TIME_ZONE='+00:00'");
        writer_.emplace(session_, context_, settings);

        context_.log(kLogInfo, "Backing up the selected databases and tables...");
        if (singleFile() && !openFile(singleFilePath())) {
            file_.abandon(false);
            session_.close();
            return EngineResult::Failed;
        }
        if (options_.flag(kOptFlushLogs)) session_.execute("FLUSH LOGS");

        const std::vector<CDatabaseItem> working = resolveSelection(
            session_, task_.databases, options_.flag(kOptNewTables) != 0, options_.flag(kOptNewDatabases) != 0);
        for (const CDatabaseItem& database : working) {
            if (database.selected != 0) context_.progress().addSelectedTables(database);
        }
        for (const CDatabaseItem& database : working) {
            if (database.selected == 0) continue;
            if (context_.stopRequested()) return canceled();
            if (!backupDatabase(database)) return canceled();
        }
        if (singleFile()) finishFile();
        session_.close();

        if (compressing()) logCompression();
        writeDigests();
        recordBackup();
        applyRetention(task_, context_.env());
        return EngineResult::Finished;
    }

private:
    bool singleFile() const { return layout_ == BackupLayout::SameFile || layout_ == BackupLayout::OneFile; }
    // Compression never applies to PHP files.
    bool compressing() const { return options_.flag(kOptFileType) != 2 && options_.gzip != 0; }
    // The level SQL files are compressed with as they are written; 0 when
    // they are not, or the stored level is none that gzip knows.
    int gzipLevel() const {
        const int level = options_.compression_level;
        return compressing() && level >= 1 && level <= 9 ? level : 0;
    }

    EngineResult failure(const std::string& message) {
        context_.log(kLogError, message);
        file_.abandon(false);
        session_.close();
        return EngineResult::Failed;
    }

    EngineResult canceled() {
        session_.close();
        abandonFile();
        task_.run_now = 0;
        return EngineResult::Canceled;
    }

    // Gives up the file being written: it is no backup, so it is neither
    // recorded nor left under a backup's name. A new file stays beside its
    // name as ".incomplete"; in same-file mode the last complete backup stays.
    void abandonFile() {
        file_incomplete_ = false;
        if (!file_.isOpen()) return;
        if (layout_ == BackupLayout::SameFile) {
            file_.abandon(false);
            context_.log(kLogError,
                         "The backup file is not complete; the last complete backup is kept - " + file_.path());
            return;
        }
        const std::string kept = file_.abandon(true);
        context_.log(kLogError, kept.empty() ? "The backup file is not complete and was removed - " + file_.path()
                                             : "The backup file is not complete and is kept as " + kept);
    }

    // A name format without %DATABASE% or %TABLE% gives every file of a
    // per-database or per-table run the same name; the later ones are
    // numbered rather than written over what this run has just written.
    std::string newFilePath(const std::string& database, const std::string& table) {
        std::string path = backupFilePath(folder_, options_,
                                          BackupNameValues{task_name_, task_.source.host, database, table, start_});
        if (run_paths_.insert(path).second) return path;
        const size_t dot = path.rfind('.');  // the ".sql" or ".php" just added
        for (int n = 2;; ++n) {
            std::string numbered = path.substr(0, dot) + "_" + std::to_string(n) + path.substr(dot);
            if (run_paths_.insert(numbered).second) return numbered;
        }
    }

    std::string singleFilePath() {
        return layout_ == BackupLayout::SameFile ? options_.same_file_path : newFilePath("", "");
    }

    // Creates a file and writes its header; failures are logged.
    bool openFile(std::string path) {
        file_incomplete_ = false;
        const int level = gzipLevel();
        if (level != 0) path += ".gz";
        if (!file_.create(path, level)) {
            context_.log(kLogError, "Failed to create the backup file! - " + path);
            return false;
        }
        return writer_->writeHeader(file_);
    }

    // The bytes of the file being finished go into the run's total.
    void countOutput() {
        context_.progress().setOutputBytes(static_cast<int64_t>(file_.bytesWritten()));
        context_.progress().closeOutput();
    }

    // Writes the footer and puts the file in place. A file that failed on
    // the way, or holds a table cut short, is abandoned: it is not listed as
    // written, not compressed and not counted.
    void finishFile() {
        if (!file_.isOpen()) return;
        if (file_.failed() || file_incomplete_ || !writer_->writeFooter(file_)) {
            countOutput();
            abandonFile();
            return;
        }
        countOutput();
        if (!file_.close()) {
            context_.log(kLogError, "Failed to write the end of the backup file! - " + file_.path());
            return;
        }
        written_.push_back(file_.path());
    }

    // False when the run was asked to stop.
    bool backupDatabase(const CDatabaseItem& database) {
        const std::string& name = database.name;
        context_.log(kLogInfo, "Backing up the database " + name + "...");
        if (!session_.selectDatabase(name)) {
            context_.log(kLogError, "Failed to use database " + name);
            return true;
        }
        CharsetStep charset;
        if (options_.flag(kOptSetCharset)) charset = session_.applyDatabaseCharset();
        // Values read back for a verify must be read in the same character set.
        session_.queryValue("SELECT @@CHARACTER_SET_RESULTS", read_charsets_[name]);
        if (layout_ == BackupLayout::PerDatabase && !openFile(newFilePath(name, ""))) {
            finishFile();
            return true;
        }
        if (layout_ != BackupLayout::PerTable) {
            if (file_.failed()) return true;
            if (!writer_->writeDatabaseBlock(file_, name, charset.connection, charset.name)) {
                if (layout_ == BackupLayout::PerDatabase) finishFile();
                return true;
            }
        }
        writer_->beginDatabase(name, database.selected == kWholeDatabase);
        std::vector<DumpFile::PendingView> database_views;
        for (const CTableItem* table : tablesInReplayOrder(database, writer_->catalogue())) {
            if (context_.stopRequested()) return false;
            // A file that failed is abandoned; its remaining tables are skipped.
            if (layout_ != BackupLayout::PerTable && file_.failed()) break;
            const char* what = table->kind == kKindView ? "Backing up the view " : "Backing up the table ";
            context_.log(kLogInfo, what + name + "." + table->table + "...");
            if (layout_ == BackupLayout::PerTable) {
                if (!openFile(newFilePath(name, table->table)) ||
                    !writer_->writeDatabaseBlock(file_, name, charset.connection, charset.name)) {
                    finishFile();
                    continue;
                }
            }
            context_.progress().beginTable(name, table->table, -1);
            const uint64_t before = file_.bytesWritten();
            const TableResult result = writer_->writeTable(file_, name, table->table);
            context_.progress().endTable();
            if (result == TableResult::Canceled) return false;
            // A table that failed after its first statements leaves the file
            // without a whole copy of it (a DROP without the CREATE, rows cut short).
            if (result == TableResult::Failed && file_.bytesWritten() > before) file_incomplete_ = true;
            if (layout_ == BackupLayout::PerTable) {
                // A view's file holds its stand-in; the view itself may select
                // from tables of later files, so it waits for the last file.
                for (DumpFile::PendingView& view : file_.pending_views) database_views.push_back(std::move(view));
                file_.pending_views.clear();
                finishFile();
            }
            if (context_.stopRequested()) return false;
        }
        if (layout_ == BackupLayout::PerTable) {
            // With a file per table, the routines, events and views of the
            // database come in a file of their own, after every table.
            if (writer_->hasRoutinesOrEvents() || !database_views.empty()) {
                if (openFile(newFilePath(name, "")) &&
                    writer_->writeDatabaseBlock(file_, name, charset.connection, charset.name) &&
                    writer_->writeRoutinesAndEvents(file_, name)) {
                    file_.pending_views = std::move(database_views);
                }
                finishFile();
            }
        } else if (!file_.failed()) {
            writer_->writeRoutinesAndEvents(file_, name);
        }
        if (layout_ == BackupLayout::PerDatabase) finishFile();
        return true;
    }

    // Files are compressed as they are written; the run's log still shows
    // the compression step with its counts. A level gzip does not know
    // leaves the files uncompressed, each reported with code 102.
    void logCompression() {
        context_.log(kLogInfo,
                     formatCount("Compressing %lld SQL backup files...", static_cast<long long>(written_.size())));
        long long compressed = 0;
        for (const std::string& path : written_) {
            if (gzipLevel() != 0) {
                ++compressed;
                continue;
            }
            context_.log(kLogError, "Failed to compress the SQL file! Error No: 102, File: " + path);
        }
        context_.log(kLogInfo, formatCount("Compress %lld SQL backup files successfully.", compressed));
    }

    // The side file of the digests of the tables of every complete file;
    // tables of abandoned files have none.
    void writeDigests() {
        if (written_.empty()) return;
        const std::set<std::string> complete(written_.begin(), written_.end());
        BackupDigests digests;
        digests.task = task_name_;
        digests.run_time = start_;
        for (TableDigestEntry entry : writer_->digests()) {
            if (complete.count(entry.file) == 0) continue;
            entry.charset = read_charsets_[entry.database];
            digests.tables.push_back(std::move(entry));
        }
        const std::string path = backupDigestsPath(written_);
        if (!saveBackupDigests(path, digests)) {
            context_.log(kLogWarning, "Failed to write the digests of the backup; it cannot be verified - " + path);
        }
    }

    void recordBackup() {
        // A run that left no complete file made no backup: recording it would
        // let the count rule of retention delete a good copy in its place.
        if (written_.empty()) return;
        CBackupRecord record;
        record.year = start_.year;
        record.month = start_.month;
        record.day = start_.day;
        record.hour = start_.hour;
        record.minute = start_.minute;
        record.second = start_.second;
        record.file_mode = options_.flag(kOptFileMode);
        record.file_type = options_.flag(kOptFileType);
        record.reserved = 0;
        record.subdirectory = folder_.subdirectory;
        record.files = written_;
        std::lock_guard lock(task_.mutex());
        task_.backups.push_back(std::move(record));
    }

    RunContext& context_;
    CTask& task_;
    const CBackupOptions options_;
    const BackupLayout layout_;
    TaskTime start_;
    BackupFolder folder_;
    MySqlSession session_;
    std::optional<DumpWriter> writer_;
    DumpFile file_;
    std::vector<std::string> written_;
    std::set<std::string> run_paths_;                   // every new file name this run has used
    std::map<std::string, std::string> read_charsets_;  // database -> character set its rows were read in
    std::string task_name_;
    bool file_incomplete_ = false;  // the open file holds a table cut short
};

}  // namespace

EngineResult runBackupToFiles(RunContext& context, unsigned long version_override) {
    BackupRun run(context, version_override);
    return run.run();
}

}  // namespace keelvault
