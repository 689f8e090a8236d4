#pragma once
// The pause before a connection is tried again: it grows from 1 s to 60 s
// (1, 2, 4 ... 60, 60) with each failure. A connection that held for 10 s
// starts the pauses again from 1 s; one the server ends sooner counts as a
// failed attempt, so a server that accepts and hangs up at once is tried less
// and less often. Every outgoing connection of the program keeps one.
//
//   RetryPause pause;
//   next_attempt = now + pause.failed(was_connected, started, now);

#include <algorithm>
#include <chrono>

namespace vadrel {

class RetryPause {
public:
    using Time = std::chrono::steady_clock::time_point;
    static constexpr std::chrono::seconds first{1};
    static constexpr std::chrono::seconds longest{60};
    static constexpr std::chrono::seconds held_long_enough{10};

    // The attempt or connection begun at `started` ended at `now`: the
    // pause before the next attempt; the one after it doubles.
    std::chrono::seconds failed(bool was_connected, Time started, Time now) {
        if (was_connected && now - started >= held_long_enough) pause_ = first;
        const std::chrono::seconds pause = pause_;
        pause_ = std::min(pause_ * 2, std::chrono::seconds(longest));
        return pause;
    }
    // The pause the next failure will bring.
    std::chrono::seconds next() const { return pause_; }

private:
    std::chrono::seconds pause_ = first;
};

}  // namespace vadrel
