#pragma once
// Everything outside the process, as the panel sees it. The application hands
// the real implementations to the form; the tests hand fakes.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <optional>
#include <vector>

namespace vadrel {

// A failure of the serial port, with the port's error number 8000..8020.
class PortFailure : public std::runtime_error {
public:
    PortFailure(int number, const std::string& message)
        : std::runtime_error(message), number_(number) {}
    int number() const { return number_; }

private:
    int number_;
};

class SerialPort {
public:
    virtual ~SerialPort() = default;
    virtual bool is_open() const = 0;
    // Opens with the port number and line settings held; throws PortFailure.
    virtual void open() = 0;
    virtual void close() = 0;
    virtual void set_port_number(std::int16_t number) = 0;
    // A settings text such as "4800,N,8,1".
    virtual void set_settings(const std::string& settings) = 0;
    virtual std::string settings() const = 0;
    // Writes every byte as it is, NUL included, without waiting for the line.
    // Returns false when this write was skipped because the previous one has
    // not yet left the port. Throws PortFailure when the port is lost.
    virtual bool write(std::string_view bytes) = 0;
};

// What became of one tick's bytes.
struct Delivery {
    // The serial port: closed (nothing written), written, skipped because its
    // previous write has not left yet, or lost while writing (it is closed then).
    enum class Serial { closed, written, skipped, lost };
    Serial serial = Serial::closed;
    std::string loss;  // the port's message, when lost
    // Whether an output other than the serial port is running and took them.
    bool elsewhere = false;
    // What the other outputs have to say on the monitor line: "  [...]" each.
    std::string notes;
};

// Where the tick's bytes go: the serial port and whatever else the program
// feeds (network clients, ...). The tick does not know how many there are.
class Output {
public:
    virtual ~Output() = default;
    // Hands one tick's bytes to every output at once; never waits for any of
    // them. A failure of one output leaves the others served.
    virtual Delivery send(std::string_view bytes) = 0;
};

// The outputs of each vehicle's own stream, beside the one output of the
// second: each vehicle in use sends its own sentences there, as a receiver
// of its own would.
class VehicleOutput {
public:
    virtual ~VehicleOutput() = default;
    // Whether any stream is on: the sentences are made only then.
    virtual bool on() const = 0;
    // One tick's bytes of each vehicle, by number; nothing for a vehicle not
    // in use (its stream closes). Never waits for a reader.
    virtual void send(const std::vector<std::optional<std::string>>& bytes) = 0;
};

// A date and a time of day, to the second.
struct CivilTime {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const CivilTime&) const = default;
};

// One reading of the wall clock, as local time and as UTC.
struct WallTime {
    CivilTime local;
    CivilTime utc;
    // Days the receiver's dates are off (a GPS week rollover fault: -7168
    // for 1024 weeks); its times of day stay true.
    std::int64_t date_offset_days = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds on a steady clock, at full precision, from an origin of its
    // own: no setting of the wall clock and no midnight moves it, so the
    // difference of two readings is the time that really went by.
    virtual double steady_seconds() = 0;
    // The wall clock, for time stamps: seconds since 1970-01-01 00:00:00
    // UTC, with fractions.
    virtual double utc_seconds() = 0;
    // Local time of day as the regional format renders it: "20.15.28", "9.05.03".
    virtual std::string time_text() = 0;
    // Local date as the regional format renders it: "09/05/03".
    virtual std::string date_text() = 0;
    // One reading of the wall clock, local and UTC: all the sentences of a
    // second are stamped from one, so they agree to the second, also at
    // midnight.
    virtual WallTime wall_time() = 0;
};

// The program's title, the caption of its message boxes.
inline constexpr const char* program_title = "vadrel";

// The window-level services the panel asks for.
class Shell {
public:
    virtual ~Shell() = default;
    // A modal message with a single OK button and no icon.
    virtual void message_box(const std::string& text, const std::string& caption) = 0;
    // Lets pending user-interface events run once.
    virtual void run_pending_events() = 0;
    // Ends the program at once, without the orderly shut-down.
    virtual void end_program_now(const std::string& reason) = 0;
    // The about box, modal, without an owner.
    virtual void show_about() {}
    // Opens the help file in the help viewer.
    virtual void show_help(const std::string& /*file*/) {}
};

}  // namespace vadrel
