#include "core/engine/dump_file.h"

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
    close();
}

bool DumpFile::create(const std::string& path) {
    close();
    path_ = path;
    failed_ = false;
    pending_views.clear();
    current_database.clear();
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) return false;
    std::setvbuf(file_, nullptr, _IOFBF, kFileBuffer);
    return true;
}

bool DumpFile::close() {
    if (!file_) return !failed_;
    const bool flushed = std::fflush(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!flushed || !closed) failed_ = true;
    return !failed_;
}

bool DumpFile::fail() {
    failed_ = true;
    return false;
}

bool DumpFile::write(std::string_view text) {
    if (!file_ || failed_) return false;
    if (text.empty()) return true;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) return fail();
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
