#include "core/engine/backup_verify.h"

#include <errmsg.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <set>

#include "core/engine/gzip_unpack.h"
#include "core/engine/mysql_session.h"
#include "core/engine/row_values.h"
#include "core/engine/script_reader.h"
#include "core/engine/sql_quote.h"
#include "core/engine/table_columns.h"
#include "core/engine/table_digest.h"
#include "core/model/task_log.h"
#include "core/scheduler/run_context.h"

namespace keelvault {

namespace {

constexpr size_t kMaxDatabaseName = 64;
constexpr size_t kStatementHead = 200;  // of a failed statement, in its log line

// Reads the words and names at the start of a statement.
class StatementScanner {
public:
    explicit StatementScanner(std::string_view text) : text_(text) {}

    void skipBlanks() {
        while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
    }
    // The next word, upper-cased; empty at a name in quotes or the end.
    std::string peekWord() {
        skipBlanks();
        size_t end = at_;
        while (end < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[end])) || text_[end] == '_' ||
                                      text_[end] == '@' || text_[end] == '.'))
            ++end;
        std::string word(text_.substr(at_, end - at_));
        for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return word;
    }
    std::string word() {
        std::string w = peekWord();
        at_ += w.size();
        return w;
    }
    // Takes the word when it is `expected`.
    bool accept(const char* expected) {
        if (peekWord() != expected) return false;
        at_ += std::char_traits<char>::length(expected);
        return true;
    }
    void acceptAll(std::initializer_list<const char*> words) {
        for (bool again = true; again;) {
            again = false;
            for (const char* w : words) again = again || accept(w);
        }
    }
    // A name, bare or in backquotes (doubled backquotes inside); empty when none.
    std::string name() {
        skipBlanks();
        std::string out;
        if (at_ < text_.size() && text_[at_] == '`') {
            for (size_t i = at_ + 1; i < text_.size(); ++i) {
                if (text_[i] != '`') {
                    out += text_[i];
                } else if (i + 1 < text_.size() && text_[i + 1] == '`') {
                    out += '`';
                    ++i;
                } else {
                    at_ = i + 1;
                    return out;
                }
            }
            return {};  // never closed
        }
        while (at_ < text_.size()) {
            const auto c = static_cast<unsigned char>(text_[at_]);
            if (!(std::isalnum(c) || c == '_' || c == '$' || c >= 0x80)) break;
            out += text_[at_++];
        }
        return out;
    }
    bool nextIs(char c) {
        skipBlanks();
        return at_ < text_.size() && text_[at_] == c;
    }
    std::string rest() const { return std::string(text_.substr(at_)); }

private:
    std::string_view text_;
    size_t at_ = 0;
};

// A statement on the table named next: run in the current database unless
// the name is qualified.
ClassifiedStatement tableStatement(StatementScanner& scan) {
    ClassifiedStatement out;
    const std::string first = scan.name();
    if (!first.empty() && scan.nextIs('.')) {
        out.action = VerifyAction::Qualified;
        out.name = first;
        return out;
    }
    out.action = VerifyAction::Run;
    out.table_statement = true;
    return out;
}

ClassifiedStatement skipped() { return ClassifiedStatement{}; }

ClassifiedStatement runAsIs() {
    ClassifiedStatement out;
    out.action = VerifyAction::Run;
    return out;
}

bool endsWithNoCase(const std::string& text, const char* tail) {
    const size_t n = std::char_traits<char>::length(tail);
    if (text.size() < n) return false;
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != tail[i]) return false;
    }
    return true;
}

bool sameServer(const CServerSettings& a, const CServerSettings& b) {
    const auto host = [](std::string h) {
        for (char& c : h) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return h == "localhost" || h == "::1" ? std::string("127.0.0.1") : h;
    };
    return a.port == b.port && host(a.host) == host(b.host);
}

std::string head(const std::string& statement) {
    return statement.size() <= kStatementHead ? statement : statement.substr(0, kStatementHead) + "...";
}

