#include "core/engine/server_copy_engine.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stop_token>
#include <string>
#include <vector>

#include "core/engine/mysql_session.h"
#include "core/engine/sql_quote.h"
#include "core/model/task_list_file.h"
#include "core/model/task_log.h"
#include "core/scheduler/run_context.h"
#include "core/scheduler/task_environment.h"
#include "support/sample_database.h"
#include "support/test_support.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::string>>;

// A test-side connection to one of the two servers.
class Sql {
public:
    explicit Sql(int which, const std::string& user = "") {
        CServerSettings settings = test::testServerSettings(which);
        if (!user.empty()) settings.user = user;
        ok_ = session_.open(settings);
    }
    bool ok() const { return ok_; }
    MYSQL* native() const { return session_.native(); }

    void exec(const std::string& sql) { ASSERT_TRUE(session_.execute(sql)) << sql << ": " << session_.errorText(); }
    bool tryExec(const std::string& sql) { return session_.execute(sql); }
    std::string value(const std::string& sql) {
        std::string v;
        EXPECT_TRUE(session_.queryValue(sql, v)) << sql << ": " << session_.errorText();
        return v;
    }
    Rows rows(const std::string& sql) {
        Rows out;
        ResultPtr result = session_.storeQuery(sql);
        EXPECT_TRUE(result) << sql << ": " << session_.errorText();
        if (!result) return out;
        const unsigned int n = mysql_num_fields(result.get());
        while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
            const unsigned long* lengths = mysql_fetch_lengths(result.get());
            std::vector<std::string> line;
            for (unsigned int i = 0; i < n; ++i) line.push_back(row[i] ? std::string(row[i], lengths[i]) : "<NULL>");
            out.push_back(std::move(line));
        }
        return out;
    }

private:
    MySqlSession session_;
    bool ok_ = false;
};

std::string q(const std::string& name) {
    return quoteName(name, true);
}

std::string clientCommand(int which) {
    const test::TestServers s = test::testServers();
    return "mariadb --no-defaults -h" + s.host + " -P" + std::to_string(which == 1 ? s.port1 : s.port2) + " -u" +
           s.user;
}

std::string fileStamp(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return "missing";
    return std::to_string(st.st_size) + "." + std::to_string(st.st_mtime);
}

// Loads Sakila and the hard-value fixture into kv_cp_* databases of the
// first server, once for all test programs: a marker records what was
// loaded, and a server lock keeps parallel test processes from loading twice.
void loadSourceDatabasesOnce() {
    const std::string hard = std::string(KEELVAULT_SOURCE_DIR) + "/tests/fixtures/hard_values.sql";
    const std::string schema = test::sakilaFile("schema");
    const std::string data = test::sakilaFile("data");
    const std::string stamp = "v3 " + fileStamp(hard) + " " + fileStamp(schema) + " " + fileStamp(data);

    Sql server(1);
    ASSERT_TRUE(server.ok());
    ASSERT_EQ(server.value("SELECT GET_LOCK('kv_cp_fixture_load', 900)"), "1");
    server.exec("CREATE DATABASE IF NOT EXISTS kv_cp_marker");
    server.exec("CREATE TABLE IF NOT EXISTS kv_cp_marker.loaded (stamp VARCHAR(255))");
    if (server.rows("SELECT 1 FROM kv_cp_marker.loaded WHERE stamp = '" + escapeStringLiteral(stamp) + "'").empty()) {
        server.exec("DELETE FROM kv_cp_marker.loaded");
        const std::string sakila =
            "gzip -dc '" + schema + "' '" + data + "' | sed -E 's/\\bsakila\\b/kv_cp_sakila/g' | " + clientCommand(1);
        ASSERT_EQ(std::system(sakila.c_str()), 0) << sakila;
        const std::string fixture = "sed -E 's/\\bkv_hard\\b/kv_cp_hard/g; s/\\bkv_latin1\\b/kv_cp_latin1/g' '" + hard +
                                    "' | " + clientCommand(1);
        ASSERT_EQ(std::system(fixture.c_str()), 0) << fixture;
        server.exec("DROP DATABASE IF EXISTS kv_cp_extra");
        server.exec("CREATE DATABASE kv_cp_extra");
        server.exec("CREATE TABLE kv_cp_extra.rows7 (id INT PRIMARY KEY, v VARCHAR(20)) ENGINE=InnoDB");
        server.exec("INSERT INTO kv_cp_extra.rows7 SELECT seq, CONCAT('seven ', seq) FROM kv_cp_extra.seq_1_to_7");
        server.exec("CREATE TABLE kv_cp_extra.big (id INT PRIMARY KEY, v VARCHAR(300)) ENGINE=InnoDB");
        server.exec(
            "INSERT INTO kv_cp_extra.big SELECT seq, REPEAT(CHAR(65 + seq % 26), 250) FROM "
            "kv_cp_extra.seq_1_to_200000");
        if (!::testing::Test::HasFailure()) {
            server.exec("INSERT INTO kv_cp_marker.loaded VALUES ('" + escapeStringLiteral(stamp) + "')");
        }
    }
    server.value("SELECT RELEASE_LOCK('kv_cp_fixture_load')");
}

struct RunOutcome {
    EngineResult result = EngineResult::Failed;
    std::vector<LogRecord> log;
    std::vector<std::pair<std::string, bool>> destination;  // statements and their outcome
    std::vector<std::pair<std::string, bool>> source;
    std::vector<size_t> queue_sends;
    size_t connections_left = 0;

    bool logged(const std::string& text, uint8_t level) const {
        return std::any_of(log.begin(), log.end(),
                           [&](const LogRecord& r) { return r.text == text && r.level == level; });
    }
    bool loggedPrefix(const std::string& prefix) const {
        return std::any_of(log.begin(), log.end(), [&](const LogRecord& r) { return r.text.rfind(prefix, 0) == 0; });
    }
    std::vector<std::string> errors() const {
        std::vector<std::string> out;
        for (const LogRecord& r : log) {
            if (r.level == kLogError) out.push_back(r.text);
        }
        return out;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const LogRecord& r : log) out.push_back(r.text);
        return out;
    }
    // The statements sent to the destination that begin with `prefix`.
    std::vector<std::string> sentWith(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& [sql, ok] : destination) {
            if (sql.rfind(prefix, 0) == 0) out.push_back(sql);
        }
        return out;
    }
};

