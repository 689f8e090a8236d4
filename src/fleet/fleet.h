#pragma once
// The fleet: the 21 vehicles, the simulator's state (the current vehicle,
// the mode, the multi-user cycle) and the one path
// every change to them takes. The rules are written here once, whoever
// asks: the panel's boxes, "Vai a posizione", a loaded file. A refused
// change leaves everything as it was and says why in Italian, naming the
// field.
//
//   Fleet fleet;
//   fleet.set_course(3, 400.0, me);     // Refusal{"rotta", "la rotta va da 0 a 360 gradi, non 400"}
//   fleet.set_speed(3, 12.0, me);       // nullopt: done; the watchers hear of it
//   fleet.advance(clock.steady());      // the simulation: every vehicle moving to that time
//   fleet.in_use(2);                    // why vehicle 2 moves and sends: {ais_target}
//
// Views watch the changes; each change carries who made it, so a view can
// leave out the changes it made itself.

#include <array>
#include <cstddef>
#include <initializer_list>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fleet/vehicle.h"
#include "os/result.h"

namespace vadrel {

inline constexpr std::size_t fleet_size = 21;
// Most vehicles the multi-user cycle serves: vehicles 0 .. 18.
inline constexpr int largest_cycle = 19;

// The three ways of sending: the plain $GPRMC (GPS standard), the framed
// burst of the radio receiver, and the vehicles in turn behind "@n".
enum class Mode : std::uint8_t { gps_standard, radio, multi_user };

// Why a vehicle is in use, that is, moves with the ticks and sends.
enum class UseReason : std::uint8_t {
    current,     // the current vehicle, in every mode
    cycle,       // one of the multi-user cycle's
    ais_target,  // one of "Numero di mezzi mobili" sent as an AIS target (GPS standard, radio)
    stream,      // it has a stream of its own
};
inline constexpr std::array<UseReason, 4> use_reasons{UseReason::current, UseReason::cycle, UseReason::ais_target,
                                                      UseReason::stream};
// As the user reads it: "attuale", "ciclo", "bersaglio AIS", "flusso".
const char* use_reason_text(UseReason reason);

// The reasons one vehicle is in use for; none when it is not in use.
//
//   InUse why = fleet.in_use(2);     // {ais_target, stream}
//   if (why) ...                     // in use
//   why.text();                      // "bersaglio AIS, flusso"
class InUse {
public:
    constexpr InUse() = default;
    constexpr InUse(std::initializer_list<UseReason> reasons) {
        for (UseReason reason : reasons) add(reason);
    }
    constexpr bool has(UseReason reason) const { return (bits_ & bit(reason)) != 0; }
    constexpr explicit operator bool() const { return bits_ != 0; }
    constexpr InUse& add(UseReason reason) {
        bits_ = static_cast<std::uint8_t>(bits_ | bit(reason));
        return *this;
    }
    constexpr bool operator==(const InUse&) const = default;
    // The reasons in the order of use_reasons, joined by ", "; "" for none.
    std::string text() const;

private:
    static constexpr std::uint8_t bit(UseReason reason) {
        return static_cast<std::uint8_t>(1U << static_cast<unsigned>(reason));
    }
    std::uint8_t bits_ = 0;
};

// What changed: of a vehicle, or of the simulator.
enum class Change : std::uint8_t {
    placed,  // set somewhere by hand or by a file: its track breaks
    moved,   // stepped by the simulation
    course,
    speed,
    unit,
    current,  // another vehicle is the current one
    mode,
    cycle,
    targets,  // the cycle's vehicles became targets or streams, or ceased to
};
// Whether a change of this kind may change which vehicles are in use, and
// why (Fleet::in_use): a view of the vehicles in use draws them all again.
constexpr bool changes_use(Change what) {
    return what == Change::current || what == Change::mode || what == Change::cycle || what == Change::targets;
}

// What steers some vehicles along paths of their own (routes): asked at
// each step of a vehicle. A vehicle it steers is not dead-reckoned.
class Guide {
public:
    virtual ~Guide() = default;
    // Whether it steers vehicle n; if it does, it has moved `vehicle` on by
    // `seconds` (its position, course and, at a route's end, its speed).
    virtual bool steer(std::size_t n, Vehicle& vehicle, double seconds) = 0;
    // Vehicle n was placed, or given a course or a speed, through the change
    // path (Change::placed, course or speed), by `origin`: told after the
    // change, before the watchers hear of it.
    virtual void changed_by_hand(std::size_t /*n*/, Change /*what*/, const Vehicle& /*vehicle*/,
                                 const void* /*origin*/) {}
};

class Fleet {
public:
    // Who made a change: any address that names a source (a view passes
    // `this`); nullptr for the simulation itself.
    using Origin = const void*;
    // The vehicle changed (for the simulator's changes: the current one).
    using Watcher = std::function<void(std::size_t vehicle, Change what, Origin origin)>;
    using WatchId = std::size_t;

    // The speed a record can hold: a 16-bit whole number in its unit.
    static constexpr double speed_limit_low = -32768.0;
    static constexpr double speed_limit_high = 32767.0;
    static constexpr double course_limit = 360.0;

    const Vehicle& vehicle(std::size_t n) const { return vehicles_.at(n); }
    const std::array<Vehicle, fleet_size>& vehicles() const { return vehicles_; }

