#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace keelvault {

// Cuts SQL text into statements the way the mariadb command-line client
// reads a script:
// - "DELIMITER x" at the start of a statement changes the terminator; the
//   line itself is not a statement;
// - a terminator inside a '...', "..." or `...` literal (backslash escapes
//   and doubled quotes included) or inside a "-- ", "#" or "/* */" comment
//   never ends a statement;
// - line breaks stay in the text as they are, so a literal that spans lines
//   keeps them as data and two lines never run together;
// - "/*!" and "/*M!" executable comments are statement text, except those
//   for version 999999, which no server runs;
// - white space and comments before a statement are dropped, and what holds
//   nothing else is no statement at all.
// Statements are handed over trimmed and ending with ';' (the terminator,
// whatever it was, becomes one ';' that the caller removes before sending).
//
// The input comes in pieces of any size; scan() stops where it needs to see
// further ahead than the piece reaches, so the caller keeps the rest and
// hands it over again with more bytes behind it.
class SqlStatementSplitter {
public:
    // A statement that was not kept because it is larger than the limit.
    SqlStatementSplitter();

    struct Oversized {
        std::string head;  // its first bytes, for the log
        uint64_t size = 0;
    };

    // Statements larger than this many bytes are not kept (see takeOversized).
    void setMaxStatementSize(size_t bytes) { max_statement_ = bytes; }

    // Scans [data, data + size). Returns the bytes consumed: up to the end of
    // the first statement completed (appended to `out`, or noted as
    // oversized), or up to where more input is needed to decide, or all.
    // With `at_end` the input ends after these bytes, so nothing waits.
    size_t scan(const char* data, size_t size, bool at_end, std::vector<std::string>& out);
    // True when the last scan() ended because a statement was completed.
    bool completed() const { return completed_; }
    // The end of the input: a pending statement is handed over.
    void finish(std::vector<std::string>& out);
    // The statement completed by the last scan() when it was too large.
    std::optional<Oversized> takeOversized();
    bool hasOversized() const { return last_oversized_.has_value(); }

    // Forgets the pending statement (the terminator stays as it is).
    void dropPending();
    // Back to the state of a new script: no pending text, terminator ';'.
    void reset();

    const std::string& delimiter() const { return delimiter_; }

private:
    enum class State { Normal, Single, Double, Backtick, LineComment, BlockComment };

    void setDelimiter(std::string delimiter);
    void append(const char* data, size_t size);
    void complete(std::vector<std::string>& out);
    // What a "/*" at p opens: a comment, or executable text; false when more
    // input is needed to tell.
    bool classifyComment(const char* p, const char* end, bool at_end, State& next, bool& executable) const;

    std::string delimiter_;
    std::array<bool, 256> special_{};  // bytes that need a look inside a statement
    size_t max_statement_ = SIZE_MAX;
    State state_ = State::Normal;
    bool escape_ = false;        // a backslash inside a literal waits for its character
    bool significant_ = false;   // the pending text holds more than white space and comments
    std::string text_;
    uint64_t size_ = 0;          // bytes of the pending statement, kept or not
    bool oversized_ = false;
    bool completed_ = false;
    std::optional<Oversized> last_oversized_;
};

}  // namespace keelvault
