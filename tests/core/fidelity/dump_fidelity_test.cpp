// What a backup, a copy or a restore gives back must be what was there:
// every table, row and schema object, with names, hidden columns, time
// zones and large rows intact; and a standard dump must replay as the
// mariadb client replays it.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/engine/backup_test_harness.h"
#include "core/engine/restore_engine.h"
#include "core/engine/schema_compare.h"
#include "core/engine/script_engine_harness.h"
#include "core/engine/server_copy_engine.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

void dropOn(int which, const Lines& databases) {
    auto session = test::connectTo(which);
    for (const std::string& database : databases) test::execOrFail(*session, "DROP DATABASE IF EXISTS " + database);
}

bool loadCases(const std::string& database) {
    return test::shell("sed -e 's/kv_cases/" + database + "/g' '" + backup_test::fixturePath("dump_cases.sql") +
                       "' | " + test::toolCommand("mariadb", 1) + " > /dev/null") == 0;
}

// Sakila with an event of its own, so that every kind of object is there.
bool loadSakilaWithEvent(const std::string& database) {
    if (!test::loadSakila(1, database)) return false;
    auto session = test::connectTo(1);
    return session->execute("CREATE EVENT " + database +
                            ".weekly_refresh ON SCHEDULE EVERY 1 WEEK STARTS '2031-02-03 04:05:06' DISABLE DO "
                            "UPDATE " + database + ".film SET last_update = last_update WHERE film_id = 0");
}

std::vector<CRestoreFile> entriesFor(const Lines& files) {
    std::vector<CRestoreFile> entries;
    for (const std::string& file : files) entries.push_back(test::restoreEntry(file.ends_with(".gz") ? 1 : 0, file));
    return entries;
}

// Restores files into server 2 with a type-6 run, both continue flags off;
// gives the error lines it logged.
Lines restoreOnSecond(const Lines& files, CBufferOptions buffer = {0, 200}) {
    test::EngineHarness h;
    h.task.task_type = kTypeRestoreFromFiles;
    h.task.destination = test::testServerSettings(2);
    h.task.restore_options = {0, 0};
    h.task.buffer_options = buffer;
    h.task.restore_files = entriesFor(files);
    EXPECT_EQ(h.run([](RunContext& context) { return runRestoreFromFiles(context); }), EngineResult::Finished);
    return h.texts(kLogError);
}

// Replays files into server 2 with the mariadb client, from a session in a
// time zone of its own.
void replayWithClient(const Lines& files) {
    for (const std::string& file : files) {
        const std::string client = test::toolCommand("mariadb", 2) + " --init-command=\"SET time_zone='+09:00'\"";
        const std::string command = file.ends_with(".gz") ? "zcat " + backup_test::shellQuote(file) + " | " + client
                                                          : client + " < " + backup_test::shellQuote(file);
        ASSERT_EQ(test::shell(command), 0) << file;
    }
}

std::vector<std::string> rowsOn(int which, const std::string& sql) {
    auto session = test::connectTo(which);
    return test::queryRows(*session, sql);
}

// The parts of the cases fixture that a fault would change, on server 2.
void expectCasesIntact(const std::string& db) {
    EXPECT_EQ(rowsOn(2, "SELECT COUNT(*) FROM " + db + ".a_merged"), Lines{"5"}) << "MERGE rows doubled";
    EXPECT_EQ(rowsOn(2, "SELECT id, secret FROM " + db + ".hidden ORDER BY id"), (Lines{"1|s1", "2|s2", "3|NULL"}));
    EXPECT_EQ(rowsOn(2, "SELECT id, v, changed FROM " + db + ".audited ORDER BY id"), (Lines{"1|one|0", "2|two|5"}))
        << "a trigger fired during the restore";
    EXPECT_EQ(rowsOn(2, "SELECT note FROM " + db + ".audit_log"), Lines{"kept"});
    EXPECT_EQ(rowsOn(2, "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_NAME = 'kv_pwned'"), Lines{"0"})
        << "SQL inside a name was executed";
    EXPECT_EQ(rowsOn(2, "SELECT UNIX_TIMESTAMP(ts) FROM " + db + ".stamps ORDER BY id"),
              rowsOn(1, "SELECT UNIX_TIMESTAMP(ts) FROM " + db + ".stamps ORDER BY id"));
    // A sequence comes back where the server would start after a restart.
    EXPECT_EQ(rowsOn(2, "SELECT next_not_cached_value FROM " + db + ".seq_ids"),
              rowsOn(1, "SELECT next_not_cached_value FROM " + db + ".seq_ids"));
}

