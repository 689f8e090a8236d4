#pragma once
// How much a peer's bytes may be read a real second (a TCP client, a UDP
// port, a serial line). Each share lasts at least one second of a steady
// clock from its first byte, whatever the rate of the program's simulated
// clock: a flood is a real-time matter, so a client that floods costs the
// same at a rate of x10 as at x1.
//
//   ReadBudget budget(64 * 1024);
//   budget.spend(65536, now);        // left() == 0
//   budget.renew(now + 100ms);       // false: the share is not a second old
//   budget.renew(now + 1s);          // true: left() == 65536 again

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <optional>

namespace vadrel {

class ReadBudget {
public:
    using Time = std::chrono::steady_clock::time_point;

    explicit ReadBudget(std::size_t bytes_a_second) : full_(bytes_a_second), left_(bytes_a_second) {}

    std::size_t left() const { return left_; }
    // Bytes read at `now`; the first of a share starts its second.
    void spend(std::size_t bytes, Time now) {
        if (!begun_) begun_ = now;
        left_ -= std::min(left_, bytes);
    }
    // A full share again once a second has gone by since this one's first
    // byte; true when it was renewed (or was untouched).
    bool renew(Time now) {
        if (begun_ && now - *begun_ < std::chrono::seconds(1)) return false;
        begun_.reset();
        left_ = full_;
        return true;
    }

private:
    std::size_t full_;
    std::size_t left_;
    std::optional<Time> begun_;
};

}  // namespace vadrel
