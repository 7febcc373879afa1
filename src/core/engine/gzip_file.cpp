#include "core/engine/gzip_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace keelvault {

namespace {

class FdCloser {
public:
    explicit FdCloser(int fd) : fd_(fd) {}
    ~FdCloser() {
        if (fd_ >= 0) ::close(fd_);
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;
    int get() const { return fd_; }
    // Closes now and reports whether the close succeeded.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

// Reads up to size bytes; -1 on a read error.
ssize_t readSome(int fd, char* buffer, size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0 || errno != EINTR) return n;
    }
}

}  // namespace

int compressGzipFile(std::string& path, int level) {
    if (path.empty()) return kGzipEmptyPath;
    if (level < 1 || level > 9) return kGzipBadLevel;

    FdCloser source(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (source.get() < 0) return kGzipCannotOpenSource;
    struct stat source_info {};
    if (::fstat(source.get(), &source_info) != 0 || !S_ISREG(source_info.st_mode)) return kGzipCannotOpenSource;

    const std::string target = path + ".gz";
    std::string temp = target + ".XXXXXX";
    const int temp_fd = ::mkstemp(temp.data());
    if (temp_fd < 0) return kGzipCannotCreate;
    // The gzip stream owns temp_fd; a duplicate stays ours for the final sync.
    FdCloser sync_fd(::dup(temp_fd));
    char mode[8];
    std::snprintf(mode, sizeof mode, "wb%d", level);
    gzFile gz = sync_fd.get() >= 0 ? ::gzdopen(temp_fd, mode) : nullptr;
    if (!gz) {
        ::close(temp_fd);
        ::unlink(temp.c_str());
        return kGzipCannotCreate;
    }

    ::gzbuffer(gz, 128 * 1024);
    bool ok = true;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t n = readSome(source.get(), buffer.data(), buffer.size());
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0) break;
        if (::gzwrite(gz, buffer.data(), static_cast<unsigned>(n)) != static_cast<int>(n)) {
            ok = false;
            break;
        }
    }
    // gzclose flushes the last block and the trailer; its failure means a
    // truncated file.
    if (::gzclose(gz) != Z_OK) ok = false;
    // The backup keeps the permissions of the file it replaces.
    if (ok && ::fchmod(sync_fd.get(), source_info.st_mode & 07777) != 0) ok = false;
    if (ok && ::fsync(sync_fd.get()) != 0) ok = false;
    if (!sync_fd.close()) ok = false;
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) ok = false;
    if (!ok) {
        ::unlink(temp.c_str());
        return kGzipWriteFailed;
    }
    path = target;
    return kGzipDone;
}

}  // namespace keelvault
