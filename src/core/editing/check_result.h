#pragma once

#include <string>
#include <utility>
#include <variant>

namespace keelvault {

// Why a page or dialog refused its fields: the message to show and the field
// that takes the focus.
template <typename Field>
struct CheckFailure {
    std::string message;
    Field focus;

    bool operator==(const CheckFailure&) const = default;
};

// The accepted value of a check that only says yes.
struct Accepted {
    bool operator==(const Accepted&) const = default;
};

template <typename Field>
CheckFailure<Field> refuse(std::string message, Field focus) {
    return CheckFailure<Field>{std::move(message), focus};
}

// The outcome of a page or dialog check: the accepted values, or the failure.
template <typename Value, typename Field>
class CheckResult {
public:
    CheckResult(Value value) : outcome_(std::in_place_index<0>, std::move(value)) {}
    CheckResult(CheckFailure<Field> failure) : outcome_(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return outcome_.index() == 0; }
    explicit operator bool() const { return ok(); }
    const Value& value() const { return std::get<0>(outcome_); }
    Value& value() { return std::get<0>(outcome_); }
    const CheckFailure<Field>& failure() const { return std::get<1>(outcome_); }

private:
    std::variant<Value, CheckFailure<Field>> outcome_;
};

}  // namespace keelvault
