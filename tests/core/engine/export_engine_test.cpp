#include "core/engine/export_engine.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <stop_token>
#include <string>
#include <vector>

#include "core/engine/export_writers.h"
#include "core/engine/mysql_session.h"
#include "core/model/task_list_file.h"
#include "core/scheduler/run_context.h"
#include "export_test_texts.h"
#include "support/sample_database.h"
#include "support/test_support.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;

// ---- helpers -------------------------------------------------------------

std::string clientCommand(int which, const std::string& extra = "") {
    const CServerSettings s = test::testServerSettings(which);
    std::string command = "mariadb --no-defaults -h" + s.host + " -P" + std::to_string(s.port) + " -u" + s.user;
    if (!s.password.empty()) command += " -p" + s.password;
    return command + (extra.empty() ? "" : " " + extra);
}

// Feeds SQL text to the mariadb client (it understands DELIMITER).
bool runSql(int which, const std::string& sql, const std::string& extra = "") {
    FILE* pipe = ::popen((clientCommand(which, extra) + " >/dev/null").c_str(), "w");
    if (!pipe) return false;
    const bool written = std::fwrite(sql.data(), 1, sql.size(), pipe) == sql.size();
    return ::pclose(pipe) == 0 && written;
}

// Output and exit status of a shell command.
std::string commandOutput(const std::string& command, int& status) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        status = -1;
        return out;
    }
    char buffer[65536];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int raw = ::pclose(pipe);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

std::string queryValue(int which, const std::string& sql) {
    MySqlSession session;
    if (!session.open(test::testServerSettings(which))) return "(no connection)";
    std::string value;
    if (!session.queryValue(sql, value)) return "(no value)";
    return value;
}

// CHECKSUM TABLE's figure for one table.
std::string checksum(int which, const std::string& table) {
    MySqlSession session;
    if (!session.open(test::testServerSettings(which))) return "(no connection)";
    ResultPtr result = session.storeQuery("CHECKSUM TABLE " + table);
    if (!result) return "(no result)";
    MYSQL_ROW row = mysql_fetch_row(result.get());
    return row && row[1] ? row[1] : "(null)";
}

// Loads a CSV export (comma, double quote, CR LF, header line) into `copy`,
// a fresh copy of `table`.
bool loadCsvInto(int which, const fs::path& csv, const std::string& table, const std::string& copy) {
    return runSql(which,
                  "DROP TABLE IF EXISTS " + copy + "; CREATE TABLE " + copy + " LIKE " + table +
                      "; LOAD DATA LOCAL INFILE '" + csv.string() + "' INTO TABLE " + copy +
                      " CHARACTER SET utf8mb4 FIELDS TERMINATED BY ',' ENCLOSED BY '\"' ESCAPED BY '\\\\'"
                      " LINES TERMINATED BY '\\r\\n' IGNORE 1 LINES;",
                  "--local-infile=1");
}

bool isWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// SQL text with whole-word database names replaced, so a test works on its own copy.
std::string withNames(const std::string& sql, const std::vector<std::pair<std::string, std::string>>& renames) {
    std::string text = sql;
    for (const auto& [from, to] : renames) {
        std::string out;
        out.reserve(text.size());
        size_t done = 0;
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + from.size())) {
            const bool starts = at == 0 || !isWordChar(text[at - 1]);
            const bool ends = at + from.size() == text.size() || !isWordChar(text[at + from.size()]);
            if (!starts || !ends) continue;
            out.append(text, done, at - done);
            out += to;
            done = at + from.size();
        }
        out.append(text, done, std::string::npos);
        text = std::move(out);
    }
    return text;
}

// A text as one single-quoted shell word.
std::string shellWord(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

// An export document read back by a real XML parser: the FIELD names and
// types, then every ROW's attribute values. The parser also checks that each
// ROW names the fields in order.
struct XmlDocument {
    bool parsed = false;
    std::string error;
    std::vector<std::string> fields;  // "name:Type"
    std::vector<std::vector<std::string>> rows;
};

constexpr const char* kXmlReader = R"PY(
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
assert root.tag == 'DATAPACKET' and root.get('Version') == '2.0', root.tag
meta, rowdata = list(root)
assert meta.tag == 'METADATA' and rowdata.tag == 'ROWDATA'
fields = list(meta.find('FIELDS'))
names = [f.get('FieldName') for f in fields]
assert names == [f.get('DisplayLabel') for f in fields]
out = ['\x1f'.join(n + ':' + f.get('FieldType') for n, f in zip(names, fields))]
for row in rowdata:
    assert row.tag == 'ROW' and list(row.attrib.keys()) == names, (list(row.attrib.keys()), names)
    out.append('\x1f'.join(row.attrib.values()))
sys.stdout.buffer.write('\x1e'.join(out).encode('utf-8'))
)PY";

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

