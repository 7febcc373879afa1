#include "core/engine/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace keelvault {

namespace {

// Large enough that the system sees few writes, small enough that the
// blocks in flight stay a few megabytes.
constexpr size_t kBlockSize = 1 << 20;
constexpr size_t kMaxQueuedBlocks = 3;
// Written behind, the disk is asked to empty its own cache each time this
// many lags' worth has settled.
constexpr uint64_t kLagsPerSync = 4;

}  // namespace

OutputFile::~OutputFile() { close(); }

void OutputFile::open(int fd, int gzip_level) {
    close();
    fd_ = fd;
    failed_ = fd < 0 || (gzip_level != 0 && !deflater_.begin(gzip_level));
    handed_ = 0;
    written_ = 0;
    behind_ = false;
    settled_ = 0;
    sync_asked_at_ = 0;
    sync_failed_ = false;
    write_failed_ = false;
    stopping_ = false;
    block_capacity_ = kBlockSize;
    block_.clear();
    block_.reserve(block_capacity_);
}

bool OutputFile::writeBehind(uint64_t lag) {
    if (fd_ < 0 || failed_ || handed_ != 0 || !block_.empty() || behind_) return behind_;
    // Asks nothing of the disk yet; fails on a pipe and where the system
    // has no such call.
    if (::sync_file_range(fd_, 0, 0, 0) != 0) return false;
    behind_ = true;
    lag_ = lag > 0 ? lag : 1;
    startSyncer();
    return true;
}

void OutputFile::startSyncer() {
    sync_wanted_ = false;
    sync_stopping_ = false;
    syncer_ = std::thread([this] {
        std::unique_lock lock(sync_mutex_);
        for (;;) {
            sync_changed_.wait(lock, [this] { return sync_wanted_ || sync_stopping_; });
            if (sync_stopping_) return;
            sync_wanted_ = false;
            lock.unlock();
            const bool ok = ::fdatasync(fd_) == 0;
            lock.lock();
            if (!ok) sync_failed_ = true;
        }
    });
}

void OutputFile::askSync() {
    {
        std::lock_guard lock(sync_mutex_);
        sync_wanted_ = true;
    }
    sync_changed_.notify_one();
}

void OutputFile::stopSyncer() {
    if (!syncer_.joinable()) return;
    {
        std::lock_guard lock(sync_mutex_);
        sync_stopping_ = true;
    }
    sync_changed_.notify_one();
    syncer_.join();
    if (sync_failed_) failed_ = true;
}

bool OutputFile::create(const std::string& path) {
    close();
    if (path.empty()) return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    open(fd);
    return true;
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void OutputFile::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;
        std::string block = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        const bool skip = write_failed_;
        lock.unlock();
        bool ok = true;
        if (!skip) {
            std::string_view out = block;
            if (deflater_.active()) {
                compressed_.clear();
                ok = deflater_.add(block, compressed_);
                out = compressed_;
            }
            ok = ok && emit(out);
        }
        block.clear();
        lock.lock();
        if (!ok) write_failed_ = true;
        spare_.push_back(std::move(block));
        busy_ = false;
        changed_.notify_all();
    }
}

bool OutputFile::emit(std::string_view bytes) {
    // Write, not pwrite: the file may be a pipe.
    if (!writeAll(fd_, bytes.data(), bytes.size())) return false;
    // The disk starts on each block at once, so the sync at the end finds
    // little left to do (a pipe ignores it).
    ::sync_file_range(fd_, static_cast<off64_t>(written_), static_cast<off64_t>(bytes.size()), SYNC_FILE_RANGE_WRITE);
    written_ += bytes.size();
    if (!behind_ || written_ - settled_ < 2 * lag_) return true;
    // What lies `lag_` behind has had time to reach the disk: wait for the
    // rest of it there, then let the cache forget it.
    const uint64_t upto = written_ - lag_;
    if (::sync_file_range(fd_, static_cast<off64_t>(settled_), static_cast<off64_t>(upto - settled_),
                          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER) != 0) {
        return false;  // the disk failed to take it
    }
    ::posix_fadvise(fd_, static_cast<off_t>(settled_), static_cast<off_t>(upto - settled_), POSIX_FADV_DONTNEED);
    settled_ = upto;
    if (settled_ - sync_asked_at_ >= kLagsPerSync * lag_) {
        sync_asked_at_ = settled_;
        askSync();
    }
    return true;
}

void OutputFile::handOver() {
    if (block_.empty()) return;
    handed_ += block_.size();
    std::unique_lock lock(mutex_);
    if (!writer_.joinable()) writer_ = std::thread([this] { run(); });
    changed_.wait(lock, [this] { return queue_.size() < kMaxQueuedBlocks; });
    queue_.push_back(std::move(block_));
    if (!spare_.empty()) {
        block_ = std::move(spare_.back());
        spare_.pop_back();
    } else {
        block_ = std::string();
        block_.reserve(block_capacity_);
    }
    if (write_failed_) failed_ = true;
    changed_.notify_all();
}

bool OutputFile::appendSlow(std::string_view bytes) {
    while (!bytes.empty()) {
        if (block_.size() == block_capacity_) {
            handOver();
            if (failed_) return false;
        }
        const size_t room = block_capacity_ - block_.size();
        const size_t take = bytes.size() < room ? bytes.size() : room;
        block_.append(bytes.data(), take);
        bytes.remove_prefix(take);
    }
    return true;
}

bool OutputFile::flush() {
    if (fd_ < 0 || failed_) return false;
    handOver();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.empty() && !busy_; });
    if (write_failed_) failed_ = true;
    return !failed_;
}

bool OutputFile::finishGzip() {
    // Called after flush(): the writer thread is idle and the queue empty.
    if (!deflater_.active()) return true;
    std::lock_guard lock(mutex_);
    compressed_.clear();
    const bool ok = deflater_.finish(compressed_) && emit(compressed_);
    compressed_ = std::string();
    if (!ok) write_failed_ = failed_ = true;
    return ok;
}

bool OutputFile::sync() {
    if (!flush() || !finishGzip()) return false;
    stopSyncer();
    if (failed_ || ::fsync(fd_) != 0) {
        failed_ = true;
        return false;
    }
    // All of it is on the disk now; a file written behind leaves the cache.
    if (behind_) ::posix_fadvise(fd_, 0, 0, POSIX_FADV_DONTNEED);
    return true;
}

bool OutputFile::close() {
    if (fd_ < 0) {
        if (writer_.joinable()) writer_.join();
        return !failed_;
    }
    bool ok = !failed_ && flush() && finishGzip();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        // Whatever still waits after a failure is dropped unwritten.
        write_failed_ = write_failed_ || !ok;
    }
    changed_.notify_all();
    if (writer_.joinable()) writer_.join();
    stopSyncer();
    if (failed_) ok = false;
    queue_.clear();
    spare_.clear();
    deflater_.reset();  // the compressor of a file that failed
    compressed_ = std::string();
    block_ = std::string();
    behind_ = false;
    if (::close(fd_) != 0) ok = false;
    fd_ = -1;
    if (!ok) failed_ = true;
    return ok;
}

}  // namespace keelvault
