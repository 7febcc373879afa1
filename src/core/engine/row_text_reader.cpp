#include "core/engine/row_text_reader.h"

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

}  // namespace keelvault