// Deletes an unpacked copy of a compressed file however its replay ends.
struct UnpackedCopy {
    std::string path;
    ~UnpackedCopy() {
        if (!path.empty()) ::unlink(path.c_str());
    }
};

class VerifyRun {
public:
    VerifyRun(const VerifyRequest& request, const VerifyHooks& hooks) : request_(request), hooks_(hooks) {}

    ~VerifyRun() { dropScratch(); }

    // Drops what this verify created, on a fresh connection when the one in
    // use was cancelled or lost.
    void dropScratch() {
        session_.close();
        if (created_.empty()) return;
        MySqlSession session;
        if (!session.open(request_.target)) {
            line(kLogError, "Cannot reconnect to drop the scratch databases; drop them by hand:");
            for (const std::string& name : created_) line(kLogError, "  " + name);
            created_.clear();
            return;
        }
        for (const std::string& name : created_) {
            if (!session.execute("DROP DATABASE IF EXISTS " + quoteName(name, true))) {
                line(kLogError, "Failed to drop the scratch database " + name + "  " + session.errorLogText());
            }
        }
        created_.clear();
    }

    VerifyReport run() {
        const std::string digests_path = backupDigestsPath(request_.record);
        if (request_.record.file_type == 2) return failed("cannot verify PHP backups");
        const std::optional<BackupDigests> digests = loadBackupDigests(digests_path);
        if (!digests) return failed("the backup has no digests; it cannot be verified");
        digests_ = *digests;
        same_server_ = sameServer(request_.source, request_.target);
        source_names_.insert(request_.source_databases.begin(), request_.source_databases.end());

        if (stopped()) return canceled();
        if (hooks_.connections) {
            session_.setConnectionHooks([this](MYSQL* m) { hooks_.connections->add(m); },
                                        [this](MYSQL* m) { hooks_.connections->remove(m); });
        }
        line(kLogInfo, "Connecting to the MySQL server (" + request_.target.host + ")... ");
        if (!session_.open(request_.target)) {
            return failed(connectFailedLogText(session_.errorNumber(), session_.errorText()));
        }
        const unsigned long long packet = session_.maxAllowedPacket();
        max_statement_ = packet > 1 ? static_cast<size_t>(packet - 1) : SIZE_MAX;
        // Tables come in any order; a foreign key to a later one must not stop them.
        session_.execute("SET FOREIGN_KEY_CHECKS=0");

        for (const std::string& file : request_.record.files) {
            if (stopped()) return canceled();
            if (!replayFile(file)) return aborted_ ? failedReport() : canceled();
        }
        if (skipped_ > 0) {
            line(kLogInfo, "Views, triggers, routines and events are not compared; " + std::to_string(skipped_) +
                               (skipped_ == 1 ? " statement was" : " statements were") + " not restored.");
        }
        return compare();
    }

private:
    void line(uint8_t level, const std::string& text) {
        if (hooks_.line) hooks_.line(level, text);
    }
    bool stopped() const { return hooks_.stop.stop_requested(); }

    VerifyReport failed(const std::string& error) {
        aborted_ = true;
        error_ = error;
        return failedReport();
    }
    VerifyReport failedReport() {
        line(kLogError, "Verify failed: " + error_);
        VerifyReport report;
        report.status = VerifyStatus::Failed;
        report.error = error_;
        report.summary = "Verify failed: " + error_;
        return report;
    }
    VerifyReport canceled() {
        line(kLogWarning, "User canceled!");
        VerifyReport report;
        report.status = VerifyStatus::Canceled;
        report.summary = "Verify canceled";
        return report;
    }
    bool abort(const std::string& error) {
        aborted_ = true;
        error_ = error;
        return false;
    }

    bool nameTaken(const std::string& name) {
        if (same_server_ && source_names_.count(name)) return true;
        std::string count;
        const std::string query =
            "SELECT COUNT(*) FROM information_schema.SCHEMATA WHERE SCHEMA_NAME='" + escapeStringLiteral(name) + "'";
        return !session_.queryValue(query, count) || count != "0";
    }

