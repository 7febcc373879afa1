#include "core/scheduler/run_progress.h"

#include <algorithm>
#include <cstdio>

namespace keelvault {

namespace {

double part(int64_t done, int64_t total) {
    if (total <= 0) return 0;
    return std::clamp(static_cast<double>(done) / static_cast<double>(total), 0.0, 1.0);
}

}  // namespace

double progressFraction(const RunProgressSnapshot& p) {
    if (p.tables_total > 0) {
        // The current table is the one after those done, until it ends.
        const bool in_table = p.tables_done < p.tables_total && p.rows_estimate > 0;
        const double current = in_table ? part(p.rows_done, p.rows_estimate) : 0;
        return std::min(1.0, (static_cast<double>(p.tables_done) + current) / static_cast<double>(p.tables_total));
    }
    if (p.files_total > 0) {
        const bool in_file = p.files_done < p.files_total;
        const double current = in_file ? part(p.file_bytes_done, p.file_bytes_total) : 0;
        return std::min(1.0, (static_cast<double>(p.files_done) + current) / static_cast<double>(p.files_total));
    }
    if (p.statements_total > 0) return part(p.statements, p.statements_total);
    return -1;
}

std::string groupedNumber(int64_t value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), ",");
    return value < 0 ? "-" + digits : digits;
}

std::string byteSizeText(int64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + " B";
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f %s", value, kUnits[unit]);
    return buf;
}

std::string progressText(const RunProgressSnapshot& p) {
    std::string text;
    const auto add = [&text](const std::string& piece) {
        if (piece.empty()) return;
        if (!text.empty()) text += ", ";
        text += piece;
    };
    std::string where = p.database.empty() ? p.table : p.database + "." + p.table;
    if (p.tables_total > 0 || p.rows_all > 0) {
        std::string rows = groupedNumber(p.rows_done);
        if (p.rows_estimate > 0) rows += " of " + groupedNumber(std::max(p.rows_estimate, p.rows_done));
        rows += " rows";
        text = where.empty() ? rows : where + ": " + rows;
        if (p.tables_total > 0) {
            const int64_t current = std::min(p.tables_done + (p.running ? 1 : 0), p.tables_total);
            add("table " + groupedNumber(current) + " of " + groupedNumber(p.tables_total));
        }
    } else if (p.files_total > 0) {
        text = where;
        if (p.file_bytes_total > 0) {
            add(byteSizeText(p.file_bytes_done) + " of " + byteSizeText(p.file_bytes_total) + " read");
        }
        const int64_t current = std::min(p.files_done + (p.running ? 1 : 0), p.files_total);
        add("file " + groupedNumber(current) + " of " + groupedNumber(p.files_total));
    }
    if (p.statements > 0 || p.statements_total > 0) {
        std::string statements = groupedNumber(p.statements);
        if (p.statements_total > 0) statements += " of " + groupedNumber(p.statements_total);
        add(statements + " statements");
    }
    if (p.bytes > 0) add(byteSizeText(p.bytes));
    return text;
}

void RunProgress::begin() {
    {
        std::lock_guard lock(names_mutex_);
        database_.clear();
        table_.clear();
        started_ = std::chrono::steady_clock::now();
    }
    for (auto* counter : {&tables_done_, &tables_total_, &rows_done_, &rows_all_, &bytes_, &statements_, &statements_total_,
                          &files_done_, &files_total_, &file_bytes_done_, &file_bytes_total_}) {
        store(*counter, 0);
    }
    store(rows_estimate_, -1);
    store(ended_ms_, -1);
    closed_bytes_ = 0;
    running_.store(true, std::memory_order_release);
}

void RunProgress::end() {
    std::chrono::steady_clock::time_point started;
    {
        std::lock_guard lock(names_mutex_);
        started = started_;
    }
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
    store(ended_ms_, ms);
    running_.store(false, std::memory_order_release);
}

void RunProgress::addSelectedTables(const CDatabaseItem& database) {
    int64_t count = 0;
    for (const CTableItem& table : database.tables) count += table.selected != 0;
    addTablesTotal(count);
}

void RunProgress::beginTable(const std::string& database, const std::string& table, int64_t rows_estimate) {
    // The rows start again with the name under the same lock, so a snapshot
    // never pairs one table's name with another's rows.
    std::lock_guard lock(names_mutex_);
    database_ = database;
    table_ = table;
    store(rows_done_, 0);
    store(rows_estimate_, rows_estimate);
}

void RunProgress::beginFile(const std::string& name, int64_t size) {
    {
        std::lock_guard lock(names_mutex_);
        database_.clear();
        table_ = name;
    }
    store(file_bytes_done_, 0);
    store(file_bytes_total_, size);
}

RunProgressSnapshot RunProgress::snapshot() const {
    RunProgressSnapshot s;
    std::chrono::steady_clock::time_point started;
    {
        std::lock_guard lock(names_mutex_);
        s.database = database_;
        s.table = table_;
        started = started_;
        s.rows_done = rows_done_.load(std::memory_order_relaxed);
        s.rows_estimate = rows_estimate_.load(std::memory_order_relaxed);
    }
    const auto get = [](const std::atomic<int64_t>& a) { return a.load(std::memory_order_relaxed); };
    s.running = running_.load(std::memory_order_acquire);
    s.tables_done = get(tables_done_);
    s.tables_total = get(tables_total_);
    s.rows_all = get(rows_all_);
    s.bytes = get(bytes_);
    s.statements = get(statements_);
    s.statements_total = get(statements_total_);
    s.files_done = get(files_done_);
    s.files_total = get(files_total_);
    s.file_bytes_done = get(file_bytes_done_);
    s.file_bytes_total = get(file_bytes_total_);
    const int64_t ended = get(ended_ms_);
    if (ended >= 0) {
        s.seconds = static_cast<double>(ended) / 1000.0;
    } else if (s.running) {
        s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    }
    return s;
}

}  // namespace keelvault
