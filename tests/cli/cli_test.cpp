// The command-line program: show from a file built byte by byte, list, log,
// run through the worker cycle, and the service as a real process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <thread>

#include "cli/cli_common.h"
#include "cli/cli_harness.h"
#include "cli/host/test_engines.h"
#include "core/model/options_file.h"
#include "core/model/task_list_file.h"
#include "core/model/task_log.h"
#include "core/platform/data_folder.h"
#include "core/platform/service_probe.h"
#include "support/test_support.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;
using test::Outcome;
using test::readFile;
using test::runCli;
using test::ScopedDataHome;
using test::TempDir;

// --- a writer of the task list layout, independent of the code under test ---
struct Bytes {
    std::string s;
    void u8(int v) { s.push_back(static_cast<char>(v)); }
    void i32(int64_t v) {
        const uint32_t u = static_cast<uint32_t>(v);
        for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
    }
    void text(const std::string& t) {
        i32(static_cast<int64_t>(t.size()));
        for (char c : t) s.push_back(static_cast<char>(c ^ 0x6B));
    }
    void time(std::initializer_list<int> v) {
        for (int x : v) i32(x);
    }
    void server(const std::string& name, const std::string& host, int port, const std::string& user,
                const std::string& password) {
        text(name);
        text(host);
        i32(port);
        text(user);
        text(password);
        text("");       // database
        text("note");   // comment
        u8(1);          // save password
        u8(0);          // compression
        u8(1);          // ssl
        u8(7);          // reserved flag 2
    }
};

// A task list with one type-4 task whose every part holds a distinctive value.
std::string handBuiltTaskList() {
    Bytes b;
    b.i32(0xDABDFE90);
    b.i32(1);
    b.i32(0xDABDFE90);
    b.text("2024357890");                                      // ref_text
    b.u8(1);                                                   // run_now
    b.text("Nightly \"sales\"");                               // name
    b.text("line1\r\nline2");                                  // comment
    b.u8(4);                                                   // type
    b.u8(1);                                                   // status
    b.time({2024, 3, 5, 7, 8, 9, 3});                          // created_at
    b.time({2024, 3, 6, 1, 2, 3, 4});                          // started_at
    b.time({0, 0, 0, 0, 0, 0, 0});                             // last_run
    b.time({2025, 12, 31, 23, 59, 0, 4});                      // next_run
    b.text("Nightly sales_202435789.log");                     // log_name
    b.server("prod", "db.example", 3310, "backup", "s\xc3\xa9" "cret");
    b.server("", "localhost", 3306, "root", "");
    b.u8(2);                                                   // export format XML
    b.text("/srv/export");
    b.text(",");
    b.text("\"");
    b.text("\\");
    b.text("\n");
    b.u8(1);
    b.i32(1);                                                  // export tables
    b.u8(2); b.u8(1); b.text("sakila"); b.text("actor");
    for (int i = 0; i < 29; ++i) b.u8(i % 3);                  // option bytes
    b.text("/srv/same.sql");
    b.text("/srv/backups");
    b.text("%HOST%_%DATE%");
    b.u8(2);                                                   // retention kind
    b.i32(5);
    b.u8(1); b.u8(0); b.u8(9); b.u8(1);
    b.text("bk_%DATABASE%");
    b.u8(1);                                                   // gzip
    b.i32(9);
    b.i32(1);                                                  // databases
    b.u8(1); b.text("sakila"); b.i32(2);
    b.u8(2); b.u8(1); b.text("sakila"); b.text("film");
    b.u8(2); b.u8(2); b.text("sakila"); b.text("film_list");
    b.u8(2);                                                   // schedule: every week
    b.i32(23); b.i32(45);
    for (int i = 0; i < 7; ++i) b.u8(i == 1 || i == 5);
    for (int i = 0; i < 31; ++i) b.u8(i == 30);
    b.i32(2026); b.i32(2); b.i32(28); b.i32(3); b.i32(15);
    b.i32(2);                                                  // script
    b.text("SELECT 1");
    b.text("DELETE FROM t WHERE a='x'");
    b.i32(1);                                                  // backups
    b.time({2024, 1, 2, 3, 4, 5});
    b.u8(2); b.u8(1); b.u8(0);
    b.text("/srv/backups/20240102_030405");
    b.i32(2); b.text("/srv/backups/a.sql.gz"); b.text("/srv/backups/b.sql.gz");
    b.u8(0); b.u8(1);                                          // restore options
    b.i32(1);                                                  // restore files
    b.u8(1); b.text("a.sql.gz"); b.text("/srv/a.sql.gz"); b.i32(12345);
    b.time({2024, 1, 2, 3, 4, 5, 3});
    b.u8(1); b.i32(500);                                       // buffer
    b.i32(0xDABDFE90);
    return b.s;
}

