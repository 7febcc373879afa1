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

}  // namespace keelvault
