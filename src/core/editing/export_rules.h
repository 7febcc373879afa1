#pragma once

#include <cstdint>
#include <string>

#include "core/editing/check_result.h"
#include "core/model/task.h"

namespace keelvault {

// The export file page: file type, directory and the CSV/TEXT separators.
enum class ExportField { FileType, Directory };

// What choosing a file type puts into the page (overwriting what was typed).
// The separators are typed text: escape sequences, not the characters.
struct ExportTypeDefaults {
    std::string sample;  // "Tablename.csv", ...
    std::string fields_terminated_by;
    std::string fields_enclosed_by;
    std::string fields_escaped_by;
    std::string lines_terminated_by;
    bool separators_enabled = false;  // the four edits and the column-names box
};

// For formats 1 CSV, 2 XML, 3 HTML, 4 TEXT; empty and disabled for others.
ExportTypeDefaults exportTypeDefaults(uint8_t format);

// Turns typed escape sequences into characters, replacing in this order every
// \a \b \f \n \r \t \v \' \" \\ \? with BEL, BS, FF, LF, CR, TAB, VT, ', ",
// backslash and ?. Each sequence is replaced in the whole text before the
// next is looked for, so a typed "\\n" becomes a backslash and a line feed.
std::string unescapeSeparator(const std::string& typed);

struct ExportTexts {
    uint8_t format = 0;  // 0 when no type is chosen
    std::string directory;
    std::string fields_terminated_by;
    std::string fields_enclosed_by;
    std::string fields_escaped_by;
    std::string lines_terminated_by;
    bool column_names_on_top = false;
};

// The fields as the edit sheet shows stored options: the separators as
// stored, without turning characters back into escape sequences; a format
// outside 1..4 shows as no type chosen.
ExportTexts exportTexts(const CExportOptions& options);

// Next: a type, then a directory that exists or can be created as one new
// level (created here); the directory is stored as typed and the separators
// unescaped.
CheckResult<CExportOptions, ExportField> checkExportPage(const ExportTexts& texts);

}  // namespace keelvault