// Runs the engine once with a throwaway data folder; `probe` callbacks of the
// caller run as well as the recording ones.
RunOutcome runCopy(CTask& task, ServerCopyProbe probe = {}, std::stop_source* stop = nullptr) {
    test::TempDir dir;
    TaskEnvironment env;
    env.data_folder = dir.path();
    ConnectionRegistry registry;
    std::stop_source own_stop;
    std::stop_source& stopper = stop ? *stop : own_stop;
    RunContext context(task, env, stopper.get_token(), registry);
    RunOutcome outcome;
    auto user_destination = probe.on_destination_statement;
    probe.on_destination_statement = [&](const std::string& sql, bool ok) {
        outcome.destination.emplace_back(sql, ok);
        if (user_destination) user_destination(sql, ok);
    };
    probe.on_source_statement = [&](const std::string& sql, bool ok) { outcome.source.emplace_back(sql, ok); };
    probe.on_queue_sent = [&](size_t n, bool) { outcome.queue_sends.push_back(n); };
    if (task.log_name.empty()) task.log_name = "copy.log";
    outcome.result = runServerCopy(context, probe);
    outcome.connections_left = registry.size();
    outcome.log = readAllLog(env.logsFolder(), task.log_name);
    return outcome;
}

CTableItem tableItem(const std::string& db, const std::string& table, uint8_t kind, uint8_t selected = 1) {
    return CTableItem{selected, kind, db, table};
}

// A database entry with every table and view of the live source database.
CDatabaseItem wholeDatabase(Sql& source, const std::string& db) {
    CDatabaseItem item;
    item.selected = 2;
    item.name = db;
    for (const auto& row : source.rows("SHOW FULL TABLES FROM " + q(db))) {
        item.tables.push_back(tableItem(db, row[0], row[1] == "VIEW" ? 2 : 1));
    }
    return item;
}

CTask copyTask(uint8_t type, std::vector<CDatabaseItem> databases) {
    CTask task;
    task.name = "copy test";
    task.task_type = type;
    task.source = test::testServerSettings(1);
    task.destination = test::testServerSettings(2);
    task.databases = std::move(databases);
    // A fixed run start, so placeholder names are known.
    task.last_run = TaskTime{2007, 3, 5, 14, 7, 9, 2};
    return task;
}

// The table of `dst` has the rows of the same table of `src`: same CHECKSUM
// TABLE and row count.
void expectSameTable(Sql& src_server, const std::string& src, Sql& dst_server, const std::string& dst,
                     const std::string& name) {
    const std::string count = "SELECT COUNT(*) FROM ";
    EXPECT_EQ(dst_server.value(count + q(dst) + "." + q(name)), src_server.value(count + q(src) + "." + q(name)))
        << "rows of " << name;
    const Rows a = src_server.rows("CHECKSUM TABLE " + q(src) + "." + q(name));
    const Rows b = dst_server.rows("CHECKSUM TABLE " + q(dst) + "." + q(name));
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_NE(a[0][1], "<NULL>") << name;
    EXPECT_EQ(a[0][1], b[0][1]) << "checksum of " << src << "." << name;
}

// Every table of `dst` has the rows of the same table of `src`, and every
// view exists there and gives the same rows.
void expectSameDatabase(Sql& src_server, const std::string& src, Sql& dst_server, const std::string& dst) {
    const Rows src_tables = src_server.rows("SHOW FULL TABLES FROM " + q(src));
    const Rows dst_tables = dst_server.rows("SHOW FULL TABLES FROM " + q(dst));
    ASSERT_EQ(dst_tables, src_tables) << src << " -> " << dst;
    for (const auto& row : src_tables) {
        const std::string& name = row[0];
        if (row[1] == "VIEW") {
            Rows a = src_server.rows("SELECT * FROM " + q(src) + "." + q(name));
            Rows b = dst_server.rows("SELECT * FROM " + q(dst) + "." + q(name));
            std::sort(a.begin(), a.end());
            std::sort(b.begin(), b.end());
            EXPECT_EQ(a, b) << "view " << src << "." << name;
            continue;
        }
        expectSameTable(src_server, src, dst_server, dst, name);
    }
}

size_t rowsIn(const std::string& insert) {
    size_t rows = 1;
    for (size_t at = insert.find("),("); at != std::string::npos; at = insert.find("),(", at + 1)) ++rows;
    return rows;
}

// Option bytes for one case; everything else at the task defaults.
void setFlags(CTask& task, std::initializer_list<std::pair<int, uint8_t>> flags) {
    for (const auto& [index, value] : flags) task.backup_options.flags[static_cast<size_t>(index)] = value;
}

class ServerCopy : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!test::serverReachable(1) || !test::serverReachable(2)) return;
        loadSourceDatabasesOnce();
    }
    void SetUp() override {
        KEELVAULT_REQUIRE_SERVER(1);
        KEELVAULT_REQUIRE_SERVER(2);
        ASSERT_TRUE(src_.ok());
        ASSERT_TRUE(dst_.ok());
    }
    void dropOnDestination(std::initializer_list<std::string> names) {
        for (const std::string& name : names) dst_.exec("DROP DATABASE IF EXISTS " + q(name));
    }

    Sql src_{1};
    Sql dst_{2};
};

