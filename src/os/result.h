#pragma once
// What a change or an operation comes back with: its value, or why not.
// Two kinds of "why not", never mixed up:
//
//   Refusal{"porta", "la porta va da 1 a 4, non 5"}       a value the user gave
//   Failure("impossibile salvare vadrel.ini", ENOSPC)     an operation of the system
//
//   Result<> done = settings.change(wanted, me);
//   if (!done) say(done.message());
//
// No empty text for success: a Result is done or carries its reason.

#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "os/system_error.h"

namespace vadrel {

// Why a value given was refused: the field ("lat", "porta", "mezzo") and the
// reason in Italian.
struct Refusal {
    std::string field;
    std::string reason;
    bool operator==(const Refusal&) const = default;
};

// The value of an operation that gives none.
struct Done {
    bool operator==(const Done&) const = default;
};

// The reasons of several refusals, one line each.
inline std::string reasons(const std::vector<Refusal>& refusals) {
    std::string lines;
    for (const Refusal& refusal : refusals) lines += (lines.empty() ? "" : "\n") + refusal.reason;
    return lines;
}

template <typename T = Done>
class [[nodiscard]] Result {
public:
    // Done, for a Result<> (`return {};`).
    Result()
        requires std::is_same_v<T, Done>
    = default;
    Result(T value) : state_(std::move(value)) {}  // NOLINT: a value is a result
    Result(Refusal refusal) : state_(std::move(refusal)) {}  // NOLINT
    Result(Failure failure) : state_(std::move(failure)) {}  // NOLINT

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    // Only when ok().
    const T& value() const { return std::get<0>(state_); }
    T& value() { return std::get<0>(state_); }
    // The refusal or the failure; nullptr when it is not that.
    const Refusal* refusal() const { return std::get_if<Refusal>(&state_); }
    const Failure* failure() const { return std::get_if<Failure>(&state_); }

    // What the operator reads: the refusal's reason or the failure's
    // message. Only when !ok().
    std::string message() const {
        if (const Refusal* refused = refusal()) return refused->reason;
        return std::get<Failure>(state_).message();
    }

private:
    std::variant<T, Refusal, Failure> state_;
};

}  // namespace vadrel
