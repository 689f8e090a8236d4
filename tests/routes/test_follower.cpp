#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "routes/follower.h"
#include "textbook.h"

namespace vadrel {
namespace {

using namespace testing;

// Ticks of one second from the start.
std::vector<RouteStep> drive(const Route& route, const FollowOptions& options, double speed, int ticks,
                             GeoPoint here = {}) {
    std::vector<RouteStep> steps{locate(route, start_route(route, options, here), options, speed)};
    for (int i = 0; i < ticks; ++i) steps.push_back(advance(route, steps.back().progress, options, 1.0, speed));
    return steps;
}

// The legs of a route as the checks see them, closing leg and first leg included.
std::vector<std::pair<GeoPoint, GeoPoint>> legs_of(const Route& route, bool closing = false,
                                                   std::optional<GeoPoint> from = std::nullopt) {
    std::vector<std::pair<GeoPoint, GeoPoint>> legs;
    if (from) legs.emplace_back(*from, route.position(0));
    for (std::size_t i = 0; i + 1 < route.size(); ++i) legs.emplace_back(route.position(i), route.position(i + 1));
    if (closing) legs.emplace_back(route.position(route.size() - 1), route.position(0));
    return legs;
}

double off_route(GeoPoint p, const std::vector<std::pair<GeoPoint, GeoPoint>>& legs) {
    double best = 1e12;
    for (const auto& [a, b] : legs) best = std::min(best, off_leg(p, a, b));
    return best;
}

// What a client reading the sentences checks: every fix on the path, the
// speed from consecutive fixes, every point passed within a second's
// travel, the end reached within a second of length over speed, there to stay.
TEST(Follower, EveryFixIsOnTheRouteAtTheSetSpeed) {
    const std::tuple<const char*, Route, double> rows[] = {  // name, route, speed
        {"across the equator",
         route_of({{-0.02, 10.0}, {0.015, 10.02}, {0.03, 9.99}, {-0.01, 9.985}}), 30.0},
        {"near 80 N, where the great circle leaves the parallel",
         route_of({{80.0, 0.0}, {80.0, 3.0}, {80.05, 3.1}}), 250.0},
        {"many short legs, several in one second",
         [] {
             Route r;
             for (int i = 0; i < 400; ++i) EXPECT_FALSE(r.add({45.0 + 0.00003 * i, 9.0 + 0.00004 * (i % 7)}));
             return r;
         }(),
         12.0},
    };
    for (const auto& [name, route, speed] : rows) {
        SCOPED_TRACE(name);
        const auto legs = legs_of(route);
        double length = 0;
        for (const auto& [a, b] : legs) length += haversine(a, b);
        const int ticks = static_cast<int>(length / speed) + 5;
        const std::vector<RouteStep> steps = drive(route, {}, speed, ticks);
        int end = -1;
        double worst_off = 0, worst_speed = 0;
        for (int k = 1; k <= ticks; ++k) {
            const RouteStep& s = steps[k];
            worst_off = std::max(worst_off, off_route(s.position, legs));
            if (s.events.points == 0 && !s.progress.finished) {
                const double went = haversine(steps[k - 1].position, s.position);
                worst_speed = std::max(worst_speed, std::fabs(went / speed - 1));
                EXPECT_DOUBLE_EQ(s.speed, speed);
                // The course is the heading of the great circle where the vehicle is.
                EXPECT_LT(angle_between(s.course, bearing(s.position, route.position(s.progress.leg + 1))), 1e-5);
            }
            if (end < 0 && s.events.finished) end = k;
        }
        EXPECT_LT(worst_off, 1.0);
        EXPECT_LT(worst_speed, 0.005);
        for (std::size_t i = 0; i < route.size(); ++i) {
            double nearest = 1e12;
            for (const RouteStep& s : steps) nearest = std::min(nearest, haversine(s.position, route.position(i)));
            EXPECT_LE(nearest, speed * 1.0) << "point " << i;
        }
        ASSERT_GT(end, 0);
        EXPECT_GE(end, length / speed - 1e-6);
        EXPECT_LT(end - 1, length / speed);
        EXPECT_EQ(steps.back().position, route.position(route.size() - 1));
        EXPECT_EQ(steps.back().speed, 0.0);
        EXPECT_EQ(steps[end].events.ends, 1u);
    }
}

// One long step is the same as many short ones: what is left of a second
// goes on along the next legs, from the start or from half way.
TEST(Follower, AStepIsTheSumOfItsParts) {
    const Route route = route_of({{45.0, 9.0}, {45.001, 9.0}, {45.001, 9.002}, {45.0005, 9.0021}, {45.0, 9.0}});
    for (const FollowOptions options : {FollowOptions{RouteEnd::loop}, FollowOptions{RouteEnd::back, false, 8.0}}) {
        std::vector<RouteStep> steps = drive(route, options, 9.0, 250);
        const RouteStep once = advance(route, steps[0].progress, options, 250.0, 9.0);
        EXPECT_LT(haversine(once.position, steps.back().position), 1e-6);
        EXPECT_EQ(once.progress.rounds, steps.back().progress.rounds);
        const RouteStep again = advance(route, steps[120].progress, options, 130.0, 9.0);
        EXPECT_LT(haversine(again.position, steps.back().position), 1e-6);
    }
}

// A leg goes at the speed of the point it starts from, either way along it;
// a point without one, or with 0, leaves the vehicle's.
TEST(Follower, ThePointsSpeeds) {
    const Route route = route_of({{0.0, 0.0, 5.0}, {0.0, 0.005, 0.0}, {0.0, 0.01}});
    const double leg = haversine({0.0, 0.0}, {0.0, 0.005});
    const auto steps = drive(route, {RouteEnd::back}, 20.0, static_cast<int>(leg / 5 + leg / 20) * 2 + 2);
    EXPECT_EQ(steps[10].speed, 5.0f);
    EXPECT_EQ(steps[static_cast<int>(leg / 5) + 2].speed, 20.0);
    const auto there = std::find_if(steps.begin(), steps.end(), [](const RouteStep& s) { return s.events.ends > 0; });
    EXPECT_NEAR(there - steps.begin(), leg / 5 + leg / 20, 1.0);
    EXPECT_EQ(steps[steps.size() - 3].speed, 5.0f);  // back along the first leg
}

// The end rules, each against the times a client would compute.
TEST(Follower, EndRules) {
    const Route route = route_of({{0.0, 0.0}, {0.0, 0.01}, {0.01, 0.01}});
    const double v = 10.0, leg = haversine({0.0, 0.0}, {0.0, 0.01}), up = haversine({0.0, 0.01}, {0.01, 0.01});
    const double back_leg = haversine({0.01, 0.01}, {0.0, 0.0});

    // ciclo: on along a leg back to the first point, round again.
    const auto loop = drive(route, {RouteEnd::loop}, v, static_cast<int>((leg + up + back_leg) / v) + 10);
    const auto legs = legs_of(route, true);
    for (const RouteStep& s : loop) EXPECT_LT(off_route(s.position, legs), 1.0);
    const auto lap = std::find_if(loop.begin(), loop.end(), [](const RouteStep& s) { return s.progress.rounds == 1; });
    ASSERT_NE(lap, loop.end());
    EXPECT_NEAR(lap - loop.begin(), (leg + up + back_leg) / v, 1.0);
    EXPECT_EQ(lap->events.last_point, 0);
    EXPECT_GT(loop.back().speed, 0.0);

    // indietro: back to the first point, then forth again.
    const auto back = drive(route, {RouteEnd::back}, v, static_cast<int>(2 * (leg + up) / v) + 3);
    const int there = static_cast<int>((leg + up) / v) + 1;
    EXPECT_TRUE(back[there].progress.backward);
    EXPECT_EQ(back[there].events.last_point, 2);
    EXPECT_LT(angle_between(back[there + 1].course, 180.0), 1e-6);  // down the leg it came up
    EXPECT_LT(haversine(back[there + 5].position, {0.01, 0.01}), 6 * v);
    EXPECT_FALSE(back.back().progress.backward);
    EXPECT_EQ(back.back().progress.rounds, 2u);
    EXPECT_NEAR(haversine(back.back().position, {0.0, 0.0}), v * (back.size() - 1 - 2 * (leg + up) / v), 1e-3);

    // ciclo on a route that closes on itself: no leg of no length, a round each time round.
    const Route ring = route_of({{0.0, 0.0}, {0.0, 0.001}, {0.001, 0.001}, {0.0, 0.0}});
    const RouteStep rounds = advance(ring, start_route(ring, {RouteEnd::loop}, {}), {RouteEnd::loop}, 3600.0, 16857.0);
    const double ring_length = haversine({0, 0}, {0, 0.001}) * 2 + haversine({0.001, 0.001}, {0, 0});
    EXPECT_NEAR(static_cast<double>(rounds.progress.rounds), 3600.0 * 16857.0 / ring_length, 1.0);
    EXPECT_LT(off_route(rounds.position, legs_of(ring)), 1.0);
}

// Turning at a rate: along a circle of radius speed / rate, tangent to both
// legs; at once where that circle does not fit.
TEST(Follower, TurnsAtTheRateOnACircleTangentToBothLegs) {
    const Route corner = route_of({{45.0, 9.0}, {45.0, 9.05}, {45.04, 9.05}});
    const double v = 20.0, rate = 3.0, r = v / (rate * rad);
    const auto steps = drive(corner, {RouteEnd::stop, false, rate}, v, 500);
    double nearest = 1e12, most = 0;
    int turning = 0, told = 0;
    for (std::size_t k = 1; k < steps.size(); ++k) {
        nearest = std::min(nearest, haversine(steps[k].position, {45.0, 9.05}));
        told += steps[k].events.points > 0;
        if (steps[k].progress.finished) continue;
        most = std::max(most, angle_between(steps[k].course, steps[k - 1].course));
        if (steps[k].progress.turning) ++turning;
        EXPECT_NEAR(haversine(steps[k - 1].position, steps[k].position), v, v * 0.005);
        // Off the legs only while turning.
        if (!steps[k].progress.turning && !steps[k - 1].progress.turning) {
            EXPECT_LT(off_route(steps[k].position, legs_of(corner)), 1.0) << k;
        }
    }
    EXPECT_LE(most, rate * 1.0001);
    const double turned = angle_between(bearing({45.0, 9.05}, {45.04, 9.05}), bearing({45.0, 9.0}, {45.0, 9.05}));
    EXPECT_NEAR(turning, turned / rate, 1.5);
    EXPECT_NEAR(nearest, r / std::cos(turned / 2 * rad) - r, 0.05 * r);
    EXPECT_EQ(told, 2);  // the corner, then the end

    // The circle of 0.5 degrees per second would not fit in half a leg: at once.
    const auto sharp = drive(corner, {RouteEnd::stop, false, 0.5}, v, 500);
    for (const RouteStep& s : sharp) {
        EXPECT_FALSE(s.progress.turning);
        EXPECT_LT(off_route(s.position, legs_of(corner)), 1.0);
    }
}

// The track's rhythm: where the track was after the same time, whatever the
// vehicle's speed; a stop in the track is a stop.
TEST(Follower, TheTracksRhythm) {
    const std::int64_t t0 = 1714557600000;
    const Route track = route_of({{45.0, 9.0, std::nullopt, t0},
                                  {45.01, 9.0, std::nullopt, t0 + 100000},
                                  {45.01, 9.0, std::nullopt, t0 + 160000},
                                  {45.02, 9.01, std::nullopt, t0 + 200000}});
    const FollowOptions rhythm{RouteEnd::stop, true};
    ASSERT_FALSE(follow_problem(track, rhythm));
    const auto steps = drive(track, rhythm, 999.0, 210);
    EXPECT_LT(haversine(steps[50].position, {45.005, 9.0}), 0.01);
    EXPECT_NEAR(steps[50].speed, haversine({45.0, 9.0}, {45.01, 9.0}) / 100.0, 1e-3);
    EXPECT_EQ(steps[130].position, track.position(1));
    EXPECT_EQ(steps[130].speed, 0.0);
    EXPECT_EQ(steps[130].course, steps[99].course);
    EXPECT_LT(off_leg(steps[180].position, track.position(2), track.position(3)), 0.01);
    EXPECT_NEAR(haversine(steps[180].position, track.position(2)), haversine(track.position(2), track.position(3)) / 2, 0.01);
    EXPECT_FALSE(steps[199].progress.finished);
    EXPECT_TRUE(steps[200].events.finished);

    const Route untimed = route_of({{45.0, 9.0}, {45.01, 9.0}});
    EXPECT_EQ(follow_problem(untimed, rhythm), "il percorso non ha l'ora in ogni punto: non ha un ritmo da seguire");
}

// "dal punto attuale": a first leg from where the vehicle is; "Raggiungi":
// a route of one point.
TEST(Follower, FromHereAndReachingAPoint) {
    const GeoPoint here{44.99, 8.98};
    const Route route = route_of({{45.0, 9.0}, {45.0, 9.01}});
    const FollowOptions options{RouteEnd::stop, false, 0.0, true};
    const auto steps = drive(route, options, 15.0, 200, here);
    EXPECT_EQ(steps[0].position, here);
    const double first = haversine(here, {45.0, 9.0});
    for (const RouteStep& s : steps) EXPECT_LT(off_route(s.position, legs_of(route, false, here)), 1.0);
    // (Never reached: 200 seconds, far from the time expected.)
    const auto reached = std::find_if(steps.begin(), steps.end(), [](const RouteStep& s) { return s.events.first_point == 0; });
    EXPECT_NEAR(reached - steps.begin(), first / 15.0, 1.0);

    const Route point = route_of({{45.0, 9.0}});
    const auto reach = drive(point, options, 15.0, static_cast<int>(first / 15.0) + 2, here);
    EXPECT_EQ(reach.back().position, point.position(0));
    EXPECT_TRUE(reach.back().progress.finished);
    EXPECT_EQ(reach.back().speed, 0.0);
    // Without from_here a route of one point is where the vehicle is put.
    EXPECT_TRUE(start_route(point, {}, here).finished);
}

// A vehicle put by hand off its route goes straight to the point it was
// heading for, and on from there the way it was going.
TEST(Follower, RejoiningFromWhereItWasPut) {
    const Route route = route_of({{45.0, 9.0}, {45.0, 9.01}, {45.01, 9.01}});
    const GeoPoint off{44.995, 9.005};
    // name, options, seconds driven before it is put off its route, the point it then heads for, the leg it goes on
    // along from there (-1: it stops there), the way along it
    const std::tuple<const char*, FollowOptions, double, std::int64_t, std::int64_t, bool> rows[] = {
        {"on the first leg: to point 1, on along leg 1", {}, 20.0, 1, 1, false},
        {"on the last leg: to the last point, and it stops there", {}, 120.0, 2, -1, false},
        {"on the way back: to point 1, back along leg 0", {RouteEnd::back}, 250.0, 1, 0, true},
        {"on the leg back of a loop: to the first point, round again", {RouteEnd::loop}, 250.0, 0, 0, false},
    };
    for (const auto& [name, options, before, rejoin, next_leg, backward] : rows) {
        RouteProgress p = advance(route, start_route(route, options, {}), options, before, 10.0).progress;
        p = rejoin_route(route, p, options, off);
        EXPECT_EQ(std::pair(p.leg, p.rejoin), std::pair(std::int64_t{-1}, rejoin)) << name;
        EXPECT_FALSE(progress_problem(route, options, p)) << name;
        EXPECT_EQ(locate(route, p, options, 10.0).position, off) << name;
        const GeoPoint heading_for = route.position(static_cast<std::size_t>(rejoin));
        const RouteStep half = advance(route, p, options, haversine(off, heading_for) / 20.0, 10.0);
        EXPECT_LT(off_leg(half.position, off, heading_for), 0.01) << name;
        const RouteStep after = advance(route, p, options, haversine(off, heading_for) / 10.0 + 1.0, 10.0);
        EXPECT_EQ(std::pair(after.events.first_point, after.progress.finished), std::pair(rejoin, next_leg < 0))
            << name;
        if (next_leg < 0) continue;
        EXPECT_EQ(std::pair(after.progress.leg, after.progress.backward), std::pair(next_leg, backward)) << name;
    }
    const RouteProgress finished = advance(route, start_route(route, {}, {}), {}, 1e6, 10.0).progress;
    EXPECT_EQ(rejoin_route(route, finished, {}, off), finished) << "a finished route stays finished";
    const RouteProgress first = rejoin_route(route, start_route(route, {}, {}), {}, off);
    EXPECT_NEAR(summarize(route, first, {}, 10.0).left_m, haversine(off, route.position(1)) + route.leg_length(1), 0.5)
        << "what is left: to the point rejoined, and the route from there";
}

// A kept progress that does not fit its route is told, and brought within
// it rather than followed out of it; a speed or a time that is not a number
// moves nothing.
TEST(Follower, NothingOutOfTheRoute) {
    const Route route = route_of({{45.0, 9.0}, {45.0, 9.01}});
    const RouteProgress wild{.leg = 7, .fraction = std::nan("")};
    EXPECT_EQ(progress_problem(route, {}, wild),
              "l'avanzamento non corrisponde al percorso: la tratta 7 non esiste: il percorso ne ha 1");
    const RouteStep step = advance(route, wild, {}, 1.0, 10.0);
    EXPECT_LT(off_route(step.position, legs_of(route)), 1e-6);
    const RouteProgress start = start_route(route, {}, {});
    for (const double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        EXPECT_EQ(advance(route, start, {}, bad, 10.0).position, route.position(0));
        EXPECT_EQ(advance(route, start, {}, 1.0, bad).position, route.position(0));
    }
    EXPECT_EQ(follow_problem(Route(), {}), "il percorso non ha punti");
    EXPECT_TRUE(follow_problem(route, {RouteEnd::stop, false, -1.0}));
}

}  // namespace
}  // namespace vadrel