// Each statement of a SQL backup file that begins with `head`.
Lines statementsStarting(const std::string& file, const std::string& head) {
    SqlFileReader reader;
    EXPECT_TRUE(reader.open(file));
    Lines found, batch;
    while (reader.position() < reader.length()) {
        reader.readStatements(batch, CBufferOptions{2, 0});
        for (std::string& statement : batch) {
            if (statement.starts_with(head)) found.push_back(std::move(statement));
        }
        batch.clear();
    }
    return found;
}

void setFlag(CTask& task, int flag, uint8_t value) {
    task.backup_options.flags[static_cast<size_t>(flag)] = value;
}

TEST(DumpFidelity, HardCasesComeBackIdenticalInBothOptionSets) {
    KEELVAULT_REQUIRE_SERVER(1);
    KEELVAULT_REQUIRE_SERVER(2);
    const std::string db = "kv_df_cases";
    ASSERT_TRUE(loadCases(db));
    for (const bool multiple : {false, true}) {
        SCOPED_TRACE(multiple ? "multiple-row options" : "default options");
        backup_test::BackupHarness backup;
        backup.task.databases = {backup_test::wholeDatabase(db)};
        if (multiple) {
            setFlag(backup.task, kOptMultipleRows, 1);
            setFlag(backup.task, kOptCompleteInsert, 1);
            setFlag(backup.task, kOptDeleteRecords, 1);
        }
        ASSERT_EQ(backup.run(), EngineResult::Finished);
        EXPECT_EQ(backup.errors(), Lines{});
        const Lines files = backup.files();
        ASSERT_EQ(files.size(), 1u);

        const std::string text = test::readFile(files[0]);
        EXPECT_NE(text.find("SET TIME_ZONE='+00:00';"), std::string::npos);
        EXPECT_NE(text.find("(1,'2020-01-01 07:00:00','2020-01-01 12:00:00')"), std::string::npos)
            << "TIMESTAMP values are written in UTC";
        // Each 2 MB row ends its multiple-row statement; no statement near the packet limit.
        const Lines large = statementsStarting(files[0], "INSERT INTO `large`");
        EXPECT_EQ(large.size(), 10u);
        for (const std::string& insert : large) EXPECT_LT(insert.size(), 3u << 20);
        // The MERGE table has no rows in the file and comes after its tables.
        EXPECT_EQ(statementsStarting(files[0], "INSERT INTO `a_merged`"), Lines{});
        EXPECT_EQ(statementsStarting(files[0], "DELETE FROM `a_merged`"), Lines{});
        EXPECT_LT(text.find("CREATE TABLE IF NOT EXISTS `m_part2`"), text.find("CREATE TABLE IF NOT EXISTS `a_merged`"));
        // The procedure's body holds ";;", so its block ends with another terminator.
        EXPECT_NE(text.find("DELIMITER $$"), std::string::npos);

        dropOn(2, {db});
        replayWithClient(files);
        backup_test::expectSameDatabase(db);
        expectCasesIntact(db);

        dropOn(2, {db});
        EXPECT_EQ(restoreOnSecond(files, CBufferOptions{1, 7}), Lines{});
        backup_test::expectSameDatabase(db);
        expectCasesIntact(db);
    }
    dropOn(1, {db});
    dropOn(2, {db});
}

EngineResult copy(RunContext& context) {
    return runServerCopy(context);
}

TEST(DumpFidelity, CopiesGiveBackTheHardCasesAndSakilaWithEveryObject) {
    KEELVAULT_REQUIRE_SERVER(1);
    KEELVAULT_REQUIRE_SERVER(2);
    const Lines databases = {"kv_df_copy_cases", "kv_df_copy_sakila"};
    ASSERT_TRUE(loadCases(databases[0]));
    ASSERT_TRUE(loadSakilaWithEvent(databases[1]));
    for (const bool multiple : {false, true}) {
        SCOPED_TRACE(multiple ? "multiple-row options" : "default options");
        dropOn(2, databases);
        test::EngineHarness h;
        h.task.task_type = kTypeBackupToServer;
        h.task.source = test::testServerSettings(1);
        h.task.destination = test::testServerSettings(2);
        for (const std::string& db : databases) h.task.databases.push_back(backup_test::wholeDatabase(db));
        if (multiple) {
            setFlag(h.task, kOptMultipleRows, 1);
            h.task.buffer_options = CBufferOptions{1, 3};
        }
        ASSERT_EQ(h.run(copy), EngineResult::Finished);
        EXPECT_EQ(h.texts(kLogError), Lines{});
        EXPECT_TRUE(h.logged("Backup the trigger kv_df_copy_sakila.customer_create_date - OK"));
        EXPECT_TRUE(h.logged("Backup the event kv_df_copy_sakila.weekly_refresh - OK"));
        for (const std::string& db : databases) backup_test::expectSameDatabase(db);
        expectCasesIntact(databases[0]);
    }
    dropOn(1, databases);
    dropOn(2, databases);
}

