// The progress the engines report while they run: sampled from another
// thread as a reader would, it only grows and ends at the run's totals.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "backup_test_harness.h"
#include "core/engine/restore_engine.h"
#include "core/engine/server_copy_engine.h"
#include "core/scheduler/run_progress.h"
#include "script_engine_harness.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;

constexpr int kBigRows = 3000;
constexpr int kSmallRows = 5;
// Tests run side by side in processes of their own.
std::string databaseName() { return "kv_pg_progress_" + std::to_string(getpid()); }

// Takes snapshots as fast as it can while a run goes on.
class Sampler {
public:
    explicit Sampler(const RunProgress& progress) : progress_(progress) {
        thread_ = std::thread([this] {
            while (!done_) {
                RunProgressSnapshot s = progress_.snapshot();
                std::lock_guard lock(mutex_);
                samples_.push_back(std::move(s));
            }
        });
    }
    ~Sampler() { stop(); }

    std::vector<RunProgressSnapshot> stop() {
        done_ = true;
        if (thread_.joinable()) thread_.join();
        std::lock_guard lock(mutex_);
        return samples_;
    }

private:
    const RunProgress& progress_;
    std::atomic<bool> done_{false};
    std::mutex mutex_;
    std::vector<RunProgressSnapshot> samples_;
    std::thread thread_;
};

// Every counter of the run grows; the rows of a table grow while that
// table stays current.
void expectMonotone(const std::vector<RunProgressSnapshot>& samples) {
    ASSERT_FALSE(samples.empty());
    for (size_t i = 1; i < samples.size(); ++i) {
        const RunProgressSnapshot& a = samples[i - 1];
        const RunProgressSnapshot& b = samples[i];
        SCOPED_TRACE("sample " + std::to_string(i));
        EXPECT_GE(b.tables_done, a.tables_done);
        EXPECT_GE(b.rows_all, a.rows_all);
        EXPECT_GE(b.bytes, a.bytes);
        EXPECT_GE(b.statements, a.statements);
        EXPECT_GE(b.files_done, a.files_done);
        EXPECT_GE(b.tables_total, a.tables_total);
        if (a.table == b.table && a.tables_done == b.tables_done) {
            EXPECT_GE(b.rows_done, a.rows_done);
        }
        if (a.table == b.table && a.files_done == b.files_done) {
            EXPECT_GE(b.file_bytes_done, a.file_bytes_done);
        }
        EXPECT_LE(b.tables_done, std::max<int64_t>(b.tables_total, 0));
    }
}

class EngineProgress : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!test::serverReachable(1)) return;
        auto session = test::connectTo(1);
        const std::string db = databaseName();
        for (const std::string& sql : {
                 "DROP DATABASE IF EXISTS " + db,
                 "CREATE DATABASE " + db,
                 std::string("SET SESSION max_recursive_iterations = 100000"),
                 "CREATE TABLE " + db + ".big (id INT PRIMARY KEY, v VARCHAR(60))",
                 "INSERT INTO " + db +
                     ".big WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                     std::to_string(kBigRows) + ") SELECT i, REPEAT('x', 50) FROM n",
                 "CREATE TABLE " + db + ".small (id INT PRIMARY KEY)",
                 "INSERT INTO " + db + ".small VALUES (1),(2),(3),(4),(5)",
                 "ANALYZE TABLE " + db + ".big, " + db + ".small",
             }) {
            test::execOrFail(*session, sql);
        }
    }
    void SetUp() override { KEELVAULT_REQUIRE_SERVER(1); }

    static CDatabaseItem database() {
        CDatabaseItem item;
        item.selected = 2;
        item.name = databaseName();
        item.tables = {CTableItem{1, kKindTable, databaseName(), "big"}, CTableItem{1, kKindTable, databaseName(), "small"}};
        return item;
    }

    // Runs `engine` with a progress record sampled throughout.
    template <typename Engine>
    std::vector<RunProgressSnapshot> runSampled(CTask& task, TaskEnvironment& env, Engine engine,
                                                RunProgressSnapshot& last) {
        ConnectionRegistry connections;
        std::stop_source stop;
        RunProgress progress;
        progress.begin();
        RunContext context(task, env, stop.get_token(), connections, &progress);
        Sampler sampler(progress);
        EXPECT_EQ(engine(context), EngineResult::Finished);
        progress.end();
        std::vector<RunProgressSnapshot> samples = sampler.stop();
        last = progress.snapshot();
        samples.push_back(last);
        return samples;
    }
};

