// Task management from the command line: JSON in and out, the New Task and
// Edit Task steps, refusals that change nothing, and the saved servers.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"
#include "cli/task_json.h"
#include "core/model/server_list_file.h"
#include "core/model/task_list_file.h"
#include "core/model/task_log.h"
#include "core/platform/data_folder.h"
#include "core/platform/service_probe.h"
#include "support/test_support.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;
using test::Outcome;
using test::runCli;

class CliTasks : public ::testing::Test {
protected:
    test::ScopedDataHome home;
    fs::path data() const { return home.dataFolder(); }
    fs::path tasksFile() const { return tasksFilePath(data()); }

    CTaskList stored() {
        CTaskList list;
        EXPECT_TRUE(loadTaskList(tasksFile(), list));
        return list;
    }
    std::vector<std::string> logTexts(const CTask& task) {
        std::vector<std::string> texts;
        for (const LogRecord& r : readAllLog(logsFolderPath(data()), task.log_name)) texts.push_back(r.text);
        return texts;
    }
};

// A task whose every field holds a value unlike its default.
CTask distinctiveTask() {
    CTask t;
    t.name = "Nightly \"sales\" é";
    t.comment = "line1\r\nline2";
    t.task_type = kTypeBackupToFiles;
    t.source = CServerSettings{"prod", "db.example", 3310, "backup", "s3cret", "shop", "note", 1, 1, 0, 7};
    t.destination = CServerSettings{"dst", "other", 3311, "u", "p", "d", "c", 0, 0, 1, 3};
    t.export_options = CExportOptions{2, "/srv/export", ";", "'", "\\", "\r\n", 1};
    t.export_tables = {CTableItem{1, 2, "shop", "v_orders"}};
    for (size_t i = 0; i < t.backup_options.flags.size(); ++i) t.backup_options.flags[i] = i % 2;
    t.backup_options.flags[kOptFileType] = 2;
    t.backup_options.flags[kOptFileMode] = 1;
    t.backup_options.flags[kOptGrouping] = 3;
    t.backup_options.same_file_path = "/srv/same.sql";
    t.backup_options.backup_directory = "/srv/backups/";
    t.backup_options.file_name_format = "%DATABASE%_%TABLE%_%DATE%";
    t.backup_options.retention_kind = 2;
    t.backup_options.retention_limit = 7;
    t.backup_options.date_time_subdir = 1;
    t.backup_options.unix_newlines = 1;
    t.backup_options.reserved36 = 9;
    t.backup_options.new_database = 1;
    t.backup_options.destination_database = "bk_%DATABASE%";
    t.backup_options.gzip = 1;
    t.backup_options.compression_level = 9;
    t.databases = {CDatabaseItem{1, "shop", {CTableItem{1, 1, "shop", "orders"}, CTableItem{0, 2, "shop", "v"}}}};
    t.schedule.kind = kScheduleManual;
    t.schedule.hour = 23;
    t.schedule.minute = 45;
    t.schedule.week_days = {0, 1, 0, 0, 0, 1, 0};
    t.schedule.month_days[30] = 1;
    t.schedule.year = 2026;
    t.schedule.month = 2;
    t.schedule.day = 28;
    t.schedule.every_n_days = 3;
    t.schedule.interval_minutes = 15;
    t.script = {"SELECT 1", "DELETE FROM t WHERE a='x'"};
    t.restore_options = CRestoreOptions{0, 1};
    t.restore_files = {CRestoreFile{1, "a.sql.gz", "/srv/a.sql.gz", 12345, 2024, 1, 2, 3, 4, 5, 3}};
    t.buffer_options = CBufferOptions{1, 500};
    return t;
}

// Only what the New Task steps set differs between a task and its re-import.
void expectSameDefinition(const CTask& a, const CTask& b) {
    CTask left(a), right(b);
    for (CTask* t : {&left, &right}) {
        t->ref_text.clear();
        t->created_at.clear();
        t->log_name.clear();
        t->status = kStatusIdle;
    }
    EXPECT_TRUE(left == right) << cli::printJson(cli::taskToJson(left)) << cli::printJson(cli::taskToJson(right));
}

