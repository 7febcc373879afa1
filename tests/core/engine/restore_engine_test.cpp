#include "core/engine/restore_engine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/engine/sql_quote.h"
#include "core/model/task_list_file.h"
#include "script_engine_harness.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;
using test::EngineHarness;
using test::restoreEntry;

std::set<std::string> folderEntries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

bool anyLineContains(const EngineHarness& h, const std::string& part) {
    for (const std::string& line : h.texts()) {
        if (line.find(part) != std::string::npos) return true;
    }
    return false;
}

EngineResult restore(RunContext& context) {
    return runRestoreFromFiles(context);
}

// Fails every read.
class UnreadableFile : public SqlFileReader {
protected:
    ssize_t readAt(uint64_t, char*, size_t) override { return -1; }
};

TEST(RestoreEngine, ErrorPolicyAcrossTwoFiles) {
    KEELVAULT_REQUIRE_SERVER(2);
    auto admin = test::connectTo(2);
    test::execOrFail(*admin, "DROP DATABASE IF EXISTS kv_rs_policy");
    test::execOrFail(*admin, "CREATE DATABASE kv_rs_policy");
    test::execOrFail(*admin, "CREATE TABLE kv_rs_policy.t (id INT PRIMARY KEY)");

    test::TempDir files;
    const fs::path one = files / "one.sql";
    const fs::path two = files / "two.sql.gz";
    const fs::path broken = files / "broken.sql.gz";
    // The second 1 fails on the duplicate key.
    test::writeFile(one,
                    "-- first file\n"
                    "INSERT INTO kv_rs_policy.t VALUES (1);\n"
                    "INSERT INTO kv_rs_policy.t VALUES (1);\n"
                    "INSERT INTO kv_rs_policy.t VALUES (4);\n"
                    "INSERT INTO kv_rs_policy.t VALUES (2);\n");
    test::writeGzipFile(two, "INSERT INTO kv_rs_policy.t VALUES (3);\n");
    test::writeGzipFile(broken, std::string(100000, 'x'));
    const std::string broken_bytes = test::readFile(broken);
    test::writeFile(broken, broken_bytes.substr(0, broken_bytes.size() / 2));

    enum Scenario { SqlError, MissingFile, Unreadable, BadGzip };
    struct Case {
        Scenario scenario;
        uint8_t sql_flag, file_flag;
        CBufferOptions buffer;
        std::string rows;
        EngineResult result;
        std::string error;  // the one error line expected
    };
    const std::string sql_error = "Failed to execute the SQL statement: INSERT INTO kv_rs_policy.t VALUES (1)";
    const std::string open_error = "Failed to open the file!";
    const std::string read_error = "Failed to get some SQL statement from the file!";
    const std::string gzip_error = "Failed to uncompress the GZIP file! Error No: 105, File: " + broken.string();
    const std::vector<Case> cases = {
        {SqlError, 1, 0, {0, 100}, "1,2,3,4", EngineResult::Finished, sql_error},
        {SqlError, 1, 1, {2, 100}, "1,2,3,4", EngineResult::Finished, sql_error},
        // The rest of the first file is still read and sent; the second file is not opened.
        {SqlError, 0, 1, {0, 100}, "1,2,4", EngineResult::Failed, sql_error},
        {SqlError, 0, 0, {0, 100}, "1,2,4", EngineResult::Failed, sql_error},
        // Only the rest of the failing batch is skipped.
        {SqlError, 0, 1, {1, 3}, "1,2", EngineResult::Failed, sql_error},
        {SqlError, 0, 0, {2, 100}, "1", EngineResult::Failed, sql_error},
        {MissingFile, 0, 1, {0, 100}, "3", EngineResult::Finished, open_error},
        {MissingFile, 1, 0, {0, 100}, "", EngineResult::Failed, open_error},
        {Unreadable, 0, 1, {0, 100}, "3", EngineResult::Finished, read_error},
        {Unreadable, 1, 0, {0, 100}, "", EngineResult::Failed, read_error},
        // A file that cannot be unpacked is passed over whatever the FILE flag says.
        {BadGzip, 0, 0, {0, 100}, "3", EngineResult::Finished, gzip_error},
        {BadGzip, 1, 1, {1, 2}, "3", EngineResult::Finished, gzip_error},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("scenario " + std::to_string(c.scenario) + " sql " + std::to_string(c.sql_flag) + " file " +
                     std::to_string(c.file_flag) + " mode " + std::to_string(c.buffer.mode));
        test::execOrFail(*admin, "DELETE FROM kv_rs_policy.t");
        EngineHarness h;
        h.task.task_type = kTypeRestoreFromFiles;
        h.task.destination = test::testServerSettings(2);
        h.task.restore_options = {c.sql_flag, c.file_flag};
        h.task.buffer_options = c.buffer;
        const fs::path first = c.scenario == MissingFile ? files / "missing.sql" : c.scenario == BadGzip ? broken : one;
        h.task.restore_files = {restoreEntry(2, files / "ignored.sql"), restoreEntry(c.scenario == BadGzip ? 1 : 0, first),
                                restoreEntry(1, two)};
        int readers = 0;
        SqlFileReaderFactory factory = [&]() -> std::unique_ptr<SqlFileReader> {
            if (c.scenario == Unreadable && readers++ == 0) return std::make_unique<UnreadableFile>();
            return std::make_unique<SqlFileReader>();
        };
        EXPECT_EQ(h.run([&](RunContext& context) { return runRestoreFromFiles(context, factory); }), c.result);

        EXPECT_EQ(test::queryRows(*admin, "SELECT IFNULL(GROUP_CONCAT(id ORDER BY id), '') FROM kv_rs_policy.t"),
                  std::vector<std::string>{c.rows});
        EXPECT_EQ(h.texts(kLogError), std::vector<std::string>{c.error});
        EXPECT_TRUE(h.logged("Restoring MySQL databases by SQL/GZIP files: 3 files"));
        EXPECT_TRUE(h.logged("Restoring...  " + first.string()));
        // The second file is reached exactly when the run was not stopped.
        EXPECT_EQ(h.logged("Restoring...  " + two.string()), c.result == EngineResult::Finished);
        EXPECT_FALSE(anyLineContains(h, "ignored.sql"));
        EXPECT_EQ(folderEntries(files.path()), (std::set<std::string>{"one.sql", "two.sql.gz", "broken.sql.gz"}));
    }
    test::execOrFail(*admin, "DROP DATABASE kv_rs_policy");
}

