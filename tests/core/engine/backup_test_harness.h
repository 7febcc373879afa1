#pragma once

// Shared set-up of the backup-to-files tests: a task with its own data and
// output folders, a fixed clock, the engine run in-process, and helpers that
// load, replay and compare databases on the test servers.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

#include "core/engine/backup_files_engine.h"
#include "core/engine/mysql_session.h"
#include "core/model/task.h"
#include "core/model/task_log.h"
#include "core/scheduler/clock.h"
#include "core/scheduler/run_context.h"
#include "core/scheduler/task_environment.h"
#include "schema_compare.h"
#include "support/sample_database.h"
#include "support/test_support.h"

namespace keelvault::backup_test {

namespace fs = std::filesystem;

class FixedClock : public Clock {
public:
    explicit FixedClock(const TaskTime& t) : time_(t) {}
    TaskTime now() const override { return time_; }

private:
    TaskTime time_;
};

inline TaskTime fixedStart() {
    TaskTime t;
    t.year = 2006;
    t.month = 5;
    t.day = 1;
    t.hour = 9;
    t.minute = 5;
    t.second = 7;
    t.day_of_week = 2;
    return t;
}

// The mariadb client command line for test server 1 or 2.
inline std::string clientCommand(int which) {
    const test::TestServers s = test::testServers();
    return "mariadb --no-defaults -h" + s.host + " -P" + std::to_string(which == 1 ? s.port1 : s.port2) + " -u" +
           s.user;
}

// A word for sh, whatever it holds.
inline std::string shellQuote(const std::string& word) {
    std::string out = "'";
    for (char c : word) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

inline int shell(const std::string& command) {
    return std::system(command.c_str());
}

inline std::string fixturePath(const std::string& name) {
    return std::string(KEELVAULT_SOURCE_DIR) + "/tests/fixtures/" + name;
}

// Loads the hard-values fixture into server `which` as kv_bk_hard and kv_bk_latin1.
inline int loadHardValues(int which) {
    return shell("sed -e 's/kv_hard/kv_bk_hard/g' -e 's/kv_latin1/kv_bk_latin1/g' '" + fixturePath("hard_values.sql") +
                 "' | " + clientCommand(which));
}

// Loads the Sakila sample into server `which` as kv_bk_sakila.
inline int loadSakila(int which) {
    const std::string rename = " | sed -E 's/\\bsakila\\b/kv_bk_sakila/g' | ";
    const int schema = shell(test::sakilaCatCommand("schema") + rename + clientCommand(which));
    if (schema != 0) return schema;
    return shell(test::sakilaCatCommand("data") + rename + clientCommand(which));
}

// A connected session to a test server.
inline bool connect(MySqlSession& session, int which) {
    return session.open(test::testServerSettings(which));
}

// Runs statements one by one; false at the first failure.
inline bool runSql(int which, const std::vector<std::string>& statements) {
    MySqlSession session;
    if (!connect(session, which)) return false;
    for (const std::string& statement : statements) {
        if (!session.execute(statement)) {
            ADD_FAILURE() << statement << ": " << session.errorText();
            return false;
        }
    }
    return true;
}

// Every table and view of a database, selected, as the task stores them.
inline CDatabaseItem wholeDatabase(const std::string& name) {
    CDatabaseItem item;
    item.selected = 2;
    item.name = name;
    MySqlSession session;
    if (!connect(session, 1) || !session.selectDatabase(name)) {
        ADD_FAILURE() << "cannot list " << name;
        return item;
    }
    std::vector<TableEntry> tables;
    session.listTables(tables);
    for (const TableEntry& t : tables) item.tables.push_back(CTableItem{1, t.kind, name, t.name});
    return item;
}

// Compares a database on server 1 with its copy on server 2: every table by
// CHECKSUM TABLE and row count, every view by existence, kind and row count,
// and the structure and every schema object by their definitions.
inline void expectSameDatabase(const std::string& database) {
    test::expectSameSchema(database);
    SCOPED_TRACE("database " + database);
    MySqlSession source, copy;
    ASSERT_TRUE(connect(source, 1));
    ASSERT_TRUE(connect(copy, 2));
    ASSERT_TRUE(source.selectDatabase(database));
    ASSERT_TRUE(copy.selectDatabase(database)) << "missing on the second server";
    source.execute("SET NAMES utf8mb4");
    copy.execute("SET NAMES utf8mb4");
    std::vector<TableEntry> tables, copied;
    ASSERT_TRUE(source.listTables(tables));
    ASSERT_TRUE(copy.listTables(copied));
    ASSERT_EQ(tables.size(), copied.size());
    for (const TableEntry& table : tables) {
        SCOPED_TRACE("table " + table.name);
        const std::string q = "`" + database + "`.`";
        std::string quoted = q;
        for (char c : table.name) {
            if (c == '`') quoted += '`';
            quoted += c;
        }
        quoted += '`';
        EXPECT_EQ(copy.tableKind(table.name), table.kind);
        std::string count_a, count_b;
        ASSERT_TRUE(source.queryValue("SELECT COUNT(*) FROM " + quoted, count_a));
        ASSERT_TRUE(copy.queryValue("SELECT COUNT(*) FROM " + quoted, count_b)) << copy.errorText();
        EXPECT_EQ(count_a, count_b);
        if (table.kind != kKindTable) continue;
        std::string sum_a, sum_b;
        ResultPtr a = source.storeQuery("CHECKSUM TABLE " + quoted);
        ResultPtr b = copy.storeQuery("CHECKSUM TABLE " + quoted);
        ASSERT_TRUE(a && b);
        MYSQL_ROW ra = mysql_fetch_row(a.get());
        MYSQL_ROW rb = mysql_fetch_row(b.get());
        ASSERT_TRUE(ra && rb && ra[1] && rb[1]);
        EXPECT_STREQ(ra[1], rb[1]);
    }
}

// A backup task run in-process against test server 1.
class BackupHarness {
public:
    BackupHarness() : clock_(fixedStart()) {
        env.data_folder = dir.path() / "data";
        fs::create_directories(env.logsFolder());
        env.clock = &clock_;
        task.name = "nightly";
        task.log_name = "nightly.log";
        task.source = test::testServerSettings(1);
        task.backup_options.backup_directory = (dir.path() / "out").string();
        {
            std::lock_guard lock(task.mutex());
            task.last_run = fixedStart();
        }
    }

    EngineResult run(unsigned long version_override = 0) {
        RunContext context(task, env, stop.get_token(), connections);
        return runBackupToFiles(context, version_override);
    }

    std::vector<LogRecord> log() const { return readAllLog(env.logsFolder(), task.log_name); }
    std::vector<std::string> logTexts() const {
        std::vector<std::string> texts;
        for (const LogRecord& r : log()) texts.push_back(r.text);
        return texts;
    }
    std::vector<std::string> errors() const {
        std::vector<std::string> texts;
        for (const LogRecord& r : log())
            if (r.level == kLogError) texts.push_back(r.text);
        return texts;
    }
    std::vector<CBackupRecord> backups() const {
        std::lock_guard lock(task.mutex());
        return task.backups;
    }
    // The files of the last backup record.
    std::vector<std::string> files() const {
        const auto records = backups();
        return records.empty() ? std::vector<std::string>{} : records.back().files;
    }
    fs::path outDir() const { return dir.path() / "out"; }

    test::TempDir dir;
    TaskEnvironment env;
    CTask task;
    ConnectionRegistry connections;
    std::stop_source stop;

private:
    FixedClock clock_;
};

}  // namespace keelvault::backup_test
