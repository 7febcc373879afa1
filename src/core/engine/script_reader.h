#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/engine/sql_splitter.h"
#include "core/model/task.h"

namespace keelvault {

// The script page's cutting of typed text, line by line. It knows line ends,
// a leading letter and a trailing semicolon, nothing of quoting or comments:
// a line that ends in ';' ends the statement, the lines of a statement are
// joined with nothing in between, and text that does not begin with a
// letter is dropped ("--" comment lines). Text beginning with "/*!" is kept.
// Files read for restores are cut by SqlFileReader instead.
class StatementCutter {
public:
    // Bytes of the current line; never CR or LF.
    void append(const char* data, size_t size) { text_.append(data, size); }
    // A CR or LF. True when a statement was completed and appended to `list`.
    bool endLine(std::vector<std::string>& list);
    // End of the input: a pending statement is kept, with ';' added if missing.
    void finish(std::vector<std::string>& list);
    void clear() { text_.clear(); }
    bool empty() const { return text_.empty(); }

private:
    std::string text_;
};

// True when a trimmed statement text is kept: a letter first, or "/*!".
bool startsStatement(const std::string& text);

// Cuts a whole script text (the script page of an "Execute SQL script" task)
// with the rules of the file reader, appending to `list`.
void cutScriptText(const std::string& text, std::vector<std::string>& list);
std::vector<std::string> cutScriptText(const std::string& text);

// Reads the statements of an SQL file in batches sized by the buffer options:
// mode 0 hands over each statement as soon as it is complete, mode 1 when
// the list holds at least `records` statements, mode 2 the whole file. The
// text is cut as the mariadb client cuts a script (SqlStatementSplitter),
// so dumps with DELIMITER blocks, literals over several lines and comments
// are replayed as they were written. Reads through its own buffer, never a
// system call per byte.
class SqlFileReader {
public:
    SqlFileReader();
    virtual ~SqlFileReader();
    SqlFileReader(const SqlFileReader&) = delete;
    SqlFileReader& operator=(const SqlFileReader&) = delete;

    // Opens a regular file for reading and takes its length; false for
    // anything else (missing, unreadable, a folder).
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return fd_ >= 0; }

    uint64_t length() const { return length_; }
    // Bytes of the file consumed so far; the caller reads while it is below length().
    uint64_t position() const { return position_; }
    void seekToStart();

    // Statements larger than this are not handed over but reported through
    // takeOversized(); a server drops the connection on a packet above its
    // max_allowed_packet, so such a statement must never be sent.
    void setMaxStatementSize(size_t bytes) { splitter_.setMaxStatementSize(bytes); }

    // Appends the next batch to `list`. 1 on success; 0 when the file could
    // not be read, in which case the unreadable part is skipped, its
    // half-read statement and the rest of the line it breaks into are
    // dropped, so a caller that goes on still advances. A batch also ends
    // right before a statement that was too large.
    int readStatements(std::vector<std::string>& list, const CBufferOptions& options);
    // The too-large statement that ended the last batch, if one did.
    std::optional<SqlStatementSplitter::Oversized> takeOversized() { return splitter_.takeOversized(); }

protected:
    // Reads up to `size` bytes at `offset`: the count read, 0 at the real
    // end of the file, -1 on an error. Tests replace it to inject faults.
    virtual ssize_t readAt(uint64_t offset, char* buffer, size_t size);

private:
    // Keeps the unscanned bytes and reads more behind them; false on a read
    // fault (handled) or when the file has nothing more.
    enum class Fill { Read, End, Fault };
    Fill fill();

    int fd_ = -1;
    uint64_t length_ = 0;
    uint64_t position_ = 0;     // bytes handed to the splitter
    uint64_t read_offset_ = 0;  // bytes read from the file
    std::vector<char> buffer_;
    size_t begin_ = 0;  // unscanned part of buffer_ is [begin_, end_)
    size_t end_ = 0;
    bool resync_ = false;  // drop bytes up to the next line end
    SqlStatementSplitter splitter_;
};

}  // namespace keelvault
