#include "core/engine/restore_engine.h"

#include <unistd.h>

#include <cctype>
#include <string>
#include <vector>

#include "core/engine/batch_sender.h"
#include "core/engine/gzip_unpack.h"
#include "core/engine/mysql_session.h"
#include "core/model/task_log.h"
#include "core/scheduler/run_context.h"

namespace keelvault {

namespace {

constexpr uint8_t kFileKindSql = 0;
constexpr uint8_t kFileKindGzip = 1;
constexpr unsigned int kPacketTooLarge = 1153;  // the server's ER_NET_PACKET_TOO_LARGE

bool hasGzExtension(const std::string& path) {
    if (path.size() < 3) return false;
    std::string tail = path.substr(path.size() - 3);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".gz";
}

// Deletes the SQL file unpacked for one entry however the entry is left.
class UnpackedFile {
public:
    UnpackedFile() = default;
    ~UnpackedFile() { remove(); }
    UnpackedFile(const UnpackedFile&) = delete;
    UnpackedFile& operator=(const UnpackedFile&) = delete;

    void set(const std::string& path) { path_ = path; }
    void remove() {
        if (!path_.empty()) ::unlink(path_.c_str());
        path_.clear();
    }

private:
    std::string path_;
};

class RestoreRun {
public:
    RestoreRun(RunContext& context, const SqlFileReaderFactory& make_reader)
        : context_(context), task_(context.task()), make_reader_(make_reader) {
        sender_.setJoinRows(true);
        sender_.setFailureHandler([this](const std::string& statement, unsigned int number, const std::string& text) {
            return onStatementFailed(statement, number, text);
        });
    }

    EngineResult run() {
        if (task_.restore_files.empty()) {
            context_.log(kLogError, "There are not any files to restore!");
            return EngineResult::Failed;
        }
        context_.log(kLogInfo, "Connecting to the destination MySQL server (" + task_.destination.host + ")... ");
        session_.registerWith(context_);
        if (!session_.open(task_.destination)) {
            context_.log(kLogError, connectFailedLogText(session_.errorNumber(), session_.errorText()));
            return EngineResult::Failed;
        }
        context_.log(kLogInfo, connectSucceededLogText(session_.versionText()));
        // A statement the server cannot take would cost the connection: the
        // server drops it on a packet above its limit.
        const unsigned long long packet = session_.maxAllowedPacket();
        max_statement_ = packet > 1 ? static_cast<size_t>(packet - 1) : SIZE_MAX;
        context_.log(kLogInfo, "Restoring MySQL databases by SQL/GZIP files: " +
                                   std::to_string(task_.restore_files.size()) + " files");

        bool stop = false;
        for (const CRestoreFile& entry : task_.restore_files) {
            if (entry.kind == kFileKindSql || entry.kind == kFileKindGzip) context_.progress().addFilesTotal(1);
        }
        for (const CRestoreFile& entry : task_.restore_files) {
            if (context_.stopRequested()) return EngineResult::Canceled;
            if (entry.kind != kFileKindSql && entry.kind != kFileKindGzip) continue;
            const Outcome outcome = restoreEntry(entry);
            if (outcome == Outcome::Canceled) return canceled();
            if (context_.stopRequested()) return canceled();
            if (outcome == Outcome::Stop) {
                stop = true;
                break;
            }
        }
        session_.close();
        logFailedCount();
        return stop ? EngineResult::Failed : EngineResult::Finished;
    }

private:
    enum class Outcome { Next, Stop, Canceled };

    EngineResult canceled() {
        logFailedCount();
        return EngineResult::Canceled;
    }

    // How the run went, before its last line.
    void logFailedCount() {
        if (failed_ == 0) return;
        context_.log(kLogWarning, std::to_string(failed_) + (failed_ == 1 ? " SQL statement" : " SQL statements") +
                                      " failed during the restore.");
        failed_ = 0;
    }

    // One failed statement: its text, then the server's reason.
    void statementFailed(const std::string& statement, const std::string& reason) {
        ++failed_;
        context_.log(kLogError, "Failed to execute the SQL statement: " + statement);
        context_.log(kLogWarning, reason);
    }

    // Mode 0 (and any mode the reader does not know) hands over one statement at a time.
    bool statementAtATime() const { return task_.buffer_options.mode != 1 && task_.buffer_options.mode != 2; }
    bool continueOnSqlError() const { return task_.restore_options.continue_on_sql_error != 0; }
    bool continueOnFileError() const { return task_.restore_options.continue_on_file_error != 0; }

