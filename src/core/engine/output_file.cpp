#include "core/engine/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace keelvault {

namespace {

// Large enough that the system sees few writes, small enough that the
// blocks in flight stay a few megabytes.
constexpr size_t kBlockSize = 1 << 20;
constexpr size_t kMaxQueuedBlocks = 3;
// Direct writes go in whole units of this size from a buffer aligned to it,
// at offsets that are multiples of it; 4096 suits every common disk.
constexpr size_t kDirectUnit = 4096;
constexpr size_t kStagingSize = 1 << 20;
constexpr uint64_t kSyncedStep = 32u << 20;

// Writes all of `data` at `offset`, retrying short and interrupted writes.
bool writeAllAt(int fd, const char* data, size_t size, uint64_t offset) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

bool setDirect(int fd, bool on) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, on ? flags | O_DIRECT : flags & ~O_DIRECT) == 0;
}

}  // namespace

void OutputFile::StagingDeleter::operator()(char* p) const { std::free(p); }

OutputFile::~OutputFile() { close(); }

void OutputFile::open(int fd, int gzip_level) {
    close();
    fd_ = fd;
    failed_ = fd < 0 || (gzip_level != 0 && !deflater_.begin(gzip_level));
    handed_ = 0;
    written_ = 0;
    direct_ = false;
    staged_ = 0;
    durable_ = 0;
    write_failed_ = false;
    stopping_ = false;
    block_capacity_ = kBlockSize;
    block_.clear();
    block_.reserve(block_capacity_);
}

bool OutputFile::writeDirectly() {
    if (fd_ < 0 || failed_ || handed_ != 0 || !block_.empty() || direct_) return direct_;
    if (!staging_) {
        void* memory = nullptr;
        if (::posix_memalign(&memory, kDirectUnit, kStagingSize) != 0) return false;
        staging_.reset(static_cast<char*>(memory));
    }
    direct_ = setDirect(fd_, true);
    return direct_;
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
    if (!direct_) {
        // Write, not pwrite: the file may be a pipe.
        if (!writeAll(fd_, bytes.data(), bytes.size())) return false;
        // The disk starts on each block at once, so the sync at the end
        // finds little left to do.
        ::sync_file_range(fd_, static_cast<off64_t>(written_), static_cast<off64_t>(bytes.size()),
                          SYNC_FILE_RANGE_WRITE);
        written_ += bytes.size();
        return true;
    }
    while (!bytes.empty()) {
        const size_t take = std::min(bytes.size(), kStagingSize - staged_);
        std::memcpy(staging_.get() + staged_, bytes.data(), take);
        staged_ += take;
        bytes.remove_prefix(take);
        if (staged_ == kStagingSize && !writeStaged()) return false;
    }
    return true;
}

bool OutputFile::writeStaged() {
    const size_t whole = staged_ / kDirectUnit * kDirectUnit;
    if (whole == 0) return true;
    if (!writeAllAt(fd_, staging_.get(), whole, written_)) {
        // A file system that takes no direct writes after all: what is
        // staged goes through the system's cache, and so does the rest.
        if (errno != EINVAL || !setDirect(fd_, false) ||
            ::lseek(fd_, static_cast<off_t>(written_), SEEK_SET) != static_cast<off_t>(written_)) {
            return false;
        }
        direct_ = false;
        const size_t staged = staged_;
        staged_ = 0;
        return emit(std::string_view(staging_.get(), staged));
    }
    written_ += whole;
    std::memmove(staging_.get(), staging_.get() + whole, staged_ - whole);
    staged_ -= whole;
    // The disk's own cache is emptied now and then, so the sync at the end
    // finds little to wait for there either.
    if (written_ >= durable_ + kSyncedStep) {
        if (::fdatasync(fd_) != 0) return false;
        durable_ = written_;
    }
    return true;
}

bool OutputFile::writeTail() {
    if (!direct_ || staged_ == 0) return true;
    if (!writeStaged()) return false;
    if (!direct_ || staged_ == 0) return true;
    // The end of what was given is rarely a whole unit: it goes through the
    // system's cache and stays staged, so the next direct write covers its
    // unit again with the bytes that follow.
    if (!setDirect(fd_, false)) return false;
    const bool ok = writeAllAt(fd_, staging_.get(), staged_, written_);
    return setDirect(fd_, true) && ok;
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
    // The writer thread is idle: what it staged is this thread's to write.
    if (!write_failed_ && !writeTail()) write_failed_ = true;
    if (write_failed_) failed_ = true;
    return !failed_;
}

bool OutputFile::finishGzip() {
    // Called after flush(): the writer thread is idle and the queue empty.
    if (!deflater_.active()) return true;
    std::lock_guard lock(mutex_);
    compressed_.clear();
    const bool ok = deflater_.finish(compressed_) && emit(compressed_) && writeTail();
    compressed_ = std::string();
    if (!ok) write_failed_ = failed_ = true;
    return ok;
}

bool OutputFile::sync() {
    if (!flush() || !finishGzip()) return false;
    if (::fsync(fd_) != 0) failed_ = true;
    return !failed_;
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
    queue_.clear();
    spare_.clear();
    deflater_.reset();  // the compressor of a file that failed
    compressed_ = std::string();
    block_ = std::string();
    direct_ = false;
    staged_ = 0;
    if (::close(fd_) != 0) ok = false;
    fd_ = -1;
    if (!ok) failed_ = true;
    return ok;
}

}  // namespace keelvault