    // The scratch database of a database of the backup, created on first use.
    bool ensureScratch(const std::string& database, const std::string& create_tail) {
        if (scratch_.count(database)) return true;
        std::string name;
        for (int attempt = 0; attempt < 1000; ++attempt) {
            name = scratchDatabaseName(static_cast<long>(::getpid()), next_++, database);
            if (!nameTaken(name)) break;
            name.clear();
        }
        if (name.empty()) return abort("no free scratch database name for " + database);
        if (!session_.execute("CREATE DATABASE " + quoteName(name, true) + create_tail)) {
            return abort("cannot create the scratch database " + name + "  " + session_.errorLogText());
        }
        scratch_[database] = name;
        created_.push_back(name);
        return true;
    }

    bool useScratch(const std::string& database) {
        if (!ensureScratch(database, "")) return false;
        if (!session_.selectDatabase(scratch_[database])) {
            return abort("cannot use the scratch database " + scratch_[database] + "  " + session_.errorLogText());
        }
        current_ = database;
        return true;
    }

    // Files without a USE of their own hold the one database their tables were recorded under.
    bool useDatabaseOfFile(const std::string& file) {
        std::set<std::string> databases;
        for (const TableDigestEntry& t : digests_.tables)
            if (t.file == file) databases.insert(t.database);
        if (databases.size() != 1) return true;  // the statement fails and says why
        return useScratch(*databases.begin());
    }

    // False when the verify cannot go on (aborted_ tells a failure from a stop).
    bool replayFile(const std::string& file) {
        line(kLogInfo, "Restoring...  " + file);
        std::string path = file;
        UnpackedCopy unpacked;
        if (endsWithNoCase(path, ".gz")) {
            const int code = unpackGzipFile(path);
            if (code != kGunzipDone) {
                line(kLogError,
                     "Failed to uncompress the GZIP file! Error No: " + std::to_string(code) + ", File: " + file);
                return true;
            }
            unpacked.path = path;
        }
        SqlFileReader reader;
        reader.setMaxStatementSize(max_statement_);
        if (!reader.open(path)) {
            line(kLogError, "Failed to open the file! - " + file);
            return true;
        }
        current_.clear();
        const CBufferOptions one_by_one;  // mode 0: each statement as soon as it is read
        std::vector<std::string> statements;
        while (reader.position() < reader.length()) {
            if (stopped()) return false;
            if (reader.readStatements(statements, one_by_one) == 0) {
                line(kLogError, "Failed to get some SQL statement from the file! - " + file);
            }
            for (std::string& statement : statements) {
                if (!statement.empty() && statement.back() == ';') statement.pop_back();
                if (statement.empty()) continue;
                if (!runStatement(file, statement)) return false;
            }
            statements.clear();
            if (auto oversized = reader.takeOversized()) {
                line(kLogError, "Failed to execute the SQL statement: " + head(oversized->head) +
                                    "  (larger than the server's max_allowed_packet)");
            }
        }
        return true;
    }

    bool runStatement(const std::string& file, const std::string& statement) {
        const ClassifiedStatement c = classifyVerifyStatement(statement);
        switch (c.action) {
            case VerifyAction::Skip:
                ++skipped_;
                return true;
            case VerifyAction::Qualified:
                if (same_server_ && source_names_.count(c.name)) {
                    return abort("refused: a statement of the backup writes to the source database " + c.name +
                                 " on its own server");
                }
                ++skipped_;
                line(kLogWarning, "A statement names the database " + c.name + "; it is not run: " + head(statement));
                return true;
            case VerifyAction::CreateDatabase:
                return ensureScratch(c.name, c.tail);
            case VerifyAction::UseDatabase:
                return useScratch(c.name);
            case VerifyAction::DropDatabase:
                // Only the scratch copy could be meant; it stays until the end.
                return true;
            case VerifyAction::Run:
                break;
        }
        if (c.table_statement && current_.empty() && !useDatabaseOfFile(file)) return false;
        if (session_.execute(statement)) return true;
        if (stopped()) return false;
        const unsigned int error = session_.errorNumber();
        line(kLogError, "Failed to execute the SQL statement: " + head(statement));
        line(kLogWarning, session_.errorLogText());
        if (error == CR_SERVER_GONE_ERROR || error == CR_SERVER_LOST) {
            return abort("lost the connection to the server");
        }
        return true;
    }

