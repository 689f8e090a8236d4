#pragma once
// What the control interface reads and changes, behind one interface: the
// program implements it on the fleet and the transmitter, the tests on a
// fake. The server never touches the simulator any other way, so every
// change a client makes takes the program's one change path and comes back
// with the same refusals the panel gives.
//
//   class Simulator : public ControlTarget { ... };   // phase two: the program's
//   ControlServer server(simulator);
//   server.start({"127.0.0.1", 0});
//
// The server calls these on the program's event loop, one at a time.

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ais/encounter.h"
#include "ais/fixed_stations.h"
#include "config/ais_settings.h"
#include "marine/instrument_settings.h"
#include "fleet/fleet.h"
#include "fleet/vehicle.h"
#include "model/receiver_options.h"
#include "os/result.h"
#include "routes/vehicle_routes.h"

namespace vadrel {

// The three ways of sending: GPS standard, TX radio, Multiutente.
enum class SendMode : std::uint8_t { gps, radio, multi };

// One vehicle as the interface shows it: its number (0 .. 20) and its values.
struct VehicleEntry {
    VehicleEntry() = default;
    VehicleEntry(std::size_t n, const Vehicle& v, std::optional<double> lat_sent = {},
                 std::optional<double> lon_sent = {})
        : number(n), vehicle(v), sent_lat(lat_sent), sent_lon(lon_sent) {}