// The interpreter itself: a version-manager shim in front of it can cost seconds per start.
const std::string& pythonPath() {
    static const std::string path = [] {
        int status = 0;
        std::string out = commandOutput("python3 -c 'import sys; print(sys.executable)'", status);
        while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
        return status == 0 && !out.empty() ? out : std::string("python3");
    }();
    return path;
}

XmlDocument parseXml(const fs::path& file) {
    static const test::TempDir script_dir;
    const fs::path script = script_dir / "read_export.py";
    if (!fs::exists(script)) test::writeFile(script, kXmlReader);
    XmlDocument doc;
    int status = 0;
    const std::string out = commandOutput(
        shellWord(pythonPath()) + " " + shellWord(script.string()) + " " + shellWord(file.string()) + " 2>&1", status);
    if (status != 0) {
        doc.error = out;
        return doc;
    }
    doc.parsed = true;
    const std::vector<std::string> parts = split(out, '\x1e');
    doc.fields = parts[0].empty() ? std::vector<std::string>{} : split(parts[0], '\x1f');
    for (size_t i = 1; i < parts.size(); ++i) doc.rows.push_back(split(parts[i], '\x1f'));
    return doc;
}

size_t countOf(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

CTableItem entry(const std::string& database, const std::string& table, uint8_t kind = kKindTable) {
    CTableItem item;
    item.selected = 1;
    item.kind = kind;
    item.database = database;
    item.table = table;
    return item;
}

CExportOptions exportOptions(uint8_t format, const std::string& directory) {
    CExportOptions options;
    options.format = format;
    options.directory = directory;
    options.fields_terminated_by = ",";
    options.fields_enclosed_by = "\"";
    options.fields_escaped_by = "\\";
    options.lines_terminated_by = "\r\n";
    options.column_names_on_top = 1;
    return options;
}

// One export task run straight through the engine, its log lines kept.
struct ExportHarness {
    test::TempDir data;
    TaskEnvironment env;
    CTask task;
    ConnectionRegistry connections;
    std::stop_source stop;
    std::vector<LogRecord> lines;
    std::function<void(const LogRecord&)> on_line;

    explicit ExportHarness(int server = 1) {
        env.data_folder = data.path();
        env.log_listener = [this](const CTask&, const LogRecord& record) {
            lines.push_back(record);
            if (on_line) on_line(record);
        };
        task.name = "export";
        task.task_type = kTypeExport;
        task.log_name = "export.log";
        task.source = test::testServerSettings(server);
    }

    EngineResult run(const ExportRunSettings& settings = {}) {
        lines.clear();
        stop = std::stop_source();
        RunContext context(task, env, stop.get_token(), connections);
        return runExportTask(context, settings);
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const LogRecord& r : lines) out.push_back(std::to_string(r.level) + " " + r.text);
        return out;
    }

    bool logged(uint8_t level, const std::string& text) const {
        for (const LogRecord& r : lines) {
            if (r.level == level && r.text == text) return true;
        }
        return false;
    }
};

// ---- file path -----------------------------------------------------------

TEST(ExportFilePath, NamesTheFileInsideTheDirectory) {
    struct Case {
        std::string directory, database, table;
        int format;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"/exp/", "shop", "orders", kExportCsv, "/exp/shop_orders.csv"},
        {"/exp", "shop", "orders", kExportXml, "/exp/shop_orders.xml"},
        {"exp/", "shop", "orders", kExportHtml, "exp/shop_orders.html"},
        {"/exp/", "shop", "orders", kExportText, "/exp/shop_orders.txt"},
        {"/exp/", "shop", "orders", 0, "/exp/shop_orders.txt"},
        {"/exp/", "a/b", "../../etc/passwd", kExportCsv, "/exp/a_b_.._.._etc_passwd.csv"},
        {"/exp/", "..", ".", kExportCsv, "/exp/____.csv"},
        {"/exp/", std::string("n\0ul", 4), "t", kExportCsv, "/exp/n_ul_t.csv"},
        {"", "shop", "orders", kExportCsv, ""},
    };
    for (const Case& c : cases) {
        const std::string path = exportFilePath(c.directory, c.database, c.table, c.format);
        EXPECT_EQ(path, c.expected) << c.database << "." << c.table;
        if (!path.empty()) {
            EXPECT_EQ(fs::path(path).lexically_normal().parent_path(),
                      fs::path(c.directory + "/").lexically_normal().parent_path());
        }
    }
}

