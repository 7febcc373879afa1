#include "core/engine/sql_quote.h"

namespace keelvault {

std::string quoteName(const std::string& name, bool quote) {
    if (!quote) return name;
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