TEST(RestoreEngine, GzipEntryIsReplayedFromAFileOfItsOwnAndDeleted) {
    KEELVAULT_REQUIRE_SERVER(2);
    auto admin = test::connectTo(2);
    test::execOrFail(*admin, "DROP DATABASE IF EXISTS kv_rs_gz");

    test::TempDir files;
    test::writeGzipFile(files / "backup.sql.gz",
                        "CREATE DATABASE kv_rs_gz;\r\n"
                        "CREATE TABLE kv_rs_gz.t (id INT);\r\n"
                        "INSERT INTO kv_rs_gz.t VALUES (5);\r\n"
                        ";\r\n");  // a lone ';' is not sent
    // The user's own file of the name the unpacked file would get.
    const std::string own = "INSERT INTO kv_rs_gz.t VALUES (99);\n";
    test::writeFile(files / "backup.sql", own);

    EngineHarness h;
    h.task.task_type = kTypeRestoreFromFiles;
    h.task.destination = test::testServerSettings(2);
    h.task.restore_options = {0, 0};
    h.task.restore_files = {restoreEntry(1, files / "backup.sql.gz")};
    std::set<std::string> during;
    h.env.log_listener = [&](const CTask&, const LogRecord&) { during.merge(folderEntries(files.path())); };
    EXPECT_EQ(h.run(restore), EngineResult::Finished);

    const std::vector<std::string> expected = {
        "Connecting to the destination MySQL server (" + h.task.destination.host + ")... ",
        connectSucceededLogText(admin->versionText()),
        "Restoring MySQL databases by SQL/GZIP files: 1 files",
        "Restoring...  " + (files / "backup.sql.gz").string(),
    };
    EXPECT_EQ(h.texts(), expected);
    EXPECT_EQ(test::queryRows(*admin, "SELECT id FROM kv_rs_gz.t"), std::vector<std::string>{"5"});
    EXPECT_EQ(test::readFile(files / "backup.sql"), own);
    EXPECT_EQ(folderEntries(files.path()), (std::set<std::string>{"backup.sql", "backup.sql.gz"}));

    // Without a file in the way the unpacked file is backup.sql, and it goes too.
    fs::remove(files / "backup.sql");
    test::execOrFail(*admin, "DROP DATABASE kv_rs_gz");
    during.clear();
    h.clearLog();
    h.env.log_listener = [&](const CTask&, const LogRecord&) { during.merge(folderEntries(files.path())); };
    EXPECT_EQ(h.run(restore), EngineResult::Finished);
    EXPECT_EQ(folderEntries(files.path()), std::set<std::string>{"backup.sql.gz"});
    EXPECT_EQ(test::queryRows(*admin, "SELECT id FROM kv_rs_gz.t"), std::vector<std::string>{"5"});
    test::execOrFail(*admin, "DROP DATABASE kv_rs_gz");
}