// Types 3 and 8 create the schema objects in the destination database.
TEST(DumpFidelity, CopyIntoAnotherDatabaseTakesItsObjectsThere) {
    KEELVAULT_REQUIRE_SERVER(1);
    KEELVAULT_REQUIRE_SERVER(2);
    const std::string source = "kv_df_into_src", target = "kv_df_into_dst";
    ASSERT_TRUE(loadCases(source));
    for (const uint8_t type : {kTypeBackupToDatabase, kTypeRestoreFromDatabase}) {
        SCOPED_TRACE(int(type));
        dropOn(2, {target});
        test::EngineHarness h;
        h.task.task_type = type;
        h.task.source = test::testServerSettings(1);
        h.task.destination = test::testServerSettings(2);
        h.task.databases = {backup_test::wholeDatabase(source)};
        h.task.backup_options.destination_database = target;
        ASSERT_EQ(h.run(copy), EngineResult::Finished);
        EXPECT_EQ(h.texts(kLogError), Lines{});
        const std::string objects =
            "SELECT (SELECT COUNT(*) FROM information_schema.TRIGGERS WHERE TRIGGER_SCHEMA='%s'), "
            "(SELECT COUNT(*) FROM information_schema.ROUTINES WHERE ROUTINE_SCHEMA='%s'), "
            "(SELECT COUNT(*) FROM information_schema.EVENTS WHERE EVENT_SCHEMA='%s')";
        auto count = [&](const std::string& db) {
            std::string sql = objects;
            for (size_t at = sql.find("%s"); at != std::string::npos; at = sql.find("%s")) sql.replace(at, 2, db);
            return sql;
        };
        EXPECT_EQ(rowsOn(2, count(target)), (Lines{"2|2|1"}));
        EXPECT_EQ(rowsOn(2, count(target)), rowsOn(1, count(source)));
        EXPECT_EQ(rowsOn(2, "SELECT d FROM " + target + ".doubled_ids ORDER BY d"), (Lines{"2", "4"}));
        EXPECT_EQ(rowsOn(2, "SELECT id, v, changed FROM " + target + ".audited ORDER BY id"),
                  (Lines{"1|one|0", "2|two|5"}));
    }
    dropOn(1, {source});
    dropOn(2, {target});
}

// The PHP form sends each object whole through mysql_query: no DELIMITER.
TEST(DumpFidelity, PhpBackupsCarryTheObjectsAsQueries) {
    KEELVAULT_REQUIRE_SERVER(1);
    const std::string db = "kv_df_php";
    ASSERT_TRUE(loadCases(db));
    backup_test::BackupHarness backup;
    backup.task.databases = {backup_test::wholeDatabase(db)};
    setFlag(backup.task, kOptFileType, 2);
    ASSERT_EQ(backup.run(), EngineResult::Finished);
    EXPECT_EQ(backup.errors(), Lines{});
    const std::string text = test::readFile(backup.files().at(0));
    EXPECT_EQ(text.find("DELIMITER"), std::string::npos);
    for (const char* object : {" TRIGGER audited_first", " PROCEDURE `reset_all`", " FUNCTION `twice`",
                               " EVENT `nightly`"}) {
        const size_t at = text.find(object);
        ASSERT_NE(at, std::string::npos) << object;
        EXPECT_NE(text.rfind("  mysql_query('CREATE DEFINER=", at), std::string::npos) << object;
    }
    dropOn(1, {db});
}