TEST_F(CliTasks, ExportThenAddAfterARenameGivesAnEqualTask) {
    ASSERT_TRUE(ensureDataFolders(data()));
    CTaskList list;
    list.append(distinctiveTask());
    ASSERT_TRUE(saveTaskList(tasksFile(), list));

    const Outcome exported = runCli({"export", list.at(0).name});
    ASSERT_EQ(exported.status, 0) << exported.err;
    ASSERT_EQ(runCli({"rename", list.at(0).name, "original"}).status, 0);
    const Outcome added = runCli({"add", "-"}, exported.out);
    ASSERT_EQ(added.status, 0) << added.err;

    const CTaskList after = stored();
    ASSERT_EQ(after.count(), 2);
    EXPECT_EQ(after.at(0).name, "original");
    expectSameDefinition(after.at(1), list.at(0));
    // The New Task steps: created now, a log of its own holding "Create task", queued for the service.
    EXPECT_TRUE(after.at(1).created_at.isSet());
    EXPECT_NE(after.at(1).log_name, list.at(0).log_name);
    EXPECT_EQ(logTexts(after.at(1)), std::vector<std::string>{"Create task"});
    CTaskList queued;
    ASSERT_TRUE(loadTaskList(newTasksFilePath(data()), queued));
    EXPECT_EQ(queued.count(), 1);
}

TEST_F(CliTasks, LeftOutFieldsTakeTheDefaultsAndSchedulesStart) {
    const Outcome manual = runCli({"add", "-"}, R"({"name": "adhoc", "task_type": 5, "script": ["SELECT 1"]})");
    ASSERT_EQ(manual.status, 0) << manual.err;
    const Outcome daily = runCli(
        {"add", "-"}, R"({"name": "daily", "task_type": 5, "script": ["say hi"], "schedule": {"kind": 1, "hour": 4}})");
    ASSERT_EQ(daily.status, 0) << daily.err;

    const CTaskList list = stored();
    ASSERT_EQ(list.count(), 2);
    CTask expected;
    expected.name = "adhoc";
    expected.task_type = kTypeExecuteScript;
    expected.script = {"SELECT 1"};
    expectSameDefinition(list.at(0), expected);
    EXPECT_EQ(list.at(0).status.load(), kStatusIdle);  // a Manual task waits for run
    EXPECT_EQ(list.at(1).status.load(), kStatusWaiting);
    EXPECT_EQ(list.at(1).schedule.hour, 4);

    // --run runs it once at once and reports how the run went.
    const Outcome run = runCli({"add", "-", "--run"}, R"({"name": "now", "task_type": 5, "script": ["say ran"]})");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("General Info\tran"), std::string::npos) << run.out;
    EXPECT_EQ(logTexts(stored().at(2)).front(), "Create task");
}

TEST_F(CliTasks, EditCopyRenameStartStopAndDeleteFollowTheDesktopSteps) {
    ASSERT_EQ(runCli({"add", "-"}, R"({"name": "job", "task_type": 5, "script": ["SELECT 1"], "schedule": {"kind": 1}})").status, 0);
    // A started task must be stopped before it is edited.
    const Outcome refused = runCli({"edit", "job", "-"}, R"({"comment": "changed"})");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("Please STOP the task first, and then EDIT it!"), std::string::npos) << refused.err;
    EXPECT_EQ(stored().at(0).comment, "");

    ASSERT_EQ(runCli({"stop", "job"}).status, 0);
    EXPECT_EQ(stored().at(0).status.load(), kStatusIdle);
    const Outcome edited = runCli({"edit", "job", "-"}, R"({"comment": "changed", "script": ["say a"]})");
    ASSERT_EQ(edited.status, 0) << edited.err;
    CTask job = stored().at(0);
    EXPECT_EQ(job.comment, "changed");
    EXPECT_EQ(job.task_type, kTypeExecuteScript);  // untouched fields keep their values
    EXPECT_EQ(job.status.load(), kStatusWaiting);  // scheduled: started again
    EXPECT_EQ(logTexts(job), (std::vector<std::string>{"Create task", "Stop task", "Edit task"}));

    ASSERT_EQ(runCli({"stop", "job"}).status, 0);
    EXPECT_EQ(runCli({"stop", "job"}).status, 1);  // nothing to stop
    ASSERT_EQ(runCli({"start", "job"}).status, 0);
    EXPECT_EQ(stored().at(0).status.load(), kStatusWaiting);

    ASSERT_EQ(runCli({"copy", "job"}).status, 0);
    CTask copy = stored().at(1);
    EXPECT_EQ(copy.name, "job_Copy");
    EXPECT_EQ(copy.status.load(), kStatusIdle);
    EXPECT_EQ(logTexts(copy), std::vector<std::string>{"Create task by Copy"});

    const Outcome duplicate = runCli({"rename", "job_Copy", "job"});
    EXPECT_EQ(duplicate.status, 1);
    EXPECT_NE(duplicate.err.find("The task name is already existed!"), std::string::npos);
    EXPECT_EQ(runCli({"rename", "job_Copy", ""}).status, 1);
    ASSERT_EQ(runCli({"rename", "job_Copy", "second"}).status, 0);
    EXPECT_EQ(stored().at(1).name, "second");
    EXPECT_EQ(stored().at(1).log_name, copy.log_name);  // the log stays with the task

    const fs::path copy_log = logFilePath(logsFolderPath(data()), copy.log_name);
    ASSERT_TRUE(fs::exists(copy_log));
    ASSERT_EQ(runCli({"delete", "second"}).status, 0);
    EXPECT_FALSE(fs::exists(copy_log));
    EXPECT_EQ(stored().count(), 1);
    for (const char* command : {"delete", "copy", "start", "stop", "export"}) {
        EXPECT_EQ(runCli({command, "nobody"}).status, 1) << command;
    }
}