    std::size_t number = 0;
    Vehicle vehicle;
    // Where its sentences put it when the receiver's noise moves them off
    // the true position (seconds of arc, as the vehicle's).
    std::optional<double> sent_lat, sent_lon;
    // Its MMSI, nine digits ("900000003"), and the port of its own stream
    // while each vehicle has one.
    std::string mmsi;
    std::optional<int> stream_port;
    // Why its stream cannot listen on its port, when it cannot ("" else).
    std::string stream_problem;
    // Why it moves and sends (Fleet::in_use); none when it is not in use.
    InUse in_use;
    // Its whole AIS identity, when the simulator has one to show.
    std::optional<AisIdentity> ais;
};

// The serial link as the panel shows it.
struct PortState {
    int number = 0;            // COM 1 .. 4; 0 when no port is chosen
    std::string device;        // "/dev/ttyS1", "/dev/pts/3"
    int baud = 0;              // 2400, 4800 or 9600
    bool open = false;
    std::string status;        // the panel's caption: "Tx OK", "No Tx", "Stop", "Tx ok", "No tx"
    std::string problem;       // why it is not open, in Italian; "" when it is
    bool transmitting = false;
};

// A change of the serial link: only what is given changes. A port given
// with a speed opens at that speed; a speed alone is the open port's.
struct PortChange {
    std::optional<int> number;
    std::optional<int> baud;
    std::optional<bool> transmitting;
    bool empty() const { return !number && !baud && !transmitting; }
};

// One output beside the serial port (TCP server, UDP target, recording, track).
struct OutputState {
    std::string kind;          // "tcp", "udp", "registrazione", "traccia", ...
    std::string address;       // "127.0.0.1:10110", a file's name as the operator gave it
    bool active = false;
    std::string problem;       // why it is not working, in Italian; "" when it is
    std::vector<std::string> clients;  // the peers connected to it: "127.0.0.1:40312"
};

// The program's one clock, for GET /api/v1/tempo and the state.
struct ClockState {
    std::string utc;        // "2016-12-31T23:59:60.250Z": the simulated UTC
    double rate = 1.0;      // simulated seconds a real second
    bool max = false;       // as fast as the outputs take them (rate is then the last one asked)
    bool paused = false;
    bool simulated = false;  // false: the wall clock's own readings
};

// A change of the clock: only what is given changes; max wins over a rate.
struct ClockChange {
    std::optional<double> rate;
    bool max = false;
    std::optional<bool> paused;
};

// A scenario under way: how far it has come.
struct ScenarioState {
    std::string file;          // the name it was given by ("scenario" for one sent here)
    double elapsed = 0.0;      // simulated seconds since its start
    std::optional<double> duration;
    std::size_t done = 0;      // events done, of `events`
    std::size_t events = 0;
    std::optional<double> next_at;  // the next event's second, and what it does
    std::string next;
};

// An event of a scenario as it was played: its place in the scenario
// (from 0), its second and what it did, for the events' WebSocket.
struct ScenarioMark {
    std::size_t index = 0;
    double at = 0.0;
    std::string text;
    bool operator==(const ScenarioMark&) const = default;
};
// The autopilot, for GET /api/v1/pilota and the state.
struct PilotState {
    bool on = false;
    double turn_rate = 3.0;               // degrees a simulated second
    std::optional<double> variation;      // east positive; nothing: magnetic taken as true
    std::optional<double> asked;          // the heading asked, true
    std::string waypoint;                 // where to: APB's or RMB's id
    std::string source;                   // "tcp 127.0.0.1:40312", "udp ...", "seriale ..."
    std::optional<double> since_last;     // seconds since the last sentence taken
    std::optional<double> cross_track_nm;  // the last cross-track error, and which way to steer
    char steer = 'R';
    std::string status;                   // "Pilota: rotta 090 verso WP1"
};

// A change of the autopilot: only what is given changes.
struct PilotChange {
    std::optional<bool> on;
    std::optional<double> turn_rate;
};

// The whole simulator at one moment, for GET /api/v1/stato.
struct ControlState {
    std::string version;       // "1.4"
    SendMode mode = SendMode::gps;
    bool transmitting = false;
    bool replaying = false;
    std::size_t current_vehicle = 0;
    int vehicles_in_use = 1;   // those that move and send, for whatever reason (Fleet::in_use)
    int cycle = 0;             // "Numero di mezzi mobili": a mode change keeps it
    PortState port;
    std::vector<OutputState> outputs;
    ReceiverOptions receiver;
    std::vector<VehicleEntry> vehicles;  // every vehicle, 0 .. 20
    ClockState clock;
    std::optional<ScenarioState> scenario;  // nothing when none is under way
    std::optional<PilotState> pilot;        // nothing when the simulator has none
};

// A change of one vehicle: only the values given change. A position comes
// either as decimal degrees (lat, lon, one or both) or as the text "Vai a
// posizione" reads (position), never both. All or nothing: a refused value
// leaves the vehicle as it was.
struct VehiclePatch {
    std::optional<double> lat;       // degrees, north positive, -90 .. 90
    std::optional<double> lon;       // degrees, east positive, -180 .. 180
    std::optional<std::string> position;
    std::optional<double> course;    // degrees, true
    std::optional<double> speed;     // in the unit (the new one when given)
    std::optional<SpeedUnit> unit;
    // Its AIS identity as a whole, the fields a client left out filled in
    // from the one in force; checked by the AIS dialog's rules.
    std::optional<AisIdentity> ais;
    bool empty() const { return !lat && !lon && !position && !course && !speed && !unit && !ais; }
};

// The tracked fleets as the interface shows them (GET /api/v1/flotta).
struct TrackerServerView {
    std::string protocol;  // "traccar", "nmea", "osmand"
    std::string address;
    std::string file;
    std::uint64_t devices = 0;
    std::uint64_t sent = 0;
    std::uint64_t skipped = 0;
    std::uint64_t connections = 0;
    std::string state;
};
struct TrackerOverview {
    std::uint64_t devices = 0;
    std::uint64_t sent = 0;
    std::uint64_t skipped = 0;
    std::vector<TrackerServerView> servers;
};
// One device of them (GET /api/v1/flotta/{id}).
struct TrackedDeviceView {
    std::string id;
    double lat = 0.0;
    double lon = 0.0;
    double course = 0.0;
    double speed_kmh = 0.0;
    int interval = 1;
    std::int64_t last_report_ms = -1;  // -1: none yet
};

class ControlTarget {
public:
    virtual ~ControlTarget() = default;

    virtual ControlState state() const = 0;
    // Vehicle n, 0 .. fleet_size - 1 (the server checks n first).
    virtual Vehicle vehicle(std::size_t n) const = 0;
    // The vehicle as the interface shows it, with where its last sentences
    // put it when that differs (the receiver's noise).
    virtual VehicleEntry entry(std::size_t n) const { return {n, vehicle(n)}; }
    // Whether a log is being replayed: then every change is refused (409).
    virtual bool replaying() const = 0;

