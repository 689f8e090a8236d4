#pragma once
// The tick's one output: the serial port first, then every other output
// added (the TCP server, the UDP targets, ...), each with its own rule for a
// write it must skip and its own report of a failure.
//
//   OutputFanOut output(port);          // the panel's serial port
//   output.add(tcp);                    // any OutputSink, kept by the caller
//   Delivery d = output.send(bytes);    // d.serial: written / skipped / lost / closed
//
// No Qt here: the panel's tests use it with their fake port.

#include <string>
#include <string_view>
#include <vector>

#include "model/platform.h"

namespace vadrel {

// One output beside the serial port.
class OutputSink {
public:
    struct Result {
        bool running = false;  // it is switched on and took the bytes (to whoever is there)
        std::string note;      // for the monitor line, "  [...]"; empty when all went well
    };
    virtual ~OutputSink() = default;
    // Hands one tick's bytes over; never blocks, never throws.
    virtual Result send(std::string_view bytes) = 0;
    // Whether a reader still holds an earlier tick (and would skip one sent
    // now): a replay at full speed waits for it.
    virtual bool busy() const { return false; }
};

class OutputFanOut final : public Output {
public:
    explicit OutputFanOut(SerialPort& serial) : serial_(serial) {}

    // The sink gets every tick's bytes from now on; it must outlive the fan-out.
    void add(OutputSink& sink) { sinks_.push_back(&sink); }

    Delivery send(std::string_view bytes) override;
    bool busy() const;

private:
    SerialPort& serial_;
    std::vector<OutputSink*> sinks_;
};

}  // namespace vadrel