TEST_F(CliTasks, BadInputIsOneLineNamingTheFieldAndWritesNothing) {
    ASSERT_EQ(runCli({"add", "-"}, R"({"name": "keep", "task_type": 5, "script": ["SELECT 1"]})").status, 0);
    const std::string before = test::readFile(tasksFile());
    const size_t logs_before = std::distance(fs::directory_iterator(logsFolderPath(data())), {});
    const struct {
        const char* json;
        const char* error;
    } cases[] = {
        {R"({"name": "x", )", "bad JSON"},
        {R"([{"name": "x"}])", "expected an object"},
        {R"({"name": "x", "colour": 1})", "field \"colour\": unknown field"},
        {R"({"name": "x", "schedule": {"knd": 1}})", "field \"schedule.knd\": unknown field"},
        {R"({"name": 7})", "field \"name\": expected a string"},
        {R"({"name": "x", "task_type": "5"})", "field \"task_type\": expected a whole number"},
        {R"({"name": "x", "task_type": 9})", "field \"task_type\": out of range (1 to 8)"},
        {R"({"name": "x", "source": {"port": 4294967296}})", "field \"source.port\": out of range"},
        {R"({"name": "x", "schedule": {"week_days": [1, 0]}})", "field \"schedule.week_days\": expected an array of 7"},
        {R"({"name": "x", "databases": [{"tables": [{"kind": 3}]}]})", "field \"databases[0].tables[0].kind\": out of range"},
        {R"({"name": "x", "restore_files": [{"kind": 2}]})", "field \"restore_files[0].kind\": out of range (one of 0, 1, 101)"},
        {R"({"name": "x", "buffer_options": {"records": 1.5}})", "field \"buffer_options.records\": expected a whole number"},
        {R"({"name": "keep"})", "The task name is already existed!"},
        // The checks of the pages of the task's type.
        {R"({"name": "y", "task_type": 5, "script": ["SELECT 1"], "source": {"port": 0}})",
         "field \"source.port\": Please input a number between 1 and 65535!"},
        {R"({"name": "y", "task_type": 1, "databases": [{"selected": 2, "name": "a"}]})",
         "field \"backup_options.backup_directory\": Please input a folder!"},
    };
    for (const auto& c : cases) {
        const Outcome o = runCli({"add", "-"}, c.json);
        EXPECT_EQ(o.status, 1) << c.json;
        EXPECT_NE(o.err.find(c.error), std::string::npos) << c.json << "\n" << o.err;
        EXPECT_TRUE(o.out.empty()) << o.out;
        if (std::string(c.error).rfind("The task name", 0) == 0) continue;  // its own name is fine for edit
        const Outcome e = runCli({"edit", "keep", "-"}, c.json);
        EXPECT_EQ(e.status, 1) << c.json;
    }
    // A new task needs what its pages need; an edit keeps what it leaves out.
    const Outcome no_script = runCli({"add", "-"}, R"({"name": "z", "task_type": 5})");
    EXPECT_EQ(no_script.status, 1);
    EXPECT_NE(no_script.err.find("field \"script\": Please input the SQL script!"), std::string::npos) << no_script.err;
    EXPECT_EQ(test::readFile(tasksFile()), before);
    EXPECT_EQ(static_cast<size_t>(std::distance(fs::directory_iterator(logsFolderPath(data())), {})), logs_before);
    EXPECT_EQ(runCli({"add", (data() / "missing.json").string()}).status, 1);
}

