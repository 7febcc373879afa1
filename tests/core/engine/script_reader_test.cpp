#include "core/engine/script_reader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/engine/gzip_unpack.h"
#include "support/test_support.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;
using Statements = std::vector<std::string>;

// Reads a whole file with the given buffer options; returns the batches.
std::vector<Statements> readBatches(const fs::path& path, const CBufferOptions& options) {
    SqlFileReader reader;
    EXPECT_TRUE(reader.open(path.string()));
    std::vector<Statements> batches;
    while (reader.position() < reader.length()) {
        Statements batch;
        EXPECT_EQ(reader.readStatements(batch, options), 1);
        // The LF of a final CR LF is a call of its own that finds nothing.
        if (!batch.empty()) batches.push_back(std::move(batch));
    }
    return batches;
}

Statements flatten(const std::vector<Statements>& batches) {
    Statements all;
    for (const Statements& batch : batches) all.insert(all.end(), batch.begin(), batch.end());
    return all;
}

TEST(ScriptPageCutting, TypedTextIsCutByLinesAndSemicolons) {
    struct Case {
        const char* what;
        std::string text;
        Statements expected;
    };
    const std::vector<Case> cases = {
        {"lines joined with nothing between, their leading blanks kept",
         "CREATE TABLE t (\n  a INT\n);\n",
         {"CREATE TABLE t (  a INT);"}},
        {"a blank after the semicolon keeps the statement open", "SELECT 1; \nSELECT 2;\n", {"SELECT 1; SELECT 2;"}},
        {"last statement without semicolon", "SELECT 1;\nSELECT 2", {"SELECT 1;", "SELECT 2;"}},
        {"trailing blanks at the end of the text", "SELECT 1   ", {"SELECT 1;"}},
        {"comment lines dropped", "-- Host: x\n--\nSELECT 1;\n-- end", {"SELECT 1;"}},
        {"digit or quote first drops the text", "1 + 1;\n'x';\n\"y\";\nSELECT 3;\n", {"SELECT 3;"}},
        {"CR LF pairs", "SELECT 1;\r\nINSERT INTO t\r\nVALUES (1);\r\n", {"SELECT 1;", "INSERT INTO tVALUES (1);"}},
        {"lone CR ends lines too", "SELECT 1;\rSELECT 2;\r", {"SELECT 1;", "SELECT 2;"}},
        {"leading blanks and tabs removed, case kept", "   \t select 1 ;\n", {"select 1 ;"}},
        {"blank lines only", "\n\n \t \r\n", {}},
        {"empty text", "", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(cutScriptText(c.text), c.expected) << c.what;
}

// Feeds a text to the splitter in pieces of `piece` bytes, handing over
// again what it did not take, as the file reader does with its buffer.
Statements splitInPieces(const std::string& text, size_t piece) {
    SqlStatementSplitter splitter;
    Statements out;
    std::string pending;
    size_t next = 0;
    for (;;) {
        const bool at_end = next >= text.size();
        if (!at_end) {
            pending += text.substr(next, piece);
            next += piece;
        }
        for (;;) {
            const size_t used = splitter.scan(pending.data(), pending.size(), next >= text.size(), out);
            pending.erase(0, used);
            if (!splitter.completed()) break;
        }
        if (at_end) break;
    }
    splitter.finish(out);
    return out;
}

TEST(SqlFileReader, CutsTextAsTheCommandLineClientDoes) {
    struct Case {
        const char* what;
        std::string text;
        Statements expected;
    };
    const std::vector<Case> cases = {
        {"line breaks stay in the statement", "CREATE TABLE t (\n  a INT\n);\n", {"CREATE TABLE t (\n  a INT\n);"}},
        {"a semicolon ends the statement wherever it stands", "SELECT 1; SELECT 2;\nSELECT\n3;", {"SELECT 1;", "SELECT 2;", "SELECT\n3;"}},
        {"two lines never run together", "INSERT INTO t\nVALUES (1,'x');\n", {"INSERT INTO t\nVALUES (1,'x');"}},
        {"last statement without terminator", "SELECT 1;\nSELECT 2  \n", {"SELECT 1;", "SELECT 2;"}},
        {"leading comments dropped, inner ones kept",
         "-- Host: x\n--\n# note ;\n/* block ; */ SELECT /* in ; */ 1; -- tail ;\n-- end",
         {"SELECT /* in ; */ 1;"}},
        {"terminators and comment marks inside literals",
         "INSERT INTO t VALUES ('a;\nb', \"c;--d\", 'it''s', 'x\\'y;', '/*', '#');\n",
         {"INSERT INTO t VALUES ('a;\nb', \"c;--d\", 'it''s', 'x\\'y;', '/*', '#');"}},
        {"backquoted names keep every character",
         "CREATE TABLE `a;\nb` (`c``;` INT);\nDROP TABLE `x`;",
         {"CREATE TABLE `a;\nb` (`c``;` INT);", "DROP TABLE `x`;"}},
        {"DELIMITER changes the terminator and is no statement",
         "DELIMITER ;;\nCREATE PROCEDURE p() BEGIN SELECT 1; SELECT 2; END;;\nDELIMITER ;\nSELECT 3;\n",
         {"CREATE PROCEDURE p() BEGIN SELECT 1; SELECT 2; END;", "SELECT 3;"}},
        {"delimiter in small letters, blanks before the terminator",
         "delimiter $$\nCREATE FUNCTION f() RETURNS INT RETURN 1 $$\ndelimiter ;\nSELECT f();",
         {"CREATE FUNCTION f() RETURNS INT RETURN 1;", "SELECT f();"}},
        {"a trigger as standard dumps write it",
         "DELIMITER ;;\n/*!50003 CREATE*/ /*!50003 TRIGGER tr BEFORE INSERT ON t FOR EACH ROW BEGIN\n"
         "  SET NEW.a = ';;'; -- no end ;;\nEND */;;\nDELIMITER ;\n",
         {"/*!50003 CREATE*/ /*!50003 TRIGGER tr BEFORE INSERT ON t FOR EACH ROW BEGIN\n"
          "  SET NEW.a = ';;'; -- no end ;;\nEND */;"}},
        {"executable comments are statements",
         "/*!40101 SET NAMES utf8mb4 */;\n/*M!100100 SET @x=1 */;\n",
         {"/*!40101 SET NAMES utf8mb4 */;", "/*M!100100 SET @x=1 */;"}},
        {"the version no server reaches is a comment",
         "/*M!999999\\- enable the sandbox mode */ \n-- MariaDB dump\nSELECT 1;\n",
         {"SELECT 1;"}},
        {"an executable comment spanning lines",
         "/*!50001 CREATE ALGORITHM=UNDEFINED */\n/*!50001 VIEW v AS select 1 AS a */;\n",
         {"/*!50001 CREATE ALGORITHM=UNDEFINED */\n/*!50001 VIEW v AS select 1 AS a */;"}},
        {"CR LF line ends", "SELECT 1;\r\nINSERT INTO t\r\nVALUES (1);\r\n", {"SELECT 1;", "INSERT INTO t\r\nVALUES (1);"}},
        {"a statement need not begin with a letter", "(SELECT 1) UNION (SELECT 2);\n", {"(SELECT 1) UNION (SELECT 2);"}},
        {"two dashes without a blank are no comment", "SELECT 1--1;\n", {"SELECT 1--1;"}},
        {"terminators alone and blank lines", ";\n ; ;\n\n \t \r\n", {}},
        {"empty text", "", {}},
        {"an open literal at the end is handed over as it is", "SELECT 'abc", {"SELECT 'abc;"}},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        for (size_t piece : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{1} << 20}) {
            EXPECT_EQ(splitInPieces(c.text, piece), c.expected) << c.what << ", pieces of " << piece;
        }
        const fs::path file = dir / "case.sql";
        test::writeFile(file, c.text);
        for (uint8_t mode : {0, 1, 2}) {
            EXPECT_EQ(flatten(readBatches(file, CBufferOptions{mode, 2})), c.expected) << c.what << " mode " << int(mode);
        }
    }
}

TEST(SqlFileReader, AStatementAboveTheLimitEndsItsBatchAndIsReported) {
    test::TempDir dir;
    const fs::path file = dir / "big.sql";
    const std::string big = "INSERT INTO t VALUES ('" + std::string(5000, 'b') + "');";
    test::writeFile(file, "SELECT 1;\nSELECT 2;\n" + big + "\nSELECT 3;\n");
    SqlFileReader reader;
    reader.setMaxStatementSize(1000);
    ASSERT_TRUE(reader.open(file.string()));
    Statements first, second;
    ASSERT_EQ(reader.readStatements(first, CBufferOptions{2, 0}), 1);
    EXPECT_EQ(first, (Statements{"SELECT 1;", "SELECT 2;"}));
    const auto oversized = reader.takeOversized();
    ASSERT_TRUE(oversized.has_value());
    EXPECT_EQ(oversized->size, big.size() - 1);  // without its terminator
    EXPECT_TRUE(oversized->head.starts_with("INSERT INTO t VALUES ('bbb"));
    EXPECT_LE(oversized->head.size(), 1000u);
    EXPECT_FALSE(reader.takeOversized().has_value());
    while (reader.position() < reader.length()) ASSERT_EQ(reader.readStatements(second, CBufferOptions{2, 0}), 1);
    EXPECT_EQ(second, (Statements{"SELECT 3;"}));
}

TEST(StatementCutting, BatchSizesFollowTheBufferMode) {
    // Long statements, so lines and statements straddle the read buffer.
    std::string text = "-- header\n";
    Statements expected;
    for (int i = 0; i < 250; ++i) {
        const std::string statement =
            "INSERT INTO t\r\nVALUES (" + std::to_string(i) + ",'" + std::string(i * 17, 'x') + "');";
        text += statement + "\r\n";
        expected.push_back(statement);
    }
    test::TempDir dir;
    const fs::path file = dir / "batches.sql";
    test::writeFile(file, text);
    ASSERT_GT(text.size(), 512u * 1024u);

    struct Case {
        CBufferOptions options;
        std::vector<size_t> sizes;
    };
    const std::vector<Case> cases = {
        {{0, 100}, std::vector<size_t>(250, 1)},
        {{1, 100}, {100, 100, 50}},
        {{1, 0}, std::vector<size_t>(250, 1)},
        {{2, 100}, {250}},
    };
    for (const Case& c : cases) {
        const std::vector<Statements> batches = readBatches(file, c.options);
        std::vector<size_t> sizes;
        for (const Statements& batch : batches) sizes.push_back(batch.size());
        EXPECT_EQ(sizes, c.sizes) << "mode " << int(c.options.mode) << " N " << c.options.records;
        EXPECT_EQ(flatten(batches), expected);
    }
}

// Fails every read that touches [bad_from, bad_to).
class FaultyReader : public SqlFileReader {
public:
    FaultyReader(uint64_t bad_from, uint64_t bad_to) : bad_from_(bad_from), bad_to_(bad_to) {}
    int reads = 0;

protected:
    ssize_t readAt(uint64_t offset, char* buffer, size_t size) override {
        ++reads;
        if (offset < bad_to_ && offset + size > bad_from_) return -1;
        return SqlFileReader::readAt(offset, buffer, size);
    }

private:
    uint64_t bad_from_, bad_to_;
};

TEST(SqlFileReader, ReadErrorReturnsZeroAndSkipsTheUnreadablePart) {
    // One statement per line, about 1 MB: the error hits the second 256 KB block.
    std::string text;
    for (int i = 0; text.size() < 1024 * 1024; ++i) {
        text += "INSERT INTO t VALUES (" + std::to_string(i) + ",'" + std::string(100, 'v') + "');\n";
    }
    test::TempDir dir;
    const fs::path file = dir / "faulty.sql";
    test::writeFile(file, text);
    const Statements all = cutScriptText(text);

    FaultyReader reader(300 * 1024, 301 * 1024);
    ASSERT_TRUE(reader.open(file.string()));
    Statements got;
    std::vector<int> results;
    while (reader.position() < reader.length()) results.push_back(reader.readStatements(got, CBufferOptions{2, 0}));
    EXPECT_EQ(results, (std::vector<int>{0, 1}));
    EXPECT_EQ(reader.position(), reader.length());
    // Everything before the bad block and everything after the statement cut by it.
    ASSERT_GT(got.size(), all.size() / 2);
    ASSERT_LT(got.size(), all.size());
    EXPECT_EQ(got.front(), all.front());
    EXPECT_EQ(got.back(), all.back());
    for (const std::string& statement : got) EXPECT_TRUE(statement.starts_with("INSERT INTO t VALUES (")) << statement;
    EXPECT_LT(reader.reads, 10);  // buffered, not a call per byte

    // A file cut short after its length was taken ends with 0 at once.
    SqlFileReader shrunk;
    ASSERT_TRUE(shrunk.open(file.string()));
    fs::resize_file(file, 1000);
    Statements partial;
    EXPECT_EQ(shrunk.readStatements(partial, CBufferOptions{2, 0}), 0);
    EXPECT_EQ(shrunk.position(), shrunk.length());
}

TEST(SqlFileReader, OpensRegularFilesOnly) {
    test::TempDir dir;
    SqlFileReader reader;
    EXPECT_FALSE(reader.open((dir / "missing.sql").string()));
    EXPECT_FALSE(reader.open(dir.path().string()));
    test::writeFile(dir / "empty.sql", "");
    ASSERT_TRUE(reader.open((dir / "empty.sql").string()));
    EXPECT_EQ(reader.length(), 0u);
}

void writeGzip(const fs::path& path, const std::string& bytes) {
    gzFile gz = gzopen(path.c_str(), "wb6");
    ASSERT_NE(gz, nullptr);
    ASSERT_EQ(gzwrite(gz, bytes.data(), static_cast<unsigned>(bytes.size())), static_cast<int>(bytes.size()));
    ASSERT_EQ(gzclose(gz), Z_OK);
}

std::set<std::string> folderEntries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

TEST(GzipUnpack, OutputNames) {
    test::TempDir dir;
    const std::string content = std::string("SELECT 1;\n\0\xff binary", 20) + std::string(300000, 'z');
    struct Case {
        std::string gz, sql;
    };
    for (const Case& c : std::vector<Case>{{"backup.sql.gz", "backup.sql"},
                                           {"mydata.gz", "mydata.sql"},
                                           {"Dump.SQL.GZ", "Dump.SQL"},
                                           {"x.sql.gz", "x.sql"}}) {
        writeGzip(dir / c.gz, content);
        std::string path = (dir / c.gz).string();
        EXPECT_EQ(unpackGzipFile(path), kGunzipDone) << c.gz;
        EXPECT_EQ(path, (dir / c.sql).string());
        EXPECT_EQ(test::readFile(dir / c.sql), content) << c.gz;
        EXPECT_TRUE(fs::exists(dir / c.gz));
    }
}

TEST(GzipUnpack, FailuresLeaveThePathAndNoFileBehind) {
    test::TempDir dir;
    struct Case {
        std::string path;
        int code;
    };
    writeGzip(dir / "cut.sql.gz", std::string(200000, 'q') + "SELECT 1;");
    const std::string whole = test::readFile(dir / "cut.sql.gz");
    test::writeFile(dir / "cut.sql.gz", whole.substr(0, whole.size() / 2));
    const std::vector<Case> cases = {
        {"a.g", 101},
        {"", 101},
        {"data.gz", 102},  // "data" is shorter than 5 characters
        {"a.gz", 102},
        {(dir / "no-such-folder" / "x.sql.gz").string(), 103},
        {(dir / "missing.sql.gz").string(), 104},
        {(dir / "cut.sql.gz").string(), 105},
    };
    const std::set<std::string> before = folderEntries(dir.path());
    for (const Case& c : cases) {
        std::string path = c.path;
        EXPECT_EQ(unpackGzipFile(path), c.code) << c.path;
        EXPECT_EQ(path, c.path);
    }
    EXPECT_EQ(folderEntries(dir.path()), before);
    EXPECT_FALSE(fs::exists("data.sql"));
}

TEST(GzipUnpack, ExistingFilesAreNeverOverwritten) {
    test::TempDir dir;
    writeGzip(dir / "backup.sql.gz", "SELECT 2;\n");
    test::writeFile(dir / "backup.sql", "user's own file");
    test::writeFile(dir / "backup.1.sql", "another one");

    std::string path = (dir / "backup.sql.gz").string();
    ASSERT_EQ(unpackGzipFile(path), kGunzipDone);
    EXPECT_EQ(path, (dir / "backup.2.sql").string());
    EXPECT_EQ(test::readFile(path), "SELECT 2;\n");
    EXPECT_EQ(test::readFile(dir / "backup.sql"), "user's own file");
    EXPECT_EQ(test::readFile(dir / "backup.1.sql"), "another one");
}

}  // namespace
}  // namespace keelvault