void expectTableTotals(const RunProgressSnapshot& last) {
    EXPECT_FALSE(last.running);
    EXPECT_EQ(last.tables_total, 2);
    EXPECT_EQ(last.tables_done, 2);
    EXPECT_EQ(last.rows_all, kBigRows + kSmallRows);
    EXPECT_EQ(last.table, "small");
    EXPECT_EQ(last.rows_done, kSmallRows);
    EXPECT_EQ(last.rows_estimate, kSmallRows);  // exact after ANALYZE for so few rows
    EXPECT_GT(last.bytes, kBigRows * 50);
    EXPECT_DOUBLE_EQ(progressFraction(last), 1.0);
}

TEST_F(EngineProgress, BackupThenRestoreReachTheirTotals) {
    KEELVAULT_REQUIRE_SERVER(2);
    backup_test::BackupHarness backup;
    backup.task.databases = {database()};
    RunProgressSnapshot last;
    const auto samples = runSampled(
        backup.task, backup.env, [&](RunContext& c) { return runBackupToFiles(c); }, last);
    expectMonotone(samples);
    expectTableTotals(last);
    // The big table was seen with its estimate while under way.
    bool big_seen = false;
    for (const RunProgressSnapshot& s : samples) big_seen |= s.table == "big" && s.rows_estimate > 0;
    EXPECT_TRUE(big_seen);

    const std::vector<std::string> files = backup.files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(last.bytes, static_cast<int64_t>(fs::file_size(files.front())));

    test::execOrFail(*test::connectTo(2), std::string("DROP DATABASE IF EXISTS ") + databaseName());
    CTask restore;
    restore.name = "restore";
    restore.log_name = "restore.log";
    restore.task_type = kTypeRestoreFromFiles;
    restore.destination = test::testServerSettings(2);
    restore.restore_files = {test::restoreEntry(0, files.front())};
    RunProgressSnapshot restored;
    const auto restore_samples = runSampled(
        restore, backup.env, [](RunContext& c) { return runRestoreFromFiles(c); }, restored);
    expectMonotone(restore_samples);
    EXPECT_EQ(restored.files_total, 1);
    EXPECT_EQ(restored.files_done, 1);
    EXPECT_EQ(restored.file_bytes_total, static_cast<int64_t>(fs::file_size(files.front())));
    EXPECT_EQ(restored.file_bytes_done, restored.file_bytes_total);
    EXPECT_GT(restored.statements, 2);
    EXPECT_DOUBLE_EQ(progressFraction(restored), 1.0);
    EXPECT_EQ(test::queryRows(*test::connectTo(2), std::string("SELECT COUNT(*) FROM ") + databaseName() + ".big"),
              std::vector<std::string>{std::to_string(kBigRows)});
}

TEST_F(EngineProgress, CopyToAnotherServerReachesItsTotals) {
    KEELVAULT_REQUIRE_SERVER(2);
    test::execOrFail(*test::connectTo(2), std::string("DROP DATABASE IF EXISTS ") + databaseName());
    test::TempDir dir;
    TaskEnvironment env;
    env.data_folder = dir.path();
    CTask task;
    task.name = "copy";
    task.log_name = "copy.log";
    task.task_type = kTypeBackupToServer;
    task.source = test::testServerSettings(1);
    task.destination = test::testServerSettings(2);
    task.databases = {database()};
    RunProgressSnapshot last;
    const auto samples = runSampled(
        task, env, [](RunContext& c) { return runServerCopy(c); }, last);
    expectMonotone(samples);
    expectTableTotals(last);
}

