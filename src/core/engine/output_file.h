#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace keelvault {

// Writes all of `data` to `fd`, retrying short and interrupted writes.
bool writeAll(int fd, const char* data, size_t size);

// A file descriptor written through large blocks that a thread of its own
// hands to the system, so the caller goes on producing text while the last
// block is written. At most a few
// blocks wait at any time, so memory stays small whatever the file size.
// After the first failure every later call fails, so a full disk is never
// mistaken for success.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Takes over `fd`, which is closed by close() or the destructor.
    void open(int fd);
    bool isOpen() const { return fd_ >= 0; }
    bool failed() const { return failed_; }

    bool append(std::string_view bytes) {
        if (failed_ || fd_ < 0) return false;
        if (bytes.size() <= block_capacity_ - block_.size()) {
            block_.append(bytes);
            return true;
        }
        return appendSlow(bytes);
    }
    bool append(char c) {
        if (failed_ || fd_ < 0) return false;
        if (block_.size() < block_capacity_) {
            block_ += c;
            return true;
        }
        return appendSlow(std::string_view(&c, 1));
    }
    // Bytes appended so far.
    uint64_t size() const { return handed_ + block_.size(); }

    // Waits until every byte appended has reached the system; false when
    // any write failed.
    bool flush();
    // flush(), then the data to the disk.
    bool sync();
    // Flushes and closes the descriptor; false when anything failed. The descriptor is closed either way.
    bool close();

private:
    bool appendSlow(std::string_view bytes);
    void handOver();
    void run();

    int fd_ = -1;
    bool failed_ = false;
    size_t block_capacity_ = 0;
    std::string block_;
    uint64_t handed_ = 0;

    // Shared with the writer thread, under mutex_.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> queue_;
    std::vector<std::string> spare_;
    bool busy_ = false;
    bool stopping_ = false;
    bool write_failed_ = false;
    uint64_t written_ = 0;  // the writer thread's offset in the file
    std::thread writer_;
};

}  // namespace keelvault
