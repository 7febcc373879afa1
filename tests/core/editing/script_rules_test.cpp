#include "core/editing/script_rules.h"

#include <gtest/gtest.h>

#include "check_expect.h"

namespace keelvault {
namespace {

using test::accepted;
using test::refused;
using Statements = std::vector<std::string>;

TEST(ScriptRules, SplittingTheTypedText) {
    struct Case {
        const char* what;
        std::string text;
        Statements expected;
    };
    const std::vector<Case> cases = {
        {"one line with its semicolon, no final line break", "SELECT 1;", {"SELECT 1;"}},
        {"one line without semicolon gets one", "SELECT 1", {"SELECT 1;"}},
        {"a first comment line is dropped",
         "-- setup\r\nDELETE FROM t;\r\nSELECT 2;\r\n",
         {"DELETE FROM t;", "SELECT 2;"}},
        {"two lines of one statement run together",
         "UPDATE t SET a = 1 WHERE\nb = 2;",
         {"UPDATE t SET a = 1 WHEREb = 2;"}},
        {"a blank after the semicolon keeps the statement open", "SELECT 1; \nSELECT 2;", {"SELECT 1; SELECT 2;"}},
        {"leading blanks removed, a digit first drops the text", "   SELECT 1;\n42;\n(SELECT 3);\n", {"SELECT 1;"}},
    };
    for (const Case& c : cases) {
        const auto result = checkScriptText(c.text);
        ASSERT_TRUE(accepted(result)) << c.what;
        EXPECT_EQ(result.value(), c.expected) << c.what;
    }
}

TEST(ScriptRules, TextWithoutStatementsIsRefused) {
    for (const char* text : {"", "\r\n\r\n", "-- only a comment\n", "  \t  "}) {
        EXPECT_TRUE(refused(checkScriptText(text), "Please input the SQL script!", ScriptField::Text)) << text;
    }
}

TEST(ScriptRules, StoredStatementsShowWithBlankLinesAndCutBackTheSame) {
    const Statements stored = {"CREATE TABLE t (a INT);", "INSERT INTO t VALUES (1);"};
    const std::string text = scriptEditText(stored);
    EXPECT_EQ(text, "CREATE TABLE t (a INT);\r\n\r\nINSERT INTO t VALUES (1);\r\n\r\n");
    EXPECT_EQ(checkScriptText(text).value(), stored);
}

}  // namespace
}  // namespace keelvault
