#include "core/engine/batch_sender.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "core/engine/mysql_session.h"
#include "core/engine/sql_quote.h"

namespace keelvault {

namespace {

// Joins the statements of one query. The line end closes a "--" or "#"
// comment a statement may end with, so it cannot swallow the next one.
constexpr std::string_view kJoin = "\n;";
constexpr std::string_view kBatchStart = "SET AUTOCOMMIT=0";
constexpr std::string_view kBatchEnd = "COMMIT\n;SET AUTOCOMMIT=1";
constexpr size_t kGroupStatements = 3;  // the two above count three
// Room for kBatchStart, kBatchEnd and the joins of a one-statement batch.
constexpr size_t kBatchOverhead = 64;
// How much of a row statement names its table: batches hold one table's
// rows, so a rollback warning about a table without transactions speaks for
// every statement of the batch.
constexpr size_t kTargetBytes = 256;

size_t skipBlanks(std::string_view text, size_t at = 0) {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    return at;
}

// True when `text` continues at `at` with `word` (any case) and then a blank
// or its end.
bool wordAt(std::string_view text, size_t at, std::string_view word) {
    if (text.size() - std::min(at, text.size()) < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[at + i])) != word[i]) return false;
    }
    const size_t end = at + word.size();
    return end == text.size() || std::isspace(static_cast<unsigned char>(text[end])) || text[end] == ';';
}

bool containsWord(std::string_view text, std::string_view word) {
    std::string upper(text);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper.find(word) != std::string::npos;
}

// The statement's text up to its values or column list: equal for the rows
// of one table.
std::string_view targetOf(std::string_view statement) {
    const size_t end = std::min({statement.find('('), statement.find('\''), kTargetBytes, statement.size()});
    return statement.substr(0, end);
}

bool identifierChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

// Past the quoted text that starts at `at` (a quote character): backslash
// escapes inside '...' and "...", a doubled quote stays inside. npos when
// the quote does not end.
size_t pastQuoted(std::string_view text, size_t at) {
    const char quote = text[at];
    for (size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] == '\\' && quote != '`') {
            ++i;
        } else if (text[i] == quote) {
            if (i + 1 < text.size() && text[i + 1] == quote) {
                ++i;
            } else {
                return i + 1;
            }
        }
    }
    return std::string_view::npos;
}

bool isQuote(char c) {
    return c == '\'' || c == '"' || c == '`';
}

// The position after the character at `at`, or after the whole quoted text
// it opens; npos for a quote that does not end.
size_t nextPosition(std::string_view text, size_t at) {
    return isQuote(text[at]) ? pastQuoted(text, at) : at + 1;
}

}  // namespace

size_t BatchSender::rowListStart(std::string_view statement) {
    constexpr size_t npos = std::string_view::npos;
    // Up to the VALUES word outside quotes (a column list may come first).
    size_t at = 0;
    while (at < statement.size() &&
           !((at == 0 || !identifierChar(statement[at - 1])) && wordAt(statement, at, "VALUES"))) {
        if (statement[at] == ';') return npos;
        at = nextPosition(statement, at);
        if (at == npos) return npos;
    }
    if (at >= statement.size()) return npos;
    at = skipBlanks(statement, at + 6);
    const size_t start = at;
    // Parenthesised rows parted by commas, the last of them ending the statement.
    for (;;) {
        if (at >= statement.size() || statement[at] != '(') return npos;
        int depth = 0;
        for (;;) {
            if (at >= statement.size()) return npos;
            const char c = statement[at];
            if (c == '(') ++depth;
            if (c == ')' && --depth == 0) break;
            at = nextPosition(statement, at);
            if (at == npos) return npos;
        }
        at = skipBlanks(statement, at + 1);
        if (at == statement.size()) return start;
        if (statement[at] != ',') return npos;
        at = skipBlanks(statement, at + 1);
    }
}

