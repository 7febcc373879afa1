#include "core/editing/export_rules.h"

#include <array>
#include <utility>

#include "core/editing/path_checks.h"

namespace keelvault {

ExportTypeDefaults exportTypeDefaults(uint8_t format) {
    switch (format) {
        case 1:
            return {"Tablename.csv", ",", "\"", "\\\\", "\\r\\n", true};
        case 2:
            return {"Tablename.xml", "", "", "", "", false};
        case 3:
            return {"Tablename.html", "", "", "", "", false};
        case 4:
            return {"Tablename.txt", "\\t", "", "\\\\", "\\r\\n", true};
        default:
            return {};
    }
}

std::string unescapeSeparator(const std::string& typed) {
    static const std::array<std::pair<const char*, char>, 11> kSequences = {{
        {"\\a", '\a'},
        {"\\b", '\b'},
        {"\\f", '\f'},
        {"\\n", '\n'},
        {"\\r", '\r'},
        {"\\t", '\t'},
        {"\\v", '\v'},
        {"\\'", '\''},
        {"\\\"", '"'},
        {"\\\\", '\\'},
        {"\\?", '?'},
    }};
    std::string text = typed;
    for (const auto& [sequence, character] : kSequences) {
        std::string replaced;
        replaced.reserve(text.size());
        size_t from = 0;
        for (size_t at = text.find(sequence); at != std::string::npos; at = text.find(sequence, from)) {
            replaced.append(text, from, at - from);
            replaced += character;
            from = at + 2;
        }
        replaced.append(text, from, std::string::npos);
        text = std::move(replaced);
    }
    return text;
}

ExportTexts exportTexts(const CExportOptions& options) {
    ExportTexts texts;
    texts.format = options.format >= 1 && options.format <= 4 ? options.format : 0;
    texts.directory = options.directory;
    texts.fields_terminated_by = options.fields_terminated_by;
    texts.fields_enclosed_by = options.fields_enclosed_by;
    texts.fields_escaped_by = options.fields_escaped_by;
    texts.lines_terminated_by = options.lines_terminated_by;
    texts.column_names_on_top = options.column_names_on_top != 0;
    return texts;
}

CheckResult<CExportOptions, ExportField> checkExportPage(const ExportTexts& texts) {
    if (texts.format < 1 || texts.format > 4) return refuse("Please choose the file type!", ExportField::FileType);
    if (texts.directory.empty()) return refuse("Please choose the directory!", ExportField::Directory);
    if (!ensureFolderOneLevel(texts.directory)) return refuse("Invalid directory!", ExportField::Directory);
    CExportOptions options;
    options.format = texts.format;
    options.directory = texts.directory;
    options.fields_terminated_by = unescapeSeparator(texts.fields_terminated_by);
    options.fields_enclosed_by = unescapeSeparator(texts.fields_enclosed_by);
    options.fields_escaped_by = unescapeSeparator(texts.fields_escaped_by);
    options.lines_terminated_by = unescapeSeparator(texts.lines_terminated_by);
    options.column_names_on_top = texts.column_names_on_top ? 1 : 0;
    return options;
}

}  // namespace keelvault