// JSON text without the white space outside strings, for exact matching.
std::string compact(const std::string& json) {
    std::string out;
    bool in_string = false;
    for (size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (in_string) {
            out += c;
            if (c == '\\' && i + 1 < json.size()) {
                out += json[++i];
            } else if (c == '"') {
                in_string = false;
            }
        } else if (c == '"') {
            in_string = true;
            out += c;
        } else if (c != ' ' && c != '\n' && c != '\t' && c != '\r') {
            out += c;
        }
    }
    return out;
}

CTask scriptTask(const std::string& name, std::vector<std::string> script, uint8_t schedule_kind = kScheduleManual) {
    CTask t;
    t.name = name;
    t.task_type = kTypeExecuteScript;
    t.log_name = name + "_2024111.log";
    t.script = std::move(script);
    t.schedule.kind = schedule_kind;
    t.schedule.hour = 3;
    t.applyScheduleStatus();
    return t;
}

TEST(CliShow, PrintsEveryStoredValueOfAHandBuiltFile) {
    TempDir dir;
    const fs::path file = dir / "other.tsk";
    test::writeFile(file, handBuiltTaskList());
    const Outcome o = runCli({"show", "--tasks", file.string()});
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string j = compact(o.out);
    for (const char* expected : {
             R"("ref_text":"2024357890","run_now":1,"name":"Nightly \"sales\"","comment":"line1\r\nline2")",
             R"("task_type":4,"status":1,"created_at":[2024,3,5,7,8,9,3],"started_at":[2024,3,6,1,2,3,4])",
             R"("last_run":[0,0,0,0,0,0,0],"next_run":[2025,12,31,23,59,0,4])",
             R"("source":{"connection_name":"prod","host":"db.example","port":3310,"user":"backup",)"
             R"("password":"sécret","database":"","comment":"note","save_password":1,"use_compression":0,)"
             R"("use_ssl":1,"reserved_flag_2":7})",
             R"("export_options":{"format":2,"directory":"/srv/export","fields_terminated_by":",",)"
             R"("fields_enclosed_by":"\"","fields_escaped_by":"\\","lines_terminated_by":"\n","column_names_on_top":1})",
             R"("export_tables":[{"selected":2,"kind":1,"database":"sakila","table":"actor"}])",
             R"("flags":[0,1,2,0,1,2,0,1,2,0,1,2,0,1,2,0,1,2,0,1,2,0,1,2,0,1,2,0,1],"same_file_path":"/srv/same.sql")",
             R"("file_name_format":"%HOST%_%DATE%","retention_kind":2,"retention_limit":5,"date_time_subdirectory":1,)"
             R"("unix_newlines":0,"reserved_36":9,"new_database":1,"destination_database":"bk_%DATABASE%","gzip":1,)"
             R"("compression_level":9})",
             R"("databases":[{"selected":1,"name":"sakila","tables":[{"selected":2,"kind":1,"database":"sakila",)"
             R"("table":"film"},{"selected":2,"kind":2,"database":"sakila","table":"film_list"}]}])",
             R"("schedule":{"kind":2,"hour":23,"minute":45,"week_days":[0,1,0,0,0,1,0],"month_days":[0,0,0,0,0,0,)"
             R"(0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1],"year":2026,"month":2,"day":28,"every_n_days":3,)"
             R"("interval_minutes":15})",
             R"("script":["SELECT 1","DELETE FROM t WHERE a='x'"])",
             R"("backups":[{"year":2024,"month":1,"day":2,"hour":3,"minute":4,"second":5,"file_mode":2,"file_type":1,)"
             R"("reserved":0,"subdirectory":"/srv/backups/20240102_030405","files":["/srv/backups/a.sql.gz",)"
             R"("/srv/backups/b.sql.gz"]}])",
             R"("restore_options":{"continue_on_sql_error":0,"continue_on_file_error":1})",
             R"("restore_files":[{"kind":1,"file_name":"a.sql.gz","full_path":"/srv/a.sql.gz","size":12345,)"
             R"("year":2024,"month":1,"day":2,"hour":3,"minute":4,"second":5,"day_of_week":3}])",
             R"("buffer_options":{"mode":1,"records":500}}])",
         }) {
        EXPECT_NE(j.find(expected), std::string::npos) << "missing: " << expected << "\nin: " << j;
    }
}