std::string_view BatchSender::insertTarget(std::string_view statement) {
    size_t at = skipBlanks(statement);
    if (!wordAt(statement, at, "INSERT") && !wordAt(statement, at, "REPLACE")) return {};
    at = skipBlanks(statement, at + (wordAt(statement, at, "INSERT") ? 6 : 7));
    for (std::string_view word : {"LOW_PRIORITY", "DELAYED", "HIGH_PRIORITY", "IGNORE", "INTO"}) {
        if (wordAt(statement, at, word)) at = skipBlanks(statement, at + word.size());
    }
    const size_t start = at;
    for (int part = 0; part < 2; ++part) {
        if (at < statement.size() && statement[at] == '`') {
            at = pastQuoted(statement, at);
            if (at == std::string_view::npos) return {};
        } else {
            const size_t word = at;
            while (at < statement.size() && identifierChar(statement[at])) ++at;
            if (at == word) return {};
        }
        if (part == 0 && (at >= statement.size() || statement[at] != '.')) break;
        if (part == 0) ++at;
    }
    return statement.substr(start, at - start);
}

BatchSender::BatchSender(MySqlSession& session) : session_(session) {}

void BatchSender::setLimits(size_t statements, size_t bytes) {
    max_statements_ = std::max<size_t>(1, statements);
    max_bytes_ = std::max<size_t>(1, bytes);
}

bool BatchSender::isRowStatement(std::string_view statement) {
    const size_t at = skipBlanks(statement);
    return wordAt(statement, at, "INSERT") || wordAt(statement, at, "REPLACE");
}

bool BatchSender::controlsTransactions(std::string_view statement) {
    size_t at = skipBlanks(statement);
    // A versioned comment runs its text: "/*!40101 SET ... */".
    if (statement.substr(at, 3) == "/*!") {
        at += 3;
        while (at < statement.size() && std::isdigit(static_cast<unsigned char>(statement[at]))) ++at;
        at = skipBlanks(statement, at);
    }
    if (wordAt(statement, at, "START") || wordAt(statement, at, "BEGIN") || wordAt(statement, at, "XA")) return true;
    if (!wordAt(statement, at, "SET")) return false;
    return containsWord(statement, "AUTOCOMMIT") || containsWord(statement, "COMPLETION_TYPE");
}

bool BatchSender::prepare() {
    if (prepared_) return true;
    if (!session_.isOpen()) return false;
    prepared_ = true;
    // A server that starts sessions without autocommit keeps its own
    // transactions; batches still save the round trips.
    ResultPtr settings = session_.storeQuery("SELECT @@autocommit, @@max_allowed_packet");
    MYSQL_ROW row = settings ? mysql_fetch_row(settings.get()) : nullptr;
    if (row && row[0] && row[1]) {
        grouping_ = grouping_ && std::strtoll(row[0], nullptr, 10) == 1;
        max_packet_ = static_cast<size_t>(std::strtoull(row[1], nullptr, 10));
    }
    multi_ = row && max_packet_ > kBatchOverhead &&
             mysql_set_server_option(session_.native(), MYSQL_OPTION_MULTI_STATEMENTS_ON) == 0;
    return true;
}

void BatchSender::sent(const std::string& statement, bool ok) {
    if (on_sent_) on_sent_(statement, ok);
}

BatchSender::AfterFailure BatchSender::failed(const std::string& statement, unsigned int error_number,
                                              const std::string& error_text) {
    const AfterFailure after = on_failure_ ? on_failure_(statement, error_number, error_text) : AfterFailure::SkipRest;
    if (after == AfterFailure::SkipRest) skip_rest_ = true;
    return after;
}

bool BatchSender::runAlone(const std::string& statement) {
    const bool ok = session_.execute(statement);
    sent(statement, ok);
    if (!ok) failed(statement, session_.errorNumber(), session_.errorText());
    return ok;
}

bool BatchSender::replayFrom(size_t from) {
    bool all_ok = true;
    for (size_t k = from; k < queue_.size(); ++k) {
        const bool ok = session_.execute(queue_[k]);
        sent(queue_[k], ok);
        if (ok) continue;
        all_ok = false;
        if (failed(queue_[k], session_.errorNumber(), session_.errorText()) == AfterFailure::SkipRest) break;
    }
    return all_ok;
}

