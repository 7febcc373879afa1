#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace keelvault {

// A running digest of the rows written for one table: each row's value
// text ("(v1,v2,...)", exactly as it goes into the file) in order, plus
// the row count. The same rows read back and formatted the same way give
// the same digest; a changed value, a missing or an extra row or another
// order give a different one.
class TableDigest {
public:
    TableDigest();
    ~TableDigest();
    TableDigest(const TableDigest& other);
    TableDigest& operator=(const TableDigest& other);

    void reset();
    void addRow(std::string_view values);

    uint64_t rows() const { return rows_; }
    // 16 lower-case hex digits.
    std::string hex() const;

private:
    struct State;
    State* state_;
    uint64_t rows_ = 0;
};

}  // namespace keelvault