    VerifyReport compare() {
        VerifyReport report;
        // The values were written in UTC (see the dump's session lines).
        session_.execute("SET TIME_ZONE='+00:00'");
        size_t equal = 0;
        for (const TableDigestEntry& expected : digests_.tables) {
            if (stopped()) return canceled();
            TableCheck check;
            check.expected = expected;
            readBack(check);
            if (aborted_) return failedReport();
            if (check.verdict == TableVerdict::Equal) ++equal;
            line(check.verdict == TableVerdict::Equal ? kLogInfo : kLogError, check.lineText());
            report.tables.push_back(std::move(check));
        }
        const size_t different = report.tables.size() - equal;
        report.status = different == 0 ? VerifyStatus::Equal : VerifyStatus::Different;
        report.summary = "Verified " + std::to_string(report.tables.size()) +
                         (report.tables.size() == 1 ? " table: " : " tables: ") + std::to_string(equal) + " equal, " +
                         std::to_string(different) + " different";
        line(different == 0 ? kLogInfo : kLogError, report.summary);
        return report;
    }

    void readBack(TableCheck& check) {
        const TableDigestEntry& expected = check.expected;
        const auto scratch = scratch_.find(expected.database);
        if (scratch == scratch_.end() || !session_.selectDatabase(scratch->second) ||
            session_.tableKind(expected.table) != kKindTable) {
            check.verdict = TableVerdict::Missing;
            return;
        }
        MYSQL* mysql = session_.native();
        if (!expected.charset.empty() && mysql_set_character_set(mysql, expected.charset.c_str()) != 0) {
            line(kLogWarning, "Cannot read in the character set " + expected.charset + "  " + session_.errorLogText());
        }
        const std::string q = quoteName(expected.table, true);
        const std::string select = readTableColumns(session_, q).selectStatement(q, true);
        ResultPtr result = session_.useQuery(select);
        if (!result) {
            line(kLogWarning, "Cannot read the table " + expected.table + "  " + session_.errorLogText());
            check.verdict = TableVerdict::Missing;
            return;
        }
        const unsigned int count = mysql_num_fields(result.get());
        const MYSQL_FIELD* fields = mysql_fetch_fields(result.get());
        TableDigest digest;
        std::string values;
        while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
            values.clear();
            appendRowValues(values, mysql, row, mysql_fetch_lengths(result.get()), fields, count);
            digest.addRow(values);
        }
        if (mysql_errno(mysql) != 0) {
            abort("cannot read the table " + expected.table + " back  " + session_.errorLogText());
            return;
        }
        check.rows_read = digest.rows();
        if (digest.rows() != expected.rows) {
            check.verdict = TableVerdict::RowsDiffer;
        } else if (digest.hex() != expected.digest) {
            check.verdict = TableVerdict::ValuesDiffer;
        } else {
            check.verdict = TableVerdict::Equal;
        }
    }

    const VerifyRequest& request_;
    const VerifyHooks& hooks_;
    MySqlSession session_;
    BackupDigests digests_;
    bool same_server_ = false;
    std::set<std::string> source_names_;
    std::map<std::string, std::string> scratch_;  // database of the backup -> its scratch database
    std::vector<std::string> created_;
    std::string current_;  // database of the backup selected last in this file
    int next_ = 1;
    size_t max_statement_ = SIZE_MAX;
    size_t skipped_ = 0;
    bool aborted_ = false;
    std::string error_;
};

}  // namespace

