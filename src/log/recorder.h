#pragma once
// The recorder: one more output of the fan-out, writing into a log file each
// tick's bytes exactly as the other outputs get them (the radio burst's NULs
// and the "@n" lines included), each tick behind a comment line with its UTC
// time to the millisecond ("# 2026-12-06T10:42:47.001Z"), the form gpsd's
// tools and the common NMEA loggers read.
//
//   Recorder recorder;
//   fan_out.add(recorder);
//   Result<> started = recorder.start("viaggio.nmea");   // or the failure, said in Italian
//
// Each tick is handed to the kernel as it comes, so a crash of the program
// loses nothing written before. A failure of the disk (full, quota, an I/O
// error) stops the recording, cuts the file back to its last whole tick and
// is told once; the simulation goes on. The file is opened without blocking:
// a FIFO whose reader pauses skips whole ticks (counted), never parts.
// The file is locked (flock) while recording, so a second recording into it
// is refused rather than mixed in. A file removed under the recording (or
// its folder) stops it, said once: the ticks would go nowhere. Only a
// regular file or a FIFO is recorded into.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "os/descriptor.h"
#include "os/result.h"
#include "outputs/output_fanout.h"

namespace vadrel {

class Recorder final : public OutputSink {
public:
    using UtcMs = std::function<std::int64_t()>;
    // The wall clock in milliseconds since 1970 UTC.
    static std::int64_t system_utc_ms();

    explicit Recorder(UtcMs now = &system_utc_ms) : now_(std::move(now)) {}
    ~Recorder() override;
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Records into path from the next tick on, emptying the file first; a
    // recording under way is closed before. Returns why it cannot, in
    // Italian ("" when it records).
    vadrel::Result<> start(const std::string& path);
    // Closes the file; what was written stays.
    void stop();

    Result send(std::string_view bytes) override;
    // Hands on what a slow reader of the FIFO has not taken yet; whether all
    // of it is gone (a failure counts as gone: nothing is left to wait for).
    bool drained();

    bool recording() const { return fd_.valid(); }
    const std::string& path() const { return path_; }
    long long ticks() const { return ticks_; }
    long long skipped() const { return skipped_; }
    // Why the last recording stopped by itself; empty when it did not.
    const std::string& failure() const { return failure_; }

    std::function<void(const std::string&)> on_event;

private:
    // Writes what is pending: 0 when all went, EAGAIN when the reader takes
    // no more now, else the failure's errno.
    int flush();
    // Stops the recording for `why`, said once.
    Result fail(const std::string& why);

    UtcMs now_;
    Descriptor fd_;
    bool regular_ = false;
    std::string path_;
    std::string pending_;
    long long good_size_ = 0;  // bytes of whole ticks in a regular file
    long long ticks_ = 0;
    long long skipped_ = 0;
    std::string failure_;
};

}  // namespace vadrel
