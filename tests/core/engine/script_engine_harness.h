#pragma once

// Runs the script and restore engines outside a worker and reads back what
// they logged, plus small helpers to look at the test servers.

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <stop_token>
#include <string>
#include <vector>

#include "core/engine/mysql_session.h"
#include "core/model/task_log.h"
#include "core/scheduler/run_context.h"
#include "core/scheduler/task_environment.h"
#include "support/sample_database.h"
#include "support/test_support.h"

namespace keelvault::test {

class EngineHarness {
public:
    EngineHarness() {
        env.data_folder = dir.path();
        task.name = "script run";
        task.log_name = "script_run.log";
    }

    EngineResult run(const std::function<EngineResult(RunContext&)>& engine) {
        RunContext context(task, env, stop.get_token(), connections);
        const EngineResult result = engine(context);
        EXPECT_EQ(connections.size(), 0u) << "a connection was left registered";
        return result;
    }

    std::vector<LogRecord> log() const { return readAllLog(env.logsFolder(), task.log_name); }

    std::vector<std::string> texts(int level = -1) const {
        std::vector<std::string> out;
        for (const LogRecord& record : log()) {
            if (level < 0 || record.level == level) out.push_back(record.text);
        }
        return out;
    }

    bool logged(const std::string& text) const {
        for (const std::string& line : texts()) {
            if (line == text) return true;
        }
        return false;
    }

    void clearLog() { std::filesystem::remove(env.logsFolder() / task.log_name); }

    TempDir dir;
    TaskEnvironment env;
    CTask task;
    ConnectionRegistry connections;
    std::stop_source stop;
};

// A session on test server 1 or 2; fails the test when it cannot connect.
inline std::unique_ptr<MySqlSession> connectTo(int which) {
    auto session = std::make_unique<MySqlSession>();
    EXPECT_TRUE(session->open(testServerSettings(which))) << session->errorText();
    return session;
}

inline void execOrFail(MySqlSession& session, const std::string& sql) {
    EXPECT_TRUE(session.execute(sql)) << sql << ": " << session.errorText();
}

// Every row of a query, its columns joined by '|'.
inline std::vector<std::string> queryRows(MySqlSession& session, const std::string& sql) {
    std::vector<std::string> rows;
    ResultPtr result = session.storeQuery(sql);
    EXPECT_TRUE(result) << sql << ": " << session.errorText();
    if (!result) return rows;
    const unsigned fields = mysql_num_fields(result.get());
    while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
        const unsigned long* lengths = mysql_fetch_lengths(result.get());
        std::string line;
        for (unsigned i = 0; i < fields; ++i) {
            if (i) line += '|';
            line += row[i] ? std::string(row[i], lengths[i]) : "NULL";
        }
        rows.push_back(line);
    }
    return rows;
}

// CHECKSUM TABLE of every base table of a database, by table name.
inline std::map<std::string, std::string> tableChecksums(int which, const std::string& database) {
    auto session = connectTo(which);
    std::map<std::string, std::string> sums;
    for (const std::string& table :
         queryRows(*session, "SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA='" + database +
                                 "' AND TABLE_TYPE='BASE TABLE'")) {
        const auto rows = queryRows(*session, "CHECKSUM TABLE `" + database + "`.`" + table + "`");
        sums[table] = rows.empty() ? "?" : rows.front().substr(rows.front().rfind('|') + 1);
    }
    return sums;
}

// The mariadb command-line tools against test server 1 or 2.
inline std::string toolCommand(const std::string& tool, int which) {
    const TestServers servers = testServers();
    return tool + " --no-defaults -h" + servers.host + " -P" + std::to_string(which == 1 ? servers.port1 : servers.port2) +
           " -u" + servers.user;
}

inline int shell(const std::string& command) {
    return std::system(command.c_str());
}

// Loads the Sakila sample into `database` on a server (the sample's own name replaced).
inline bool loadSakila(int which, const std::string& database) {
    for (const char* part : {"schema", "data"}) {
        const std::string command = sakilaCatCommand(part) + " | sed 's/\\bsakila\\b/" + database + "/g' | " +
                                    toolCommand("mariadb", which);
        if (shell(command) != 0) return false;
    }
    return true;
}

inline void writeGzipFile(const std::filesystem::path& path, const std::string& bytes) {
    gzFile gz = gzopen(path.c_str(), "wb6");
    ASSERT_NE(gz, nullptr);
    ASSERT_EQ(gzwrite(gz, bytes.data(), static_cast<unsigned>(bytes.size())), static_cast<int>(bytes.size()));
    ASSERT_EQ(gzclose(gz), Z_OK);
}

inline CRestoreFile restoreEntry(uint8_t kind, const std::filesystem::path& path) {
    CRestoreFile file;
    file.kind = kind;
    file.full_path = path.string();
    file.file_name = path.filename().string();
    return file;
}

}  // namespace keelvault::test
