#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace keelvault {

class MySqlSession;

// Sends the statements of a restore or copy to one server with few round
// trips: consecutive row statements (INSERT or REPLACE) are queued and go
// together as one multiple-statement query, committed as one transaction;
// every other statement first sends what is queued and then runs alone.
//
// The server receives the same statements in the same order with the same
// outcome as when each is sent on its own. A batch that fails is rolled back
// and its statements are sent again one at a time, so each failure is
// reported for exactly its statement, with the server's own error, and the
// statements before it are applied once. Where a rollback cannot undo them
// (tables without transactions, or a session whose transactions the
// statements themselves control) they are kept, and the batch goes on one
// at a time after the failing statement.
class BatchSender {
public:
    // What happens to the rest of a batch after a failed statement.
    enum class AfterFailure { Continue, SkipRest };
    using FailureHandler = std::function<AfterFailure(const std::string& statement, unsigned int error_number,
                                                      const std::string& error_text)>;
    // Each statement the server has taken or refused, in order.
    using SentHandler = std::function<void(const std::string& statement, bool ok)>;

    explicit BatchSender(MySqlSession& session);

    void setFailureHandler(FailureHandler handler) { on_failure_ = std::move(handler); }
    void setSentHandler(SentHandler handler) { on_sent_ = std::move(handler); }
    // A batch is sent when it holds this many statements or bytes.
    void setLimits(size_t statements, size_t bytes);
    // Lets INSERTs of one transactional table with byte-identical text
    // before their rows travel as one statement of all their rows. Any error
    // or warning of such a batch rolls it back and sends it again as it was.
    void setJoinRows(bool on) { join_rows_ = on; }

    // Queues a row statement, or sends the queue and then runs any other
    // statement alone. False when a statement failed on the way (each
    // failure went to the handler); when the handler skipped the rest, this
    // statement is not sent either.
    bool add(std::string statement);
    // Sends and commits what is queued; false when a statement failed.
    bool flush();
    // Forgets the queued statements without sending them (a stop).
    void discard();

    size_t queued() const { return queue_.size(); }
    // Whether batches are still committed as transactions of their own; off
    // once the statements control the session's transactions themselves.
    bool grouping() const { return grouping_; }

    // An INSERT or REPLACE, which may join a batch.
    static bool isRowStatement(std::string_view statement);
    // Where the rows of "INSERT ... VALUES (row),(row)..." begin; npos for
    // any other statement (a SELECT, ON DUPLICATE KEY ..., SET ...).
    static size_t rowListStart(std::string_view statement);
    // The table an INSERT or REPLACE writes to, as written; empty when unclear.
    static std::string_view insertTarget(std::string_view statement);

    // A statement after which the session's transactions are no longer ours
    // to group: it changes autocommit or opens a transaction.
    static bool controlsTransactions(std::string_view statement);

private:
    bool prepare();
    bool sendQueued();
    bool sendPlain();
    // False when the joined form did not go through cleanly and was rolled back.
    bool sendJoined();
    bool targetTransactional();
    bool joinable() const;
    // Sends text_ and reads every result; the statements finished before an
    // error, and whether any result had warnings.
    bool runText(size_t& done, bool& warnings);
    bool runAlone(const std::string& statement);
    // Runs queue_[from..] one at a time; false when any failed.
    bool replayFrom(size_t from);
    void sent(const std::string& statement, bool ok);
    AfterFailure failed(const std::string& statement, unsigned int error_number, const std::string& error_text);

    MySqlSession& session_;
    FailureHandler on_failure_;
    SentHandler on_sent_;
    std::vector<std::string> queue_;
    size_t queued_bytes_ = 0;
    size_t max_statements_ = 1000;
    size_t max_bytes_ = 1 << 20;
    size_t max_packet_ = 0;  // what one query may hold; 0 until prepared
    bool prepared_ = false;
    bool multi_ = false;  // multiple-statement queries are on
    bool grouping_ = true;
    bool skip_rest_ = false;  // the handler gave up the rest of the batch
    bool join_rows_ = false;
    std::string text_;
};

}  // namespace keelvault
