#pragma once
// What the far end of a serial line sends (a chart plotter's autopilot
// sentences), read without waiting from a descriptor it does not own.
//
//   PortInput input;
//   input.set_lines(&pilot);
//   input.watch(fd, "seriale /dev/ttyUSB0");   // read as bytes come, in the event loop
//   input.next_second();                       // from the tick: a new share once a second has gone by
//   input.stop();
//
// At most read_budget bytes a real second (a second of `now`, however fast
// the program's clock runs) are split into lines, handed to a listener that
// wants them and dropped otherwise; past that, what comes is read and
// dropped, at most most_dropped bytes a call, so the far end's writes never
// stop on a full queue and a far end that writes without pause cannot hold
// the program. A line the budget cuts is dropped whole. A far end that hangs
// up (the tty's poll says so, or the read fails) is read no more: whoever
// writes to the line finds out and says so.
//
// Reads as bytes come only where the thread has an event loop; elsewhere
// only when read_waiting() or next_second() is called.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "model/line_assembler.h"
#include "model/line_listener.h"
#include "model/read_budget.h"

class QSocketNotifier;

namespace vadrel {

class PortInput {
public:
    using Now = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::size_t read_budget = 64 * 1024;
    static constexpr std::size_t most_dropped = 192 * 1024;

    explicit PortInput(Now now = &std::chrono::steady_clock::now, std::size_t bytes_a_second = read_budget);
    ~PortInput();
    PortInput(const PortInput&) = delete;
    PortInput& operator=(const PortInput&) = delete;

    // Who takes the lines (nullptr: nobody); it must outlive the input or be
    // taken away first.
    void set_lines(LineListener* lines) { lines_ = lines; }
    // Reads `fd` from now on, its lines named by `source`; a line begun on
    // the descriptor before is forgotten.
    void watch(int fd, std::string source);
    // Reads nothing more; the descriptor is left open.
    void stop();
    bool watching() const { return fd_ >= 0; }
    // A new share once a real second has gone by since this one began, and
    // what waited read.
    void next_second();
    // What waits now, read.
    void read_waiting();
    // Bytes as they were read from the far end: lines within the share to
    // the listener, the rest dropped (how many); the source is watch()'s.
    std::size_t take(std::string_view bytes);
    // The far end hung up: nothing more is read until the next watch().
    bool hung_up() const { return hung_up_; }

private:
    void listen(bool on);

    Now now_;
    int fd_ = -1;
    std::string source_;
    bool hung_up_ = false;
    ReadBudget budget_;
    LineAssembler assembler_{LineListener::longest_line};
    LineListener* lines_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace vadrel