// ---- runs that end before any table --------------------------------------

TEST(ExportEngine, RunsThatEndEarly) {
    {
        ExportHarness h;
        h.task.export_options = exportOptions(kExportCsv, (h.data / "out/").string());
        EXPECT_EQ(h.run(), EngineResult::Failed);
        EXPECT_EQ(h.texts(), std::vector<std::string>{"2 There are not any tables or views to export!"});
    }
    {
        ExportHarness h;
        h.task.export_tables = {entry("db", "t")};
        h.task.export_options = exportOptions(kExportCsv, "");
        EXPECT_EQ(h.run(), EngineResult::Failed);
        EXPECT_EQ(h.texts(), std::vector<std::string>{"2 Export directory name is empty!"});
        EXPECT_TRUE(fs::is_directory(h.data / "Data"));
    }
    {
        // A port nobody listens on: the connection is refused.
        ExportHarness h;
        h.task.source.host = "127.0.0.1";
        h.task.source.port = 1;
        h.task.export_tables = {entry("db", "t")};
        h.task.export_options = exportOptions(kExportCsv, (h.data / "out").string());
        EXPECT_EQ(h.run(), EngineResult::Failed);
        ASSERT_EQ(h.lines.size(), 2u);
        EXPECT_EQ(h.texts()[0], "0 Connecting to the source MySQL server (127.0.0.1)... ");
        EXPECT_EQ(h.lines[1].level, kLogError);
        EXPECT_TRUE(h.lines[1].text.starts_with("Failed to connect to the MySQL server!  Error NO. 2002  "))
            << h.lines[1].text;
        EXPECT_TRUE(fs::is_directory(h.data / "out"));
        EXPECT_EQ(h.connections.size(), 0u);
    }
}

// ---- failures per entry --------------------------------------------------

class ExportServerTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const auto& [which, database] : drop_) runSql(which, "DROP DATABASE IF EXISTS " + database + ";");
    }
    // Runs the setup SQL and drops the databases after the test.
    void prepare(int which, const std::vector<std::string>& databases, const std::string& sql) {
        for (const std::string& d : databases) drop_.emplace_back(which, d);
        ASSERT_TRUE(runSql(which, sql));
    }

private:
    std::vector<std::pair<int, std::string>> drop_;
};

