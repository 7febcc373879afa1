// A task of each of the eight types, written by hand as JSON, created with
// keelvault-cli add and run against the test servers by the real program.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "support/test_support.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;

std::string client(int which) {
    const test::TestServers s = test::testServers();
    return "mariadb --no-defaults -h" + s.host + " -P" + std::to_string(which == 1 ? s.port1 : s.port2) + " -u" +
           s.user;
}

int sql(int which, const std::string& statements) {
    return std::system(("echo \"" + statements + "\" | " + client(which)).c_str());
}

std::string query(int which, const std::string& statement) {
    const std::string command = client(which) + " -N -B -e \"" + statement + "\"";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
        pclose(pipe);
    }
    return out;
}

// Every row of a table, in key order, as the client prints it.
std::string rows(int which, const std::string& table) { return query(which, "SELECT * FROM " + table + " ORDER BY id"); }

// A server block; `database` is the source database of types 3 and 8.
std::string serverJson(int which, const std::string& database = "") {
    const test::TestServers s = test::testServers();
    return R"({"host": ")" + s.host + R"(", "port": )" + std::to_string(which == 1 ? s.port1 : s.port2) +
           R"(, "user": ")" + s.user + R"(", "database": ")" + database + R"("})";
}

class CliEightTypes : public ::testing::Test {
protected:
    test::TempDir home;
    fs::path data() const { return home.path() / "keelvault"; }

