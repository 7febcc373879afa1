#include "core/engine/table_digest.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

#include <cstdio>

namespace keelvault {

struct TableDigest::State {
    XXH3_state_t hash;
};

TableDigest::TableDigest() : state_(new State) { reset(); }

TableDigest::~TableDigest() { delete state_; }

TableDigest::TableDigest(const TableDigest& other) : state_(new State), rows_(other.rows_) {
    XXH3_copyState(&state_->hash, &other.state_->hash);
}

TableDigest& TableDigest::operator=(const TableDigest& other) {
    if (this != &other) {
        XXH3_copyState(&state_->hash, &other.state_->hash);
        rows_ = other.rows_;
    }
    return *this;
}

void TableDigest::reset() {
    XXH3_64bits_reset(&state_->hash);
    rows_ = 0;
}

void TableDigest::addRow(std::string_view values) {
    // The length first, so that where one row ends and the next begins is
    // part of what is hashed.
    const uint64_t length = values.size();
    XXH3_64bits_update(&state_->hash, &length, sizeof length);
    XXH3_64bits_update(&state_->hash, values.data(), values.size());
    ++rows_;
}

std::string TableDigest::hex() const {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(XXH3_64bits_digest(&state_->hash)));
    return text;
}

}  // namespace keelvault