TEST(RunProgressText, DescribesEachKindOfRun) {
    RunProgressSnapshot tables;
    tables.running = true;
    tables.database = "sakila";
    tables.table = "film";
    tables.tables_total = 16;
    tables.tables_done = 2;
    tables.rows_done = 400;
    tables.rows_estimate = 1000;
    tables.rows_all = 5400;
    tables.bytes = 1258291;
    RunProgressSnapshot unknown = tables;
    unknown.rows_estimate = -1;
    RunProgressSnapshot files;
    files.running = true;
    files.table = "/b/x.sql";
    files.files_total = 2;
    files.files_done = 1;
    files.file_bytes_done = 512;
    files.file_bytes_total = 2048;
    files.statements = 1234;
    RunProgressSnapshot script;
    script.running = true;
    script.statements = 3;
    script.statements_total = 12;

    struct Case {
        const char* name;
        RunProgressSnapshot progress;
        std::string text;
        double fraction;
    };
    const Case cases[] = {
        {"tables", tables, "sakila.film: 400 of 1,000 rows, table 3 of 16, 1.2 MB", (2 + 0.4) / 16},
        {"no estimate", unknown, "sakila.film: 400 rows, table 3 of 16, 1.2 MB", 2.0 / 16},
        {"files", files, "/b/x.sql, 512 B of 2.0 KB read, file 2 of 2, 1,234 statements", (1 + 0.25) / 2},
        {"script", script, "3 of 12 statements", 0.25},
        {"nothing yet", RunProgressSnapshot{}, "", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(progressText(c.progress), c.text);
        EXPECT_DOUBLE_EQ(progressFraction(c.progress), c.fraction);
    }
    // A table that outgrows its estimate never goes past its share.
    tables.rows_done = 5000;
    EXPECT_DOUBLE_EQ(progressFraction(tables), 3.0 / 16);
    EXPECT_EQ(progressText(tables), "sakila.film: 5,000 of 5,000 rows, table 3 of 16, 1.2 MB");
}

TEST(RunProgressText, NumbersAndSizes) {
    EXPECT_EQ(groupedNumber(0), "0");
    EXPECT_EQ(groupedNumber(999), "999");
    EXPECT_EQ(groupedNumber(1000), "1,000");
    EXPECT_EQ(groupedNumber(-1234567), "-1,234,567");
    EXPECT_EQ(byteSizeText(1023), "1023 B");
    EXPECT_EQ(byteSizeText(1536), "1.5 KB");
    EXPECT_EQ(byteSizeText(5LL * 1024 * 1024 * 1024), "5.0 GB");
}

TEST(RunProgressRecord, BeginStartsAfresh) {
    RunProgress progress;
    progress.begin();
    progress.setTablesTotal(3);
    progress.beginTable("d", "t", 10);
    progress.addRows(4);
    progress.addBytes(100);
    progress.endTable();
    progress.end();
    EXPECT_FALSE(progress.snapshot().running);
    EXPECT_EQ(progress.snapshot().rows_all, 4);

    progress.begin();
    const RunProgressSnapshot s = progress.snapshot();
    EXPECT_TRUE(s.running);
    EXPECT_EQ(s.tables_total, 0);
    EXPECT_EQ(s.tables_done, 0);
    EXPECT_EQ(s.rows_all, 0);
    EXPECT_EQ(s.rows_estimate, -1);
    EXPECT_EQ(s.bytes, 0);
    EXPECT_TRUE(s.table.empty());
    // Bytes of an earlier run's files do not carry over into the new run.
    progress.setOutputBytes(7);
    EXPECT_EQ(progress.snapshot().bytes, 7);
}

}  // namespace
}  // namespace keelvault
