#pragma once
// Following a route exactly. The state of a vehicle on its route is a small
// plain value (RouteProgress); one pure step moves it on by the seconds
// elapsed at the speed the vehicle has, and says where the vehicle is, its
// course there, its speed over ground, and which points it reached.
//
//   RouteProgress progress = start_route(route, options, here);
//   RouteStep step = advance(route, progress, options, 1.0, 13.9);  // 1 s at 13.9 m/s
//   progress = step.progress;
//   fleet.place(n, step.lat_arc_seconds(), step.lon_arc_seconds(), me);
//
// The path. Legs are great circles from each point to the next. With
// `from_here` a first leg goes from where the vehicle was (`here`) to the
// first point; otherwise the vehicle starts at the first point. A step never
// overshoots a point: what is left of it goes on along the next leg, however
// many legs that takes. At the end of the route:
//   stop  (ferma)     the vehicle stays at the last point, speed 0;
//   loop  (ciclo)     a leg from the last point back to the first (none when
//                     they are the same place), and round again, for ever;
//   back  (indietro)  back along the route to the first point, then forth
//                     again, for ever; it turns round at once at each end.
// Every point reached is told in the step's events, once for each time.
//
// The speed. Each leg is driven at the speed of the point it starts from (in
// the file's order, either way along it) when that point gives one above 0,
// otherwise at the vehicle's speed. The first leg of from_here and the leg
// back of loop go at the vehicle's speed, or at the speed of the point they
// start from. A vehicle whose speed is 0 stays where it is. Its sign does
// not matter: a route has its own direction.
//
// The track's rhythm (track_times). For a route whose every point has a
// time: the vehicle is where the track was after the same time since its
// first point, at a constant speed along each leg (its length over its
// time); the vehicle's speed is not used. Legs the track does not time (the
// first leg of from_here, the leg back of loop) go at the track's mean speed,
// its length over its duration. Turns are made at once.
//
// Turning (turn_rate, degrees per second, 0 for none): see turn.h. The point
// is told as reached half way round its circle; the speed along the circle is
// that of the leg that comes to it.
//
// The course is the heading of the path where the vehicle is: the great
// circle's (which changes along a leg, except along the equator and the
// meridians) or the circle's in a turn; where the path gives none (a leg of
// no length, a route of one point) the last course stays.

#include <cstdint>
#include <optional>
#include <string>

#include "routes/geodesy.h"
#include "routes/route.h"

namespace vadrel {

enum class RouteEnd : std::uint8_t { stop, loop, back };

struct FollowOptions {
    RouteEnd end = RouteEnd::stop;
    bool track_times = false;  // "ritmo della traccia"
    double turn_rate = 0.0;    // degrees per second; 0: turns at once
    bool from_here = false;    // "dal punto attuale"
    bool operator==(const FollowOptions&) const = default;
};

// Where a vehicle is along its route. Plain numbers, kept as text by
// progress_text.h so that a restart goes on where the vehicle was.
struct RouteProgress {
    // The leg the vehicle is on: leg i from point i to point i + 1; with
    // loop, leg size() - 1 is the leg back to the first point; -1 the first
    // leg of from_here, from `origin`.
    std::int64_t leg = 0;
    // How far along it, 0 at its first point, 1 at its second, whichever
    // way the vehicle goes.
    double fraction = 0.0;
    bool backward = false;  // back: on the way back to the first point
    // In a turn at the point the leg leads to: the tangent angle the turn
    // was made for (radians, turn.h), and the part of the circle driven.
    bool turning = false;
    double turn_tangent = 0.0;
    double turn_done = 0.0;
    bool finished = false;     // stop: at the last point for good
    std::uint64_t rounds = 0;  // loop: rounds done; back: ends turned at
    GeoPoint origin{};         // where leg -1 starts
    // Leg -1 leads to this point; from there the vehicle goes on along the
    // route, back towards the first point when rejoin_backward (back only).
    std::int64_t rejoin = 0;
    bool rejoin_backward = false;
    double course = 0.0;       // the course last held, degrees
    bool operator==(const RouteProgress&) const = default;
};

struct StepEvents {
    std::uint64_t points = 0;      // points reached in the step, each time counted
    std::int64_t first_point = -1; // the first and the last of them, by index
    std::int64_t last_point = -1;
    std::uint64_t ends = 0;        // ends of the route reached (the last point; the first on the way back)
    bool finished = false;         // stop: the route has just ended
};

struct RouteStep {
    RouteProgress progress;
    GeoPoint position;
    double course = 0.0;  // degrees, 0 .. 360
    double speed = 0.0;   // over ground, m/s
    StepEvents events;
    // The position as fleet::Vehicle keeps it.
    double lat_arc_seconds() const { return position.lat * 3600.0; }
    double lon_arc_seconds() const { return position.lon * 3600.0; }
};

// Why a route cannot be followed with these options, in Italian: an empty
// route, a name the kept route could not hold (Route::name_problem), the track's rhythm for a route without a time at every point or
// lasting 0 s, a turn rate that is not a number from 0 to 360.
std::optional<std::string> follow_problem(const Route& route, const FollowOptions& options);

// A vehicle given a route where it is (`here`, degrees): at the first
// point, or with from_here at the start of a leg from here to it.
RouteProgress start_route(const Route& route, const FollowOptions& options, GeoPoint here);

// The step: `seconds` later at `speed` (m/s). Pure: the same arguments give
// the same step. A time or a speed that is not a number counts as 0; a
// progress that does not fit the route is brought within it first (see
// progress_problem). With options follow_problem refuses, the track's
// rhythm counts as off and the rate as 0.
RouteStep advance(const Route& route, const RouteProgress& progress, const FollowOptions& options,
                  double seconds, double speed);

// The progress of a vehicle put by hand at `here` (degrees): a leg from
// there to the point it was heading for, then on along the route the way it
// was going. A finished route stays finished.
RouteProgress rejoin_route(const Route& route, const RouteProgress& progress, const FollowOptions& options,
                           GeoPoint here);

// Where a progress puts the vehicle, without moving it.
inline RouteStep locate(const Route& route, const RouteProgress& progress, const FollowOptions& options,
                        double speed) {
    return advance(route, progress, options, 0.0, speed);
}

// Why a kept progress does not belong to this route and these options, in
// Italian (a leg past its end, a point to rejoin past the last);
// nullopt when it fits.
std::optional<std::string> progress_problem(const Route& route, const FollowOptions& options,
                                            const RouteProgress& progress);

// How far the vehicle has come and has still to go to the end of the route
// (loop: of the round; back: in the direction it goes), in metres along the
// legs, and the seconds that takes at `speed` (turns not counted).
struct RouteSummary {
    double done_m = 0.0;
    double left_m = 0.0;
    double left_seconds = 0.0;  // infinite when some leg has no speed
};
RouteSummary summarize(const Route& route, const RouteProgress& progress, const FollowOptions& options,
                       double speed);

}  // namespace vadrel