TEST(RestoreEngine, CancelDeletesTheUnpackedFile) {
    KEELVAULT_REQUIRE_SERVER(2);
    auto admin = test::connectTo(2);
    test::execOrFail(*admin, "DROP DATABASE IF EXISTS kv_rs_cancel");
    test::execOrFail(*admin, "CREATE DATABASE kv_rs_cancel");
    test::execOrFail(*admin, "CREATE TABLE kv_rs_cancel.t (id INT PRIMARY KEY)");

    test::TempDir files;
    test::writeGzipFile(files / "dump.sql.gz",
                        "INSERT INTO kv_rs_cancel.t VALUES (1);\n"
                        "INSERT INTO kv_rs_cancel.t VALUES (1);\n"
                        "INSERT INTO kv_rs_cancel.t VALUES (2);\n");
    // Stop when the entry starts (seen right after unpacking) or at the failing statement.
    for (const std::string trigger : {"Restoring...  ", "Failed to execute"}) {
        SCOPED_TRACE(trigger);
        test::execOrFail(*admin, "DELETE FROM kv_rs_cancel.t");
        EngineHarness h;
        h.task.destination = test::testServerSettings(2);
        h.task.restore_files = {restoreEntry(1, files / "dump.sql.gz"), restoreEntry(0, files / "never.sql")};
        h.env.log_listener = [&](const CTask&, const LogRecord& record) {
            if (record.text.starts_with(trigger)) h.stop.request_stop();
        };
        EXPECT_EQ(h.run(restore), EngineResult::Canceled);
        EXPECT_EQ(folderEntries(files.path()), std::set<std::string>{"dump.sql.gz"});
        EXPECT_FALSE(anyLineContains(h, "never.sql"));
        const std::string rows = trigger == "Restoring...  " ? "" : "1";
        EXPECT_EQ(test::queryRows(*admin, "SELECT IFNULL(GROUP_CONCAT(id), '') FROM kv_rs_cancel.t"),
                  std::vector<std::string>{rows});
    }
    test::execOrFail(*admin, "DROP DATABASE kv_rs_cancel");
}

