#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace keelvault {

class BatchSender;
class DumpFile;

// Where the statements of a backup or copy go: a backup file or a
// destination server. What fails, and how that is reported, stays with the
// caller.
class StatementSink {
public:
    virtual ~StatementSink() = default;
    // One statement; false when it could not be written or the server
    // refused it.
    virtual bool statement(std::string_view sql) = 0;
    // The CREATE statement of a trigger, routine or event, whose body may
    // hold ';' of its own.
    virtual bool definition(std::string_view sql) { return statement(sql); }
    // Every statement in order, the later ones even when an earlier one
    // failed; true when all went through.
    bool statements(const std::vector<std::string>& list);
};

// A backup file in its SQL or PHP form.
class FileStatementSink : public StatementSink {
public:
    explicit FileStatementSink(DumpFile& file) : file_(file) {}
    bool statement(std::string_view sql) override;
    // Between DELIMITER lines in the SQL form.
    bool definition(std::string_view sql) override;

private:
    DumpFile& file_;
};

// A destination server. Each statement goes through the sender, so the rows
// it holds back always reach the server before the next other statement.
class ServerStatementSink : public StatementSink {
public:
    explicit ServerStatementSink(BatchSender& sender) : sender_(sender) {}
    bool statement(std::string_view sql) override;

private:
    BatchSender& sender_;
};

}  // namespace keelvault
