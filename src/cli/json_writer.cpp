#include "cli/json_writer.h"

#include <cstdio>

namespace keelvault::cli {

namespace {

// Length of the valid UTF-8 sequence starting at s[i], or 0.
size_t utf8SequenceLength(std::string_view s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    size_t n;
    uint32_t cp;
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) {
        n = 2;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not valid.
    if ((n == 2 && cp < 0x80) || (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return n;
}

}  // namespace

std::string jsonQuote(std::string_view s) {
    std::string out = "\"";
    char buf[8];
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        switch (c) {
        case '"': out += "\\\""; ++i; continue;
        case '\\': out += "\\\\"; ++i; continue;
        case '\n': out += "\\n"; ++i; continue;
        case '\r': out += "\\r"; ++i; continue;
        case '\t': out += "\\t"; ++i; continue;
        default: break;
        }
        if (c < 0x20) {
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
            ++i;
            continue;
        }
        const size_t n = utf8SequenceLength(s, i);
        if (n == 0) {
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
            ++i;
        } else {
            out.append(s.substr(i, n));
            i += n;
        }
    }
    out += '"';
    return out;
}

void JsonWriter::newline() {
    out_ += '\n';
    out_.append(static_cast<size_t>(depth_) * 2, ' ');
}

void JsonWriter::beforeValue() {
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (depth_ > 0) {
        if (!first_) out_ += ',';
        newline();
    }
    first_ = false;
}

void JsonWriter::open(char c) {
    beforeValue();
    out_ += c;
    ++depth_;
    first_ = true;
}

void JsonWriter::close(char c) {
    --depth_;
    if (!first_) newline();
    out_ += c;
    first_ = false;
}

void JsonWriter::key(std::string_view k) {
    beforeValue();
    out_ += jsonQuote(k);
    out_ += ": ";
    after_key_ = true;
}

void JsonWriter::value(std::string_view s) {
    beforeValue();
    out_ += jsonQuote(s);
}

void JsonWriter::value(int64_t n) {
    beforeValue();
    out_ += std::to_string(n);
}

void JsonWriter::value(bool b) {
    beforeValue();
    out_ += b ? "true" : "false";
}

}  // namespace keelvault::cli