TEST_F(ExportServerTest, FailedEntriesAreSkippedAndNotCounted) {
    KEELVAULT_REQUIRE_SERVER(1);
    prepare(1, {"kv_ex_fail"},
            "DROP DATABASE IF EXISTS kv_ex_fail; CREATE DATABASE kv_ex_fail; USE kv_ex_fail;"
            "CREATE TABLE full_disk (id INT, v VARCHAR(10)); INSERT INTO full_disk VALUES (1, 'a'), (2, 'b');"
            "CREATE TABLE `a/b` (id INT, v VARCHAR(10)); INSERT INTO `a/b` VALUES (1, 'x y'), (2, NULL);"
            "CREATE VIEW v AS SELECT v, id FROM `a/b`;");
    ExportHarness h;
    const fs::path dir = h.data / "exports";
    fs::create_directories(dir);
    // The file of one entry cannot be created, the file of another sits on a full device.
    fs::create_directory(dir / "kv_ex_fail_blocked.csv");
    fs::create_symlink("/dev/full", dir / "kv_ex_fail_full_disk.csv");
    h.task.export_options = exportOptions(kExportCsv, dir.string());  // no trailing separator
    h.task.export_tables = {entry("kv_ex_nodb", "t"),       entry("kv_ex_fail", "missing"),
                            entry("kv_ex_fail", "blocked"), entry("kv_ex_fail", "full_disk"),
                            entry("kv_ex_fail", "a/b"),     entry("kv_ex_fail", "v", kKindView)};
    EXPECT_EQ(h.run(), EngineResult::Finished);

    const std::string d = dir.string() + "/";
    std::vector<std::string> texts = h.texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_TRUE(texts[1].starts_with("0 Connect to the MySQL server successfully!  MySQL version: ")) << texts[1];
    texts.erase(texts.begin() + 1);
    const std::vector<std::string> expected = {
        "0 Connecting to the source MySQL server (" + h.task.source.host + ")... ",
        "0 Exporting 6 selected tables and views...",
        "0 Exporting the table kv_ex_nodb.t to " + d + "kv_ex_nodb_t.csv ...",
        "2 Can't use database (kv_ex_nodb)!",
        "0 Exporting the table kv_ex_fail.missing to " + d + "kv_ex_fail_missing.csv ...",
        "1 Failed to list fields!",
        "0 Exporting the table kv_ex_fail.blocked to " + d + "kv_ex_fail_blocked.csv ...",
        "2 Failed to create the export file - " + d + "kv_ex_fail_blocked.csv!",
        "0 Exporting the table kv_ex_fail.full_disk to " + d + "kv_ex_fail_full_disk.csv ...",
        "2 Failed to write records to the file!",
        "0 Exporting the table kv_ex_fail.a/b to " + d + "kv_ex_fail_a_b.csv ...",
        "0 Exported 2 records from the table kv_ex_fail.a/b",
        "0 Exporting the view kv_ex_fail.v to " + d + "kv_ex_fail_v.csv ...",
        "0 Exported 2 records from the view kv_ex_fail.v",
        "0 Exported 2 tables and views",
    };
    EXPECT_EQ(texts, expected);

    EXPECT_FALSE(fs::exists(dir / "kv_ex_nodb_t.csv"));
    ASSERT_TRUE(fs::exists(dir / "kv_ex_fail_missing.csv"));
    EXPECT_EQ(fs::file_size(dir / "kv_ex_fail_missing.csv"), 0u);
    EXPECT_EQ(test::readFile(dir / "kv_ex_fail_a_b.csv"), "\"id\",\"v\"\r\n\"1\",\"x y\"\r\n\"2\",\"\"\r\n");
    EXPECT_EQ(test::readFile(dir / "kv_ex_fail_v.csv"), "\"v\",\"id\"\r\n\"x y\",\"1\"\r\n\"\",\"2\"\r\n");
    EXPECT_EQ(h.connections.size(), 0u);

    // Below 32306 the SELECT names a plain table bare; a name that cannot
    // stand bare is quoted all the same.
    h.task.export_tables = {entry("kv_ex_fail", "a/b"), entry("kv_ex_fail", "v")};
    EXPECT_EQ(h.run(ExportRunSettings{32305}), EngineResult::Finished);
    EXPECT_FALSE(h.logged(kLogWarning, "Failed to select all records!"));
    EXPECT_TRUE(h.logged(kLogInfo, "Exported 2 records from the table kv_ex_fail.a/b"));
    EXPECT_TRUE(h.logged(kLogInfo, "Exported 2 records from the table kv_ex_fail.v"));
    EXPECT_TRUE(h.logged(kLogInfo, "Exported 2 tables and views"));
}

TEST_F(ExportServerTest, StopIsHonouredBetweenEntriesAndRows) {
    KEELVAULT_REQUIRE_SERVER(1);
    prepare(1, {"kv_ex_stop"},
            "DROP DATABASE IF EXISTS kv_ex_stop; CREATE DATABASE kv_ex_stop; USE kv_ex_stop;"
            "CREATE TABLE kv_ex_stop.t (id INT, v VARCHAR(20));"
            "INSERT INTO kv_ex_stop.t SELECT seq, CONCAT('row ', seq) FROM seq_1_to_50000;");
    struct Case {
        std::string stop_at;  // the stop is requested when this line is logged
        size_t lines;         // lines logged in all
        bool file_exists;
    };
    const std::vector<Case> cases = {
        {"Exporting 2 selected tables and views...", 3, false},
        {"Exporting the table kv_ex_stop.t to ", 4, true},
    };
    for (const Case& c : cases) {
        ExportHarness h;
        const fs::path dir = h.data / "out";
        h.task.export_options = exportOptions(kExportCsv, dir.string() + "/");
        h.task.export_tables = {entry("kv_ex_stop", "t"), entry("kv_ex_stop", "t")};
        h.on_line = [&](const LogRecord& r) {
            if (r.text.starts_with(c.stop_at)) h.stop.request_stop();
        };
        EXPECT_EQ(h.run(), EngineResult::Canceled) << c.stop_at;
        EXPECT_EQ(h.lines.size(), c.lines) << c.stop_at;
        EXPECT_FALSE(h.logged(kLogInfo, "Exported 0 tables and views")) << c.stop_at;
        EXPECT_EQ(fs::exists(dir / "kv_ex_stop_t.csv"), c.file_exists) << c.stop_at;
        if (c.file_exists) {
            EXPECT_EQ(test::readFile(dir / "kv_ex_stop_t.csv"), "\"id\",\"v\"\r\n");
        }
        EXPECT_EQ(h.connections.size(), 0u);
    }
}

