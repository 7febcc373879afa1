#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace keelvault {

// Little-endian writer for the stored files. Texts are a 32-bit length and
// the bytes XORed with a one-byte key.
class ByteWriter {
public:
    void u8(uint8_t v) { out_.push_back(static_cast<char>(v)); }
    void u16(uint16_t v) {
        u8(static_cast<uint8_t>(v));
        u8(static_cast<uint8_t>(v >> 8));
    }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) u8(static_cast<uint8_t>(v >> (8 * i)));
    }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void text(std::string_view s, uint8_t key) {
        i32(static_cast<int32_t>(s.size()));
        for (char c : s) u8(static_cast<uint8_t>(c) ^ key);
    }
    void raw(std::string_view s) { out_.append(s); }

    const std::string& bytes() const { return out_; }
    std::string take() { return std::move(out_); }

private:
    std::string out_;
};

// Reader over a byte buffer that never reads past its end: every read
// reports failure instead, and the first failure sticks.
class ByteReader {
public:
    explicit ByteReader(std::string_view data) : data_(data) {}

    bool ok() const { return ok_; }
    size_t offset() const { return pos_; }
    size_t remaining() const { return data_.size() - pos_; }
    bool atEnd() const { return pos_ == data_.size(); }

    uint8_t u8() {
        if (!need(1)) return 0;
        return static_cast<uint8_t>(data_[pos_++]);
    }
    uint16_t u16() {
        if (!need(2)) return 0;
        uint16_t v = static_cast<uint16_t>(static_cast<uint8_t>(data_[pos_]) |
                                           (static_cast<uint8_t>(data_[pos_ + 1]) << 8));
        pos_ += 2;
        return v;
    }
    uint32_t u32() {
        if (!need(4)) return 0;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(data_[pos_ + i])) << (8 * i);
        pos_ += 4;
        return v;
    }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    std::string text(uint8_t key) {
        const int32_t n = i32();
        if (!ok_) return {};
        if (n < 0 || static_cast<size_t>(n) > remaining()) {
            ok_ = false;
            return {};
        }
        std::string s(data_.substr(pos_, static_cast<size_t>(n)));
        for (char& c : s) c = static_cast<char>(static_cast<uint8_t>(c) ^ key);
        pos_ += static_cast<size_t>(n);
        return s;
    }
    // A list count: fails when negative or when even the smallest elements
    // (min_element_size bytes each) could not fit in what is left.
    int32_t count(size_t min_element_size) {
        const int32_t n = i32();
        if (!ok_) return 0;
        if (n < 0 || (min_element_size > 0 && static_cast<size_t>(n) > remaining() / min_element_size)) {
            ok_ = false;
            return 0;
        }
        return n;
    }
    void fail() { ok_ = false; }

private:
    bool need(size_t n) {
        if (!ok_ || remaining() < n) {
            ok_ = false;
            return false;
        }
        return true;
    }

    std::string_view data_;
    size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace keelvault
