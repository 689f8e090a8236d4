#pragma once
// The fleet: the 21 vehicles and the one path every change to them takes.
// The rules of a vehicle's values are written here once, whoever asks: the
// panel's boxes, "Vai a posizione", a loaded file, the command line, the
// control interface, a route. A refused change leaves the vehicle as it was
// and says why in Italian, naming the field as the control interface does.
//
//   Fleet fleet;
//   fleet.set_course(3, 400.0, me);        // Refusal{"rotta", "la rotta va da 0 a 360 gradi ..."}
//   fleet.set_speed(3, 12.5, me);          // nullopt: done; the watchers hear of it
//   fleet.advance(3, clock.steady());      // the simulation's step
//
// Views watch the changes; each change carries who made it, so a view can
// leave out the changes it made itself.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fleet/vehicle.h"

namespace vadrel {

inline constexpr std::size_t fleet_size = 21;

// Why a change was refused: the field ("lat", "lon", "rotta", "velocita",
// "unita", "mezzo") and the reason in Italian.
struct Refusal {
    std::string field;
    std::string reason;
    bool operator==(const Refusal&) const = default;
};

// What changed of a vehicle.
enum class Change : std::uint8_t {
    placed,   // set somewhere by hand or by a file: its track breaks
    moved,    // stepped by the simulation
    course,
    speed,
    unit,
};

class Fleet {
public:
    // Who made a change: any address that names a source (a view passes
    // `this`); nullptr for nobody in particular.
    using Origin = const void*;
    using Watcher = std::function<void(std::size_t vehicle, Change what, Origin origin)>;

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

    // ---- the simulation ----
    // Steps vehicle n to the steady time `now` along its course at its speed
    // (a first step only starts its clock). Over a pole its course turns by
    // 180. Says Change::moved to the watchers.
    void advance(std::size_t n, double now);

    // Called for every change, in the order the watchers were added.
    void watch(Watcher watcher) { watchers_.push_back(std::move(watcher)); }

    // A whole vehicle as a file or a restart gives it, bypassing the rules'
    // messages but not their ranges; said as placed, course, speed and unit.
    void load(std::size_t n, const Vehicle& vehicle, Origin origin);

private:
    std::optional<Refusal> check_index(std::size_t n) const;
    void tell(std::size_t n, Change what, Origin origin);

    std::array<Vehicle, fleet_size> vehicles_{};
    std::vector<Watcher> watchers_;
};

// Reasons the rules give, for a caller that must check before it asks (the
// panel's key filters, the command line's parser): nullopt when allowed.
std::optional<Refusal> course_problem(double degrees);
std::optional<Refusal> speed_problem(double speed);

}  // namespace vadrel
