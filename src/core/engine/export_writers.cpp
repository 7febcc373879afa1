#include "core/engine/export_writers.h"

#include <cstring>
#include <utility>

namespace keelvault {

namespace {

constexpr std::string_view kXmlHeaderStart =
    "<?xml version=\"1.0\" standalone=\"no\"?>\r\n<DATAPACKET Version=\"2.0\">\r\n<METADATA>\r\n<FIELDS>\r\n";
constexpr std::string_view kXmlHeaderEnd = "</FIELDS>\r\n</METADATA>\r\n<ROWDATA>\r\n";
constexpr std::string_view kXmlEnd = "</ROWDATA>\r\n</DATAPACKET>\r\n";

constexpr std::string_view kHtmlHeaderStart =
    "<html>\r\n<head>\r\n<title>Table Data</title>\r\n<style type=\"text/css\">\r\n<!--\r\n"
    ".normal {  font-family: Verdana, Arial, Helvetica, sans-serif; font-size: 12px; font-weight: normal; "
    "color: #000000}\r\n"
    ".medium {  font-family: Verdana, Arial, Helvetica, sans-serif; font-size: 15px; font-weight: bold; "
    "color: #000000; text-decoration: none}\r\n-->\r\n</style>\r\n</head>\r\n<table border=1>\r\n<tr>\r\n";
constexpr std::string_view kHtmlEnd = "</table></body></html>\r\n";

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Every occurrence, left to right, without rescanning replaced text.
void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    size_t at = text.find(from);
    if (at == std::string::npos) return;
    std::string out;
    out.reserve(text.size());
    size_t done = 0;
    while (at != std::string::npos) {
        out.append(text, done, at - done);
        out.append(to);
        done = at + from.size();
        at = text.find(from, done);
    }
    out.append(text, done, std::string::npos);
    text = std::move(out);
}

struct Replacement {
    std::string_view from;
    std::string_view to;
};

// Entities a value may already carry are folded back before escaping, so
// that they come out once, not twice.
constexpr Replacement kXmlFold[] = {{"&amp;", "&"}, {"&amp", "&"}, {"&gt;", ">"},
                                    {"&gt", ">"},   {"&lt;", "<"}, {"&lt", "<"}};
constexpr Replacement kHtmlFold[] = {{"&amp;", "&"}, {"&amp", "&"}, {"&nbsp;", " "}, {"&nbsp", " "},
                                     {"&gt;", ">"},  {"&gt", ">"},  {"&lt;", "<"},   {"&lt", "<"}};

template <size_t N>
std::string folded(std::string_view text, const Replacement (&pairs)[N]) {
    std::string out(text);
    if (out.find('&') == std::string::npos) return out;
    for (const Replacement& r : pairs) replaceAll(out, r.from, r.to);
    return out;
}

// Text inside a double-quoted XML attribute.
void appendXmlAttribute(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
}

void dropLastChar(std::string& text, size_t line_start) {
    if (text.size() > line_start) text.pop_back();
}

}  // namespace

const char* xmlFieldTypeName(int type_code) {
    switch (type_code) {
        case 0:
        case 246:
            return "Decimal";
        case 1:
            return "Tiny";
        case 2:
            return "SmallInt";
        case 3:
            return "Integer";
        case 4:
            return "Float";
        case 5:
            return "Double";
        case 6:
            return "Null";
        case 7:
            return "TimeStamp";
        case 8:
            return "BigInt";
        case 9:
            return "MediumInt";
        case 10:
        case 14:
            return "Date";
        case 11:
            return "Time";
        case 12:
            return "DateTime";
        case 13:
            return "Year";
        case 15:
        case 253:
            return "Varchar";
        case 16:
            return "Bit";
        case 247:
            return "Enum";
        case 248:
            return "Set";
        case 249:
            return "TinyText";
        case 250:
            return "MediumText";
        case 251:
            return "LongText";
        case 252:
            return "Text";
        case 254:
            return "Char";
        case 255:
            return "Geometry";
        default:
            return "";
    }
}

bool isStringClassType(int type_code) {
    switch (type_code) {
        case 15:
        case 247:
        case 248:
        case 249:
        case 250:
        case 251:
        case 252:
        case 253:
        case 254:
            return true;
        default:
            return false;
    }
}

std::string escapeXmlCell(std::string_view text) {
    const std::string plain = folded(text, kXmlFold);
    std::string out;
    out.reserve(plain.size() + 16);
    appendXmlAttribute(out, plain);
    return out;
}

std::string escapeHtmlCell(std::string_view text) {
    const std::string plain = folded(text, kHtmlFold);
    std::string out;
    out.reserve(plain.size() + 16);
    for (char c : plain) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case ' ':
                out += "&nbsp;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '<':
                out += "&lt;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::vector<ExportField> exportFieldsOf(const MYSQL_FIELD* fields, unsigned int count) {
    std::vector<ExportField> out;
    out.reserve(count);
    for (unsigned int i = 0; i < count; ++i) {
        const char* name = fields[i].name;
        out.push_back(ExportField{name ? std::string(name, fields[i].name_length) : std::string(),
                                  static_cast<int>(fields[i].type)});
    }
    return out;
}

