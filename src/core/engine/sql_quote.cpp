#include "core/engine/sql_quote.h"

namespace keelvault {

namespace {

// True when a name can stand bare in SQL text: letters, digits, '_', '$'
// and bytes of multi-byte characters, and not digits alone (a number).
bool isPlainName(const std::string& name) {
    if (name.empty()) return false;
    bool digits_only = true;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        const bool digit = byte >= '0' && byte <= '9';
        const bool plain = digit || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || byte == '_' ||
                           byte == '$' || byte >= 0x80;
        if (!plain) return false;
        if (!digit) digits_only = false;
    }
    return !digits_only;
}

}  // namespace

std::string quoteName(const std::string& name, bool quote) {
    // A name that cannot stand bare is quoted whatever the option says:
    // bare, a blank, a line break or a semicolon in it would change the
    // statement it stands in.
    if (!quote && isPlainName(name)) return name;
    std::string out;
    out.reserve(name.size() + 2);
    out += '`';
    for (char c : name) {
        if (c == '`') out += '`';
        out += c;
    }
    out += '`';
    return out;
}

std::string escapeForLike(const std::string& name) {
    std::string out;
    out.reserve(name.size() + 8);
    for (char c : name) {
        switch (c) {
            case '\\':
                // The literal turns four backslashes into two, which the pattern
                // reads as one literal backslash.
                out += "\\\\\\\\";
                break;
            case '\'':
                out += "\\'";
                break;
            case '_':
            case '%':
                // "\_" and "\%" keep their backslash in a literal, so the pattern
                // sees the escape.
                out += '\\';
                out += c;
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string escapeStringLiteral(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\'':
                out += "\\'";
                break;
            case '\0':
                out += "\\0";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\x1a':
                out += "\\Z";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace keelvault
