#pragma once
// Lines for standard output or standard error that never block the program.
//
//   LineOutput monitor(STDOUT_FILENO, 0);        // whole lines are never queued
//   monitor.write_line("$GPRMC,...");            // false: dropped, the reader is not taking them
//   LineOutput messages(STDERR_FILENO, 16384);   // up to 16 KiB wait for a paused reader
//
// A pipe nobody drains (`| less` paused) or a terminal stopped with Ctrl+S
// must not hold the tick or a termination signal, so every write is
// nonblocking: a line that cannot go out is dropped and counted, except for
// what fits the backlog allowed. A line that went out in part is always
// finished before the next one, so the reader never sees torn lines. Once the
// reader is gone (`| head -1`, a closed terminal) nothing more is written.
//
// Every line is written as printable (model/utf8.h) shows it, its line feeds
// kept: a name or a value that came from a file or a client cannot retitle,
// clear or overwrite the terminal.
//
// The descriptor's own flags are left alone: a terminal or pipe is opened
// anew (through /proc/self/fd) for a nonblocking description of our own, as
// the shell and the other programs on the same terminal share the original
// one; a socket is sent to with MSG_DONTWAIT; a file is written as it is.

#include <string>
#include <string_view>

#include "os/descriptor.h"

namespace vadrel {

// How much of the messages on standard error may wait for a paused reader.
inline constexpr std::size_t standard_error_backlog = 16384;

class LineOutput {
public:
    LineOutput(int fd, std::size_t backlog_limit);
    ~LineOutput();
    LineOutput(const LineOutput&) = delete;
    LineOutput& operator=(const LineOutput&) = delete;

    // The line and a line feed; false when the line was dropped or the
    // reader is gone.
    bool write_line(std::string_view line);
    // Lines dropped because the reader was not taking them.
    long long dropped() const { return dropped_; }
    // Whether the reader has gone away for good.
    bool closed() const { return closed_; }

private:
    enum class Kind { own_description, socket, plain };
    // Writes as much of the backlog as the reader takes.
    void flush();
    // Bytes written, 0 when the reader takes none now; marks closed on a failure.
    std::size_t put(std::string_view bytes);

    int fd_;
    Descriptor own_fd_;
    Kind kind_ = Kind::plain;
    std::size_t limit_;
    std::string backlog_;
    long long dropped_ = 0;
    bool closed_ = false;
    bool temporary_nonblock_ = false;
};

// Sends Qt's own messages (its warnings) to standard error the same way: a
// message written while nobody drains standard error is dropped instead of
// holding the program. To be called once, before the application object.
void route_qt_messages();

}  // namespace vadrel