// Thousands of rows, a duplicate among them and a stop when its failure is
// logged: everything before the failing row is kept exactly once, nothing
// after it is applied, whichever batch the rows were sent in.
TEST(RestoreEngine, StopAtAFailureInALongFileKeepsExactlyTheRowsBefore) {
    KEELVAULT_REQUIRE_SERVER(2);
    auto admin = test::connectTo(2);
    test::execOrFail(*admin, "DROP DATABASE IF EXISTS kv_rs_long");
    test::execOrFail(*admin, "CREATE DATABASE kv_rs_long");
    test::TempDir files;
    std::string text = "USE kv_rs_long;\nLOCK TABLES t WRITE;\n";
    for (int id = 1; id <= 5000; ++id) {
        // Row 2500 repeats row 1.
        text += "INSERT INTO t VALUES (" + std::to_string(id == 2500 ? 1 : id) + ",'row');\n";
    }
    text += "UNLOCK TABLES;\n";
    test::writeFile(files / "long.sql", text);

    for (const char* engine : {"InnoDB", "MyISAM"}) {
        for (const CBufferOptions buffer : {CBufferOptions{0, 0}, CBufferOptions{1, 700}}) {
            SCOPED_TRACE(std::string(engine) + " mode " + std::to_string(buffer.mode));
            test::execOrFail(*admin, "DROP TABLE IF EXISTS kv_rs_long.t");
            test::execOrFail(*admin, std::string("CREATE TABLE kv_rs_long.t (id INT PRIMARY KEY, v VARCHAR(8)) ENGINE=") +
                                         engine);
            EngineHarness h;
            h.task.destination = test::testServerSettings(2);
            h.task.restore_options = {1, 0};
            h.task.buffer_options = buffer;
            h.task.restore_files = {restoreEntry(0, files / "long.sql")};
            h.env.log_listener = [&](const CTask&, const LogRecord& record) {
                if (record.text.starts_with("Failed to execute")) h.stop.request_stop();
            };
            EXPECT_EQ(h.run(restore), EngineResult::Canceled);
            EXPECT_EQ(h.texts(kLogError),
                      std::vector<std::string>{"Failed to execute the SQL statement: INSERT INTO t VALUES (1,'row')"});
            EXPECT_EQ(test::queryRows(*admin, "SELECT CONCAT(COUNT(*), '/', MAX(id)) FROM kv_rs_long.t"),
                      std::vector<std::string>{"2499/2499"});
        }
    }
    test::execOrFail(*admin, "DROP DATABASE kv_rs_long");
}

TEST(RestoreEngine, NothingToDoAndRefusedConnection) {
    EngineHarness empty;
    EXPECT_EQ(empty.run(restore), EngineResult::Failed);
    EXPECT_EQ(empty.texts(kLogError), std::vector<std::string>{"There are not any files to restore!"});
    EXPECT_EQ(empty.texts().size(), 1u);

    EngineHarness refused;
    refused.task.destination.host = "127.0.0.1";
    refused.task.destination.port = 1;
    refused.task.restore_files = {restoreEntry(0, refused.dir / "a.sql")};
    EXPECT_EQ(refused.run(restore), EngineResult::Failed);
    const std::vector<std::string> lines = refused.texts();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Connecting to the destination MySQL server (127.0.0.1)... ");
    EXPECT_TRUE(lines[1].starts_with("Failed to connect to the MySQL server!  Error NO. 2002  ")) << lines[1];
}

