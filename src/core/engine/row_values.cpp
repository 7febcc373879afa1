#include "core/engine/row_values.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace keelvault {

namespace {

enum class ValueStyle { Bare, Quoted, Hex, Escaped };

ValueStyle styleFor(enum_field_types type) {
    switch (type) {
        case MYSQL_TYPE_TINY:
        case MYSQL_TYPE_SHORT:
        case MYSQL_TYPE_LONG:
        case MYSQL_TYPE_FLOAT:
        case MYSQL_TYPE_DOUBLE:
        case MYSQL_TYPE_NULL:
        case MYSQL_TYPE_LONGLONG:
        case MYSQL_TYPE_INT24:
            return ValueStyle::Bare;
        case MYSQL_TYPE_BIT:
        case MYSQL_TYPE_GEOMETRY:
            return ValueStyle::Hex;
        case MYSQL_TYPE_DECIMAL:
        case MYSQL_TYPE_NEWDECIMAL:
        case MYSQL_TYPE_TIMESTAMP:
        case MYSQL_TYPE_DATE:
        case MYSQL_TYPE_TIME:
        case MYSQL_TYPE_DATETIME:
        case MYSQL_TYPE_YEAR:
        case MYSQL_TYPE_NEWDATE:
        case MYSQL_TYPE_TIMESTAMP2:
        case MYSQL_TYPE_DATETIME2:
        case MYSQL_TYPE_TIME2:
            return ValueStyle::Quoted;
        default:
            // Strings, blobs, ENUM, SET, JSON and any type added later.
            return ValueStyle::Escaped;
    }
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

void appendHex(std::string& out, const char* value, unsigned long length) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += "0x";
    const size_t at = out.size();
    out.resize(at + 2 * static_cast<size_t>(length));
    for (unsigned long i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(value[i]);
        out[at + 2 * i] = kDigits[byte >> 4];
        out[at + 2 * i + 1] = kDigits[byte & 0x0F];
    }
}

// Whether the client library would escape the byte, or must see it itself
// (a byte above 0x7F may belong to a multi-byte character).
bool notPlain(unsigned char c, bool backslashes) {
    if (c >= 0x80 || c == '\'') return true;
    return backslashes && (c == 0 || c == '\n' || c == '\r' || c == '\\' || c == '"' || c == 0x1A);
}

// The first byte from `i` on that is not plain; `length` when there is none.
// Sixteen bytes are looked at in one step where the processor allows it:
// values are mostly long runs of plain text.
size_t plainRunEnd(const unsigned char* bytes, size_t i, size_t length, bool backslashes) {
#if defined(__SSE2__)
    const __m128i quote = _mm_set1_epi8('\'');
    const __m128i zero = _mm_setzero_si128();
    const __m128i newline = _mm_set1_epi8('\n');
    const __m128i carriage = _mm_set1_epi8('\r');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i double_quote = _mm_set1_epi8('"');
    const __m128i substitute = _mm_set1_epi8(0x1A);
    for (; i + 16 <= length; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        __m128i hit = _mm_cmpeq_epi8(v, quote);
        if (backslashes) {
            hit = _mm_or_si128(hit, _mm_or_si128(_mm_cmpeq_epi8(v, zero), _mm_cmpeq_epi8(v, newline)));
            hit = _mm_or_si128(hit, _mm_or_si128(_mm_cmpeq_epi8(v, carriage), _mm_cmpeq_epi8(v, backslash)));
            hit = _mm_or_si128(hit, _mm_or_si128(_mm_cmpeq_epi8(v, double_quote), _mm_cmpeq_epi8(v, substitute)));
        }
        // The sign bit of each byte marks the bytes above 0x7F.
        const int mask = _mm_movemask_epi8(hit) | _mm_movemask_epi8(v);
        if (mask != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
#endif
    while (i < length && !notPlain(bytes[i], backslashes)) ++i;
    return i;
}

// Escapes text whose bytes are all below 0x80 the way the client library
// does, which calls into the character set for every byte; false (nothing
// appended) when a byte above that needs the character set after all.
// No character set a client may use gives such bytes another meaning.
bool appendEscapedAscii(std::string& out, const char* value, unsigned long length, bool backslashes) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(value);
    const size_t at = out.size();
    size_t i = 0;
    for (;;) {
        const size_t end = plainRunEnd(bytes, i, length, backslashes);
        out.append(value + i, end - i);
        if (end == length) return true;
        const char c = value[end];
        if (static_cast<unsigned char>(c) >= 0x80) {
            out.resize(at);
            return false;
        }
        if (!backslashes) {
            out += "''";
        } else {
            out += '\\';
            switch (c) {
                case 0: out += '0'; break;
                case '\n': out += 'n'; break;
                case '\r': out += 'r'; break;
                case 0x1A: out += 'Z'; break;
                default: out += c;
            }
        }
        i = end + 1;
    }
}

void appendEscaped(std::string& out, MYSQL* mysql, const char* value, unsigned long length) {
    out += '\'';
    const bool backslashes = !mysql || (mysql->server_status & SERVER_STATUS_NO_BACKSLASH_ESCAPES) == 0;
    if (!appendEscapedAscii(out, value, length, backslashes)) {
        const size_t at = out.size();
        out.resize(at + 2 * static_cast<size_t>(length) + 1);
        const unsigned long written = mysql_real_escape_string(mysql, out.data() + at, value, length);
        out.resize(at + written);
    }
    out += '\'';
}

}  // namespace

void appendColumnValue(std::string& out, MYSQL* mysql, const char* value, unsigned long length,
                       const MYSQL_FIELD& field) {
    if (!value) {
        out += "NULL";
        return;
    }
    switch (styleFor(field.type)) {
        case ValueStyle::Bare: {
            // Numbers stand bare; an empty text would leave a hole in the list.
            unsigned long first = 0, last = length;
            while (first < last && isBlank(value[first])) ++first;
            while (last > first && isBlank(value[last - 1])) --last;
            if (first == last) {
                out += "NULL";
            } else {
                out.append(value + first, last - first);
            }
            return;
        }
        case ValueStyle::Quoted:
            out += '\'';
            out.append(value, length);
            out += '\'';
            return;
        case ValueStyle::Hex:
            if (length == 0) {
                out += "''";
            } else {
                appendHex(out, value, length);
            }
            return;
        case ValueStyle::Escaped:
            if (length == 0) {
                out += "''";
            } else {
                appendEscaped(out, mysql, value, length);
            }
            return;
    }
}

void appendRowValues(std::string& out, MYSQL* mysql, MYSQL_ROW row, const unsigned long* lengths,
                     const MYSQL_FIELD* fields, unsigned int count) {
    out += '(';
    for (unsigned int i = 0; i < count; ++i) {
        if (i) out += ',';
        appendColumnValue(out, mysql, row[i], lengths[i], fields[i]);
    }
    out += ')';
}

std::string formatRowValues(MYSQL* mysql, MYSQL_ROW row, const unsigned long* lengths, const MYSQL_FIELD* fields,
                            unsigned int count) {
    std::string out;
    appendRowValues(out, mysql, row, lengths, fields, count);
    return out;
}

}  // namespace keelvault
