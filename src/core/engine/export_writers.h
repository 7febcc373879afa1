#pragma once

#include <mysql.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine/output_file.h"
#include "core/model/task.h"

namespace keelvault {

// Export formats as stored in CExportOptions::format.
enum ExportFormat : uint8_t { kExportCsv = 1, kExportXml = 2, kExportHtml = 3, kExportText = 4 };

// The FieldType attribute of the XML header for a MySQL type code; "" for a
// code without a name.
const char* xmlFieldTypeName(int type_code);

// Values of these types are escaped with the connection before they are written.
bool isStringClassType(int type_code);

// Escaping of a non-empty cell text. Entities already present are folded back
// first, so a value reading "&amp;" stays "&amp;". The XML form also turns a
// double quote into "&quot;", as cells are written inside attribute values.
std::string escapeXmlCell(std::string_view text);
std::string escapeHtmlCell(std::string_view text);

// A column as the writers see it.
struct ExportField {
    std::string name;
    int type = 0;
};
std::vector<ExportField> exportFieldsOf(const MYSQL_FIELD* fields, unsigned int count);

// Builds and writes the texts of one export file: the header, one text per
// row and the end. A row is assembled in a reused buffer; values of the
// string class are escaped with mysql_real_escape_string on `connection`.
class ExportWriter {
public:
    ExportWriter(const CExportOptions& options, std::vector<ExportField> fields, MYSQL* connection);

    // The texts, appended to `out`. The end is empty for CSV and TEXT.
    void headerText(std::string& out) const;
    void rowText(const MYSQL_ROW row, const unsigned long* lengths, std::string& out);
    void endText(std::string& out) const;

    // Each writes its text to the file: false when the file is not open or
    // the write fails.
    bool writeHeader(OutputFile& file);
    bool writeRow(OutputFile& file, const MYSQL_ROW row, const unsigned long* lengths);
    bool writeEnd(OutputFile& file);

private:
    // The cell text of one value after escaping and trimming; empty for NULL,
    // an empty string or the text "NULL".
    std::string_view cellText(const char* value, unsigned long length, int type);

    CExportOptions options_;
    std::vector<ExportField> fields_;
    MYSQL* connection_;
    std::unique_ptr<char[]> escape_buffer_;
    size_t escape_capacity_ = 0;
    std::string row_;
};

}  // namespace keelvault