// Outside their DELIMITER blocks our own files read statement by statement
// as the line reader of earlier versions read them.
TEST(DumpFidelity, OurFilesReadAsTheLineReaderReadThem) {
    KEELVAULT_REQUIRE_SERVER(1);
    const Lines databases = {"kv_df_lr_hard", "kv_df_lr_latin1", "kv_df_lr_sakila"};
    ASSERT_EQ(test::shell("sed -e 's/kv_hard/kv_df_lr_hard/g' -e 's/kv_latin1/kv_df_lr_latin1/g' '" +
                          backup_test::fixturePath("hard_values.sql") + "' | " + test::toolCommand("mariadb", 1)),
              0);
    ASSERT_TRUE(loadSakilaWithEvent(databases[2]));
    for (const bool multiple : {false, true}) {
        SCOPED_TRACE(multiple ? "multiple-row options" : "default options");
        backup_test::BackupHarness backup;
        for (const std::string& db : databases) backup.task.databases.push_back(backup_test::wholeDatabase(db));
        setFlag(backup.task, kOptMultipleRows, multiple);
        setFlag(backup.task, kOptCompleteInsert, multiple);
        ASSERT_EQ(backup.run(), EngineResult::Finished);
        const std::string text = test::readFile(backup.files().at(0));

        // The text without its DELIMITER blocks, and how many there were.
        std::string outside;
        size_t blocks = 0;
        bool in_block = false;
        for (size_t at = 0; at < text.size();) {
            const size_t end = std::min(text.find('\n', at), text.size());
            const std::string line = text.substr(at, end + 1 - at);
            if (line.starts_with("DELIMITER ")) {
                in_block = line.substr(0, line.find_first_of("\r\n")) != "DELIMITER ;";
                blocks += in_block;
            } else if (!in_block) {
                outside += line;
            }
            at = end + 1;
        }
        EXPECT_EQ(blocks, 13u);  // six triggers, six routines, one event
        test::TempDir dir;
        test::writeFile(dir / "outside.sql", outside);
        SqlFileReader reader;
        ASSERT_TRUE(reader.open((dir / "outside.sql").string()));
        Lines read, batch;
        while (reader.position() < reader.length()) {
            reader.readStatements(batch, CBufferOptions{2, 0});
            read.insert(read.end(), batch.begin(), batch.end());
            batch.clear();
        }
        const Lines by_lines = cutScriptText(outside);
        EXPECT_GT(by_lines.size(), 1000u);
        EXPECT_EQ(read, by_lines);
        EXPECT_EQ(statementsStarting(backup.files().at(0), "").size(), by_lines.size() + blocks);
    }
    dropOn(1, databases);
}

TEST(DumpFidelity, OurSakilaBackupsCarryEveryObject) {
    KEELVAULT_REQUIRE_SERVER(1);
    KEELVAULT_REQUIRE_SERVER(2);
    const std::string db = "kv_df_sakila";
    ASSERT_TRUE(loadSakilaWithEvent(db));
    struct Combo {
        const char* name;
        bool multiple;
        uint8_t grouping;
    };
    for (const Combo& combo : {Combo{"default options, one file", false, 1},
                               Combo{"multiple rows, a file per database", true, 2},
                               Combo{"a file per table", false, 3}}) {
        SCOPED_TRACE(combo.name);
        backup_test::BackupHarness backup;
        backup.task.databases = {backup_test::wholeDatabase(db)};
        setFlag(backup.task, kOptMultipleRows, combo.multiple);
        setFlag(backup.task, kOptGrouping, combo.grouping);
        if (combo.grouping == 3) backup.task.backup_options.file_name_format = "%DATABASE%_%TABLE%";
        ASSERT_EQ(backup.run(), EngineResult::Finished);
        EXPECT_EQ(backup.errors(), Lines{});
        const Lines files = backup.files();
        // With a file per table the routines and events have one of their own.
        if (combo.grouping == 3) {
            EXPECT_EQ(files.size(), 24u);
            EXPECT_TRUE(fs::exists(backup.outDir() / (db + "_.sql")));
        }
        const Lines log = backup.logTexts();
        EXPECT_NE(std::find(log.begin(), log.end(), "Backup the procedure " + db + ".film_in_stock - OK"), log.end());

        dropOn(2, {db});
        replayWithClient(files);
        backup_test::expectSameDatabase(db);

        dropOn(2, {db});
        EXPECT_EQ(restoreOnSecond(files), Lines{});
        backup_test::expectSameDatabase(db);
    }
    dropOn(1, {db});
    dropOn(2, {db});
}