bool BatchSender::add(std::string statement) {
    skip_rest_ = false;
    bool ok = true;
    // Sends the queue first; false when the handler gave up the rest, this
    // statement included.
    auto sendQueueFirst = [&] {
        if (!flush()) ok = false;
        return !skip_rest_;
    };
    if (!prepare() || !multi_ || !isRowStatement(statement)) {
        if (!sendQueueFirst()) return false;
        if (!runAlone(statement)) ok = false;
        if (controlsTransactions(statement)) grouping_ = false;
        return ok;
    }
    const size_t limit = std::min(max_bytes_, max_packet_ - kBatchOverhead);
    if (statement.size() > limit) {
        if (!sendQueueFirst()) return false;
        return runAlone(statement) && ok;
    }
    if (!queue_.empty() &&
        (targetOf(statement) != targetOf(queue_.front()) || queued_bytes_ + statement.size() + kJoin.size() > limit)) {
        if (!sendQueueFirst()) return false;
    }
    queued_bytes_ += statement.size() + kJoin.size();
    queue_.push_back(std::move(statement));
    if (queue_.size() >= max_statements_ || queued_bytes_ >= limit) return flush() && ok;
    return ok;
}

bool BatchSender::flush() {
    const bool ok = sendQueued();
    discard();
    return ok;
}

void BatchSender::discard() {
    queue_.clear();
    queued_bytes_ = 0;
}

bool BatchSender::sendQueued() {
    if (queue_.empty()) return true;
    if (!multi_ || (queue_.size() == 1 && !grouping_)) return replayFrom(0);
    if (join_rows_ && grouping_ && queue_.size() > 1 && joinable() && targetTransactional() && sendJoined()) {
        return true;
    }
    return sendPlain();
}

bool BatchSender::runText(size_t& done, bool& warnings) {
    MYSQL* mysql = session_.native();
    done = 0;
    warnings = false;
    bool error = mysql_real_query(mysql, text_.data(), static_cast<unsigned long>(text_.size())) != 0;
    while (!error) {
        ResultPtr result(mysql_store_result(mysql));
        if (!result && mysql_field_count(mysql) != 0) {
            error = true;
            break;
        }
        if (mysql_warning_count(mysql) > 0) warnings = true;
        ++done;
        const int next = mysql_next_result(mysql);
        if (next < 0) break;
        if (next > 0) error = true;
    }
    return !error;
}

bool BatchSender::targetTransactional() {
    const std::string_view target = insertTarget(queue_.front());
    if (target.empty()) return false;
    std::string schema = "DATABASE()";
    std::string table(target);
    auto unquote = [](std::string name) {
        if (name.size() >= 2 && name.front() == '`') {
            name = name.substr(1, name.size() - 2);
            for (size_t at = name.find("``"); at != std::string::npos; at = name.find("``", at + 1)) name.erase(at, 1);
        }
        return name;
    };
    // A dot outside backquotes parts the database from the table.
    for (size_t at = 0; at < table.size(); ++at) {
        if (table[at] == '`') at = pastQuoted(table, at) - 1;
        if (table[at] == '.') {
            schema = "'" + escapeStringLiteral(unquote(table.substr(0, at))) + "'";
            table = table.substr(at + 1);
            break;
        }
    }
    // Asked for every batch: another connection may change the table's engine.
    std::string answer;
    // Rows written with a column list may leave the table's AUTO_INCREMENT
    // column to the server; joined, a batch given up after a warning would
    // use up numbers, and LAST_INSERT_ID() would end at the first row's.
    const std::string_view head = std::string_view(queue_.front()).substr(0, rowListStart(queue_.front()));
    const bool column_list =
        head.find('(', static_cast<size_t>(target.data() + target.size() - queue_.front().data())) != head.npos;
    // Without backslash escapes the row scan could misjudge where a row
    // ends; such sessions send their statements as written.
    return session_.queryValue(
               std::string("SELECT e.TRANSACTIONS FROM information_schema.TABLES t JOIN information_schema.ENGINES e "
                           "ON e.ENGINE = t.ENGINE WHERE @@SESSION.sql_mode NOT LIKE '%NO_BACKSLASH_ESCAPES%' ") +
                   (column_list ? "AND t.AUTO_INCREMENT IS NULL " : "") + "AND t.TABLE_SCHEMA = " + schema +
                   " AND t.TABLE_NAME = '" + escapeStringLiteral(unquote(table)) + "'",
               answer) &&
           answer == "YES";
}

