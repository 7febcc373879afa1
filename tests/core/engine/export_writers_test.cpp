#include "core/engine/export_writers.h"

#include <gtest/gtest.h>
#include <mysql.h>

#include <optional>
#include <string>
#include <vector>

#include "export_test_texts.h"
#include "support/test_support.h"

namespace keelvault {
namespace {

using Value = std::optional<std::string>;
using Row = std::vector<Value>;

constexpr int kInt = 3;
constexpr int kVarchar = 253;
constexpr int kText = 252;
constexpr int kBit = 16;
constexpr int kEnum = 247;

CExportOptions optionsFor(uint8_t format, std::string separator = ",", std::string enclosing = "\"",
                          std::string lines = "\r\n", uint8_t header = 1) {
    CExportOptions options;
    options.format = format;
    options.fields_terminated_by = std::move(separator);
    options.fields_enclosed_by = std::move(enclosing);
    options.lines_terminated_by = std::move(lines);
    options.column_names_on_top = header;
    return options;
}

// An unconnected handle escapes with the library's default character set,
// which is all the cell rules need.
class Handle {
public:
    Handle() : mysql_(mysql_init(nullptr)) {}
    ~Handle() { mysql_close(mysql_); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    MYSQL* get() const { return mysql_; }

private:
    MYSQL* mysql_;
};

// Header, rows and end of a whole document.
std::string render(const CExportOptions& options, const std::vector<ExportField>& fields,
                   const std::vector<Row>& rows) {
    Handle handle;
    ExportWriter writer(options, fields, handle.get());
    std::string out;
    writer.headerText(out);
    for (const Row& row : rows) {
        std::vector<char*> values;
        std::vector<unsigned long> lengths;
        for (const Value& v : row) {
            values.push_back(v ? const_cast<char*>(v->data()) : nullptr);
            lengths.push_back(v ? static_cast<unsigned long>(v->size()) : 0);
        }
        writer.rowText(values.data(), lengths.data(), out);
    }
    writer.endText(out);
    return out;
}

TEST(ExportWriters, CsvAndTextDocuments) {
    const std::vector<ExportField> fields = {{"id", kInt}, {"v", kVarchar}, {"s", kVarchar}};
    const std::vector<Row> one_null_blank = {{"1", std::nullopt, "a b"}};
    struct Case {
        const char* what;
        CExportOptions options;
        std::vector<Row> rows;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"comma, double quote, CR LF", optionsFor(kExportCsv), one_null_blank,
         "\"id\",\"v\",\"s\"\r\n\"1\",\"\",\"a b\"\r\n"},
        {"no header", optionsFor(kExportCsv, ",", "\"", "\r\n", 0), one_null_blank, "\"1\",\"\",\"a b\"\r\n"},
        // Only the last character of a two-character separator goes.
        {"two-character separator", optionsFor(kExportCsv, ", ", "'", "\n"), one_null_blank,
         "'id', 'v', 's',\n'1', '', 'a b',\n"},
        {"no enclosing", optionsFor(kExportCsv, ";", "", "\n"), {{"7", "x", std::nullopt}}, "id;v;s\n7;x;\n"},
        // TEXT names its columns without the enclosing text but encloses cells.
        {"text", optionsFor(kExportText, "\t", "|", "\n"), one_null_blank, "id\tv\ts\n|1|\t||\t|a b|\n"},
        {"text without header",
         optionsFor(kExportText, "\t", "", "\r\n", 0),
         {{"2", "b", "c"}, {"3", "", "NULL"}},
         "2\tb\tc\r\n3\t\t\r\n"},
        {"no rows", optionsFor(kExportCsv), {}, "\"id\",\"v\",\"s\"\r\n"},
        {"unknown format writes as text", optionsFor(9, ",", "", "\n"), one_null_blank, "id,v,s\n1,,a b\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(render(c.options, fields, c.rows), c.expected) << c.what;
}

TEST(ExportWriters, XmlDocument) {
    const std::vector<ExportField> fields = {{"id", kInt}, {"name", kVarchar}, {"g", 255}, {"j", 245}, {"a\"b", 1}};
    const std::string expected = test::kXmlHead + test::xmlField("id", "Integer") + test::xmlField("name", "Varchar") +
                                 test::xmlField("g", "Geometry") + test::xmlField("j", "") +
                                 test::xmlField("a&quot;b", "Tiny") + test::kXmlFieldsEnd +
                                 "<ROW id=\"1\" name=\"O\\'Neil\" g=\"\" j=\"\" a\"b=\"0\"/>\r\n" +
                                 "<ROW id=\"2\" name=\"a&amp;b&lt;c\" g=\"\" j=\"x\" a\"b=\"\"/>\r\n" + test::kXmlEnd;
    EXPECT_EQ(render(optionsFor(kExportXml), fields,
                     {{"1", "O'Neil", std::nullopt, "", "0"}, {"2", "a&b<c", "", "x", "NULL"}}),
              expected);
    // Without fields a row is still a closed element.
    EXPECT_EQ(render(optionsFor(kExportXml), {}, {{}}),
              test::kXmlHead + test::kXmlFieldsEnd + "<ROW/>\r\n" + test::kXmlEnd);
}

TEST(ExportWriters, HtmlDocument) {
    const std::vector<ExportField> fields = {{"id", kInt}, {"first name", kVarchar}};
    const std::string expected = test::kHtmlHead + test::htmlHeadCell("id") + test::htmlHeadCell("first name") +
                                 "</tr>\r\n" + "<tr>\r\n" + test::htmlCell("1") + test::htmlCell("x&nbsp;y") +
                                 "</tr>\r\n" + "<tr>\r\n" + test::htmlCell("&nbsp;") + test::htmlCell("&nbsp;") +
                                 "</tr>\r\n" + test::kHtmlEnd;
    EXPECT_EQ(render(optionsFor(kExportHtml), fields, {{"1", "x y"}, {std::nullopt, ""}}), expected);
}

TEST(ExportWriters, CellTextsByFormat) {
    struct Case {
        Value value;
        int type;
        std::string csv, xml, html;
    };
    const std::vector<Case> cases = {
        {std::nullopt, kVarchar, "", "", "&nbsp;"},
        {"", kVarchar, "", "", "&nbsp;"},
        {"NULL", kVarchar, "", "", "&nbsp;"},
        {"  NULL\t", kEnum, "", "", "&nbsp;"},
        {"null", kVarchar, "null", "null", "null"},
        {" padded\t ", kVarchar, "padded", "padded", "padded"},
        {" 42 ", kInt, "42", "42", "42"},
        {"O'Neil", kVarchar, "O\\'Neil", "O\\'Neil", "O\\'Neil"},
        {"a&b<c>", kVarchar, "a&b<c>", "a&amp;b&lt;c&gt;", "a&amp;b&lt;c&gt;"},
        {"&amp;", kVarchar, "&amp;", "&amp;", "&amp;"},
        {"&amp &lt;x&gt", kText, "&amp &lt;x&gt", "&amp; &lt;x&gt;", "&amp;&nbsp;&lt;x&gt;"},
        {"&nbsp;>", kText, "&nbsp;>", "&amp;nbsp;&gt;", "&nbsp;&gt;"},
        // Quotes come escaped by the client library; in XML the quote itself
        // must not end the attribute.
        {"say \"hi\"", kVarchar, "say \\\"hi\\\"", "say \\&quot;hi\\&quot;", "say&nbsp;\\\"hi\\\""},
        {"a\r\nb\\c", kText, "a\\r\\nb\\\\c", "a\\r\\nb\\\\c", "a\\r\\nb\\\\c"},
        {std::string("x\0y\x1a", 4), 252, "x\\0y\\Z", "x\\0y\\Z", "x\\0y\\Z"},
        // Values outside the string class are written as delivered.
        {"a'b\\", kBit, "a'b\\", "a'b\\", "a'b\\"},
        {"", kInt, "", "", "&nbsp;"},
    };
    for (const Case& c : cases) {
        const std::vector<ExportField> one = {{"v", c.type}};
        const std::string label = c.value ? *c.value : std::string("(NULL)");
        EXPECT_EQ(render(optionsFor(kExportCsv, ",", "\"", "\n", 0), one, {{c.value}}), "\"" + c.csv + "\"\n") << label;
        const std::string xml = render(optionsFor(kExportXml), one, {{c.value}});
        EXPECT_EQ(xml, test::kXmlHead + test::xmlField("v", xmlFieldTypeName(c.type)) + test::kXmlFieldsEnd +
                           "<ROW v=\"" + c.xml + "\"/>\r\n" + test::kXmlEnd)
            << label;
        const std::string html = render(optionsFor(kExportHtml), one, {{c.value}});
        EXPECT_EQ(html, test::kHtmlHead + test::htmlHeadCell("v") + "</tr>\r\n<tr>\r\n" + test::htmlCell(c.html) +
                            "</tr>\r\n" + test::kHtmlEnd)
            << label;
    }
}

TEST(ExportWriters, XmlFieldTypeNames) {
    const std::vector<std::pair<int, std::string>> cases = {
        {0, "Decimal"},
        {246, "Decimal"},
        {1, "Tiny"},
        {2, "SmallInt"},
        {3, "Integer"},
        {4, "Float"},
        {5, "Double"},
        {6, "Null"},
        {7, "TimeStamp"},
        {8, "BigInt"},
        {9, "MediumInt"},
        {10, "Date"},
        {14, "Date"},
        {11, "Time"},
        {12, "DateTime"},
        {13, "Year"},
        {15, "Varchar"},
        {253, "Varchar"},
        {16, "Bit"},
        {247, "Enum"},
        {248, "Set"},
        {249, "TinyText"},
        {250, "MediumText"},
        {251, "LongText"},
        {252, "Text"},
        {254, "Char"},
        {255, "Geometry"},
        {17, ""},
        {18, ""},
        {245, ""},
        {-1, ""},
    };
    for (const auto& [code, name] : cases) EXPECT_EQ(xmlFieldTypeName(code), name) << code;
}

// Writers refuse a file that is not open.
TEST(ExportWriter, RefusesAFileNotOpen) {
    OutputFile closed;
    ExportWriter writer(optionsFor(kExportXml), {{"id", kInt}}, nullptr);
    EXPECT_FALSE(writer.writeHeader(closed));
    EXPECT_FALSE(writer.writeEnd(closed));
}

}  // namespace
}  // namespace keelvault
