#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "core/model/task.h"

namespace keelvault {

// A copy of a run's progress at one moment, for display.
struct RunProgressSnapshot {
    bool running = false;  // between begin() and end()
    std::string database;  // the object being worked on, if any
    std::string table;
    int64_t tables_done = 0;
    int64_t tables_total = 0;   // 0 when not known
    int64_t rows_done = 0;      // of the current table
    int64_t rows_estimate = -1; // the server's estimate for the current table; -1 when unknown
    int64_t rows_all = 0;       // every row of the run so far
    int64_t bytes = 0;          // written, sent or read so far
    int64_t statements = 0;     // statements run (scripts and restores)
    int64_t statements_total = 0;  // 0 when not known
    int64_t files_done = 0;
    int64_t files_total = 0;
    int64_t file_bytes_done = 0;  // of the current file
    int64_t file_bytes_total = 0;
    double seconds = 0;  // since begin()
};

// How far a run has come, 0 to 1; -1 when there is nothing to measure by.
// Tables (with the current one's rows against its estimate), else files
// (with the bytes read of the current one), else statements.
double progressFraction(const RunProgressSnapshot& progress);
// "1,234,567"
std::string groupedNumber(int64_t value);
// "512 B", "1.2 KB", "3.4 MB", "5.6 GB"
std::string byteSizeText(int64_t bytes);
// The numbers of a run in a line, e.g.
// "sakila.film: 400 of 1,000 rows, table 3 of 16, 1.2 MB"; empty when the
// run has reported nothing yet.
std::string progressText(const RunProgressSnapshot& progress);

// The progress of the run of one task. The engine's thread is its only
// writer; any thread may take a snapshot. Counters are relaxed atomics
// written with plain stores, so a row costs no lock and no allocation; the
// names of the current object sit behind a mutex taken once per table.
class RunProgress {
public:
    // At run start: everything back to zero.
    void begin();
    void end();

    void setTablesTotal(int64_t total) { store(tables_total_, total); }
    void addTablesTotal(int64_t more) { add(tables_total_, more); }
    // Counts the chosen tables (and views) of a database into the total.
    void addSelectedTables(const CDatabaseItem& database);
    // A table starts; `rows_estimate` is -1 when unknown.
    void beginTable(const std::string& database, const std::string& table, int64_t rows_estimate);
    void endTable() { add(tables_done_, 1); }

    // One row (or `n`) of the current table done.
    void addRows(int64_t n = 1) {
        add(rows_done_, n);
        add(rows_all_, n);
    }
    void setRowsEstimate(int64_t estimate) { store(rows_estimate_, estimate); }
    void addBytes(int64_t n) {
        closed_bytes_ += n;
        store(bytes_, closed_bytes_);
    }
    // The bytes written so far to the output file being written, which
    // count on top of the files already closed.
    void setOutputBytes(int64_t n) { store(bytes_, closed_bytes_ + n); }
    void closeOutput() { closed_bytes_ = bytes_.load(std::memory_order_relaxed); }
    // A row written to an output file that holds `output_bytes` so far.
    void addRowOutput(int64_t output_bytes) {
        addRows();
        setOutputBytes(output_bytes);
    }
    void addStatements(int64_t n = 1) { add(statements_, n); }
    void setStatementsTotal(int64_t total) { store(statements_total_, total); }

    void setFilesTotal(int64_t total) { store(files_total_, total); }
    void addFilesTotal(int64_t more) { add(files_total_, more); }
    // A file starts: its name shows as the current object.
    void beginFile(const std::string& name, int64_t size);
    void setFileBytes(int64_t done) { store(file_bytes_done_, done); }
    void endFile() { add(files_done_, 1); }

    RunProgressSnapshot snapshot() const;

private:
    static void store(std::atomic<int64_t>& a, int64_t v) { a.store(v, std::memory_order_relaxed); }
    // One writer: a load and a store, no locked instruction.
    static void add(std::atomic<int64_t>& a, int64_t n) {
        a.store(a.load(std::memory_order_relaxed) + n, std::memory_order_relaxed);
    }

    mutable std::mutex names_mutex_;
    std::string database_;  // guarded
    std::string table_;     // guarded
    std::chrono::steady_clock::time_point started_;  // guarded
    std::atomic<bool> running_{false};
    std::atomic<int64_t> tables_done_{0}, tables_total_{0}, rows_done_{0}, rows_estimate_{-1}, rows_all_{0},
        bytes_{0}, statements_{0}, statements_total_{0}, files_done_{0}, files_total_{0}, file_bytes_done_{0}, file_bytes_total_{0};
    std::atomic<int64_t> ended_ms_{-1};  // run length once ended
    int64_t closed_bytes_ = 0;           // the writer's own
};

}  // namespace keelvault
