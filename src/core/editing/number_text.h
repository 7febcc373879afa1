#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace keelvault {

// The value of a number field as typed: nullopt unless every character is a
// digit 0..9; an empty field is 0. Leading zeros count for nothing ("007" is
// 7). Values too large for any field come back as kNumberTextCap, so a long
// run of digits can never overflow into an accepted value.
inline constexpr int64_t kNumberTextCap = 1'000'000'000'000;
std::optional<int64_t> numberTextValue(std::string_view text);

// True when the text is a number (as above) within [low, high].
bool numberTextInRange(std::string_view text, int64_t low, int64_t high);

}  // namespace keelvault