ExportWriter::ExportWriter(const CExportOptions& options, std::vector<ExportField> fields, MYSQL* connection)
    : options_(options), fields_(std::move(fields)), connection_(connection) {}

void ExportWriter::headerText(std::string& out) const {
    const std::string& enclosing = options_.fields_enclosed_by;
    const std::string& separator = options_.fields_terminated_by;
    switch (options_.format) {
        case kExportXml:
            out += kXmlHeaderStart;
            for (const ExportField& field : fields_) {
                // Names go through the attribute escaping too, so an odd
                // column name cannot end the attribute early.
                out += "<FIELD FieldName=\"";
                appendXmlAttribute(out, field.name);
                out += "\" DisplayLabel=\"";
                appendXmlAttribute(out, field.name);
                out += "\" FieldType=\"";
                out += xmlFieldTypeName(field.type);
                out += "\"/>\r\n";
            }
            out += kXmlHeaderEnd;
            return;
        case kExportHtml:
            out += kHtmlHeaderStart;
            for (const ExportField& field : fields_) {
                out += "<td bgcolor=silver class='medium'>";
                out += field.name;
                out += "</td>\r\n";
            }
            out += "</tr>\r\n";
            return;
        default: {
            if (!options_.column_names_on_top) return;
            const bool enclose = options_.format == kExportCsv;
            const size_t start = out.size();
            for (const ExportField& field : fields_) {
                if (enclose) out += enclosing;
                out += field.name;
                if (enclose) out += enclosing;
                out += separator;
            }
            dropLastChar(out, start);
            out += options_.lines_terminated_by;
            return;
        }
    }
}

std::string_view ExportWriter::cellText(const char* value, unsigned long length, int type) {
    if (!value) return {};
    const char* text = value;
    size_t size = length;
    if (isStringClassType(type)) {
        if (length == 0) return {};
        const size_t needed = 2 * static_cast<size_t>(length) + 1;
        if (needed > escape_capacity_) {
            escape_buffer_ = std::make_unique_for_overwrite<char[]>(needed);
            escape_capacity_ = needed;
        }
        const unsigned long escaped = connection_
                                          ? mysql_real_escape_string(connection_, escape_buffer_.get(), value, length)
                                          : mysql_escape_string(escape_buffer_.get(), value, length);
        if (escaped != static_cast<unsigned long>(-1)) {
            text = escape_buffer_.get();
            size = escaped;
        }
    }
    while (size > 0 && isBlank(text[0])) {
        ++text;
        --size;
    }
    while (size > 0 && isBlank(text[size - 1])) --size;
    const std::string_view cell(text, size);
    if (cell == "NULL") return {};
    return cell;
}

void ExportWriter::rowText(const MYSQL_ROW row, const unsigned long* lengths, std::string& out) {
    const size_t count = fields_.size();
    switch (options_.format) {
        case kExportXml: {
            out += "<ROW ";
            for (size_t i = 0; i < count; ++i) {
                const std::string_view cell = cellText(row[i], lengths[i], fields_[i].type);
                out += fields_[i].name;
                out += "=\"";
                if (!cell.empty()) out += escapeXmlCell(cell);
                out += "\" ";
            }
            out.pop_back();
            out += "/>\r\n";
            return;
        }
        case kExportHtml: {
            out += "<tr>\r\n";
            for (size_t i = 0; i < count; ++i) {
                const std::string_view cell = cellText(row[i], lengths[i], fields_[i].type);
                out += "<td class='normal' valign='top'>";
                out += cell.empty() ? std::string("&nbsp;") : escapeHtmlCell(cell);
                out += "</td>\r\n";
            }
            out += "</tr>\r\n";
            return;
        }
        default: {
            const std::string& enclosing = options_.fields_enclosed_by;
            const std::string& separator = options_.fields_terminated_by;
            const size_t start = out.size();
            for (size_t i = 0; i < count; ++i) {
                out += enclosing;
                out += cellText(row[i], lengths[i], fields_[i].type);
                out += enclosing;
                out += separator;
            }
            dropLastChar(out, start);
            out += options_.lines_terminated_by;
            return;
        }
    }
}

void ExportWriter::endText(std::string& out) const {
    if (options_.format == kExportXml) out += kXmlEnd;
    if (options_.format == kExportHtml) out += kHtmlEnd;
}

bool ExportWriter::writeHeader(OutputFile& file) {
    if (!file.isOpen()) return false;
    row_.clear();
    headerText(row_);
    return file.append(row_);
}

bool ExportWriter::writeRow(OutputFile& file, const MYSQL_ROW row, const unsigned long* lengths) {
    if (!file.isOpen()) return false;
    row_.clear();
    rowText(row, lengths, row_);
    return file.append(row_);
}

bool ExportWriter::writeEnd(OutputFile& file) {
    if (!file.isOpen()) return false;
    row_.clear();
    endText(row_);
    return file.append(row_);
}

}  // namespace keelvault