VerifyRequest verifyRequestFor(const CTask& task, const CBackupRecord& record, const CServerSettings& target) {
    VerifyRequest request;
    request.record = record;
    request.source = task.source;
    for (const CDatabaseItem& database : task.databases) request.source_databases.push_back(database.name);
    request.target = target;
    return request;
}

std::string TableCheck::verdictText() const {
    switch (verdict) {
        case TableVerdict::Equal:
            return "equal";
        case TableVerdict::RowsDiffer:
            return "different: rows " + std::to_string(rows_read) + " of " + std::to_string(expected.rows);
        case TableVerdict::ValuesDiffer:
            return "different: values";
        case TableVerdict::Missing:
            break;
    }
    return "missing";
}

std::string TableCheck::lineText() const { return expected.database + "." + expected.table + ": " + verdictText(); }

ClassifiedStatement classifyVerifyStatement(std::string_view statement) {
    StatementScanner scan(statement);
    const std::string first = scan.word();
    if (first == "SET") {
        const std::string what = scan.peekWord();
        if (what == "GLOBAL" || what.rfind("@@GLOBAL.", 0) == 0 || what == "PASSWORD" || what == "ROLE" ||
            what == "DEFAULT")
            return skipped();
        return runAsIs();
    }
    if (first == "USE") {
        ClassifiedStatement out;
        out.action = VerifyAction::UseDatabase;
        out.name = scan.name();
        return out.name.empty() ? skipped() : out;
    }
    if (first == "CREATE" || first == "DROP") {
        if (first == "CREATE") scan.acceptAll({"OR", "REPLACE"});
        scan.accept("TEMPORARY");
        const std::string what = scan.word();
        if (what == "DATABASE" || what == "SCHEMA") {
            scan.acceptAll({"IF", "NOT", "EXISTS"});
            ClassifiedStatement out;
            out.action = first == "CREATE" ? VerifyAction::CreateDatabase : VerifyAction::DropDatabase;
            out.name = scan.name();
            out.tail = scan.rest();
            return out.name.empty() ? skipped() : out;
        }
        if (what == "TABLE" || what == "SEQUENCE") {
            scan.acceptAll({"IF", "NOT", "EXISTS"});
            return tableStatement(scan);
        }
        return skipped();  // views, triggers, routines, events, users
    }
    if (first == "INSERT" || first == "REPLACE") {
        scan.acceptAll({"LOW_PRIORITY", "DELAYED", "HIGH_PRIORITY", "IGNORE", "INTO"});
        return tableStatement(scan);
    }
    if (first == "DELETE") {
        scan.acceptAll({"LOW_PRIORITY", "QUICK", "IGNORE", "FROM"});
        return tableStatement(scan);
    }
    if (first == "ALTER") {
        scan.acceptAll({"ONLINE", "IGNORE"});
        if (!scan.accept("TABLE")) return skipped();
        return tableStatement(scan);
    }
    if (first == "LOCK") {
        if (!scan.accept("TABLES") && !scan.accept("TABLE")) return skipped();
        return tableStatement(scan);
    }
    if (first == "TRUNCATE") {
        scan.accept("TABLE");
        return tableStatement(scan);
    }
    if (first == "UNLOCK" || first == "COMMIT" || first == "BEGIN" || first == "START" || first == "ROLLBACK")
        return runAsIs();
    return skipped();
}

VerifyReport verifyBackup(const VerifyRequest& request, const VerifyHooks& hooks) {
    VerifyRun run(request, hooks);
    VerifyReport report = run.run();
    run.dropScratch();
    return report;
}

std::string scratchDatabaseName(long pid, int n, const std::string& database) {
    std::string name = "kv_verify_" + std::to_string(pid) + "_" + std::to_string(n) + "_" + database;
    if (name.size() <= kMaxDatabaseName) return name;
    size_t cut = kMaxDatabaseName;
    // Back to the first byte of a UTF-8 character.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
    return name;
}

}  // namespace keelvault