bool BatchSender::joinable() const {
    return rowListStart(queue_.front()) != std::string_view::npos;
}

bool BatchSender::sendJoined() {
    text_.clear();
    text_.reserve(queued_bytes_ + kBatchOverhead);
    text_ += kBatchStart;
    std::string_view prefix;  // of the statement being extended; empty when it cannot be
    for (const std::string& statement : queue_) {
        const size_t row = rowListStart(statement);
        const std::string_view head =
            row == std::string_view::npos ? std::string_view{} : std::string_view(statement).substr(0, row);
        if (!prefix.empty() && head == prefix) {
            text_ += ',';
            text_.append(statement, row);
            continue;
        }
        text_ += kJoin;
        text_ += statement;
        prefix = head;
    }
    if (text_.size() + kBatchOverhead > max_packet_) return false;
    // The commit waits until every result is known to be clean.
    size_t done = 0;
    bool warnings = false;
    const bool ok = runText(done, warnings);
    if (ok && !warnings && session_.execute("COMMIT") && session_.execute("SET AUTOCOMMIT=1")) {
        for (const std::string& statement : queue_) sent(statement, true);
        return true;
    }
    session_.execute("ROLLBACK");
    session_.execute("SET AUTOCOMMIT=1");
    return false;
}

bool BatchSender::sendPlain() {
    const bool group = grouping_;
    text_.clear();
    text_.reserve(queued_bytes_ + kBatchOverhead);
    if (group) {
        text_ += kBatchStart;
        text_ += kJoin;
    }
    for (size_t k = 0; k < queue_.size(); ++k) {
        if (k) text_ += kJoin;
        text_ += queue_[k];
    }
    if (group) {
        text_ += kJoin;
        text_ += kBatchEnd;
    }

    // The server runs the statements in order and stops at the first that
    // fails; `done` counts the ones it finished.
    MYSQL* mysql = session_.native();
    size_t done = 0;
    bool warnings = false;
    if (runText(done, warnings)) {
        for (const std::string& statement : queue_) sent(statement, true);
        return true;
    }

    const unsigned int error_number = mysql_errno(mysql);
    const std::string error_text = mysql_error(mysql);
    const size_t offset = group ? 1 : 0;
    if (group && done == 0) return replayFrom(0);  // nothing ran
    const size_t failing = done - offset;          // index in queue_; past its end for the commit
    bool kept = true;
    if (group) {
        // A failed statement takes back only itself: the ones before it stand,
        // as if each had been sent alone, and are committed (numbers the
        // server gave them stay theirs). When the server gave up the whole
        // transaction instead (a deadlock, a failed commit), they all go
        // again one at a time.
        std::string open;
        kept = session_.queryValue("SELECT @@in_transaction", open) && open == "1" && session_.execute("COMMIT");
        // Tables without transactions keep what ran; the rollback says so
        // in its warnings.
        if (!kept) kept = session_.execute("ROLLBACK") && mysql_warning_count(mysql) > 0;
        session_.execute("SET AUTOCOMMIT=1");
    }
    if (!kept) return replayFrom(0);
    for (size_t k = 0; k < std::min(failing, queue_.size()); ++k) sent(queue_[k], true);
    if (failing >= queue_.size()) return true;
    sent(queue_[failing], false);
    if (failed(queue_[failing], error_number, error_text) == AfterFailure::SkipRest) return false;
    replayFrom(failing + 1);
    return false;
}

}  // namespace keelvault