// ---- the sample database in every format ---------------------------------

TEST_F(ExportServerTest, SakilaInEveryFormat) {
    KEELVAULT_REQUIRE_SERVER(2);
    const std::vector<std::pair<std::string, std::string>> rename = {{"sakila", "kv_ex_sakila"}};
    prepare(2, {"kv_ex_sakila"},
            withNames(test::sakilaSql("schema"), rename) + withNames(test::sakilaSql("data"), rename));
    if (HasFatalFailure()) return;

    const std::vector<CTableItem> tables = {
        entry("kv_ex_sakila", "actor"),
        entry("kv_ex_sakila", "category"),
        entry("kv_ex_sakila", "film"),
        entry("kv_ex_sakila", "film_actor"),
        entry("kv_ex_sakila", "film_text"),
        entry("kv_ex_sakila", "customer"),
        entry("kv_ex_sakila", "payment"),
        entry("kv_ex_sakila", "rental"),
        entry("kv_ex_sakila", "language"),
        entry("kv_ex_sakila", "customer_list", kKindView),
        entry("kv_ex_sakila", "film_list", kKindView),
    };
    std::map<std::string, size_t> rows;
    std::map<std::string, size_t> columns;
    for (const CTableItem& t : tables) {
        rows[t.table] = std::stoul(queryValue(2, "SELECT COUNT(*) FROM kv_ex_sakila." + t.table));
        columns[t.table] =
            std::stoul(queryValue(2,
                                  "SELECT COUNT(*) FROM information_schema.columns WHERE table_schema = 'kv_ex_sakila' "
                                  "AND table_name = '" +
                                      t.table + "'"));
    }

    ExportHarness h(2);
    h.task.export_tables = tables;
    for (uint8_t format : {kExportCsv, kExportXml, kExportHtml, kExportText}) {
        SCOPED_TRACE(static_cast<int>(format));
        const fs::path dir = h.data / ("out" + std::to_string(format)) / "";
        h.task.export_options = exportOptions(format, dir.string());
        ASSERT_EQ(h.run(), EngineResult::Finished);
        EXPECT_TRUE(h.logged(kLogInfo, "Exported 11 tables and views"));
        for (const CTableItem& t : tables) {
            SCOPED_TRACE(t.table);
            const std::string kind = t.kind == kKindView ? "view" : "table";
            EXPECT_TRUE(h.logged(kLogInfo, "Exported " + std::to_string(rows[t.table]) + " records from the " + kind +
                                               " kv_ex_sakila." + t.table));
            const fs::path file = exportFilePath(dir.string(), t.database, t.table, format);
            const std::string text = test::readFile(file);
            if (format == kExportXml && t.table == "customer_list") {
                // Its column "zip code" cannot be an attribute name, so no parser reads the file.
                EXPECT_EQ(countOf(text, "<ROW "), rows[t.table]);
            } else if (format == kExportXml) {
                const XmlDocument doc = parseXml(file);
                ASSERT_TRUE(doc.parsed) << doc.error;
                EXPECT_EQ(doc.rows.size(), rows[t.table]);
                EXPECT_EQ(doc.fields.size(), columns[t.table]);
                if (t.table == "actor") {
                    EXPECT_EQ(doc.fields, (std::vector<std::string>{"actor_id:SmallInt", "first_name:Varchar",
                                                                    "last_name:Varchar", "last_update:TimeStamp"}));
                    EXPECT_EQ(doc.rows[0],
                              (std::vector<std::string>{"1", "PENELOPE", "GUINESS", "2006-02-15 04:34:33"}));
                }
            } else if (format == kExportHtml) {
                EXPECT_EQ(countOf(text, "<tr>\r\n"), rows[t.table] + 1);
                EXPECT_TRUE(text.ends_with("</tr>\r\n</table></body></html>\r\n"));
            } else {
                EXPECT_EQ(countOf(text, "\r\n"), rows[t.table] + 1);
            }
        }
    }

    // Tables without NULLs or padded values come back whole from the CSV files.
    const fs::path csv_dir = h.data / "out1";
    for (const std::string table : {"actor", "category", "film_actor"}) {
        const std::string copy = "kv_ex_sakila." + table + "_copy";
        ASSERT_TRUE(loadCsvInto(2, exportFilePath(csv_dir.string(), "kv_ex_sakila", table, kExportCsv),
                                "kv_ex_sakila." + table, copy));
        EXPECT_EQ(checksum(2, copy), checksum(2, "kv_ex_sakila." + table)) << table;
    }
    const std::string actor_csv = test::readFile(csv_dir / "kv_ex_sakila_actor.csv");
    EXPECT_TRUE(
        actor_csv.starts_with("\"actor_id\",\"first_name\",\"last_name\",\"last_update\"\r\n"
                              "\"1\",\"PENELOPE\",\"GUINESS\",\"2006-02-15 04:34:33\"\r\n"));
}

