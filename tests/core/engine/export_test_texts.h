#pragma once

#include <string>

namespace keelvault::test {

// The fixed parts of the XML and HTML export documents, written out here by
// hand so the writers are checked against an independent copy.
inline const std::string kXmlHead =
    "<?xml version=\"1.0\" standalone=\"no\"?>\r\n"
    "<DATAPACKET Version=\"2.0\">\r\n"
    "<METADATA>\r\n"
    "<FIELDS>\r\n";
inline const std::string kXmlFieldsEnd = "</FIELDS>\r\n</METADATA>\r\n<ROWDATA>\r\n";
inline const std::string kXmlEnd = "</ROWDATA>\r\n</DATAPACKET>\r\n";

inline const std::string kHtmlHead =
    "<html>\r\n"
    "<head>\r\n"
    "<title>Table Data</title>\r\n"
    "<style type=\"text/css\">\r\n"
    "<!--\r\n"
    ".normal {  font-family: Verdana, Arial, Helvetica, sans-serif; font-size: 12px; font-weight: normal; color: "
    "#000000}\r\n"
    ".medium {  font-family: Verdana, Arial, Helvetica, sans-serif; font-size: 15px; font-weight: bold; color: "
    "#000000; text-decoration: none}\r\n"
    "-->\r\n"
    "</style>\r\n"
    "</head>\r\n"
    "<table border=1>\r\n"
    "<tr>\r\n";
inline const std::string kHtmlEnd = "</table></body></html>\r\n";

inline std::string xmlField(const std::string& name, const std::string& type) {
    return "<FIELD FieldName=\"" + name + "\" DisplayLabel=\"" + name + "\" FieldType=\"" + type + "\"/>\r\n";
}
inline std::string htmlHeadCell(const std::string& name) {
    return "<td bgcolor=silver class='medium'>" + name + "</td>\r\n";
}
inline std::string htmlCell(const std::string& text) {
    return "<td class='normal' valign='top'>" + text + "</td>\r\n";
}

}  // namespace keelvault::test
