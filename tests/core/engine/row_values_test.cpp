#include "core/engine/row_values.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace keelvault {
namespace {

MYSQL_FIELD fieldOf(enum_field_types type) {
    MYSQL_FIELD field{};
    field.type = type;
    return field;
}

// Escaping needs a handle for its character set; no connection is made.
class RowValues : public ::testing::Test {
protected:
    void SetUp() override { mysql_ = mysql_init(nullptr); }
    void TearDown() override { mysql_close(mysql_); }
    MYSQL* mysql_ = nullptr;
};

TEST_F(RowValues, ValueTextByFieldType) {
    struct Case {
        enum_field_types type;
        std::optional<std::string> value;
        std::string expected;
    };
    using namespace std::string_literals;
    const std::vector<Case> cases = {
        {MYSQL_TYPE_LONG, std::nullopt, "NULL"},
        {MYSQL_TYPE_VAR_STRING, std::nullopt, "NULL"},
        {MYSQL_TYPE_BIT, std::nullopt, "NULL"},
        {MYSQL_TYPE_LONG, "42", "42"},
        {MYSQL_TYPE_LONGLONG, "-9223372036854775808", "-9223372036854775808"},
        {MYSQL_TYPE_DOUBLE, " 1.5e300\t", "1.5e300"},
        {MYSQL_TYPE_TINY, "", "NULL"},
        {MYSQL_TYPE_NEWDECIMAL, "-12.50", "'-12.50'"},
        {MYSQL_TYPE_DATE, "2006-05-01", "'2006-05-01'"},
        {MYSQL_TYPE_TIME, "-838:59:59", "'-838:59:59'"},
        {MYSQL_TYPE_DATETIME, "0000-00-00 00:00:00", "'0000-00-00 00:00:00'"},
        {MYSQL_TYPE_YEAR, "2155", "'2155'"},
        {MYSQL_TYPE_VAR_STRING, "O'Brien", "'O\\'Brien'"},
        {MYSQL_TYPE_VAR_STRING, "", "''"},
        {MYSQL_TYPE_STRING, "a\r\n\t\\;\"", "'a\\r\\n\t\\\\;\\\"'"},
        {MYSQL_TYPE_BLOB, "A\0B\0\0"s, "'A\\0B\\0\\0'"},
        {MYSQL_TYPE_JSON, "{\"k\": 'v'}", "'{\\\"k\\\": \\'v\\'}'"},
        // Raw bytes that would break the statement go out as hex.
        {MYSQL_TYPE_BIT, "\x01"s, "0x01"},
        {MYSQL_TYPE_BIT, "\xff\x00\x27\x5c"s, "0xFF00275C"},
        {MYSQL_TYPE_BIT, "", "''"},
        {MYSQL_TYPE_GEOMETRY, "\0\0\0\0\x01"s, "0x0000000001"},
    };
    for (const Case& c : cases) {
        const MYSQL_FIELD field = fieldOf(c.type);
        std::string out;
        appendColumnValue(out, mysql_, c.value ? c.value->data() : nullptr,
                          c.value ? static_cast<unsigned long>(c.value->size()) : 0, field);
        EXPECT_EQ(out, c.expected) << "type " << c.type;
    }
}

TEST_F(RowValues, RowListHasNoBlanks) {
    const std::string name = "x y";
    char id[] = "7";
    char* row[] = {id, nullptr, const_cast<char*>(name.c_str())};
    const unsigned long lengths[] = {1, 0, 3};
    const MYSQL_FIELD fields[] = {fieldOf(MYSQL_TYPE_LONG), fieldOf(MYSQL_TYPE_DATE), fieldOf(MYSQL_TYPE_VARCHAR)};
    EXPECT_EQ(formatRowValues(mysql_, row, lengths, fields, 3), "(7,NULL,'x y')");
}

// Our own escaping of plain text must give the library's bytes exactly, in
// both escaping modes of a server, for every byte it handles itself and for
// text that goes on to the library.
TEST_F(RowValues, StringsEscapeAsTheClientLibraryDoes) {
    std::string every_byte;
    for (int c = 0; c < 256; ++c) every_byte += static_cast<char>(c);
    std::vector<std::string> values = {every_byte.substr(0, 128), every_byte, "plain text", "it's",
                                       "caf\xc3\xa9 'x'\n", std::string(1000, 'x') + "\\"};
    // Each byte that matters at every place of a run longer than the steps
    // plain text is scanned in, and a multi-byte character after a long run.
    for (const char special : {'\'', '\\', '"', '\n', '\r', '\0', '\x1a', '\xc3'}) {
        for (size_t at = 0; at < 40; ++at) {
            std::string run(40, 'a');
            run[at] = special;
            values.push_back(run);
        }
    }
    values.push_back(std::string(100, 'b') + "'" + std::string(37, 'c') + "\xc3\xa9" + std::string(20, 'd'));
    for (const bool no_backslashes : {false, true}) {
        if (no_backslashes) mysql_->server_status |= SERVER_STATUS_NO_BACKSLASH_ESCAPES;
        for (const std::string& value : values) {
            std::string expected(2 * value.size() + 1, '\0');
            expected.resize(mysql_real_escape_string(mysql_, expected.data(), value.data(),
                                                     static_cast<unsigned long>(value.size())));
            std::string out;
            appendColumnValue(out, mysql_, value.data(), static_cast<unsigned long>(value.size()),
                              fieldOf(MYSQL_TYPE_VAR_STRING));
            EXPECT_EQ(out, "'" + expected + "'") << "no backslashes " << no_backslashes << ", " << value.size();
        }
    }
}

}  // namespace
}  // namespace keelvault