// A procedure body whose statements would destroy data if they ran on their own.
TEST(RestoreStandardDump, ProcedureBodiesNeverRunAgainstTheData) {
    KEELVAULT_REQUIRE_SERVER(1);
    KEELVAULT_REQUIRE_SERVER(2);
    const std::string db = "kv_df_proc";
    auto source = test::connectTo(1);
    for (const std::string& sql : Lines{"DROP DATABASE IF EXISTS " + db, "CREATE DATABASE " + db,
                                   "CREATE TABLE " + db + ".item (id INT PRIMARY KEY, price DECIMAL(8,2))",
                                   "CREATE TABLE " + db + ".audit (id INT PRIMARY KEY, note VARCHAR(20))",
                                   "INSERT INTO " + db + ".item VALUES (1, 9.99), (2, 20.00)",
                                   "INSERT INTO " + db + ".audit VALUES (1, 'created'), (2, 'priced')",
                                   "CREATE PROCEDURE " + db +
                                       ".wipe() BEGIN UPDATE item SET price = 0; DELETE FROM audit; END"}) {
        test::execOrFail(*source, sql);
    }
    test::TempDir dir;
    const fs::path dump = dir / "proc.sql";
    ASSERT_EQ(test::shell(test::toolCommand("mariadb-dump", 1) + " --routines --databases " + db + " > '" +
                          dump.string() + "'"),
              0);
    dropOn(2, {db});
    EXPECT_EQ(restoreOnSecond({dump.string()}), Lines{});
    EXPECT_EQ(rowsOn(2, "SELECT id, price FROM " + db + ".item ORDER BY id"), (Lines{"1|9.99", "2|20.00"}));
    EXPECT_EQ(rowsOn(2, "SELECT id, note FROM " + db + ".audit ORDER BY id"), (Lines{"1|created", "2|priced"}));
    EXPECT_EQ(rowsOn(2, "SELECT ROUTINE_DEFINITION FROM information_schema.ROUTINES WHERE ROUTINE_SCHEMA='" + db + "'"),
              Lines{"BEGIN UPDATE item SET price = 0; DELETE FROM audit; END"});
    dropOn(1, {db});
    dropOn(2, {db});
}

TEST(RestoreStandardDump, SakilaWithEveryObjectKindPlainAndGzip) {
    KEELVAULT_REQUIRE_SERVER(1);
    KEELVAULT_REQUIRE_SERVER(2);
    const std::string db = "kv_df_std_sakila";
    ASSERT_TRUE(loadSakilaWithEvent(db));
    test::TempDir dir;
    const fs::path dump = dir / "sakila.sql";
    ASSERT_EQ(test::shell(test::toolCommand("mariadb-dump", 1) + " --routines --triggers --events --databases " + db +
                          " > '" + dump.string() + "'"),
              0);
    test::writeGzipFile(dir / "sakila.sql.gz", test::readFile(dump));
    for (const fs::path& file : {dump, dir / "sakila.sql.gz"}) {
        SCOPED_TRACE(file.filename().string());
        dropOn(2, {db});
        EXPECT_EQ(restoreOnSecond({file.string()}, CBufferOptions{1, 50}), Lines{});
        backup_test::expectSameDatabase(db);
        MySqlSession restored;
        ASSERT_TRUE(restored.open(test::testServerSettings(2)));
        const Lines schema = test::schemaOf(restored, db);
        EXPECT_EQ(test::countKind(schema, "trigger"), 6u);
        EXPECT_EQ(test::countKind(schema, "routine"), 6u);
        EXPECT_EQ(test::countKind(schema, "event"), 1u);
        EXPECT_EQ(test::countKind(schema, "view"), 7u);
    }
    dropOn(1, {db});
    dropOn(2, {db});
}

// Terminators, comment marks and line breaks inside literals are data.
TEST(RestoreStandardDump, LiteralsAndStatementsOverLinesKeepTheirValues) {
    KEELVAULT_REQUIRE_SERVER(2);
    const std::string db = "kv_df_literals";
    dropOn(2, {db});
    test::TempDir dir;
    const fs::path file = dir / "literals.sql";
    test::writeFile(file,
                    "CREATE DATABASE " + db + ";\n"
                    "CREATE TABLE " + db + ".t (id INT PRIMARY KEY, s TEXT);\n"
                    "INSERT INTO " + db + ".t\n"
                    "VALUES (1,'semi;colon'),\n"
                    "  (2, 'dash -- dash'), (3, '/* not a comment */'),\n"
                    "  (4, 'two\nlines;\n'), (5, \"double \\\" quote; --\"), (6, 'it''s # here');\n"
                    "SELECT 1 -- a comment; with a semicolon\n"
                    ";\n");
    EXPECT_EQ(restoreOnSecond({file.string()}), Lines{});
    EXPECT_EQ(rowsOn(2, "SELECT id, s FROM " + db + ".t ORDER BY id"),
              (Lines{"1|semi;colon", "2|dash -- dash", "3|/* not a comment */", "4|two\nlines;\n",
                     "5|double \" quote; --", "6|it's # here"}));
    dropOn(2, {db});
}