TEST(ServerCopyNames, DestinationPlaceholders) {
    const TaskTime start{2007, 3, 5, 4, 7, 9, 2};
    struct Case {
        std::string pattern, task, host, expected;
    };
    const std::vector<Case> cases = {
        {"bk_%DATABASE%_%DATE%", "t", "h", "bk_shop_2007-03-05"},
        {"%TIME%", "t", "h", "04-07-09"},
        {"%TASKNAME%-%HOST%", " my.task/x\\y ", "db.example.com", "mytaskxy-dbexamplecom"},
        {"%DATABASE%%DATABASE%_%date%", "t", "h", "shopshop_%date%"},
        {"plain", "t", "h", "plain"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(expandDestinationName(c.pattern, c.task, c.host, "shop", start), c.expected) << c.pattern;
    }
    EXPECT_EQ(expandDestinationName("%DATE%", "t", "h", "d", TaskTime{12345, 12, 31, 0, 0, 0, 1}), "12345-12-31");
}

// Types 2 and 7 copy whole databases to the same names on the other server;
// each run uses other statement options, and both must leave exact copies.
TEST_F(ServerCopy, RoundTripToAnotherServer) {
    const std::vector<std::string> dbs = {"kv_cp_sakila", "kv_cp_hard", "kv_cp_latin1"};
    for (const uint8_t type : {kTypeBackupToServer, kTypeRestoreFromServer}) {
        SCOPED_TRACE(int(type));
        dropOnDestination({"kv_cp_sakila", "kv_cp_hard", "kv_cp_latin1"});
        std::vector<CDatabaseItem> selection;
        for (const std::string& db : dbs) selection.push_back(wholeDatabase(src_, db));
        CTask task = copyTask(type, selection);
        if (type == kTypeRestoreFromServer) {
            setFlags(task, {{kOptMultipleRows, 1}, {kOptCompleteInsert, 1}, {kOptAutocommit, 1}});
            task.buffer_options = CBufferOptions{2, 0};
        }
        const RunOutcome run = runCopy(task);
        EXPECT_EQ(run.result, EngineResult::Finished);
        EXPECT_EQ(run.errors(), std::vector<std::string>{});
        EXPECT_EQ(run.connections_left, 0u);
        for (const std::string& db : dbs) expectSameDatabase(src_, db, dst_, db);
        // The latin1 database keeps its default and its 4-byte text.
        EXPECT_EQ(dst_.value("SELECT DEFAULT_CHARACTER_SET_NAME FROM information_schema.SCHEMATA "
                             "WHERE SCHEMA_NAME = 'kv_cp_latin1'"),
                  "latin1");
        EXPECT_EQ(dst_.value("SELECT s FROM kv_cp_latin1.wide WHERE id = 1"), "Emoji 😀 and 𝄞");

        const bool restore = type == kTypeRestoreFromServer;
        const std::string verb = restore ? "Restoring" : "Backing up";
        EXPECT_TRUE(run.logged(verb + " the selected databases and tables...", kLogInfo));
        EXPECT_TRUE(run.logged(verb + " the database kv_cp_sakila...", kLogInfo));
        EXPECT_TRUE(run.logged(verb + " the table kv_cp_sakila.actor...", kLogInfo));
        EXPECT_TRUE(run.logged(verb + " the view kv_cp_sakila.actor_info...", kLogInfo));
        EXPECT_TRUE(run.logged(std::string(restore ? "Restore" : "Backup") + " the view kv_cp_sakila.actor_info - OK",
                               kLogInfo));
        EXPECT_TRUE(run.logged(
            std::string(restore ? "Restore" : "Backup") + " the records from the table OK - 16044 records", kLogInfo));
        EXPECT_TRUE(run.loggedPrefix("Connect to the source MySQL server successfully!  MySQL version: "));
        EXPECT_TRUE(run.loggedPrefix("Connect to the destination MySQL server successfully!  MySQL version: "));
        // A view is first a placeholder table, and becomes the view only
        // after the rows of every table of its database.
        const auto index_of = [&](auto predicate) {
            const auto at = std::find_if(run.destination.begin(), run.destination.end(),
                                         [&](const auto& s) { return predicate(s.first); });
            return at - run.destination.begin();
        };
        const auto placeholder =
            index_of([](const std::string& sql) { return sql.rfind("CREATE TABLE `actor_info` (", 0) == 0; });
        const auto view =
            index_of([](const std::string& sql) { return sql.find(" VIEW `actor_info` AS ") != std::string::npos; });
        const auto last_store_rows =
            index_of([](const std::string& sql) { return sql == "ALTER TABLE `store` ENABLE KEYS"; });
        ASSERT_LT(view, static_cast<long>(run.destination.size()));
        EXPECT_LT(placeholder, last_store_rows);
        EXPECT_LT(last_store_rows, view);
        // The session settings are put back at the end, in this order.
        ASSERT_GE(run.destination.size(), 9u);
        const std::vector<std::string> tail = {
            "SET SQL_MODE=@OLD_SQL_MODE",
            "SET TIME_ZONE=@OLD_TIME_ZONE",
            "SET FOREIGN_KEY_CHECKS=@OLD_FOREIGN_KEY_CHECKS",
            "SET UNIQUE_CHECKS=@OLD_UNIQUE_CHECKS",
            "SET SQL_NOTES=@OLD_SQL_NOTES",
            "SET CHARACTER_SET_CLIENT=@OLD_CHARACTER_SET_CLIENT",
            "SET CHARACTER_SET_RESULTS=@OLD_CHARACTER_SET_RESULTS",
            "SET CHARACTER_SET_CONNECTION=@OLD_CHARACTER_SET_CONNECTION",
            "SET COLLATION_CONNECTION=@OLD_COLLATION_CONNECTION",
        };
        std::vector<std::string> last;
        for (size_t i = run.destination.size() - tail.size(); i < run.destination.size(); ++i) {
            last.push_back(run.destination[i].first);
        }
        EXPECT_EQ(last, tail);
    }
    dropOnDestination({"kv_cp_sakila", "kv_cp_hard", "kv_cp_latin1"});
}

// Types 3 and 8 copy only the first database entry, into the task's
// destination database; placeholder names are quoted like any other name.
TEST_F(ServerCopy, RoundTripIntoAnotherDatabase) {
    const std::string sakila_copy = "kv_cp_bk_kv_cp_sakila_2007-03-05";
    dropOnDestination({sakila_copy});
    {
        // The second entry would log a failure if it were processed.
        CTask task = copyTask(kTypeBackupToDatabase,
                              {wholeDatabase(src_, "kv_cp_sakila"), CDatabaseItem{1, "kv_cp_second_entry", {}}});
        task.backup_options.new_database = 1;
        task.backup_options.destination_database = "kv_cp_bk_%DATABASE%_%DATE%";
        setFlags(task, {{kOptMultipleRows, 1}});
        task.buffer_options = CBufferOptions{1, 50};
        const RunOutcome run = runCopy(task);
        EXPECT_EQ(run.result, EngineResult::Finished);
        EXPECT_EQ(run.errors(), std::vector<std::string>{});
        EXPECT_EQ(run.sentWith("CREATE DATABASE").front(),
                  "CREATE DATABASE IF NOT EXISTS `" + sakila_copy + "` DEFAULT CHARACTER SET latin1");
        expectSameDatabase(src_, "kv_cp_sakila", dst_, sakila_copy);
        EXPECT_FALSE(run.loggedPrefix("Backing up the database kv_cp_second_entry"));
    }
    {
        // Restore into a database of the same server, under a name with a
        // blank and a backquote built from the task name.
        const std::string target = "kv_cp_restore `q";
        src_.exec("DROP DATABASE IF EXISTS " + q(target));
        CTask task = copyTask(kTypeRestoreFromDatabase, {wholeDatabase(src_, "kv_cp_hard")});
        task.name = " re.st/ore ";
        task.destination = test::testServerSettings(1);
        task.backup_options.new_database = 1;
        task.backup_options.destination_database = "kv_cp_%TASKNAME% `q";
        const RunOutcome run = runCopy(task);
        EXPECT_EQ(run.result, EngineResult::Finished);
        EXPECT_EQ(run.errors(), std::vector<std::string>{});
        EXPECT_TRUE(run.logged("Restoring the database kv_cp_hard...", kLogInfo));
        EXPECT_TRUE(run.logged("Restore the records from the table OK - 25 records", kLogInfo));
        Sql same(1);
        expectSameDatabase(src_, "kv_cp_hard", same, target);
        src_.exec("DROP DATABASE IF EXISTS " + q(target));
    }
    dropOnDestination({sakila_copy});
}

// One statement option or buffer mode per case, on small tables; the
// statements the destination received and the queue sends are compared.
TEST_F(ServerCopy, StatementOptionsAndBufferModes) {
    struct Case {
        std::string name;
        std::string db, table;
        bool multi_row;
        uint8_t mode;
        int32_t records;
        std::vector<size_t> rows_per_insert;
        std::vector<size_t> queue_sends;
    };
    const std::vector<Case> cases = {
        {"multi-row, no buffer", "kv_cp_hard", "rows25", true, 0, 0, {10, 10, 5}, {}},
        {"single-row, 3 per batch", "kv_cp_extra", "rows7", false, 1, 3, {1, 1, 1, 1, 1, 1, 1}, {3, 3, 1}},
        {"multi-row, 2 per batch", "kv_cp_hard", "rows25", true, 1, 2, {10, 10, 5}, {2}},
        {"single-row, whole table", "kv_cp_extra", "rows7", false, 2, 0, {1, 1, 1, 1, 1, 1, 1}, {7}},
        {"multi-row, whole table", "kv_cp_hard", "rows25", true, 2, 0, {10, 10, 5}, {2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string target = "kv_cp_opt_case";
        dropOnDestination({target});
        CDatabaseItem db{1, c.db, {tableItem(c.db, c.table, 1)}};
        CTask task = copyTask(kTypeBackupToDatabase, {db});
        task.backup_options.destination_database = target;
        setFlags(task, {{kOptMultipleRows, c.multi_row ? uint8_t{1} : uint8_t{0}}});
        task.buffer_options = CBufferOptions{c.mode, c.records};
        const RunOutcome run = runCopy(task);
        EXPECT_EQ(run.errors(), std::vector<std::string>{});
        std::vector<size_t> rows;
        for (const std::string& insert : run.sentWith("INSERT INTO `" + c.table + "` VALUES (")) {
            EXPECT_NE(insert.back(), ',') << insert;
            rows.push_back(rowsIn(insert));
        }
        EXPECT_EQ(rows, c.rows_per_insert);
        EXPECT_EQ(run.queue_sends, c.queue_sends);
        expectSameTable(src_, c.db, dst_, target, c.table);
    }
    dropOnDestination({"kv_cp_opt_case"});
}

// Copies kv_cp_hard.rows25 into a destination that already holds changed
// rows, with DROP TABLE off.
TEST_F(ServerCopy, NonEmptyDestination) {
    const std::string target = "kv_cp_nonempty";
    const auto prepare = [&](bool extra_column) {
        dropOnDestination({target});
        dst_.exec("CREATE DATABASE " + q(target));
        dst_.exec("CREATE TABLE " + q(target) +
                  ".rows25 (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL DEFAULT 'none', n INT NOT NULL" +
                  (extra_column ? ", extra INT DEFAULT 7" : "") + ") ENGINE=InnoDB");
        dst_.exec("INSERT INTO " + q(target) +
                  ".rows25 (id, name, n) VALUES (1, 'old 1', 0), (5, 'old 5', 0), "
                  "(100, 'only here', 0)");
    };
    const auto sum = [&]() { return dst_.value("SELECT CONCAT(COUNT(*), '/', SUM(n)) FROM " + q(target) + ".rows25"); };
    struct Case {
        std::string name;
        std::vector<std::pair<int, uint8_t>> flags;
        bool extra_column;
        std::string expected_sum;  // rows / SUM(n) afterwards
        std::vector<std::string> errors;
        std::string summary;
    };
    // Source: ids 1..25 with n = 7 * id, SUM 2275.
    const std::vector<Case> cases = {
        {"REPLACE", {{kOptReplace, 1}}, false, "26/2275", {}, "Backup the records from the table OK - 25 records"},
        {"IGNORE", {{kOptInsertIgnore, 1}}, false, "26/2233", {}, "Backup the records from the table OK - 25 records"},
        {"DELETE first",
         {{kOptDeleteRecords, 1}},
         false,
         "25/2275",
         {},
         "Backup the records from the table OK - 25 records"},
        // A plain INSERT is rejected by the duplicate key; the rows fetched so
        // far are still reported.
        {"plain INSERT",
         {},
         false,
         "3/0",
         {"Failed to insert a record to the table rows25!"},
         "Backup the records from the table OK - 1 records"},
        // The existing table is kept: its extra column survives.
        {"kept table",
         {{kOptDeleteRecords, 1}, {kOptCompleteInsert, 1}},
         true,
         "25/2275",
         {},
         "Backup the records from the table OK - 25 records"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prepare(c.extra_column);
        CTask task =
            copyTask(kTypeBackupToDatabase, {CDatabaseItem{1, "kv_cp_hard", {tableItem("kv_cp_hard", "rows25", 1)}}});
        task.backup_options.destination_database = target;
        setFlags(task, {{kOptDropTable, 0}});
        for (const auto& [index, value] : c.flags) task.backup_options.flags[static_cast<size_t>(index)] = value;
        const RunOutcome run = runCopy(task);
        EXPECT_EQ(run.result, EngineResult::Finished);
        EXPECT_EQ(run.errors(), c.errors);
        EXPECT_TRUE(run.logged(c.summary, kLogInfo));
        EXPECT_EQ(sum(), c.expected_sum);
        if (c.extra_column) {
            EXPECT_EQ(dst_.value("SELECT SUM(extra) FROM " + q(target) + ".rows25"), "175");
        }
    }
    dropOnDestination({target});
}

// Complete INSERTs list the column names; keyword column names need the
// backquotes of the keyword option.
TEST_F(ServerCopy, CompleteInsertsWithKeywordColumns) {
    const std::string target = "kv_cp_keywords";
    for (const uint8_t keywords : {uint8_t{1}, uint8_t{0}}) {
        SCOPED_TRACE(int(keywords));
        dropOnDestination({target});
        CTask task =
            copyTask(kTypeBackupToDatabase, {CDatabaseItem{1, "kv_cp_hard", {tableItem("kv_cp_hard", "odd name", 1)}}});
        task.backup_options.destination_database = target;
        setFlags(task, {{kOptCompleteInsert, 1}, {kOptKeywordColumns, keywords}});
        const RunOutcome run = runCopy(task);
        const std::vector<std::string> inserts = run.sentWith("INSERT INTO `odd name`(");
        ASSERT_FALSE(inserts.empty());
        if (keywords) {
            EXPECT_EQ(inserts[0],
                      "INSERT INTO `odd name`(`id`,`col umn`,`back``tick`,`quo'te`,`select`) VALUES "
                      "(1,'blank',1,'quote\\'s',10)");
            EXPECT_EQ(run.errors(), std::vector<std::string>{});
            expectSameTable(src_, "kv_cp_hard", dst_, target, "odd name");
        } else {
            // Names that cannot stand bare are quoted all the same; the bare keyword still fails.
            EXPECT_EQ(inserts[0].rfind("INSERT INTO `odd name`(id,`col umn`,`back``tick`,`quo'te`,select) VALUES (1,", 0),
                      0u)
                << inserts[0];
            EXPECT_EQ(run.errors(), std::vector<std::string>{"Failed to insert a record to the table odd name!"});
        }
    }
    dropOnDestination({target});
}

// Stored selection against the live server: new tables and databases are
// added only with their flags, and never for the restore kinds.
TEST_F(ServerCopy, NewlyCreatedTablesAndDatabases) {
    // A reader that sees only the databases of this test keeps the listing
    // of the live server small and free of other tests' databases.
    for (const std::string host : {"%", "localhost"}) {
        src_.exec("CREATE USER IF NOT EXISTS 'kv_cp_reader'@'" + host + "'");
        src_.exec("GRANT ALL ON `kv\\_cp\\_sel%`.* TO 'kv_cp_reader'@'" + host + "'");
    }
    src_.exec("DROP DATABASE IF EXISTS kv_cp_sel");
    src_.exec("DROP DATABASE IF EXISTS kv_cp_sel_new");
    src_.exec("CREATE DATABASE kv_cp_sel");
    src_.exec("CREATE TABLE kv_cp_sel.chosen (id INT PRIMARY KEY)");
    src_.exec("CREATE TABLE kv_cp_sel.unchosen (id INT PRIMARY KEY)");
    src_.exec("INSERT INTO kv_cp_sel.chosen VALUES (1), (2)");
    const CDatabaseItem stored{
        1, "kv_cp_sel", {tableItem("kv_cp_sel", "chosen", 1), tableItem("kv_cp_sel", "unchosen", 1, 0)}};
    // Created after the task was defined.
    src_.exec("CREATE TABLE kv_cp_sel.later (id INT PRIMARY KEY)");
    src_.exec("CREATE VIEW kv_cp_sel.later_view AS SELECT id FROM kv_cp_sel.chosen");
    src_.exec("CREATE DATABASE kv_cp_sel_new");
    src_.exec("CREATE TABLE kv_cp_sel_new.fresh (id INT PRIMARY KEY)");
    src_.exec("INSERT INTO kv_cp_sel_new.fresh VALUES (9)");

    struct Case {
        uint8_t type;
        bool new_tables, new_databases;
        std::vector<std::string> expected;  // db.table on the destination
    };
    const std::vector<Case> cases = {
        {kTypeBackupToServer, false, false, {"kv_cp_sel.chosen"}},
        {kTypeBackupToServer, true, false, {"kv_cp_sel.chosen", "kv_cp_sel.later", "kv_cp_sel.later_view"}},
        {kTypeBackupToServer, false, true, {"kv_cp_sel.chosen", "kv_cp_sel_new.fresh"}},
        {kTypeRestoreFromServer, true, true, {"kv_cp_sel.chosen"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " " + std::to_string(c.new_tables) + std::to_string(c.new_databases));
        dropOnDestination({"kv_cp_sel", "kv_cp_sel_new"});
        CTask task = copyTask(c.type, {stored});
        task.source.user = "kv_cp_reader";
        setFlags(task, {{kOptNewTables, c.new_tables}, {kOptNewDatabases, c.new_databases}, {kOptLockTables, 0}});
        const RunOutcome run = runCopy(task);
        EXPECT_EQ(run.result, EngineResult::Finished);
        std::vector<std::string> copied;
        for (const auto& row : dst_.rows("SELECT CONCAT(TABLE_SCHEMA, '.', TABLE_NAME) FROM information_schema.TABLES "
                                         "WHERE TABLE_SCHEMA IN ('kv_cp_sel', 'kv_cp_sel_new') ORDER BY 1")) {
            copied.push_back(row[0]);
        }
        EXPECT_EQ(copied, c.expected);
        // The only live database the reader sees besides its own cannot be created.
        for (const std::string& e : run.errors()) EXPECT_NE(e.find("information_schema"), std::string::npos) << e;
    }
    dropOnDestination({"kv_cp_sel", "kv_cp_sel_new"});
    src_.exec("DROP DATABASE kv_cp_sel");
    src_.exec("DROP DATABASE kv_cp_sel_new");
}

int unusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

TEST_F(ServerCopy, RunsThatEndEarly) {
    {
        // Nothing to copy: no connection is tried.
        for (const uint8_t type : {kTypeBackupToServer, kTypeRestoreFromDatabase}) {
            CTask task = copyTask(type, {});
            const RunOutcome run = runCopy(task);
            EXPECT_EQ(run.result, EngineResult::Failed);
            EXPECT_EQ(run.texts(), std::vector<std::string>{type == kTypeBackupToServer
                                                                ? "There are not any databases to backup!"
                                                                : "There are not any databases to restore!"});
        }
    }
    const CDatabaseItem db{1, "kv_cp_hard", {tableItem("kv_cp_hard", "rows25", 1)}};
    {
        CTask task = copyTask(kTypeBackupToServer, {db});
        task.source.port = unusedPort();
        const RunOutcome run = runCopy(task);
        EXPECT_EQ(run.result, EngineResult::Failed);
        ASSERT_EQ(run.log.size(), 2u);
        EXPECT_EQ(run.log[0].text, "Connecting to the source MySQL server (" + task.source.host + ")... ");
        EXPECT_EQ(run.log[1].text.rfind("Failed to connect to the source MySQL server!  Error NO. 2002  ", 0), 0u)
            << run.log[1].text;
        EXPECT_EQ(run.log[1].level, kLogError);
    }
    {
        CTask task = copyTask(kTypeBackupToServer, {db});
        task.destination.port = unusedPort();
        const RunOutcome run = runCopy(task);
        EXPECT_EQ(run.result, EngineResult::Failed);
        ASSERT_EQ(run.log.size(), 4u);
        EXPECT_EQ(run.log[2].text, "Connecting to the destination MySQL server (" + task.destination.host + ")... ");
        EXPECT_EQ(run.log[3].text.rfind("Failed to connect to the destination MySQL server!  Error NO. 2002  ", 0), 0u)
            << run.log[3].text;
        EXPECT_EQ(run.connections_left, 0u);
    }
    {
        // A stop before the start connects nowhere.
        CTask task = copyTask(kTypeBackupToServer, {db});
        std::stop_source stop;
        stop.request_stop();
        const RunOutcome run = runCopy(task, {}, &stop);
        EXPECT_EQ(run.result, EngineResult::Canceled);
        EXPECT_TRUE(run.log.empty());
    }
}

// Database-level failures skip the database and the run goes on to the next.
TEST_F(ServerCopy, DestinationDatabaseThatCannotBeCreated) {
    const std::string too_long(70, 'x');
    CTask task =
        copyTask(kTypeBackupToDatabase, {CDatabaseItem{1, "kv_cp_hard", {tableItem("kv_cp_hard", "rows25", 1)}}});
    task.backup_options.new_database = 1;
    task.backup_options.destination_database = too_long;
    RunOutcome run = runCopy(task);
    EXPECT_EQ(run.result, EngineResult::Finished);
    EXPECT_EQ(run.errors(),
              std::vector<std::string>{"Failed to create database " + too_long + " on the destination server!"});
    EXPECT_TRUE(run.sentWith("INSERT").empty());

    // Without CREATE DATABASE a missing destination database cannot be used.
    setFlags(task, {{kOptCreateDatabase, 0}});
    task.backup_options.destination_database = "kv_cp_missing";
    dropOnDestination({"kv_cp_missing"});
    run = runCopy(task);
    EXPECT_EQ(run.result, EngineResult::Finished);
    EXPECT_EQ(run.errors(),
              std::vector<std::string>{"Failed to use database kv_cp_missing on the destination server!"});

    // A source database that is gone.
    CTask gone = copyTask(kTypeBackupToServer, {CDatabaseItem{1, "kv_cp_not_there", {}}});
    run = runCopy(gone);
    EXPECT_EQ(run.result, EngineResult::Finished);
    EXPECT_EQ(run.errors(), std::vector<std::string>{"Failed to use database kv_cp_not_there on the source server!"});
}

// A destination whose trigger rejects one row: the 10-row statement holding
// it fails, is sent once more by the closing step, fails again, and the table
// gets no summary line.
TEST_F(ServerCopy, RejectedMultiRowStatementIsSentTwice) {
    const std::string target = "kv_cp_reject";
    dropOnDestination({target});
    dst_.exec("CREATE DATABASE " + q(target));
    dst_.exec("CREATE TABLE " + q(target) + ".rows25 (id INT PRIMARY KEY, name VARCHAR(20), n INT)");
    dst_.exec("CREATE TRIGGER " + q(target) + ".no_five BEFORE INSERT ON " + q(target) +
              ".rows25 FOR EACH ROW BEGIN IF NEW.id = 5 THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'no five'; "
              "END IF; END");
    CTask task =
        copyTask(kTypeBackupToDatabase, {CDatabaseItem{1, "kv_cp_hard", {tableItem("kv_cp_hard", "rows25", 1)}}});
    task.backup_options.destination_database = target;
    setFlags(task, {{kOptStructure, 0}, {kOptMultipleRows, 1}});
    const RunOutcome run = runCopy(task);
    EXPECT_EQ(run.result, EngineResult::Finished);
    EXPECT_EQ(run.errors(), (std::vector<std::string>{"Failed to insert multi-rows records to the table rows25!",
                                                      "Failed to insert multi-row records to the table rows25!"}));
    EXPECT_FALSE(run.loggedPrefix("Backup the records from the table OK"));
    const std::vector<std::string> inserts = run.sentWith("INSERT INTO `rows25` VALUES ");
    ASSERT_EQ(inserts.size(), 2u);
    EXPECT_EQ(inserts[0], inserts[1]);
    EXPECT_EQ(rowsIn(inserts[0]), 10u);
    EXPECT_TRUE(run.logged("Structure option is unchecked.", kLogInfo));
    // The destination table is not left locked or with its keys off.
    EXPECT_EQ(run.sentWith("UNLOCK TABLES").size(), 1u);
    EXPECT_EQ(dst_.value("SELECT COUNT(*) FROM " + q(target) + ".rows25"), "0");

    // In single-row mode with a queue the same row ends the queue send.
    task.buffer_options = CBufferOptions{1, 3};
    setFlags(task, {{kOptMultipleRows, 0}});
    const RunOutcome queued = runCopy(task);
    EXPECT_EQ(queued.errors(), std::vector<std::string>{"Failed to insert some records to the table rows25!"});
    EXPECT_TRUE(queued.logged("Backup the records from the table OK - 6 records", kLogInfo));
    EXPECT_EQ(dst_.value("SELECT COUNT(*) FROM " + q(target) + ".rows25"), "4");
    dropOnDestination({target});
}

// Old servers: no backquotes below 32306, a CREATE TABLE built from the
// column list below 32320, the three SET CHARACTER_SET statements below 40100,
// and no DEFAULT CHARACTER SET for a destination below 40100.
TEST_F(ServerCopy, OldServerPaths) {
    const CDatabaseItem db{1, "kv_cp_hard", {tableItem("kv_cp_hard", "rows25", 1)}};
    {
        const std::string target = "kv_cp_old_a";
        dropOnDestination({target});
        dst_.exec("CREATE DATABASE " + target);
        dst_.exec("CREATE TABLE " + target +
                  ".rows25 (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL DEFAULT 'none', n INT NOT NULL) "
                  "ENGINE=InnoDB DEFAULT CHARSET=utf8mb4");
        CTask task = copyTask(kTypeBackupToDatabase, {db});
        task.backup_options.destination_database = target;
        setFlags(task, {{kOptStructure, 0}, {kOptDeleteRecords, 1}});
        ServerCopyProbe probe;
        probe.source_version = 32305;
        probe.destination_version = 40000;
        const RunOutcome run = runCopy(task, probe);
        EXPECT_EQ(run.errors(), std::vector<std::string>{});
        for (const auto& [sql, ok] : run.destination) EXPECT_EQ(sql.find('`'), std::string::npos) << sql;
        for (const auto& [sql, ok] : run.source) EXPECT_EQ(sql.find('`'), std::string::npos) << sql;
        EXPECT_EQ(run.sentWith("CREATE DATABASE"), std::vector<std::string>{"CREATE DATABASE IF NOT EXISTS " + target});
        EXPECT_EQ(run.sentWith("SET CHARACTER_SET_CLIENT='").front(), "SET CHARACTER_SET_CLIENT='latin1'");
        EXPECT_TRUE(run.sentWith("SET NAMES").empty());
        EXPECT_EQ(run.sentWith("DELETE FROM "), std::vector<std::string>{"DELETE FROM rows25"});
        EXPECT_EQ(run.sentWith("INSERT INTO rows25 VALUES (1,'row 1',7)").size(), 1u);
        EXPECT_TRUE(run.logged("Backup the records from the table OK - 25 records", kLogInfo));
        expectSameTable(src_, "kv_cp_hard", dst_, target, "rows25");
    }
    {
        // Quoting allowed but no SHOW CREATE TABLE: the built statement names
        // an engine with TYPE=, which a current destination refuses; the
        // message differs between the two kinds.
        for (const uint8_t type : {kTypeBackupToServer, kTypeBackupToDatabase}) {
            SCOPED_TRACE(int(type));
            const std::string target = type == kTypeBackupToServer ? "kv_cp_extra" : "kv_cp_old_b";
            dropOnDestination({target});
            CTask task = copyTask(type, {CDatabaseItem{1, "kv_cp_extra", {tableItem("kv_cp_extra", "rows7", 1)}}});
            task.backup_options.destination_database = target;
            ServerCopyProbe probe;
            probe.source_version = 32310;
            const RunOutcome run = runCopy(task, probe);
            const std::vector<std::string> creates = run.sentWith("CREATE TABLE");
            ASSERT_EQ(creates.size(), 1u);
            EXPECT_EQ(creates[0].rfind("CREATE TABLE IF NOT EXISTS `rows7`(`id` INT(11) NOT NULL", 0), 0u)
                << creates[0];
            EXPECT_EQ(creates[0].substr(creates[0].size() - 12), ")TYPE=InnoDB") << creates[0];
            EXPECT_EQ(run.errors(), std::vector<std::string>{type == kTypeBackupToServer
                                                                 ? "Failed to CREATE TABLE kv_cp_extra.rows7 on the "
                                                                   "destination server!"
                                                                 : "Failed to CREATE TABLE rows7 on the destination "
                                                                   "server!"});
            EXPECT_TRUE(run.sentWith("INSERT").empty());
            dropOnDestination({target});
        }
    }
    dropOnDestination({"kv_cp_old_a"});
}

// A source that goes away in the middle of a table: the table gets an error
// and no summary line, and the rows read before are on the destination.
TEST_F(ServerCopy, SourceLostInMiddleOfTable) {
    const std::string target = "kv_cp_lost";
    dropOnDestination({target});
    CTask task = copyTask(
        kTypeBackupToDatabase,
        {CDatabaseItem{1, "kv_cp_extra", {tableItem("kv_cp_extra", "big", 1), tableItem("kv_cp_extra", "rows7", 1)}}});
    task.backup_options.destination_database = target;
    setFlags(task, {{kOptMultipleRows, 1}});
    unsigned long source_id = 0;
    bool killed = false;
    Sql killer(1);
    ServerCopyProbe probe;
    probe.on_connected = [&](MYSQL* source, MYSQL*) { source_id = mysql_thread_id(source); };
    probe.on_destination_statement = [&](const std::string& sql, bool) {
        if (!killed && sql.rfind("INSERT INTO `big`", 0) == 0) {
            killed = true;
            killer.exec("KILL CONNECTION " + std::to_string(source_id));
        }
    };
    const RunOutcome run = runCopy(task, probe);
    ASSERT_TRUE(killed);
    EXPECT_EQ(run.result, EngineResult::Finished);
    const std::vector<std::string> errors = run.errors();
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors[0].rfind("Failed to read all records of the table big from the source server!  Error NO. 20", 0),
              0u)
        << errors[0];
    EXPECT_FALSE(run.loggedPrefix("Backup the records from the table OK"));
    const long copied = std::stol(dst_.value("SELECT COUNT(*) FROM " + q(target) + ".big"));
    EXPECT_GT(copied, 0);
    EXPECT_LT(copied, 200000);
    dropOnDestination({target});
}

// A stop request in the middle of a table closes both connections at once.
TEST_F(ServerCopy, StopRequestInMiddleOfTable) {
    const std::string target = "kv_cp_stop";
    dropOnDestination({target});
    CTask task = copyTask(
        kTypeBackupToDatabase,
        {CDatabaseItem{1, "kv_cp_extra", {tableItem("kv_cp_extra", "big", 1), tableItem("kv_cp_extra", "rows7", 1)}}});
    task.backup_options.destination_database = target;
    std::stop_source stop;
    ServerCopyProbe probe;
    probe.on_destination_statement = [&](const std::string& sql, bool) {
        if (sql.rfind("INSERT INTO `big`", 0) == 0) stop.request_stop();
    };
    const RunOutcome run = runCopy(task, probe, &stop);
    EXPECT_EQ(run.result, EngineResult::Canceled);
    EXPECT_EQ(run.connections_left, 0u);
    EXPECT_LE(run.sentWith("INSERT INTO `big`").size(), 1000u);
    EXPECT_TRUE(run.sentWith("INSERT INTO `rows7`").empty());
    EXPECT_TRUE(run.sentWith("SET SQL_MODE=@OLD_SQL_MODE").empty());
    EXPECT_FALSE(run.loggedPrefix("Backup the records from the table OK"));
    dropOnDestination({target});
}

// The command-line program runs a type-2 and a type-3 task written to a
// task list file, with the built-in engines.
TEST_F(ServerCopy, CommandLineRuns) {
    src_.exec("DROP DATABASE IF EXISTS kv_cp_cli");
    src_.exec("CREATE DATABASE kv_cp_cli DEFAULT CHARACTER SET utf8mb4");
    src_.exec(
        "CREATE TABLE kv_cp_cli.items (id INT PRIMARY KEY, label VARCHAR(40), price DECIMAL(8,2), "
        "made DATETIME, flags BIT(3))");
    src_.exec(
        "INSERT INTO kv_cp_cli.items VALUES (1, 'it''s', 1.50, '2006-05-01 09:05:07', b'101'), "
        "(2, NULL, 0, NULL, NULL), (3, 'Zürich 😀', 99.99, '1999-12-31 23:59:59', b'000')");
    src_.exec("CREATE VIEW kv_cp_cli.cheap AS SELECT id, label FROM kv_cp_cli.items WHERE price < 10");
    const std::string type3_target = "kv_cp_cli3_kv_cp_hard";
    dropOnDestination({"kv_cp_cli", type3_target});

    test::TempDir home;
    const fs::path data = home.path() / "keelvault";
    fs::create_directories(data);
    CTaskList list;
    CTask to_server = copyTask(kTypeBackupToServer, {wholeDatabase(src_, "kv_cp_cli")});
    to_server.name = "to server";
    to_server.log_name = "to_server.log";
    list.append(to_server);
    CTask to_database = copyTask(kTypeBackupToDatabase, {wholeDatabase(src_, "kv_cp_hard")});
    to_database.name = "to database";
    to_database.log_name = "to_database.log";
    to_database.backup_options.new_database = 1;
    to_database.backup_options.destination_database = "kv_cp_cli3_%DATABASE%";
    list.append(to_database);
    ASSERT_TRUE(saveTaskList(data / "tasks_pro.tsk", list));

    for (const std::string name : {"to server", "to database"}) {
        const std::string command = "XDG_DATA_HOME='" + home.path().string() + "' '" + KEELVAULT_CLI_PATH + "' run '" +
                                    name + "' > '" + (home.path() / "out.txt").string() + "' 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << name << ": " << test::readFile(home.path() / "out.txt");
    }
    expectSameDatabase(src_, "kv_cp_cli", dst_, "kv_cp_cli");
    expectSameDatabase(src_, "kv_cp_hard", dst_, type3_target);
    const std::vector<LogRecord> log = readAllLog(data / "Logs", "to_server.log");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().text, "Finished");
    dropOnDestination({"kv_cp_cli", type3_target});
    src_.exec("DROP DATABASE kv_cp_cli");
}

}  // namespace
}  // namespace keelvault
