#include "core/engine/row_text_reader.h"

#include <errmsg.h>

namespace keelvault {

namespace {

// A block is handed on once its texts reach this size; with the queue
// limit below the rows in flight stay around a megabyte.
constexpr size_t kBlockBytes = 256 * 1024;
constexpr size_t kMaxQueuedBlocks = 4;

}  // namespace

RowTextReader::RowTextReader(MYSQL_RES* result, Format format) : result_(result), format_(std::move(format)) {
    thread_ = std::thread([this] { run(); });
}

RowTextReader::~RowTextReader() { stop(); }

void RowTextReader::run() {
    Block block;
    const auto handOn = [&](bool last) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return stopping_ || queue_.size() < kMaxQueuedBlocks; });
        if (!block.ends.empty()) queue_.push_back(std::move(block));
        if (last) ended_ = true;
        if (!spare_.empty()) {
            block = std::move(spare_.back());
            spare_.pop_back();
        } else {
            block = Block{};
        }
        block.clear();
        changed_.notify_all();
        return !stopping_;
    };
    for (;;) {
        if (stopping_.load(std::memory_order_relaxed)) break;
        MYSQL_ROW row = mysql_fetch_row(result_);
        if (!row) break;
        format_(block.text, row, mysql_fetch_lengths(result_));
        block.ends.push_back(static_cast<uint32_t>(block.text.size()));
        // Offsets are 32-bit: a block is handed on long before that limit,
        // unless one row alone is larger, and then it travels alone.
        if (block.text.size() >= kBlockBytes && !handOn(false)) break;
    }
    handOn(true);
}

bool RowTextReader::next(std::string_view& text) {
    if (current_row_ >= current_.ends.size()) {
        std::unique_lock lock(mutex_);
        if (!current_.ends.empty() || current_.text.capacity() > 0) {
            current_.clear();
            spare_.push_back(std::move(current_));
            current_ = Block{};
        }
        current_row_ = 0;
        changed_.wait(lock, [this] { return !queue_.empty() || ended_; });
        if (queue_.empty()) {
            lock.unlock();
            finish();
            return false;
        }
        current_ = std::move(queue_.front());
        queue_.pop_front();
        changed_.notify_all();
    }
    const uint32_t begin = current_row_ == 0 ? 0 : current_.ends[current_row_ - 1];
    const uint32_t end = current_.ends[current_row_++];
    text = std::string_view(current_.text).substr(begin, end - begin);
    return true;
}

void RowTextReader::finish() {
    if (thread_.joinable()) thread_.join();
}

void RowTextReader::stop(const std::function<void()>& interrupt) {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (interrupt && thread_.joinable()) interrupt();
    finish();
}

namespace {

// What one connection may have read ahead of the caller, counted in the
// memory its blocks hold.
constexpr size_t kMaxAheadBytes = 6u << 20;
// A block's text is given its room at once, so it never grows to twice
// what it holds.
constexpr size_t kBlockRoom = kBlockBytes + kBlockBytes / 4;

}  // namespace

ChunkedRowTextReader::ChunkedRowTextReader(std::vector<MYSQL*> connections, std::vector<std::string> selects,
                                           Format format)
    : selects_(std::move(selects)), format_(std::move(format)), workers_(connections.size()) {
    for (size_t w = 0; w < workers_.size(); ++w) workers_[w].mysql = connections[w];
    for (size_t w = 0; w < workers_.size(); ++w) workers_[w].thread = std::thread([this, w] { run(w); });
}

ChunkedRowTextReader::~ChunkedRowTextReader() { stop(); }

bool ChunkedRowTextReader::hand(size_t worker, Block& block) {
    std::unique_lock lock(mutex_);
    Worker& w = workers_[worker];
    // A range's last block is always taken, so the caller never waits for
    // a range that has ended.
    changed_.wait(lock, [&] { return stopping_ || block.last || w.queued_bytes < kMaxAheadBytes; });
    if (stopping_) return false;
    w.queued_bytes += block.text.capacity();
    w.queue.push_back(std::move(block));
    block = Block{};
    block.text.reserve(kBlockRoom);
    changed_.notify_all();
    return true;
}

void ChunkedRowTextReader::run(size_t worker) {
    MYSQL* mysql = workers_[worker].mysql;
    for (size_t range = worker; range < selects_.size(); range += workers_.size()) {
        if (stopping_.load(std::memory_order_relaxed)) return;
        Block block;
        block.text.reserve(kBlockRoom);
        const std::string& select = selects_[range];
        MYSQL_RES* result = nullptr;
        if (mysql_real_query(mysql, select.data(), static_cast<unsigned long>(select.size())) == 0) {
            result = mysql_use_result(mysql);
        }
        if (result) {
            bool handed = true;
            while (MYSQL_ROW row = mysql_fetch_row(result)) {
                format_(block.text, mysql, result, row, mysql_fetch_lengths(result));
                block.ends.push_back(static_cast<uint32_t>(block.text.size()));
                if (block.text.size() >= kBlockBytes && !(handed = hand(worker, block))) break;
                if (stopping_.load(std::memory_order_relaxed)) break;
            }
            if (!handed || stopping_.load(std::memory_order_relaxed)) {
                mysql_free_result(result);
                return;
            }
        }
        // Rows that stop coming because the connection broke are not the
        // whole range, nor is a range without a result.
        block.error = mysql_errno(mysql);
        if (block.error != 0) {
            block.error_text = mysql_error(mysql);
        } else if (!result) {
            block.error = CR_UNKNOWN_ERROR;
            block.error_text = "The rows of a key range could not be read";
        }
        if (result) mysql_free_result(result);
        block.last = true;
        const bool failed = block.error != 0;
        if (!hand(worker, block) || failed) return;
    }
}

bool ChunkedRowTextReader::next(std::string_view& text) {
    while (!have_current_ || current_row_ >= current_.ends.size()) {
        if (ended_) return false;
        if (have_current_ && current_.last) {
            if (current_.error != 0) {
                error_number_ = current_.error;
                error_text_ = current_.error_text;
                ended_ = true;
                return false;
            }
            ++range_;
        }
        have_current_ = false;
        current_row_ = 0;
        if (range_ >= selects_.size()) {
            ended_ = true;
            finish();
            return false;
        }
        std::unique_lock lock(mutex_);
        Worker& w = workers_[range_ % workers_.size()];
        changed_.wait(lock, [&] { return !w.queue.empty(); });
        current_ = std::move(w.queue.front());
        w.queue.pop_front();
        w.queued_bytes -= current_.text.capacity();
        have_current_ = true;
        changed_.notify_all();
    }
    const uint32_t begin = current_row_ == 0 ? 0 : current_.ends[current_row_ - 1];
    const uint32_t end = current_.ends[current_row_++];
    text = std::string_view(current_.text).substr(begin, end - begin);
    return true;
}

void ChunkedRowTextReader::finish() {
    for (Worker& w : workers_) {
        if (w.thread.joinable()) w.thread.join();
    }
}

void ChunkedRowTextReader::stop(const std::function<void()>& interrupt) {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    bool running = false;
    for (Worker& w : workers_) running = running || w.thread.joinable();
    if (interrupt && running) interrupt();
    finish();
}

}  // namespace keelvault
