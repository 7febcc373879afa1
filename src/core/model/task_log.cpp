#include "core/model/task_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "core/model/binary_io.h"
#include "core/model/record_io.h"
#include "core/platform/data_folder.h"

namespace keelvault {

namespace fs = std::filesystem;

namespace {

constexpr const char* kConversionMarker = "log200se.dll";
constexpr size_t kConversionMarkerSize = 3072;
// Level, seven time fields and the text length of a record in the earlier layout.
constexpr size_t kOldRecordHeaderSize = 1 + 7 * 4 + 4;

// One lock for every log of the process: the interface thread and the workers
// append to the same files, and a record must never be split by another.
std::mutex& logMutex() {
    static std::mutex m;
    return m;
}

// Closes a descriptor on every way out.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

bool writeAll(int fd, const char* data, size_t size, size_t& written) {
    written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, data + written, size - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        written += static_cast<size_t>(n);
    }
    return true;
}

bool pwriteAll(int fd, const char* data, size_t size, off_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool preadAll(int fd, char* data, size_t size, off_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, data + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string magicBytes(uint32_t magic) {
    ByteWriter w;
    w.u32(magic);
    return w.take();
}

std::string encodeRecord(uint8_t level, const TaskTime& when, const std::string& text) {
    ByteWriter w;
    w.u8(level);
    writeTaskTime(w, when);
    std::string field = text.substr(0, kLogTextSize);
    field.resize(kLogTextSize, '\0');
    w.raw(field);
    return w.take();
}

// Decodes whole records of the current layout; a partial record at the end
// (a write cut short) is ignored.
void decodeRecords(std::string_view data, std::vector<LogRecord>& out) {
    const size_t count = data.size() / kLogRecordSize;
    out.reserve(out.size() + count);
    for (size_t i = 0; i < count; ++i) {
        ByteReader r(data.substr(i * kLogRecordSize, kLogRecordSize));
        LogRecord rec;
        rec.level = r.u8();
        rec.time = readTaskTime(r);
        const std::string_view field = data.substr(i * kLogRecordSize + r.offset(), kLogTextSize);
        rec.text.assign(field.substr(0, std::min(field.find('\0'), field.size())));
        out.push_back(std::move(rec));
    }
}

// Records of the earlier layout; reading stops at the first record that is
// cut short or whose length cannot be right, keeping the records before it.
void decodeOldRecords(std::string_view data, std::vector<LogRecord>& out) {
    size_t pos = 0;
    while (data.size() - pos >= kOldRecordHeaderSize) {
        ByteReader r(data.substr(pos, kOldRecordHeaderSize));
        LogRecord rec;
        rec.level = r.u8();
        rec.time = readTaskTime(r);
        const int32_t length = r.i32();
        pos += kOldRecordHeaderSize;
        if (length < 0 || static_cast<size_t>(length) > data.size() - pos) break;
        rec.text.assign(data.substr(pos, static_cast<size_t>(length)));
        pos += static_cast<size_t>(length);
        out.push_back(std::move(rec));
    }
}

uint32_t leadingMagic(std::string_view data) {
    if (data.size() < 4) return 0;
    ByteReader r(data.substr(0, 4));
    return r.u32();
}

}  // namespace

const char* logLevelText(int level) {
    switch (level) {
    case kLogInfo: return "General Info";
    case kLogWarning: return "Warning Info";
    default: return "Error Info";
    }
}

fs::path logFilePath(const fs::path& logs_folder, const std::string& log_name) {
    const size_t cut = log_name.find_last_of("\\/");
    return logs_folder / (cut == std::string::npos ? log_name : log_name.substr(cut + 1));
}

bool appendLog(const fs::path& logs_folder, const std::string& log_name, uint8_t level, const std::string& text,
               const TaskTime& when) {
    if (log_name.empty()) return false;
    const fs::path path = logFilePath(logs_folder, log_name);
    if (!path.has_filename()) return false;

    std::lock_guard lock(logMutex());
    std::error_code ec;
    fs::create_directories(logs_folder, ec);
    FileDescriptor fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!fd.valid()) return false;

    // The magic is rewritten in place first; the record then goes to the end
    // in one append, so another process writing the same log cannot split it.
    const std::string magic = magicBytes(kLogMagic);
    if (!pwriteAll(fd.get(), magic.data(), magic.size(), 0)) return false;
    if (text.empty()) return true;

    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags | O_APPEND) != 0) return false;
    const std::string record = encodeRecord(level, when, text);
    size_t written = 0;
    if (!writeAll(fd.get(), record.data(), record.size(), written)) {
        // Take back a partial record (disk full) so later records stay aligned.
        if (written > 0) {
            const off_t end = ::lseek(fd.get(), 0, SEEK_CUR);
            if (end >= static_cast<off_t>(written) && ::ftruncate(fd.get(), end - static_cast<off_t>(written)) != 0) {
                return false;
            }
        }
        return false;
    }
    return true;
}

