#include "core/engine/dump_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace keelvault {

namespace {

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

bool DumpFile::create(const std::string& path, int gzip_level) {
    abandon(false);
    path_ = path;
    temp_path_.clear();
    failed_ = false;
    pending_views.clear();
    current_database.clear();
    int fd = -1;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        // A device or a pipe is written to as it is.
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } else {
        // Written under a name of its own beside the final one and renamed
        // when complete, so a run that fails never leaves a fragment under
        // the name of a backup, nor destroys the file it replaces.
        const size_t slash = path.find_last_of('/');
        const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        for (unsigned attempt = 0; attempt < 100 && fd < 0; ++attempt) {
            const std::string temp = folder + "." + name + "." + std::to_string(::getpid()) + "-" +
                                     std::to_string(attempt) + ".part";
            fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                temp_path_ = temp;
            } else if (errno != EEXIST) {
                break;
            }
        }
    }
    if (fd < 0) return false;
    out_.open(fd, gzip_level);
    // A backup is synced before it is put in place; written behind, little
    // is left to wait for then.
    if (!temp_path_.empty()) out_.writeBehind();
    if (out_.failed()) {
        abandon(false);
        return false;
    }
    return true;
}

bool DumpFile::closeStream() {
    if (!out_.isOpen()) return !failed_;
    // The data must be on the disk before the name says it is a backup.
    bool ok = !failed_ && (temp_path_.empty() ? out_.flush() : out_.sync());
    if (!out_.close()) ok = false;
    if (!ok) failed_ = true;
    return !failed_;
}

bool DumpFile::close() {
    const bool was_open = out_.isOpen();
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

bool DumpFile::writeStatement(std::string_view statement) { return writeStatement(statement, {}); }

bool DumpFile::writeStatement(std::string_view prefix, std::string_view body) {
    const std::string_view last = body.empty() ? prefix : body;
    const bool has_semicolon = !last.empty() && last.back() == ';';
    if (form_ == DumpForm::Sql) {
        return write(prefix) && write(body) && (has_semicolon || write(";")) && write(eol_);
    }
    scratch_.clear();
    scratch_.reserve(prefix.size() + body.size() + (prefix.size() + body.size()) / 8 + kPhpQueryHead.size() +
                     kPhpQueryTail.size() + 4);
    scratch_ += kPhpQueryHead;
    appendPhpQuoted(scratch_, prefix);
    appendPhpQuoted(scratch_, body);
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
    if (failed_ || !out_.flush()) return fail();
    return true;
}

}  // namespace keelvault
