#include "core/engine/script_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace keelvault {

namespace {

constexpr size_t kReadBlock = 256 * 1024;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// First CR or LF in [p, end), or end.
const char* findLineEnd(const char* p, const char* end) {
    while (p != end && !isLineEnd(*p)) ++p;
    return p;
}

bool batchComplete(const std::vector<std::string>& list, const CBufferOptions& options) {
    if (options.mode == 2) return false;
    if (options.mode == 1) return list.size() >= static_cast<size_t>(std::max<int32_t>(options.records, 1));
    return true;
}

}  // namespace

bool startsStatement(const std::string& text) {
    if (text.empty()) return false;
    const char first = text[0];
    if ((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z')) return true;
    return text.compare(0, 3, "/*!") == 0;
}

bool StatementCutter::endLine(std::vector<std::string>& list) {
    if (text_.empty()) return false;
    size_t first = 0;
    while (first < text_.size() && isBlank(text_[first])) ++first;
    if (first == text_.size()) {
        text_.clear();
        return false;
    }
    if (first > 0) text_.erase(0, first);
    if (!startsStatement(text_)) {
        text_.clear();
        return false;
    }
    // A blank after the semicolon means the statement goes on.
    if (text_.back() != ';') return false;
    // Copy rather than move, so the text keeps its capacity for the next statement.
    list.push_back(text_);
    text_.clear();
    return true;
}

void StatementCutter::finish(std::vector<std::string>& list) {
    size_t first = 0;
    while (first < text_.size() && isBlank(text_[first])) ++first;
    size_t last = text_.size();
    while (last > first && isBlank(text_[last - 1])) --last;
    std::string statement = text_.substr(first, last - first);
    text_.clear();
    if (!startsStatement(statement)) return;
    if (statement.back() != ';') statement += ';';
    list.push_back(std::move(statement));
}

void cutScriptText(const std::string& text, std::vector<std::string>& list) {
    StatementCutter cutter;
    const char* p = text.data();
    const char* end = p + text.size();
    while (p != end) {
        const char* line_end = findLineEnd(p, end);
        cutter.append(p, static_cast<size_t>(line_end - p));
        if (line_end == end) break;
        cutter.endLine(list);
        p = line_end + 1;
    }
    cutter.finish(list);
}

std::vector<std::string> cutScriptText(const std::string& text) {
    std::vector<std::string> list;
    cutScriptText(text, list);
    return list;
}

SqlFileReader::SqlFileReader() = default;

SqlFileReader::~SqlFileReader() {
    close();
}

bool SqlFileReader::open(const std::string& path) {
    close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    length_ = static_cast<uint64_t>(info.st_size);
    posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    seekToStart();
    return true;
}

void SqlFileReader::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    length_ = 0;
    seekToStart();
    buffer_.clear();
    buffer_.shrink_to_fit();
}

void SqlFileReader::seekToStart() {
    position_ = 0;
    read_offset_ = 0;
    begin_ = end_ = 0;
    resync_ = false;
    // Every file is a script of its own: it starts with ';' as terminator.
    splitter_.reset();
}

ssize_t SqlFileReader::readAt(uint64_t offset, char* buffer, size_t size) {
    for (;;) {
        const ssize_t n = pread(fd_, buffer, size, static_cast<off_t>(offset));
        if (n >= 0 || errno != EINTR) return n;
    }
}

SqlFileReader::Fill SqlFileReader::fill() {
    if (read_offset_ >= length_) return Fill::End;
    if (begin_ > 0) {
        std::copy(buffer_.begin() + static_cast<ptrdiff_t>(begin_), buffer_.begin() + static_cast<ptrdiff_t>(end_),
                  buffer_.begin());
        end_ -= begin_;
        begin_ = 0;
    }
    // A look ahead longer than the buffer (a DELIMITER line of that size) grows it.
    if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
    const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer_.size() - end_, length_ - read_offset_));
    const ssize_t got = readAt(read_offset_, buffer_.data() + end_, want);
    if (got <= 0) {
        // An error skips the unreadable block; a file that became shorter
        // than its length has nothing more to give. The statement the gap
        // cuts through is lost either way.
        read_offset_ = got < 0 ? read_offset_ + want : length_;
        position_ = read_offset_;
        begin_ = end_ = 0;
        splitter_.dropPending();
        resync_ = true;
        return Fill::Fault;
    }
    read_offset_ += static_cast<uint64_t>(got);
    end_ += static_cast<size_t>(got);
    return Fill::Read;
}

int SqlFileReader::readStatements(std::vector<std::string>& list, const CBufferOptions& options) {
    if (buffer_.empty()) buffer_.resize(kReadBlock);
    bool want_more = begin_ == end_;
    for (;;) {
        if (want_more) {
            const Fill filled = fill();
            if (filled == Fill::Fault) return 0;
            if (filled == Fill::End && begin_ == end_) break;
            want_more = false;
        }
        char* start = buffer_.data() + begin_;
        const size_t available = end_ - begin_;
        if (resync_) {
            // After a skipped block the text goes on mid-line: drop it up to the next line end.
            const char* line_end = findLineEnd(start, start + available);
            const size_t dropped = static_cast<size_t>(line_end - start) + (line_end == start + available ? 0 : 1);
            position_ += dropped;
            begin_ += dropped;
            if (line_end != start + available) resync_ = false;
            want_more = begin_ == end_;
            continue;
        }
        const bool at_end = read_offset_ >= length_;
        const size_t used = splitter_.scan(start, available, at_end, list);
        position_ += used;
        begin_ += used;
        if (splitter_.completed()) {
            if (splitter_.hasOversized() || batchComplete(list, options)) return 1;
            continue;
        }
        if (at_end) {
            // With the end in sight the splitter takes every byte.
            position_ += end_ - begin_;
            begin_ = end_;
            break;
        }
        // The splitter took all it could: it wants the bytes that follow.
        want_more = true;
    }
    splitter_.finish(list);
    return 1;
}

}  // namespace keelvault
