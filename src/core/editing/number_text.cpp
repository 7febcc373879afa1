#include "core/editing/number_text.h"

namespace keelvault {

std::optional<int64_t> numberTextValue(std::string_view text) {
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        if (value < kNumberTextCap) value = value * 10 + (c - '0');
    }
    return value < kNumberTextCap ? value : kNumberTextCap;
}

bool numberTextInRange(std::string_view text, int64_t low, int64_t high) {
    const std::optional<int64_t> value = numberTextValue(text);
    return value && *value >= low && *value <= high;
}

}  // namespace keelvault
