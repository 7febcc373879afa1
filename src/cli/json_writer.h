#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace keelvault::cli {

// A small JSON writer with two-space indentation. Texts are stored bytes:
// valid UTF-8 passes through, any other byte is written as \u00XX.
class JsonWriter {
public:
    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }
    void key(std::string_view k);
    void value(std::string_view s);
    void value(const char* s) { value(std::string_view(s)); }
    void value(const std::string& s) { value(std::string_view(s)); }
    void value(int64_t n);
    void value(int n) { value(static_cast<int64_t>(n)); }
    void value(uint8_t n) { value(static_cast<int64_t>(n)); }
    void value(bool b);

    template <typename T>
    void field(std::string_view k, const T& v) {
        key(k);
        value(v);
    }

    const std::string& text() const { return out_; }

private:
    void open(char c);
    void close(char c);
    void beforeValue();
    void newline();

    std::string out_;
    int depth_ = 0;
    bool first_ = true;
    bool after_key_ = false;
};

std::string jsonQuote(std::string_view s);

}  // namespace keelvault::cli