// Dumps made by the standard dump tool keep their character set settings in
// executable comments; the restore must honour them.
TEST(RestoreEngine, StandardDumpsOfUtf8mb4AndLatin1TextRestoreIdentically) {
    KEELVAULT_REQUIRE_SERVER(1);
    KEELVAULT_REQUIRE_SERVER(2);
    auto source = test::connectTo(1);
    const std::string four_byte_text = "😀 grin, 𝄞 clef, 中文, Ωmega, it's a \\ \"quote\"\nsecond line";
    for (const char* sql : {
             "DROP DATABASE IF EXISTS kv_rs_utf8",
             "DROP DATABASE IF EXISTS kv_rs_latin",
             "CREATE DATABASE kv_rs_utf8 DEFAULT CHARACTER SET utf8mb4",
             "CREATE TABLE kv_rs_utf8.u (id INT PRIMARY KEY, s VARCHAR(60), t TEXT, b VARBINARY(8), "
             "ts TIMESTAMP NULL) DEFAULT CHARSET=utf8mb4",
             "CREATE DATABASE kv_rs_latin DEFAULT CHARACTER SET latin1",
             "CREATE TABLE kv_rs_latin.l (id INT PRIMARY KEY, s VARCHAR(60)) DEFAULT CHARSET=latin1",
             "INSERT INTO kv_rs_latin.l VALUES (1, 'Crème brûlée'), (2, 'Straße'), (3, 'naïve façade')",
         }) {
        test::execOrFail(*source, sql);
    }
    test::execOrFail(*source, "INSERT INTO kv_rs_utf8.u VALUES (1, '𠜎𠜱 ok', '" + escapeStringLiteral(four_byte_text) +
                                  "', 0x00FF0D0A27, '2024-03-31 02:30:00'), (2, '', NULL, '', NULL)");

    test::TempDir files;
    const fs::path utf8_dump = files / "utf8.sql";
    const fs::path latin_dump = files / "latin.sql";
    ASSERT_EQ(test::shell(test::toolCommand("mariadb-dump", 1) + " --databases kv_rs_utf8 > '" + utf8_dump.string() + "'"), 0);
    ASSERT_EQ(test::shell(test::toolCommand("mariadb-dump", 1) +
                          " --default-character-set=latin1 --databases kv_rs_latin > '" + latin_dump.string() + "'"),
              0);
    test::writeGzipFile(files / "utf8.sql.gz", test::readFile(utf8_dump));

    // The destination server's default character set is latin1; so is the database made in advance.
    auto destination = test::connectTo(2);
    test::execOrFail(*destination, "DROP DATABASE IF EXISTS kv_rs_utf8");
    test::execOrFail(*destination, "DROP DATABASE IF EXISTS kv_rs_latin");
    test::execOrFail(*destination, "CREATE DATABASE kv_rs_utf8 DEFAULT CHARACTER SET latin1");

    EngineHarness h;
    h.task.destination = test::testServerSettings(2);
    h.task.restore_options = {0, 0};
    h.task.restore_files = {restoreEntry(1, files / "utf8.sql.gz"), restoreEntry(0, latin_dump)};
    EXPECT_EQ(h.run(restore), EngineResult::Finished);
    EXPECT_EQ(h.texts(kLogError), std::vector<std::string>{});

    EXPECT_EQ(test::tableChecksums(2, "kv_rs_utf8"), test::tableChecksums(1, "kv_rs_utf8"));
    EXPECT_EQ(test::tableChecksums(2, "kv_rs_latin"), test::tableChecksums(1, "kv_rs_latin"));
    EXPECT_EQ(test::queryRows(*destination, "SELECT t FROM kv_rs_utf8.u WHERE id = 1"),
              std::vector<std::string>{four_byte_text});
    EXPECT_EQ(test::queryRows(*destination, "SELECT s FROM kv_rs_latin.l WHERE id = 2"),
              std::vector<std::string>{"Straße"});
    EXPECT_EQ(test::queryRows(*destination, "SELECT ts FROM kv_rs_utf8.u WHERE id = 1"),
              test::queryRows(*source, "SELECT ts FROM kv_rs_utf8.u WHERE id = 1"));
    for (auto* session : {source.get(), destination.get()}) {
        test::execOrFail(*session, "DROP DATABASE kv_rs_utf8");
        test::execOrFail(*session, "DROP DATABASE kv_rs_latin");
    }
}

}  // namespace
}  // namespace keelvault