    // ---- the change path ----
    // The position, either coordinate or both, in seconds of arc (north and
    // east positive). A latitude past a pole comes down its far side, a
    // longitude past 180 goes round. Refused: a coordinate that is not a
    // finite number.
    std::optional<Refusal> place(std::size_t n, std::optional<double> lat, std::optional<double> lon,
                                 Origin origin);
    // The true course, 0 to 360 degrees.
    std::optional<Refusal> set_course(std::size_t n, double degrees, Origin origin);
    // The speed in the vehicle's unit, within what a 16-bit record holds.
    std::optional<Refusal> set_speed(std::size_t n, double speed, Origin origin);
    std::optional<Refusal> set_unit(std::size_t n, SpeedUnit unit, Origin origin);
    // A whole vehicle as a file gives it (its motion clock stays): a
    // position past a pole or 180 kept on the globe, any course and speed a
    // record holds. Said as placed, course, speed and unit.
    void load(std::size_t n, const Vehicle& vehicle, Origin origin);

    // ---- the simulator ----
    std::size_t current() const { return current_; }
    Mode mode() const { return mode_; }
    // The vehicles of the multi-user cycle, 0 .. largest_cycle; 0 and 1
    // both serve vehicle 0 alone.
    int cycle() const { return cycle_; }
    // Whether the vehicles of "Numero di mezzi mobili" are the current
    // one's targets (AIS) in GPS standard and radio: off by default.
    bool targets() const { return targets_; }
    std::optional<Refusal> set_current(std::size_t n, Origin origin);
    void set_mode(Mode mode, Origin origin);
    // Taken within 0 .. largest_cycle.
    void set_cycle(int vehicles, Origin origin);
    void set_targets(bool on, Origin origin);
    // Whether every vehicle of "Numero di mezzi mobili" has a stream of its
    // own: in GPS standard and radio they are in use, as with targets; in
    // multi-user each from its first turn, as there. Off by default.
    bool streams() const { return streams_; }
    void set_streams(bool on, Origin origin);
    // The vehicle after the current one in the multi-user cycle: the next
    // number, or 0 past the cycle's end.
    std::size_t next_in_cycle() const;

    // ---- the simulation ----
    // Whether vehicle n is in use, and why: the one answer the ticks, the
    // streams, the AIS targets, the tracks, the views and the control
    // interface read.
    //   attuale: the current vehicle, in every mode;
    //   ciclo: in multi-user, vehicles 0 .. cycle - 1 (vehicle 0 alone for
    //     a cycle of 0 or 1);
    //   bersaglio AIS: with targets on, in GPS standard and radio, vehicles
    //     0 .. cycle - 1 but the current one;
    //   flusso: with streams on, the current one and vehicles 0 .. cycle - 1
    //     (in multi-user those of the cycle).
    // A change of mode leaves the cycle as it is: in GPS standard and radio
    // without targets or streams only the current vehicle is in use.
    InUse in_use(std::size_t n) const;
    // How many vehicles are in use.
    std::size_t vehicles_in_use() const;
    // Whether vehicle n moves with the ticks now: it is in use and, in the
    // multi-user cycle, its first turn has come (so each starts where the
    // table put it, at its first turn, and then moves all the time). Its
    // stream sends from then on, too.
    bool moving(std::size_t n) const;
    // Steps every vehicle moving to the steady time `now` along its course
    // at its speed, by the time since its own last step (a vehicle's first
    // step only starts its clock). Over a pole a course turns by 180. Says
    // Change::moved for each, and Change::course for a course turned.
    void advance(double now);
    // Steps vehicle n alone to `now`, in use or not, as advance() steps each.
    void advance(std::size_t n, double now);
    // The guide asked at each step from now on (nullptr: none); it must
    // outlive the fleet or be taken away first.
    void set_guide(Guide* guide) { guide_ = guide; }

    // Called for every change, in the order the watchers were added.
    WatchId watch(Watcher watcher);
    void unwatch(WatchId id);

private:
    std::optional<Refusal> check_index(std::size_t n) const;
    void tell(std::size_t n, Change what, Origin origin);

    std::array<Vehicle, fleet_size> vehicles_{};
    std::size_t current_ = 0;
    Mode mode_ = Mode::gps_standard;
    int cycle_ = 0;
    bool targets_ = false;
    bool streams_ = false;
    std::vector<std::pair<WatchId, Watcher>> watchers_;
    WatchId next_watch_ = 1;
    Guide* guide_ = nullptr;
};

// Reasons the rules give, for a caller that must check before it asks:
// nullopt when allowed.
std::optional<Refusal> course_problem(double degrees);
std::optional<Refusal> speed_problem(double speed);
// Vehicle numbers run 0 .. fleet_size - 1: Refusal{"mezzo", no_such_vehicle(n)}.
constexpr bool vehicle_exists(std::size_t n) { return n < fleet_size; }
std::optional<Refusal> vehicle_problem(std::size_t n);
// "Numero di mezzi mobili" as a user gives it (the control interface): a
// whole number from 1 to largest_cycle; Refusal{"mezzi", ...} otherwise.
std::optional<Refusal> cycle_problem(double vehicles);

// The messages of these rules, written once.
// "il mezzo 21 non esiste: i mezzi vanno da 0 a 20", the number as given.
std::string no_such_vehicle(std::string_view given);
std::string no_such_vehicle(std::size_t n);
// The vehicles' numbers as a usage names them: "da 0 a 20".
std::string vehicle_range();

}  // namespace vadrel
