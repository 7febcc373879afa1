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

#include "core/engine/gzip_file.h"

namespace keelvault {

// Writes all of `data` to `fd`, retrying short and interrupted writes.
bool writeAll(int fd, const char* data, size_t size);

// A file descriptor written through large blocks that a thread of its own
// hands to the system, so the caller goes on producing text while the last
// block is written. At most a few
// blocks wait at any time, so memory stays small whatever the file size.
// With a gzip level the same thread compresses each block before writing
// it, so compression runs while the caller produces the next block.
// After the first failure every later call fails, so a full disk is never
// mistaken for success.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Takes over `fd`, which is closed by close() or the destructor. With a
    // `gzip_level` of 1..9 the file receives one gzip member of the bytes
    // appended; another level makes the file fail at once.
    void open(int fd, int gzip_level = 0);
    // Lets the disk take the bytes while the file is written and keeps them
    // out of the system's cache: the writer thread waits until what lies
    // more than `lag` bytes behind has reached the disk, then drops it from
    // the cache. A sync at the end then finds little left to write, and a
    // large backup does not push other programs' data out of memory. Only
    // right after open(); false (and the file written as usual) for a pipe
    // or a file system that cannot do it.
    bool writeBehind(uint64_t lag = kWriteBehindLag);
    static constexpr uint64_t kWriteBehindLag = 8u << 20;
    // Creates or truncates the file at `path` and opens it; false for an
    // empty path or when it cannot be created.
    bool create(const std::string& path);
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
    // Bytes appended so far (before any compression).
    uint64_t size() const { return handed_ + block_.size(); }

    // Waits until every byte appended has reached the system (in a gzip
    // file, has gone through the compressor); false when any write failed.
    bool flush();
    // flush(), the end of the gzip member if any, then the data to the disk.
    // Nothing may be appended after a sync of a gzip file.
    bool sync();
    // Flushes and closes the descriptor; false when anything failed. The descriptor is closed either way.
    bool close();

private:
    bool appendSlow(std::string_view bytes);
    bool finishGzip();
    // Hands bytes to the file at its end (the writer thread's, or the
    // caller's while that thread is idle).
    bool emit(std::string_view bytes);
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
    uint64_t written_ = 0;  // bytes the writer thread has handed to the system
    // Written behind: bytes before `settled_` are on the disk and out of the
    // cache; the writer waits for the disk once `lag_` more lie past it.
    bool behind_ = false;
    uint64_t lag_ = 0;
    uint64_t settled_ = 0;
    uint64_t sync_asked_at_ = 0;  // settled_ when the last sync was asked for
    // Written behind, the disk's own cache is emptied now and then on a
    // thread of its own, so neither the writer nor the sync at the end
    // waits for all of it.
    void startSyncer();
    void stopSyncer();
    void askSync();
    std::mutex sync_mutex_;
    std::condition_variable sync_changed_;
    bool sync_wanted_ = false;
    bool sync_stopping_ = false;
    bool sync_failed_ = false;
    std::thread syncer_;
    GzipDeflater deflater_;  // used by the writer thread, and by finishGzip() when it is idle
    std::string compressed_;
    std::thread writer_;
};

}  // namespace keelvault
