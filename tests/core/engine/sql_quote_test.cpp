#include "core/engine/sql_quote.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/engine/mysql_session.h"
#include "support/test_support.h"

namespace keelvault {
namespace {

TEST(SqlQuote, QuoteName) {
    struct Case {
        std::string name;
        bool quote;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"shop", true, "`shop`"},
        {"shop", false, "shop"},
        {"a`b", true, "`a``b`"},
        {"``", true, "``````"},
        {"a`b", false, "`a``b`"},
        {"", true, "``"},
        {"with blank", true, "`with blank`"},
        // Names that cannot stand bare are quoted without the option too.
        {"Caf\xc3\xa9_2$", false, "Caf\xc3\xa9_2$"},
        {"2006_sales", false, "2006_sales"},
        {"2006", false, "`2006`"},
        {"with blank", false, "`with blank`"},
        {"t\n; DROP TABLE x; --", false, "`t\n; DROP TABLE x; --`"},
        {"", false, "``"},
    };
    for (const Case& c : cases) EXPECT_EQ(quoteName(c.name, c.quote), c.expected) << c.name;
}

TEST(SqlQuote, EscapeTexts) {
    EXPECT_EQ(escapeStringLiteral("plain"), "plain");
    EXPECT_EQ(escapeStringLiteral("O'Brien\\x"), "O\\'Brien\\\\x");
    EXPECT_EQ(escapeStringLiteral(std::string("a\0b\r\n\x1a", 6)), "a\\0b\\r\\n\\Z");
    EXPECT_EQ(escapeStringLiteral("50%_off"), "50%_off");

    EXPECT_EQ(escapeForLike("plain"), "plain");
    EXPECT_EQ(escapeForLike("a_b%c"), "a\\_b\\%c");
    EXPECT_EQ(escapeForLike("o'k"), "o\\'k");
    EXPECT_EQ(escapeForLike("x\\y"), "x\\\\\\\\y");
}

// The server is the judge of whether the escaping matches exactly one name.
class SqlQuoteServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        KEELVAULT_REQUIRE_SERVER(1);
        ASSERT_TRUE(session_.open(test::testServerSettings(1))) << session_.errorText();
    }
    void TearDown() override {
        if (session_.isOpen()) session_.execute("DROP DATABASE IF EXISTS " + database_);
    }

    std::vector<std::string> column0(const std::string& sql) {
        std::vector<std::string> values;
        ResultPtr result = session_.storeQuery(sql);
        EXPECT_TRUE(result) << sql << ": " << session_.errorText();
        if (!result) return values;
        while (MYSQL_ROW row = mysql_fetch_row(result.get())) values.emplace_back(row[0] ? row[0] : "NULL");
        return values;
    }

    MySqlSession session_;
    // Per process, so tests running side by side do not share it.
    const std::string database_ = "kv_h4_quote_" + std::to_string(::getpid());
};

TEST_F(SqlQuoteServerTest, NamesMatchThemselvesOnly) {
    // Each tricky name has a neighbour that an unescaped pattern would also match.
    const std::vector<std::string> names = {"a_b", "axb", "p%q", "pzzq", "o'k", "x\\y", "x\\\\y", "we`ird", "t ab"};
    ASSERT_TRUE(session_.execute("CREATE DATABASE " + database_)) << session_.errorText();
    ASSERT_TRUE(session_.selectDatabase(database_));
    for (const std::string& name : names) {
        ASSERT_TRUE(session_.execute("CREATE TABLE " + quoteName(name, true) + " (id INT)"))
            << name << ": " << session_.errorText();
    }
    for (const std::string& name : names) {
        EXPECT_EQ(column0("SHOW TABLES LIKE '" + escapeForLike(name) + "'"), std::vector<std::string>{name}) << name;
        EXPECT_EQ(column0("SHOW TABLE STATUS LIKE '" + escapeForLike(name) + "'"), std::vector<std::string>{name})
            << name;
        EXPECT_EQ(column0("SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA='" + database_ +
                          "' AND TABLE_NAME='" + escapeStringLiteral(name) + "'"),
                  std::vector<std::string>{name})
            << name;
    }
}

TEST_F(SqlQuoteServerTest, StringLiteralRoundTrip) {
    using namespace std::string_literals;
    const std::string text = "O'Brien \\ \"q\" \r\n\t\x1a%_ \0end"s;
    std::string value;
    ASSERT_TRUE(session_.queryValue("SELECT '" + escapeStringLiteral(text) + "'", value)) << session_.errorText();
    EXPECT_EQ(value, text);
}

}  // namespace
}  // namespace keelvault