// A statement the server cannot take is reported with the reason and never
// sent, so the connection survives for what follows.
TEST(RestoreStandardDump, AStatementAboveThePacketLimitIsReportedNotSent) {
    KEELVAULT_REQUIRE_SERVER(2);
    const std::string db = "kv_df_packet";
    dropOn(2, {db});
    auto admin = test::connectTo(2);
    const unsigned long long limit = admin->maxAllowedPacket();
    ASSERT_GT(limit, 0u);
    test::TempDir dir;
    const fs::path file = dir / "packet.sql";
    {
        std::string text = "CREATE DATABASE " + db + ";\nCREATE TABLE " + db + ".t (id INT, s LONGTEXT);\n";
        text += "INSERT INTO " + db + ".t VALUES (1, '" + std::string(limit + 10, 'p') + "');\n";
        text += "INSERT INTO " + db + ".t VALUES (2, 'after');\n";
        test::writeFile(file, text);
    }
    test::EngineHarness h;
    h.task.destination = test::testServerSettings(2);
    h.task.restore_options = {1, 0};
    h.task.restore_files = {test::restoreEntry(0, file)};
    EXPECT_EQ(h.run([](RunContext& context) { return runRestoreFromFiles(context); }), EngineResult::Finished);
    const Lines errors = h.texts(kLogError);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].starts_with("Failed to execute the SQL statement: INSERT INTO " + db + ".t VALUES (1, 'ppp"));
    const Lines log = h.texts();
    const auto at = std::find(log.begin(), log.end(), errors[0]);
    ASSERT_NE(at + 1, log.end());
    EXPECT_TRUE((at + 1)->starts_with("Error NO. 1153  Got a packet bigger than 'max_allowed_packet' bytes")) << *(at + 1);
    EXPECT_TRUE(h.logged("1 SQL statement failed during the restore."));
    EXPECT_EQ(rowsOn(2, "SELECT id, s FROM " + db + ".t"), Lines{"2|after"});
    dropOn(2, {db});
}

// An account that may list a routine but not read it: the backup says so,
// naming it, and goes on.
TEST(SchemaObjects, ObjectsTheAccountCannotReadAreNamedInAWarning) {
    KEELVAULT_REQUIRE_SERVER(1);
    const std::string db = "kv_df_rights";
    auto admin = test::connectTo(1);
    for (const std::string& sql :
         Lines{"DROP DATABASE IF EXISTS " + db, "CREATE DATABASE " + db, "CREATE TABLE " + db + ".t (id INT)",
          "CREATE PROCEDURE " + db + ".secret() SELECT 42", "DROP USER IF EXISTS 'kv_df_limited'@'%'",
          "CREATE USER 'kv_df_limited'@'%'", "GRANT SELECT, LOCK TABLES, SHOW VIEW ON " + db + ".* TO 'kv_df_limited'@'%'",
          "GRANT EXECUTE ON PROCEDURE " + db + ".secret TO 'kv_df_limited'@'%'"}) {
        test::execOrFail(*admin, sql);
    }
    backup_test::BackupHarness backup;
    backup.task.databases = {backup_test::wholeDatabase(db)};
    backup.task.source.user = "kv_df_limited";
    EXPECT_EQ(backup.run(), EngineResult::Finished);
    EXPECT_EQ(backup.errors(), Lines{});
    bool named = false, events = false;
    for (const LogRecord& record : backup.log()) {
        if (record.level != kLogWarning) continue;
        named = named || record.text.starts_with("Failed to read the procedure " + db + ".secret; it is not in the backup!");
        events = events || record.text.starts_with("Failed to list the events of the database " + db + "!  Error NO. ");
    }
    EXPECT_TRUE(named) << ::testing::PrintToString(backup.logTexts());
    EXPECT_TRUE(events) << ::testing::PrintToString(backup.logTexts());
    test::execOrFail(*admin, "DROP DATABASE " + db);
    test::execOrFail(*admin, "DROP USER 'kv_df_limited'@'%'");
}

}  // namespace
}  // namespace keelvault