std::vector<LogRecord> readAllLog(const fs::path& logs_folder, const std::string& log_name) {
    std::vector<LogRecord> records;
    if (log_name.empty()) return records;
    std::string data;
    if (!readWholeFile(logFilePath(logs_folder, log_name), data)) return records;
    const std::string_view view(data);
    switch (leadingMagic(view)) {
    case kLogMagic:
        decodeRecords(view.substr(4), records);
        break;
    case kLogOldMagic:
        decodeOldRecords(view.substr(4), records);
        break;
    default:
        break;
    }
    return records;
}

std::vector<LogRecord> readLastLog(const fs::path& logs_folder, const std::string& log_name, size_t n) {
    std::vector<LogRecord> records;
    if (log_name.empty() || n == 0) return records;
    FileDescriptor fd(::open(logFilePath(logs_folder, log_name).c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return records;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || st.st_size < 4) return records;
    char head[4];
    if (!preadAll(fd.get(), head, sizeof head, 0) || leadingMagic(std::string_view(head, 4)) != kLogMagic) {
        return records;
    }
    // Counted from the first record, so a partial record at the end cannot
    // shift every record read.
    const size_t total = (static_cast<size_t>(st.st_size) - 4) / kLogRecordSize;
    const size_t wanted = std::min(n, total);
    std::string data(wanted * kLogRecordSize, '\0');
    const off_t offset = static_cast<off_t>(4 + (total - wanted) * kLogRecordSize);
    if (!data.empty() && !preadAll(fd.get(), data.data(), data.size(), offset)) return records;
    decodeRecords(data, records);
    return records;
}

void applyLogSizeLimit(const fs::path& logs_folder, const std::string& log_name, bool limited, int32_t max_kb) {
    if (!limited || max_kb < 1 || log_name.empty()) return;
    std::lock_guard lock(logMutex());
    std::error_code ec;
    fs::create_directories(logs_folder, ec);
    const fs::path path = logFilePath(logs_folder, log_name);
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    if (static_cast<int64_t>(st.st_size) / 1024 >= max_kb) ::unlink(path.c_str());
}

void convertLogsOnce(const fs::path& logs_folder, const std::vector<std::string>& log_names) {
    std::error_code ec;
    fs::create_directories(logs_folder, ec);
    const fs::path marker = logs_folder / kConversionMarker;
    if (fs::exists(marker, ec) || ec) return;

    {
        std::lock_guard lock(logMutex());
        for (const std::string& name : log_names) {
            if (name.empty()) continue;
            const fs::path path = logFilePath(logs_folder, name);
            std::string data;
            if (!readWholeFile(path, data)) continue;
            // Only a log of the earlier layout is rewritten; a file of any
            // other content is not ours to replace.
            if (leadingMagic(data) != kLogOldMagic) continue;
            std::vector<LogRecord> records;
            decodeOldRecords(std::string_view(data).substr(4), records);
            std::string converted = magicBytes(kLogMagic);
            for (const LogRecord& rec : records) converted += encodeRecord(rec.level, rec.time, rec.text);
            writeFileAtomically(path, converted,
                                fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                    fs::perms::others_read);
        }
    }

    writeFileAtomically(marker, std::string(kConversionMarkerSize, '\0'),
                        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                            fs::perms::others_read);
}

}  // namespace keelvault