TEST(CliShow, BadInputsFailWithAMessage) {
    TempDir dir;
    std::string damaged = handBuiltTaskList();
    damaged.resize(damaged.size() - 7);
    test::writeFile(dir / "damaged.tsk", damaged);
    test::writeFile(dir / "foreign.tsk", "PK\x03\x04 not a task list");
    const struct {
        std::vector<std::string> words;
        const char* error_part;
    } cases[] = {
        {{"show", "--tasks", (dir / "missing.tsk").string()}, "does not exist"},
        {{"show", "--tasks", (dir / "damaged.tsk").string()}, "failed to load"},
        {{"show", "--tasks", (dir / "foreign.tsk").string()}, "failed to load"},
        {{"show", "--tasks"}, "--tasks: 1 required FILE missing"},
        {{"show", "--bogus"}, "unknown option"},
        {{"frobnicate"}, "unknown command"},
    };
    for (const auto& c : cases) {
        const Outcome o = runCli(c.words);
        EXPECT_EQ(o.status, 1) << c.words[0];
        EXPECT_NE(o.err.find(c.error_part), std::string::npos) << o.err;
        EXPECT_TRUE(o.out.empty());
    }
}

TEST(CliList, PrintsRowsInTheOptionsFormats) {
    ScopedDataHome home;
    ASSERT_TRUE(ensureDataFolders(home.dataFolder()));
    CSystemOptions options;
    options.date_format = 3;
    options.time_format = 2;
    ASSERT_TRUE(saveOptions(optionsFilePath(home.dataFolder()), options));
    CTaskList list;
    CTask daily = scriptTask("Daily", {"say hi"}, kScheduleEveryDay);
    daily.last_run = {2006, 1, 2, 15, 4, 5, 2};
    list.append(daily);
    list.append(scriptTask("Adhoc", {}));
    ASSERT_TRUE(saveTaskList(tasksFilePath(home.dataFolder()), list));

    const Outcome o = runCli({"list"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out,
              "Daily\tWaiting...\tMon, 2006-01-02 03:04 P.M\t\tExecute SQL script\tEvery Day\n"
              "Adhoc\tStop\t\t\tExecute SQL script\tManual\n");
}

TEST(CliRunAndLog, ExitStatusFollowsWhatTheRunLogged) {
    ScopedDataHome home;
    ASSERT_TRUE(ensureDataFolders(home.dataFolder()));
    const fs::path file = tasksFilePath(home.dataFolder());
    CTaskList list;
    list.append(scriptTask("clean", {"say step one", "say step two"}));
    list.append(scriptTask("warned", {"error table t is damaged", "say went on"}));
    list.append(scriptTask("broken", {"fail"}));
    list.append(scriptTask("daily", {"say scheduled"}, kScheduleEveryDay));
    CTask other = scriptTask("no engine", {});
    other.task_type = kTypeExport;
    list.append(other);
    ASSERT_TRUE(saveTaskList(file, list));

    const struct {
        const char* name;
        int status;
        std::vector<std::string> lines;  // texts in order, after "Running..."
    } cases[] = {
        {"clean", 0, {"General Info\tstep one", "General Info\tstep two", "General Info\tFinished"}},
        {"warned", 2, {"Error Info\ttable t is damaged", "General Info\twent on", "General Info\tFinished"}},
        {"broken", 2, {"Error Info\tScripted failure"}},
        {"daily", 0, {"General Info\tscheduled", "General Info\tFinished"}},
    };
    for (const auto& c : cases) {
        const Outcome o = runCli({"run", c.name});
        EXPECT_EQ(o.status, c.status) << c.name << "\n" << o.out << o.err;
        size_t pos = o.out.find("General Info\tRunning...");
        ASSERT_NE(pos, std::string::npos) << o.out;
        for (const std::string& line : c.lines) {
            pos = o.out.find(line, pos);
            EXPECT_NE(pos, std::string::npos) << c.name << ": missing " << line << " in\n" << o.out;
        }
        // The same lines are in the task's log, in the text export form.
        const Outcome log = runCli({"log", c.name});
        EXPECT_EQ(log.status, 0);
        EXPECT_NE(log.out.find("\tGeneral Info\tRunning...\r\n"), std::string::npos) << log.out;
        EXPECT_NE(log.out.find(c.lines.front() + "\r\n"), std::string::npos) << log.out;
    }

    // The runs were saved back: last_run is set, the scheduled task keeps its status.
    CTaskList saved;
    ASSERT_TRUE(loadTaskList(file, saved));
    ASSERT_EQ(saved.count(), 5);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(saved.at(i).last_run.isSet()) << saved.at(i).name;
    EXPECT_EQ(saved.at(3).status.load(), kStatusWaiting);
    EXPECT_EQ(saved.at(0).status.load(), kStatusIdle);
    EXPECT_EQ(saved.at(0).ref_text, list.at(0).ref_text);

    EXPECT_EQ(runCli({"run", "no engine"}).status, 1);
    EXPECT_EQ(runCli({"run", "nobody"}).status, 1);
    EXPECT_EQ(runCli({"run"}).status, 1);
    EXPECT_EQ(runCli({"log", "nobody"}).status, 1);
}

TEST(CliLog, LastTwoHundredOrAll) {
    ScopedDataHome home;
    ASSERT_TRUE(ensureDataFolders(home.dataFolder()));
    CTaskList list;
    list.append(scriptTask("chatty", {}));
    ASSERT_TRUE(saveTaskList(tasksFilePath(home.dataFolder()), list));
    const fs::path logs = logsFolderPath(home.dataFolder());
    for (int i = 1; i <= 250; ++i) {
        ASSERT_TRUE(appendLog(logs, list.at(0).log_name, static_cast<uint8_t>(i % 3), "line " + std::to_string(i),
                              TaskTime{2024, 2, 29, 13, 5, 9, 5}));
    }
    const auto lines = [](const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    };
    const auto last = lines(runCli({"log", "chatty"}).out);
    ASSERT_EQ(last.size(), 200u);
    EXPECT_EQ(last.front(), "[Thu, Feb 29, 2024 13:05:09]\tGeneral Info\tline 51\r");
    const auto all = lines(runCli({"log", "chatty", "--all"}).out);
    ASSERT_EQ(all.size(), 250u);
    EXPECT_EQ(all.front(), "[Thu, Feb 29, 2024 13:05:09]\tWarning Info\tline 1\r");
    EXPECT_EQ(all.back(), "[Thu, Feb 29, 2024 13:05:09]\tWarning Info\tline 250\r");
}

TEST(CliRun, RefusedWhileTheServiceRuns) {
    ScopedDataHome home;
    ASSERT_TRUE(ensureDataFolders(home.dataFolder()));
    CTaskList list;
    list.append(scriptTask("job", {"say hi"}));
    ASSERT_TRUE(saveTaskList(tasksFilePath(home.dataFolder()), list));
    ServiceLock lock;
    ASSERT_TRUE(lock.acquire(home.dataFolder()));
    const Outcome o = runCli({"run", "job"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("Keelvault Service is running now."), std::string::npos) << o.err;
    const auto records = readAllLog(logsFolderPath(home.dataFolder()), list.at(0).log_name);
    EXPECT_TRUE(records.empty());
}

// --- the service as a real process ---

pid_t spawnCli(const fs::path& data_home, const fs::path& out_file, const char* command, const char* name = nullptr) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("XDG_DATA_HOME", data_home.c_str(), 1);
        FILE* out = std::freopen(out_file.c_str(), "w", stdout);
        (void)out;
        dup2(fileno(stdout), STDERR_FILENO);
        execl(KEELVAULT_CLI_TESTHOST_PATH, "keelvault-cli", command, name, static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

pid_t spawnService(const fs::path& data_home, const fs::path& out_file) {
    return spawnCli(data_home, out_file, "service");
}

int waitExit(pid_t pid, std::chrono::seconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < until) {
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

TEST(CliService, RunsRequestedTaskAndEndsInOrderOnSigterm) {
    TempDir home;
    const fs::path data = home / "keelvault";
    ASSERT_TRUE(ensureDataFolders(data));
    CTaskList list;
    CTask now_task = scriptTask("now", {"say served by the service"});
    now_task.run_now = 1;
    list.append(now_task);
    list.append(scriptTask("later", {"say never"}, kScheduleEveryDay));  // 03:00, not due in this test
    list.at(1).schedule.hour = (currentLocalTime().hour + 12) % 24;
    list.append(scriptTask("long", {"sleep 60000"}, kScheduleTimeInterval));
    ASSERT_TRUE(saveTaskList(tasksFilePath(data), list));

    const pid_t pid = spawnService(home.path(), home / "service.out");
    ASSERT_GT(pid, 0);
    const fs::path log_path = logFilePath(logsFolderPath(data), list.at(0).log_name);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool finished = false;
    while (!finished && std::chrono::steady_clock::now() < until) {
        for (const LogRecord& r : readAllLog(logsFolderPath(data), list.at(0).log_name)) {
            finished = finished || r.text == "Finished";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(finished) << readFile(home / "service.out");
    EXPECT_TRUE(serviceLockHeld(data));
    EXPECT_TRUE(probeServiceRunning(data));

    // A second service on the same data folder refuses to start.
    const pid_t second = spawnService(home.path(), home / "second.out");
    EXPECT_EQ(waitExit(second, std::chrono::seconds(10)), 1);
    EXPECT_NE(readFile(home / "second.out").find("another Keelvault service is running"), std::string::npos);

    ASSERT_EQ(kill(pid, SIGTERM), 0);
    EXPECT_EQ(waitExit(pid, std::chrono::seconds(15)), 0) << readFile(home / "service.out");
    EXPECT_FALSE(serviceLockHeld(data));
    // One line per finished run for the journal: task, result, errors, duration.
    const std::string out = readFile(home / "service.out");
    EXPECT_NE(out.find("keelvault-cli service: task \"now\" success, 0 errors, "), std::string::npos) << out;
    EXPECT_EQ(out.find("keelvault-cli service: task \"later\""), std::string::npos) << out;

    CTaskList saved;
    ASSERT_TRUE(loadTaskList(tasksFilePath(data), saved));
    ASSERT_EQ(saved.count(), 3);
    EXPECT_TRUE(saved.at(0).last_run.isSet());
    EXPECT_EQ(saved.at(0).run_now.load(), 0);
    EXPECT_EQ(saved.at(0).status.load(), kStatusIdle);
    EXPECT_FALSE(saved.at(1).last_run.isSet());
    EXPECT_EQ(saved.at(1).status.load(), kStatusWaiting);
    EXPECT_TRUE(saved.at(1).next_run.isSet());
    EXPECT_TRUE(saved.at(1).started_at.isSet());
}

TEST(CliRun, ASignalCancelsTheRunWithStatusThree) {
    TempDir home;
    const fs::path data = home / "keelvault";
    ASSERT_TRUE(ensureDataFolders(data));
    CTaskList list;
    list.append(scriptTask("long", {"sleep 60000"}));
    ASSERT_TRUE(saveTaskList(tasksFilePath(data), list));
    const pid_t pid = spawnCli(home.path(), home / "run.out", "run", "long");
    ASSERT_GT(pid, 0);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool running = false;
    while (!running && std::chrono::steady_clock::now() < until) {
        for (const LogRecord& r : readAllLog(logsFolderPath(data), list.at(0).log_name)) {
            running = running || r.text == "Running...";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(running);
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    EXPECT_EQ(waitExit(pid, std::chrono::seconds(15)), 3) << readFile(home / "run.out");
    EXPECT_NE(readFile(home / "run.out").find("Warning Info\tUser canceled!"), std::string::npos);
}

}  // namespace
}  // namespace keelvault
