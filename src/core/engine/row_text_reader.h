#pragma once

#include <mysql.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace keelvault {

// Reads the rows of a streamed result (mysql_use_result) on a thread of its
// own and turns each into its text there, while the caller writes the texts
// of the rows before. The texts travel in blocks through a queue bounded in
// bytes, so a table of any size costs a few megabytes. Every call on the
// connection (fetching and the escaping inside `format`) stays on the
// reading thread until the rows end or the reader is stopped.
class RowTextReader {
public:
    // Appends the text of one row to `out`.
    using Format = std::function<void(std::string& out, MYSQL_ROW row, const unsigned long* lengths)>;

    RowTextReader(MYSQL_RES* result, Format format);
    ~RowTextReader();
    RowTextReader(const RowTextReader&) = delete;
    RowTextReader& operator=(const RowTextReader&) = delete;

    // The text of the next row, valid until the next call; false when the
    // rows have ended (the reading thread has then finished, so the
    // connection can be asked for a fetch error).
    bool next(std::string_view& text);
    // Asks the reading thread to finish after the row it is on and waits
    // for it. `interrupt`, when given, runs before the wait, to break a
    // fetch that waits on the server.
    void stop(const std::function<void()>& interrupt = {});

private:
    struct Block {
        std::string text;
        std::vector<uint32_t> ends;  // end offset of each row's text
        void clear() {
            text.clear();
            ends.clear();
        }
    };

    void run();
    void finish();

    MYSQL_RES* result_;
    Format format_;

    Block current_;
    size_t current_row_ = 0;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Block> queue_;
    std::vector<Block> spare_;
    bool ended_ = false;     // the reading thread has queued its last block
    std::atomic<bool> stopping_{false};  // the reading thread is to finish; set under mutex_
    std::thread thread_;
};


// Reads the rows of one table over several connections at once, one range
// of its primary key per query, and gives their texts in the order of the
// ranges, so the caller sees what one streamed SELECT in key order gives.
// Range i is read on connection i % connections. A connection may run
// ahead of the caller by a bounded number of bytes, so memory stays small
// whatever the table's size. The connections must see the same rows (the
// table is locked against writers while it is read).
class ChunkedRowTextReader {
public:
    // Appends the text of one row of `result`, read on `mysql`, to `out`.
    using Format =
        std::function<void(std::string& out, MYSQL* mysql, MYSQL_RES* result, MYSQL_ROW row, const unsigned long* lengths)>;

    ChunkedRowTextReader(std::vector<MYSQL*> connections, std::vector<std::string> selects, Format format);
    ~ChunkedRowTextReader();
    ChunkedRowTextReader(const ChunkedRowTextReader&) = delete;
    ChunkedRowTextReader& operator=(const ChunkedRowTextReader&) = delete;

    // As RowTextReader::next. After a range that failed the rows end there.
    bool next(std::string_view& text);
    // As RowTextReader::stop; `interrupt` must break every connection's fetch.
    void stop(const std::function<void()>& interrupt = {});
    // After the rows have ended: the error of the first range that could not
    // be read whole (0 when all were), with the server's or library's text.
    unsigned int errorNumber() const { return error_number_; }
    const std::string& errorText() const { return error_text_; }

private:
    struct Block {
        std::string text;
        std::vector<uint32_t> ends;
        bool last = false;  // the last block of its range
        unsigned int error = 0;
        std::string error_text;
    };
    struct Worker {
        MYSQL* mysql = nullptr;
        std::deque<Block> queue;
        size_t queued_bytes = 0;
        std::thread thread;
    };

    void run(size_t worker);
    bool hand(size_t worker, Block& block);
    void finish();

    std::vector<std::string> selects_;
    Format format_;
    std::vector<Worker> workers_;

    Block current_;
    bool have_current_ = false;
    size_t current_row_ = 0;
    size_t range_ = 0;  // the range the caller is in
    bool ended_ = false;
    unsigned int error_number_ = 0;
    std::string error_text_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<bool> stopping_{false};  // set under mutex_
};

}  // namespace keelvault