    // The changes: done, or what was refused and why, as the panel and the
    // command line say it (Refusal::field names the JSON field), or what
    // failed in the system.
    virtual Result<> patch_vehicle(std::size_t n, const VehiclePatch& patch) = 0;
    virtual Result<> set_transmission(bool on) = 0;
    // The mode and, when given, the vehicles of the multi-user cycle
    // (refused by cycle_problem(), fleet/fleet.h, past its rule).
    virtual Result<> set_mode(SendMode mode, std::optional<int> vehicles) = 0;
    // The serial link: the port chosen, its speed, transmission (Link).
    virtual PortState port() const = 0;
    virtual Result<> change_port(const PortChange& change) = 0;
    // The receiver options as a whole (the server fills in what a client
    // left out from state().receiver).
    virtual Result<> set_receiver(const ReceiverOptions& options) = 0;
    // The AIS targets as "Bersagli AIS..." sets them, and the change of them
    // as a whole (the server fills in what a client left out from ais()).
    virtual AisSettings ais() const = 0;
    virtual Result<> set_ais(const AisSettings& settings) = 0;
    // Vehicle `ask.vehicle` placed for an encounter with the own ship
    // (ais/encounter.h), made an AIS target if it is not one: what was
    // done, in Italian, a line a change.
    virtual Result<std::vector<std::string>> place_encounter(const EncounterAsk& /*ask*/) {
        return Refusal{"incontro", "questo simulatore non prepara incontri"};
    }
    // The AIS stations that stand in one place (ais/fixed_stations.h), and
    // their change: what was done, in Italian, a line a change.
    virtual StationsOnAir stations() const { return {}; }
    virtual Result<std::vector<std::string>> set_stations(const StationsOnAir& /*stations*/) {
        return Refusal{"stazioni", "questo simulatore non mette boe né SART"};
    }
    // The own ship's instruments as "Strumenti di bordo..." sets them, and
    // the change of them as a whole (the server fills in what a client left
    // out from instruments()).
    virtual InstrumentSettings instruments() const { return {}; }
    virtual Result<> set_instruments(const InstrumentSettings& /*settings*/) {
        return Refusal{"strumenti", "questo simulatore non ha strumenti di bordo"};
    }
    // The clock's rate and pause (a rate outside 0.1 .. 1000 refused, field "velocita_tempo").
    virtual Result<> change_clock(const ClockChange& change) = 0;

    // A scenario file's bytes (YAML or JSON): its settings that a running
    // program can take applied, its events played from the next second on,
    // in place of one under way. Refused whole, with the key and the
    // message that places it in the file.
    virtual Result<> play_scenario(const QByteArray& /*bytes*/) {
        return Refusal{"scenario", "questo simulatore non esegue scenari"};
    }
    // play_scenario in two halves, so that a large file is read off the
    // loop: this reads and checks the bytes on any thread (touching nothing
    // else), and what it gives back plays them, or refuses, on the loop.
    using BodyPlay = std::function<Result<>()>;
    using ScenarioPlay = BodyPlay;
    virtual ScenarioPlay prepare_scenario(const QByteArray& bytes) {
        return [this, bytes] { return play_scenario(bytes); };
    }

    // Vehicle n's route (VehicleRoutes: placed at its start unless
    // from_here, kept in the program's folder); refused with the reason.
    virtual Result<> give_route(std::size_t n, Route route, const FollowOptions& options) = 0;
    // Vehicle n goes straight on from where it is.
    virtual void take_route(std::size_t n) = 0;
    // Vehicle n's route and where it is along it; nullptr when it has none.
    virtual const FollowedRoute* route(std::size_t n) const = 0;
    // What is left of it at the vehicle's speed; only when route(n).
    virtual RouteSummary route_summary(std::size_t n) const = 0;
    // Why vehicle n's route is followed but not kept for the next start, in
    // Italian; "" when it is kept.
    virtual std::string route_not_kept(std::size_t n) const = 0;

    // The tracked fleets: their servers and counts, one device by its id,
    // and a fleet file's bytes (CSV or JSON) for the server `destination`
    // ("traccar:HOST:PORTA"), in place of the fleet reporting there; refused
    // with the file's line and field.
    virtual TrackerOverview tracker() const { return {}; }
    virtual std::optional<TrackedDeviceView> tracked_device(const std::string& /*id*/) const { return std::nullopt; }
    virtual Result<> replace_fleet(const QByteArray& /*bytes*/, const std::string& /*destination*/) {
        return Refusal{"flotta", "questo simulatore non ha una flotta per server"};
    }
    // replace_fleet in two halves, as prepare_scenario: the bytes read and
    // checked on any thread, the fleet put in place on the loop.
    virtual BodyPlay prepare_fleet(const QByteArray& bytes, const std::string& destination) {
        return [this, bytes, destination] { return replace_fleet(bytes, destination); };
    }
    // The autopilot (nothing: this simulator has none), and a change of it
    // (a rate outside its range refused, field "virata").
    virtual std::optional<PilotState> pilot() const { return std::nullopt; }
    virtual Result<> change_pilot(const PilotChange& /*change*/) {
        return Refusal{"pilota", "questo simulatore non ha il pilota automatico"};
    }
};

}  // namespace vadrel