// ---- hard values -------------------------------------------------------

const std::vector<std::pair<std::string, std::string>> kHardRenames = {{"kv_hard", "kv_ex_hard"},
                                                                       {"kv_latin1", "kv_ex_latin1"}};

TEST_F(ExportServerTest, HardValuesInEveryFormat) {
    KEELVAULT_REQUIRE_SERVER(1);
    const fs::path fixture = fs::path(KEELVAULT_SOURCE_DIR) / "tests/fixtures/hard_values.sql";
    ASSERT_TRUE(fs::exists(fixture));
    prepare(
        1, {"kv_ex_hard", "kv_ex_latin1"},
        withNames(test::readFile(fixture), kHardRenames) +
            // Every character the escaping touches, in a table without NULLs or padding.
            "USE kv_ex_hard; CREATE TABLE roundtrip (id INT PRIMARY KEY, s VARCHAR(100) NOT NULL,"
            " t TEXT NOT NULL, b VARBINARY(20) NOT NULL, d DECIMAL(12,3) NOT NULL, dt DATETIME NOT NULL,"
            " e ENUM('x', 'y z') NOT NULL) DEFAULT CHARSET=utf8mb4;"
            "INSERT INTO roundtrip VALUES"
            " (1, 'O''Brien, \"quoted\"', 'line1\\nline2\\r\\ntab\\there \\\\ back \\Z end',"
            "  x'5C0027228041FF0A42', -12.5, '2024-02-29 23:59:59', 'y z'),"
            " (2, 'Emoji \xF0\x9F\x98\x80 \xE6\xBC\xA2\xE5\xAD\x97', 'a,b;c', x'41', 0, '1999-01-01 00:00:00', 'x'),"
            " (3, '&amp; <tag>', 'x\\0y', x'00', 1000000.001, '2000-01-01 12:00:00', 'x');");
    if (HasFatalFailure()) return;

    const std::vector<std::string> hard_tables = {"nulls",    "integers", "numbers", "bits",        "temporals",
                                                  "binaries", "texts",    "shapes",  "odd name",    "back`quote",
                                                  "it's",     "pct%_x",   "rows25",  "empty_table", "roundtrip"};
    std::vector<CTableItem> list;
    for (const std::string& t : hard_tables) list.push_back(entry("kv_ex_hard", t));
    list.push_back(entry("kv_ex_hard", "v_base", kKindView));
    list.push_back(entry("kv_ex_hard", "v odd`view", kKindView));
    list.push_back(entry("kv_ex_latin1", "wide"));
    list.push_back(entry("kv_ex_latin1", "narrow"));

    ExportHarness h;
    h.task.export_tables = list;
    for (uint8_t format : {kExportCsv, kExportXml, kExportHtml, kExportText}) {
        h.task.export_options = exportOptions(format, (h.data / ("out" + std::to_string(format))).string());
        ASSERT_EQ(h.run(), EngineResult::Finished) << int(format);
        EXPECT_TRUE(h.logged(kLogInfo, "Exported 19 tables and views")) << int(format);
        EXPECT_TRUE(h.logged(kLogInfo, "Exported 0 records from the table kv_ex_hard.empty_table")) << int(format);
        EXPECT_TRUE(h.logged(kLogInfo, "Exported 2 records from the view kv_ex_hard.v odd`view")) << int(format);
    }
    const auto csv = [&](const std::string& database, const std::string& table) {
        return test::readFile(exportFilePath((h.data / "out1").string(), database, table, kExportCsv));
    };

    EXPECT_EQ(csv("kv_ex_hard", "nulls"),
              "\"id\",\"v\",\"c\",\"b\",\"i\"\r\n"
              "\"1\",\"\",\"\",\"\",\"\"\r\n"
              "\"2\",\"\",\"\",\"\",\"0\"\r\n"
              "\"3\",\"\",\"\",\"\",\"-1\"\r\n"
              "\"4\",\"null\",\"\",\"\\0\",\"1\"\r\n");
    EXPECT_EQ(csv("kv_ex_hard", "texts"),
              "\"id\",\"l1\",\"u8\",\"t\",\"e\",\"s\",\"j\"\r\n"
              "\"1\",\"Caf\xC3\xA9 cr\xC3\xA8me \xC3\xA0 Z\xC3\xBCrich \xC3\x9F \xC3\xBF\","
              "\"Emoji \xF0\x9F\x98\x80 clef \xF0\x9D\x84\x9E CJK \xE6\xBC\xA2\xE5\xAD\x97\","
              "\"a\\r\\nb\tc\\'d\\\\e;f\\\"g\",\"a\",\"x,z\",\"{\\\"k\\\": \\\"v\\\\\\\"q\\\", \\\"n\\\": [1, 2]}\"\r\n"
              "\"2\",\"O\\'Brien\",\"O\\'Brien\",\";\\n;\\r;\",\"b\\'c\",\"\",\"[]\"\r\n"
              "\"3\",\"lead and trail\",\"\",\"\\\\\",\"d e\",\"y\",\"\"\r\n"
              "\"4\",\"\\'\",\"`\",\"x\\0y\",\"\",\"\",\"\"\r\n"
              "\"5\",\";\",\"-- not a comment\",\"/* nor this */ */\",\"\",\"\",\"\"\r\n");
    // A latin1 database holding 4-byte text: read through utf8mb4, nothing becomes '?'.
    EXPECT_EQ(csv("kv_ex_latin1", "wide"),
              "\"id\",\"s\"\r\n\"1\",\"Emoji \xF0\x9F\x98\x80 and \xF0\x9D\x84\x9E\"\r\n"
              "\"2\",\"\xE6\xBC\xA2\xE5\xAD\x97 und \xC3\x9Cmlaut\"\r\n\"3\",\"plain\"\r\n");
    EXPECT_EQ(csv("kv_ex_hard", "empty_table"), "\"id\",\"v\"\r\n");
    EXPECT_EQ(test::readFile(h.data / "out2" / "kv_ex_hard_empty_table.xml"),
              test::kXmlHead + test::xmlField("id", "Integer") + test::xmlField("v", "Varchar") + test::kXmlFieldsEnd +
                  test::kXmlEnd);
    EXPECT_NE(test::readFile(h.data / "out2" / "kv_ex_hard_shapes.xml").find("FieldType=\"Geometry\""),
              std::string::npos);

    // Every XML file whose column names can be attribute names and whose
    // values are text reads back with a real parser.
    for (const auto& [database, table] : std::vector<std::pair<std::string, std::string>>{{"kv_ex_hard", "nulls"},
                                                                                          {"kv_ex_hard", "integers"},
                                                                                          {"kv_ex_hard", "numbers"},
                                                                                          {"kv_ex_hard", "temporals"},
                                                                                          {"kv_ex_hard", "texts"},
                                                                                          {"kv_ex_hard", "back`quote"},
                                                                                          {"kv_ex_hard", "it's"},
                                                                                          {"kv_ex_hard", "pct%_x"},
                                                                                          {"kv_ex_hard", "rows25"},
                                                                                          {"kv_ex_hard", "empty_table"},
                                                                                          {"kv_ex_hard", "v_base"},
                                                                                          {"kv_ex_latin1", "wide"},
                                                                                          {"kv_ex_latin1", "narrow"}}) {
        const XmlDocument doc = parseXml(exportFilePath((h.data / "out2").string(), database, table, kExportXml));
        ASSERT_TRUE(doc.parsed) << table << ": " << doc.error;
        if (table == "texts") {
            ASSERT_EQ(doc.rows.size(), 5u);
            // The parser folds the tab of an attribute into a blank.
            EXPECT_EQ(doc.rows[0][3], "a\\r\\nb c\\'d\\\\e;f\\\"g");
            EXPECT_EQ(doc.rows[0][6], "{\\\"k\\\": \\\"v\\\\\\\"q\\\", \\\"n\\\": [1, 2]}");
            EXPECT_EQ(doc.rows[0][2], "Emoji \xF0\x9F\x98\x80 clef \xF0\x9D\x84\x9E CJK \xE6\xBC\xA2\xE5\xAD\x97");
        }
        if (table == "rows25") {
            EXPECT_EQ(doc.rows.size(), 25u);
        }
    }
    const std::string html = test::readFile(h.data / "out3" / "kv_ex_hard_roundtrip.html");
    EXPECT_NE(html.find(test::htmlCell("&amp;&nbsp;&lt;tag&gt;")), std::string::npos);

    // The CSV of the table without NULLs loads back to the same checksum.
    ASSERT_TRUE(loadCsvInto(1, h.data / "out1" / "kv_ex_hard_roundtrip.csv", "kv_ex_hard.roundtrip",
                            "kv_ex_hard.roundtrip_copy"));
    EXPECT_EQ(checksum(1, "kv_ex_hard.roundtrip_copy"), checksum(1, "kv_ex_hard.roundtrip"));
    EXPECT_EQ(queryValue(1, "SELECT COUNT(*) FROM kv_ex_hard.roundtrip_copy"), "3");
}