TEST_F(CliTasks, EveryChangeIsRefusedWhileTheServiceHoldsTheList) {
    ASSERT_EQ(runCli({"add", "-"}, R"({"name": "job", "task_type": 5, "script": ["SELECT 1"]})").status, 0);
    const std::string before = test::readFile(tasksFile());
    ServiceLock lock;
    ASSERT_TRUE(lock.acquire(data()));
    const std::vector<std::pair<std::vector<std::string>, std::string>> commands = {
        {{"add", "-"}, R"({"name": "new", "task_type": 5, "script": ["SELECT 1"]})"},
        {{"edit", "job", "-"}, R"({"comment": "x"})"},
        {{"delete", "job"}, ""},
        {{"copy", "job"}, ""},
        {{"rename", "job", "other"}, ""},
        {{"start", "job"}, ""},
        {{"stop", "job"}, ""},
    };
    for (const auto& [words, input] : commands) {
        const Outcome o = runCli(words, input);
        EXPECT_EQ(o.status, 1) << words[0];
        EXPECT_EQ(o.err.rfind("Keelvault Service is running now.", 0), 0u) << words[0] << ": " << o.err;
    }
    EXPECT_EQ(test::readFile(tasksFile()), before);
    CTaskList queued;
    ASSERT_TRUE(loadTaskList(newTasksFilePath(data()), queued));
    EXPECT_EQ(queued.count(), 1);
}

TEST_F(CliTasks, SavedServersAreListedMaskedAddedAndDeleted) {
    const char* server = R"({"connection_name": "prod", "host": "db1", "port": 3310, "user": "backup",
                            "password": "pw", "save_password": 1, "comment": "main"})";
    ASSERT_EQ(runCli({"servers", "add", "-"}, server).status, 0);
    ASSERT_EQ(runCli({"servers", "add", "-"}, R"({"host": "db2"})").status, 0);
    EXPECT_EQ(runCli({"servers"}).out, "prod\tdb1\t3310\tbackup\t****\tmain\ndb2\tdb2\t3306\troot\tNULL\t\n");
    EXPECT_EQ(runCli({"servers", "--show-passwords"}).out.rfind("prod\tdb1\t3310\tbackup\tpw\tmain\n", 0), 0u);

    const Outcome duplicate = runCli({"servers", "add", "-"}, server);
    EXPECT_EQ(duplicate.status, 1);
    EXPECT_NE(duplicate.err.find("The connection name is already existed!"), std::string::npos);
    const Outcome bad = runCli({"servers", "add", "-"}, R"({"host": "db3", "use_ssl": 2})");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("field \"use_ssl\": out of range (0 to 1)"), std::string::npos) << bad.err;
    // The server dialog's own checks.
    const Outcome no_password = runCli({"servers", "add", "-"}, R"({"connection_name": "x", "host": "db4", "save_password": 1})");
    EXPECT_EQ(no_password.status, 1);
    EXPECT_NE(no_password.err.find("field \"password\": Please input the password!"), std::string::npos)
        << no_password.err;

    ASSERT_EQ(runCli({"servers", "delete", "prod"}).status, 0);
    EXPECT_EQ(runCli({"servers", "delete", "prod"}).status, 1);
    std::vector<CServerSettings> saved;
    ASSERT_TRUE(loadServerList(serverListFilePath(data()), saved));
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].host, "db2");
}

TEST_F(CliTasks, ServerTestConnectsOrReportsTheClientError) {
    KEELVAULT_REQUIRE_SERVER(1);
    CServerSettings good = test::testServerSettings(1);
    good.connection_name = "good";
    CServerSettings bad = good;
    bad.connection_name = "bad";
    bad.port = 1;  // nothing listens there
    for (const CServerSettings& s : {good, bad}) {
        ASSERT_EQ(runCli({"servers", "add", "-"}, cli::printJson(cli::serverToJson(s))).status, 0);
    }
    const Outcome ok = runCli({"servers", "test", "good"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_NE(ok.out.find("MariaDB"), std::string::npos) << ok.out;
    const Outcome refused = runCli({"servers", "test", "bad"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("ERROR 2002"), std::string::npos) << refused.err;
}

}  // namespace
}  // namespace keelvault
