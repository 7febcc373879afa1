#include "core/engine/dump_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace keelvault {

namespace {

constexpr size_t kFileBuffer = 1 << 20;
constexpr std::string_view kPhpQueryHead = "  mysql_query('";
constexpr std::string_view kPhpQueryTail =
    "',$conn) or die('Failed! Error NO. '.mysql_errno($conn).'<br>'.mysql_error($conn));";

void appendPhpQuoted(std::string& out, std::string_view text) {
    for (char c : text) {
        if (c == '\\' || c == '\'') out += '\\';
        out += c;
    }
}

}  // namespace

std::string phpQuoted(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    appendPhpQuoted(out, text);
    return out;
}

DumpFile::~DumpFile() {
    // A file never closed in order is no backup: only its temporary goes.
    abandon(false);
}

bool DumpFile::create(const std::string& path) {
    abandon(false);
    path_ = path;
    temp_path_.clear();
    failed_ = false;
    bytes_ = 0;
    pending_views.clear();
    current_database.clear();
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        // A device or a pipe is written to as it is.
        file_ = std::fopen(path.c_str(), "wb");
    } else {
        // Written under a name of its own beside the final one and renamed
        // when complete, so a run that fails never leaves a fragment under
        // the name of a backup, nor destroys the file it replaces.
        const size_t slash = path.find_last_of('/');
        const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        for (unsigned attempt = 0; attempt < 100 && !file_; ++attempt) {
            const std::string temp = folder + "." + name + "." + std::to_string(::getpid()) + "-" +
                                     std::to_string(attempt) + ".part";
            const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0) {
                if (errno == EEXIST) continue;
                break;
            }
            file_ = ::fdopen(fd, "wb");
            if (!file_) {
                ::close(fd);
                ::unlink(temp.c_str());
                break;
            }
            temp_path_ = temp;
        }
    }
    if (!file_) return false;
    std::setvbuf(file_, nullptr, _IOFBF, kFileBuffer);
    return true;
}

bool DumpFile::closeStream() {
    if (!file_) return !failed_;
    bool ok = std::fflush(file_) == 0;
    // The data must be on the disk before the name says it is a backup.
    if (ok && !temp_path_.empty()) ok = ::fsync(::fileno(file_)) == 0;
    if (std::fclose(file_) != 0) ok = false;
    file_ = nullptr;
    if (!ok) failed_ = true;
    return !failed_;
}

bool DumpFile::close() {
    const bool was_open = file_ != nullptr;
    const bool ok = closeStream();
    if (temp_path_.empty()) return ok;
    if (!ok || !was_open || ::rename(temp_path_.c_str(), path_.c_str()) != 0) {
        ::unlink(temp_path_.c_str());
        temp_path_.clear();
        failed_ = true;
        return false;
    }
    temp_path_.clear();
    return true;
}

std::string DumpFile::abandon(bool keep) {
    closeStream();
    if (temp_path_.empty()) return {};
    std::string kept;
    if (keep) {
        kept = path_ + ".incomplete";
        if (::rename(temp_path_.c_str(), kept.c_str()) != 0) kept.clear();
    }
    if (kept.empty()) ::unlink(temp_path_.c_str());
    temp_path_.clear();
    failed_ = true;
    return kept;
}

bool DumpFile::fail() {
    failed_ = true;
    return false;
}

bool DumpFile::write(std::string_view text) {
    if (!file_ || failed_) return false;
    if (text.empty()) return true;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) return fail();
    bytes_ += text.size();
    return true;
}

bool DumpFile::writeStatement(std::string_view statement) {
    const bool has_semicolon = !statement.empty() && statement.back() == ';';
    if (form_ == DumpForm::Sql) {
        return write(statement) && (has_semicolon || write(";")) && write(eol_);
    }
    scratch_.clear();
    scratch_.reserve(statement.size() + statement.size() / 8 + kPhpQueryHead.size() + kPhpQueryTail.size() + 4);
    scratch_ += kPhpQueryHead;
    appendPhpQuoted(scratch_, statement);
    if (!has_semicolon) scratch_ += ';';
    scratch_ += kPhpQueryTail;
    scratch_ += eol_;
    return write(scratch_);
}

bool DumpFile::writeStatements(const std::vector<std::string>& statements) {
    for (const std::string& statement : statements) {
        if (!writeStatement(statement)) return false;
    }
    return true;
}

bool DumpFile::flush() {
    if (!file_ || failed_) return false;
    if (std::fflush(file_) != 0) return fail();
    return true;
}

}  // namespace keelvault
