#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/editing/check_result.h"

namespace keelvault::test {

// Passes when the check refused with exactly this message and focus.
template <typename Value, typename Field>
::testing::AssertionResult refused(const CheckResult<Value, Field>& result, const std::string& message, Field focus) {
    if (result.ok()) return ::testing::AssertionFailure() << "accepted; expected \"" << message << "\"";
    if (result.failure().message != message) {
        return ::testing::AssertionFailure()
               << "message \"" << result.failure().message << "\", expected \"" << message << "\"";
    }
    if (result.failure().focus != focus) return ::testing::AssertionFailure() << "focus on another field";
    return ::testing::AssertionSuccess();
}

template <typename Value, typename Field>
::testing::AssertionResult accepted(const CheckResult<Value, Field>& result) {
    if (result.ok()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "refused: \"" << result.failure().message << "\"";
}

}  // namespace keelvault::test
