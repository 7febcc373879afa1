#include "core/engine/execute_script_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/engine/script_reader.h"
#include "script_engine_harness.h"

namespace keelvault {
namespace {

using test::EngineHarness;

TEST(ExecuteScriptEngine, FailingStatementsAreNumberedAndTheRunGoesOn) {
    KEELVAULT_REQUIRE_SERVER(1);
    auto admin = test::connectTo(1);
    test::execOrFail(*admin, "DROP DATABASE IF EXISTS kv_rs_exec");
    test::execOrFail(*admin, "CREATE DATABASE kv_rs_exec");

    EngineHarness h;
    h.task.task_type = kTypeExecuteScript;
    h.task.source = test::testServerSettings(1);
    h.task.script = {
        "CREATE TABLE kv_rs_exec.t (a INT PRIMARY KEY);",
        "INSERT INTO kv_rs_exec.missing VALUES (1);",  // 2 fails
        "",                                            // 3 neither sent nor counted
        "INSERT INTO kv_rs_exec.t VALUES (1);",
        "INSERT INTO kv_rs_exec.t VALUES (1);",  // 5 fails: duplicate key
        "INSERT INTO kv_rs_exec.t VALUES (2)",   // no semicolon of its own
        ";",                                     // 7 sent as an empty query, which the server refuses
        "SELECT a FROM kv_rs_exec.t",            // a result set is taken and dropped
    };
    EXPECT_EQ(h.run(runExecuteScript), EngineResult::Finished);

    const std::vector<std::string> expected = {
        "Connecting to the source MySQL server (" + h.task.source.host + ")... ",
        connectSucceededLogText(admin->versionText()),
        "Executing MySQL script: 8 statements",
        "Failed to execute the SQL statement! NO. 2 : INSERT INTO kv_rs_exec.missing VALUES (1)",
        "Error NO. 1146  Table 'kv_rs_exec.missing' doesn't exist",
        "Failed to execute the SQL statement! NO. 5 : INSERT INTO kv_rs_exec.t VALUES (1)",
        "Error NO. 1062  Duplicate entry '1' for key 'PRIMARY'",
        "Failed to execute the SQL statement! NO. 7 : ",
        "Error NO. 1065  Query was empty",
        "Executed: 4 statements",
    };
    EXPECT_EQ(h.texts(), expected);
    EXPECT_EQ(h.texts(kLogError).size(), 3u);
    EXPECT_EQ(h.texts(kLogWarning).size(), 3u);  // the server's reason after each failure
    EXPECT_EQ(test::queryRows(*admin, "SELECT a FROM kv_rs_exec.t ORDER BY a"), (std::vector<std::string>{"1", "2"}));
    test::execOrFail(*admin, "DROP DATABASE kv_rs_exec");
}

TEST(ExecuteScriptEngine, ScriptTextCutAndRunWithUtf8Text) {
    KEELVAULT_REQUIRE_SERVER(1);
    auto admin = test::connectTo(1);
    test::execOrFail(*admin, "DROP DATABASE IF EXISTS kv_rs_exec_text");

    EngineHarness h;
    h.task.task_type = kTypeExecuteScript;
    h.task.source = test::testServerSettings(1);
    h.task.script = cutScriptText(
        "-- set-up script\r\n"
        "CREATE DATABASE kv_rs_exec_text DEFAULT CHARACTER SET utf8mb4;\r\n"
        "CREATE TABLE kv_rs_exec_text.t (\r\n"
        "  id INT PRIMARY KEY,\r\n"
        "  s VARCHAR(20)\r\n"
        ");\r\n"
        "INSERT INTO kv_rs_exec_text.t VALUES (1, 'Grüße 😀')");
    ASSERT_EQ(h.task.script.size(), 3u);
    EXPECT_EQ(h.run(runExecuteScript), EngineResult::Finished);
    EXPECT_TRUE(h.texts(kLogError).empty());
    EXPECT_TRUE(h.logged("Executed: 3 statements"));
    // "Grüße 😀" arrives as the same UTF-8 bytes, 4-byte character included.
    EXPECT_EQ(test::queryRows(*admin, "SELECT HEX(s) FROM kv_rs_exec_text.t"),
              std::vector<std::string>{"4772C3BCC39F6520F09F9880"});
    test::execOrFail(*admin, "DROP DATABASE kv_rs_exec_text");
}

TEST(ExecuteScriptEngine, NothingToDoAndRefusedConnection) {
    EngineHarness empty;
    empty.task.source.host = "127.0.0.1";
    EXPECT_EQ(empty.run(runExecuteScript), EngineResult::Failed);
    EXPECT_EQ(empty.texts(), std::vector<std::string>{"There are not any SQL statements to execute!"});
    EXPECT_EQ(empty.log().front().level, kLogError);

    EngineHarness refused;
    refused.task.source.host = "127.0.0.1";
    refused.task.source.port = 1;
    refused.task.script = {"SELECT 1;"};
    EXPECT_EQ(refused.run(runExecuteScript), EngineResult::Failed);
    const std::vector<std::string> lines = refused.texts();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Connecting to the source MySQL server (127.0.0.1)... ");
    EXPECT_TRUE(lines[1].starts_with("Failed to connect to the MySQL server!  Error NO. 2002  ")) << lines[1];
}

TEST(ExecuteScriptEngine, StopBetweenStatementsCancels) {
    KEELVAULT_REQUIRE_SERVER(1);
    EngineHarness h;
    h.task.source = test::testServerSettings(1);
    h.task.script = {"SELECT 1;", "SELECT * FROM kv_rs_no_such_db.t;", "SELECT 3;"};
    // Stop as soon as the first failure is logged: the third statement is never reached.
    h.env.log_listener = [&h](const CTask&, const LogRecord& record) {
        if (record.text.starts_with("Failed to execute")) h.stop.request_stop();
    };
    EXPECT_EQ(h.run(runExecuteScript), EngineResult::Canceled);
    for (const std::string& line : h.texts()) EXPECT_FALSE(line.starts_with("Executed:")) << line;
}

}  // namespace
}  // namespace keelvault