// ---- end to end through the command-line program ------------------------

TEST_F(ExportServerTest, CommandLineRunWritesEachFormat) {
    KEELVAULT_REQUIRE_SERVER(1);
    prepare(1, {"kv_ex_cli"},
            "DROP DATABASE IF EXISTS kv_ex_cli; CREATE DATABASE kv_ex_cli;"
            "CREATE TABLE kv_ex_cli.items (id INT, name VARCHAR(20), note VARCHAR(20) NULL);"
            "INSERT INTO kv_ex_cli.items VALUES (1, 'a&b <c>', NULL), (2, 'O''Neil', 'x \"y\"');");
    test::ScopedDataHome home;
    const fs::path out = home.dataFolder() / "exports";  // created by the run
    CTaskList list;
    const std::vector<std::pair<std::string, uint8_t>> formats = {
        {"csv", kExportCsv}, {"xml", kExportXml}, {"html", kExportHtml}, {"text", kExportText}};
    for (const auto& [name, format] : formats) {
        CTask task;
        task.name = "export " + name;
        task.task_type = kTypeExport;
        task.log_name = name + ".log";
        task.source = test::testServerSettings(1);
        task.export_options = exportOptions(format, out.string() + "/");
        if (format == kExportText) {
            task.export_options.fields_terminated_by = "\t";
            task.export_options.fields_enclosed_by = "";
            task.export_options.lines_terminated_by = "\n";
        }
        task.export_tables = {entry("kv_ex_cli", "items")};
        list.append(task);
    }
    fs::create_directories(home.dataFolder());
    ASSERT_TRUE(saveTaskList(home.dataFolder() / "tasks_pro.tsk", list));

    for (const auto& [name, format] : formats) {
        int status = 0;
        const std::string printed =
            commandOutput(std::string(KEELVAULT_CLI_PATH) + " run 'export " + name + "' 2>&1", status);
        EXPECT_EQ(status, 0) << printed;
        EXPECT_NE(printed.find("Exported 2 records from the table kv_ex_cli.items"), std::string::npos) << printed;
        EXPECT_NE(printed.find("Finished"), std::string::npos) << printed;
    }
    EXPECT_EQ(test::readFile(out / "kv_ex_cli_items.csv"),
              "\"id\",\"name\",\"note\"\r\n\"1\",\"a&b <c>\",\"\"\r\n\"2\",\"O\\'Neil\",\"x \\\"y\\\"\"\r\n");
    EXPECT_EQ(test::readFile(out / "kv_ex_cli_items.txt"), "id\tname\tnote\n1\ta&b <c>\t\n2\tO\\'Neil\tx \\\"y\\\"\n");
    EXPECT_EQ(test::readFile(out / "kv_ex_cli_items.xml"),
              test::kXmlHead + test::xmlField("id", "Integer") + test::xmlField("name", "Varchar") +
                  test::xmlField("note", "Varchar") + test::kXmlFieldsEnd +
                  "<ROW id=\"1\" name=\"a&amp;b &lt;c&gt;\" note=\"\"/>\r\n"
                  "<ROW id=\"2\" name=\"O\\'Neil\" note=\"x \\&quot;y\\&quot;\"/>\r\n" +
                  test::kXmlEnd);
    EXPECT_EQ(test::readFile(out / "kv_ex_cli_items.html"),
              test::kHtmlHead + test::htmlHeadCell("id") + test::htmlHeadCell("name") + test::htmlHeadCell("note") +
                  "</tr>\r\n<tr>\r\n" + test::htmlCell("1") + test::htmlCell("a&amp;b&nbsp;&lt;c&gt;") +
                  test::htmlCell("&nbsp;") + "</tr>\r\n<tr>\r\n" + test::htmlCell("2") + test::htmlCell("O\\'Neil") +
                  test::htmlCell("x&nbsp;\\\"y\\\"") + "</tr>\r\n" + test::kHtmlEnd);
    EXPECT_TRUE(fs::is_directory(home.dataFolder() / "Data"));
}

}  // namespace
}  // namespace keelvault