    Outcome restoreEntry(const CRestoreFile& entry) {
        context_.log(kLogInfo, "Restoring...  " + entry.full_path);
        std::string path = entry.full_path;
        UnpackedFile unpacked;
        if (entry.kind == kFileKindGzip && hasGzExtension(path)) {
            const int code = unpackGzipFile(path);
            if (code != kGunzipDone) {
                context_.log(kLogError, "Failed to uncompress the GZIP file! Error No: " + std::to_string(code) +
                                            ", File: " + entry.full_path);
                return Outcome::Next;
            }
            unpacked.set(path);
        }
        if (context_.stopRequested()) return Outcome::Canceled;

        std::unique_ptr<SqlFileReader> reader = make_reader_ ? make_reader_() : std::make_unique<SqlFileReader>();
        reader->setMaxStatementSize(max_statement_);
        if (!reader->open(path)) {
            context_.log(kLogError, "Failed to open the file!");
            return continueOnFileError() ? Outcome::Next : Outcome::Stop;
        }
        context_.progress().beginFile(entry.full_path, static_cast<int64_t>(reader->length()));
        const Outcome outcome = replay(*reader);
        context_.progress().endFile();
        reader->close();
        return outcome;
    }

    // Sends every statement of an open file. After a failing statement with
    // the SQL flag clear the rest of its batch is skipped, but later batches
    // of the same file are still read and sent; the run stops after the file.
    // Row statements reach the server in groups (BatchSender). With the SQL
    // flag clear every reader batch of modes 1 and 2 is sent whole before
    // the next is read, so a failure can skip the rest of exactly its own
    // batch; with the flag set no failure skips anything, and the groups
    // need not end where the reader's batches do.
    Outcome replay(SqlFileReader& reader) {
        file_stop_ = false;
        const bool per_statement = statementAtATime();
        std::vector<std::string> statements;
        reader.seekToStart();
        while (reader.position() < reader.length()) {
            if (context_.stopRequested()) return canceledFile();
            if (reader.readStatements(statements, task_.buffer_options) == 0) {
                // What was read before the fault goes first, so the log keeps its order.
                sender_.flush();
                if (context_.stopRequested()) return canceledFile();
                context_.log(kLogError, "Failed to get some SQL statement from the file!");
                if (!continueOnFileError()) return Outcome::Stop;
                // Going on: the statements completed before the fault are still sent.
            }
            bool batch_stopped = false;
            for (std::string& statement : statements) {
                if (context_.stopRequested()) return canceledFile();
                if (!statement.empty() && statement.back() == ';') statement.pop_back();
                if (statement.empty()) continue;
                context_.progress().addStatements();
                if (sender_.add(std::move(statement))) continue;
                // A blocked call cancelled by a stop fails; that is not the statement's fault.
                if (context_.stopRequested()) return canceledFile();
                if (file_stop_ && !per_statement) {
                    batch_stopped = true;
                    break;
                }
            }
            statements.clear();
            context_.progress().setFileBytes(static_cast<int64_t>(reader.position()));
            // A statement too large for the server ended the batch; it is
            // reported in its place and never sent.
            auto oversized = reader.takeOversized();
            if ((!per_statement && !continueOnSqlError()) || oversized) {
                const bool stop_before = file_stop_;
                sender_.flush();
                if (context_.stopRequested()) return canceledFile();
                if (file_stop_ && !stop_before) batch_stopped = true;
            }
            if (oversized && !batch_stopped) {
                statementFailed(oversized->head + "...",
                                serverErrorLogText(kPacketTooLarge,
                                                   "Got a packet bigger than 'max_allowed_packet' bytes (" +
                                                       std::to_string(oversized->size) + " bytes; the server takes " +
                                                       std::to_string(max_statement_) + ")"));
                if (!continueOnSqlError()) file_stop_ = true;
            }
        }
        sender_.flush();
        if (context_.stopRequested()) return canceledFile();
        return file_stop_ ? Outcome::Stop : Outcome::Next;
    }

    // A stop: what was read but not sent is dropped, as if it had not been read.
    Outcome canceledFile() {
        sender_.discard();
        return Outcome::Canceled;
    }

    BatchSender::AfterFailure onStatementFailed(const std::string& statement, unsigned int error_number,
                                                const std::string& error_text) {
        if (context_.stopRequested()) return BatchSender::AfterFailure::SkipRest;
        statementFailed(statement, serverErrorLogText(error_number, error_text));
        // A stop seen by then ends the batch before its next statement.
        if (context_.stopRequested()) return BatchSender::AfterFailure::SkipRest;
        if (continueOnSqlError()) return BatchSender::AfterFailure::Continue;
        file_stop_ = true;
        // Each statement is a reader batch of its own: the next one is still sent.
        return statementAtATime() ? BatchSender::AfterFailure::Continue : BatchSender::AfterFailure::SkipRest;
    }

    RunContext& context_;
    const CTask& task_;
    const SqlFileReaderFactory& make_reader_;
    MySqlSession session_;
    BatchSender sender_{session_};
    bool file_stop_ = false;  // a failure with the SQL flag clear: the run stops after this file
    size_t max_statement_ = SIZE_MAX;
    long long failed_ = 0;
};

}  // namespace

EngineResult runRestoreFromFiles(RunContext& context, const SqlFileReaderFactory& make_reader) {
    RestoreRun run(context, make_reader);
    return run.run();
}

}  // namespace keelvault