    int cli(const std::string& arguments, const std::string& input = {}) {
        const fs::path in = home.path() / "in.json";
        test::writeFile(in, input);
        const std::string command = "XDG_DATA_HOME='" + home.path().string() + "' '" + KEELVAULT_CLI_PATH + "' " +
                                    arguments + " < '" + in.string() + "' > '" + out().string() + "' 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    fs::path out() const { return home.path() / "out.txt"; }
    std::string output() const { return test::readFile(out()); }

    // add, then run: the run must finish without an error line.
    void addAndRun(const std::string& name, const std::string& json) {
        SCOPED_TRACE(name);
        ASSERT_EQ(cli("add -", json), 0) << output();
        EXPECT_EQ(cli("run '" + name + "'"), 0) << output();
    }

    void SetUp() override {
        KEELVAULT_REQUIRE_SERVER(1);
        KEELVAULT_REQUIRE_SERVER(2);
        ASSERT_EQ(sql(1, "DROP DATABASE IF EXISTS kv_ct_a; DROP DATABASE IF EXISTS kv_ct_c;"
                         "CREATE DATABASE kv_ct_a; "
                         "CREATE TABLE kv_ct_a.t (id INT PRIMARY KEY, label VARCHAR(40), price DECIMAL(6,2), "
                         "seen DATETIME, bits BIT(3)); "
                         "INSERT INTO kv_ct_a.t VALUES (1, 'it\\'s', 1.50, '2006-05-01 09:05:07', b'101'), "
                         "(2, NULL, 0, NULL, NULL), (3, 'Zürich', 99.99, '1999-12-31 23:59:59', b'000');"),
                  0);
        ASSERT_EQ(sql(2, "DROP DATABASE IF EXISTS kv_ct_a; DROP DATABASE IF EXISTS kv_ct_b;"), 0);
    }

    void TearDown() override {
        if (!test::serverReachable(1) || !test::serverReachable(2)) return;
        sql(1, "DROP DATABASE IF EXISTS kv_ct_a; DROP DATABASE IF EXISTS kv_ct_c;");
        sql(2, "DROP DATABASE IF EXISTS kv_ct_a; DROP DATABASE IF EXISTS kv_ct_b;");
    }
};

const char* kTable = R"({"selected": 1, "kind": 1, "database": "kv_ct_a", "table": "t"})";

TEST_F(CliEightTypes, EachTypeRunsFromHandWrittenJson) {
    const std::string expected = rows(1, "kv_ct_a.t");
    ASSERT_NE(expected.find("Zürich"), std::string::npos) << expected;
    const fs::path backups = home.path() / "backups";
    const std::string databases = std::string(R"([{"selected": 2, "name": "kv_ct_a", "tables": [)") + kTable + "]}]";

    // 1: a backup file that the standard client replays into the other server to the same rows.
    addAndRun("to files", R"({"name": "to files", "task_type": 1, "source": )" + serverJson(1) +
                              R"(, "databases": )" + databases + R"(, "backup_options": {"backup_directory": ")" +
                              backups.string() + R"(/"}})");
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(backups)) {
        // The digests of the run sit beside its backup file.
        if (entry.is_regular_file() && entry.path().extension() != ".digests") files.push_back(entry.path());
    }
    ASSERT_EQ(files.size(), 1u);
    ASSERT_EQ(std::system((client(2) + " < '" + files[0].string() + "'").c_str()), 0);
    EXPECT_EQ(rows(2, "kv_ct_a.t"), expected);
    ASSERT_EQ(sql(2, "DROP DATABASE kv_ct_a;"), 0);

    // 2 and 3: to the other server, then into a database of another name.
    addAndRun("to server", R"({"name": "to server", "task_type": 2, "source": )" + serverJson(1) +
                               R"(, "destination": )" + serverJson(2) + R"(, "databases": )" + databases + "}");
    EXPECT_EQ(rows(2, "kv_ct_a.t"), expected);
    addAndRun("to database", R"({"name": "to database", "task_type": 3, "source": )" + serverJson(1, "kv_ct_a") +
                                 R"(, "destination": )" + serverJson(2) + R"(, "databases": )" + databases +
                                 R"(, "backup_options": {"destination_database": "kv_ct_b"}})");
    EXPECT_EQ(rows(2, "kv_ct_b.t"), expected);

    // 4: one CSV file for the table.
    const fs::path exports = home.path() / "exports";
    fs::create_directories(exports);
    addAndRun("export", R"({"name": "export", "task_type": 4, "source": )" + serverJson(1) +
                            R"(, "export_tables": [)" + kTable + R"(], "export_options": {"format": 1, "directory": ")" +
                            exports.string() + R"(/", "fields_terminated_by": ",", "lines_terminated_by": "\n"}})");
    size_t exported = 0;
    for (const auto& entry : fs::directory_iterator(exports)) {
        exported += 1;
        EXPECT_NE(test::readFile(entry.path()).find("Zürich"), std::string::npos) << entry.path();
    }
    EXPECT_EQ(exported, 1u);

    // 5: a script on the first server.
    addAndRun("script", R"({"name": "script", "task_type": 5, "source": )" + serverJson(1) +
                            R"(, "script": ["UPDATE kv_ct_a.t SET label = 'scripted' WHERE id = 2"]})");
    EXPECT_EQ(query(1, "SELECT label FROM kv_ct_a.t WHERE id = 2"), "scripted\n");

    // 6: the type-1 file replayed by the restore task into the second server.
    ASSERT_EQ(sql(2, "DROP DATABASE kv_ct_a;"), 0);
    addAndRun("restore files", R"({"name": "restore files", "task_type": 6, "destination": )" + serverJson(2) +
                                   R"(, "restore_files": [{"kind": 0, "file_name": ")" +
                                   files[0].filename().string() + R"(", "full_path": ")" + files[0].string() +
                                   R"("}]})");
    EXPECT_EQ(rows(2, "kv_ct_a.t"), expected);

    // 7 and 8: back from the second server, as is and into another database.
    ASSERT_EQ(sql(1, "DROP DATABASE kv_ct_a;"), 0);
    addAndRun("restore server", R"({"name": "restore server", "task_type": 7, "source": )" + serverJson(2) +
                                    R"(, "destination": )" + serverJson(1) + R"(, "databases": )" + databases + "}");
    EXPECT_EQ(rows(1, "kv_ct_a.t"), expected);
    const std::string from_b = std::string(R"([{"selected": 2, "name": "kv_ct_b", "tables": [)") +
                               R"({"selected": 1, "kind": 1, "database": "kv_ct_b", "table": "t"}]}])";
    addAndRun("restore database", R"({"name": "restore database", "task_type": 8, "source": )" + serverJson(2, "kv_ct_b") +
                                      R"(, "destination": )" + serverJson(1) + R"(, "databases": )" + from_b +
                                      R"(, "backup_options": {"destination_database": "kv_ct_c"}})");
    EXPECT_EQ(rows(1, "kv_ct_c.t"), expected);
}

}  // namespace
}  // namespace keelvault
