#include "core/editing/export_rules.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "check_expect.h"
#include "support/test_support.h"

namespace keelvault {
namespace {

namespace fs = std::filesystem;
using test::accepted;
using test::refused;

TEST(ExportRules, Unescaping) {
    struct Case {
        std::string typed;
        std::string stored;
    };
    const std::vector<Case> cases = {
        {"\\a\\b\\f\\n\\r\\t\\v", "\a\b\f\n\r\t\v"},
        {"\\'\\\"\\?", "'\"?"},
        {"\\\\", "\\"},
        {",", ","},
        {"\\r\\n", "\r\n"},
        // The sequences run in order, so a typed backslash pair before n ends as backslash + LF.
        {"\\\\n", "\\\n"},
        {"\\\\t", "\\\t"},
        // ...and a pair before a character without a sequence stays one backslash.
        {"\\\\x", "\\x"},
        {"\\x", "\\x"},
        {"a\\", "a\\"},
        {"", ""},
        // Text stored already unescaped passes unchanged when the edit sheet unescapes again.
        {"\r\n", "\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(unescapeSeparator(c.typed), c.stored) << c.typed;
}

TEST(ExportRules, TypeDefaultsAreTypedTextThatUnescapesToTheSeparators) {
    const ExportTypeDefaults csv = exportTypeDefaults(1);
    EXPECT_EQ(csv.sample, "Tablename.csv");
    EXPECT_EQ(csv.fields_terminated_by, ",");
    EXPECT_EQ(csv.fields_enclosed_by, "\"");
    EXPECT_EQ(csv.fields_escaped_by, "\\\\");
    EXPECT_EQ(csv.lines_terminated_by, "\\r\\n");
    EXPECT_TRUE(csv.separators_enabled);
    EXPECT_EQ(unescapeSeparator(csv.fields_escaped_by), "\\");
    EXPECT_EQ(unescapeSeparator(csv.lines_terminated_by), "\r\n");

    const ExportTypeDefaults text = exportTypeDefaults(4);
    EXPECT_EQ(text.sample, "Tablename.txt");
    EXPECT_EQ(text.fields_terminated_by, "\\t");
    EXPECT_EQ(text.fields_enclosed_by, "");
    EXPECT_TRUE(text.separators_enabled);

    for (auto [format, sample] : {std::pair<uint8_t, const char*>{2, "Tablename.xml"}, {3, "Tablename.html"}}) {
        const ExportTypeDefaults d = exportTypeDefaults(format);
        EXPECT_EQ(d.sample, sample);
        EXPECT_EQ(d.fields_terminated_by + d.fields_enclosed_by + d.fields_escaped_by + d.lines_terminated_by, "");
        EXPECT_FALSE(d.separators_enabled);
    }
}

TEST(ExportRules, Next) {
    test::TempDir dir;
    ExportTexts texts;
    texts.directory = (dir / "out").string();
    EXPECT_TRUE(refused(checkExportPage(texts), "Please choose the file type!", ExportField::FileType));
    texts.format = 5;
    EXPECT_TRUE(refused(checkExportPage(texts), "Please choose the file type!", ExportField::FileType));
    texts.format = 1;
    texts.directory.clear();
    EXPECT_TRUE(refused(checkExportPage(texts), "Please choose the directory!", ExportField::Directory));
    texts.directory = (dir / "a" / "b").string();
    EXPECT_TRUE(refused(checkExportPage(texts), "Invalid directory!", ExportField::Directory));
    EXPECT_FALSE(fs::exists(dir / "a"));

    const ExportTypeDefaults csv = exportTypeDefaults(1);
    texts.directory = (dir / "out").string();  // no separator is added
    texts.fields_terminated_by = csv.fields_terminated_by;
    texts.fields_enclosed_by = csv.fields_enclosed_by;
    texts.fields_escaped_by = csv.fields_escaped_by;
    texts.lines_terminated_by = csv.lines_terminated_by;
    texts.column_names_on_top = true;
    const auto result = checkExportPage(texts);
    ASSERT_TRUE(accepted(result));
    EXPECT_TRUE(fs::is_directory(dir / "out"));
    EXPECT_EQ(result.value(), (CExportOptions{1, (dir / "out").string(), ",", "\"", "\\", "\r\n", 1}));
}

TEST(ExportRules, EditSheetTextsShowTheStoredSeparatorsAsTheyAre) {
    const CExportOptions stored{4, "/x", "\t", "", "\\", "\r\n", 1};
    const ExportTexts texts = exportTexts(stored);
    EXPECT_EQ(texts.format, 4);
    EXPECT_EQ(texts.fields_terminated_by, "\t");
    EXPECT_EQ(texts.lines_terminated_by, "\r\n");
    EXPECT_TRUE(texts.column_names_on_top);
    EXPECT_EQ(exportTexts(CExportOptions{9, "", "", "", "", "", 0}).format, 0);
}

}  // namespace
}  // namespace keelvault
