#include "follower.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/coordinates.h"
#include "routes/turn.h"

namespace vadrel {

namespace {

constexpr double infinite = std::numeric_limits<double>::infinity();

enum class Arrival : std::uint8_t { corner, wrap, end, reverse };

struct Next {
    std::int64_t leg = 0;
    bool backward = false;
    Arrival kind = Arrival::corner;
};

// The legs of a route as these options make them.
class Path {
public:
    Path(const Route& route, const FollowOptions& options, const RouteProgress& progress)
        : route_(route),
          options_(options),
          origin_(progress.origin),
          n_(static_cast<std::int64_t>(route.size())),
          rejoin_(std::clamp<std::int64_t>(progress.rejoin, 0, std::max<std::int64_t>(n_ - 1, 0))),
          rejoin_backward_(progress.rejoin_backward && options.end == RouteEnd::back) {
        closing_ = options.end == RouteEnd::loop && n_ >= 2 && !(route.position(0) == route.position(n_ - 1));
        legs_ = n_ > 0 ? n_ - 1 + (closing_ ? 1 : 0) : 0;
        // The rhythm's own conditions (follow_problem's), not the name's.
        timed_ = options.track_times && route.has_times() && route.duration_ms() > 0;
        if (timed_) mean_speed_ = route.length() / (static_cast<double>(route.duration_ms()) / 1000.0);
        const bool rate_ok = std::isfinite(options.turn_rate) && options.turn_rate > 0.0 && options.turn_rate <= 360.0;
        rate_ = rate_ok && !timed_ ? options.turn_rate : 0.0;
    }

    std::int64_t legs() const { return legs_; }
    std::int64_t points() const { return n_; }
    bool closing() const { return closing_; }
    double rate() const { return rate_; }
    RouteEnd end() const { return options_.end; }

    // A leg of the route itself (not the first leg of from_here, not the leg back).
    bool inner(std::int64_t leg) const { return leg >= 0 && leg + 1 < n_; }
    std::int64_t from_index(std::int64_t leg) const { return std::max<std::int64_t>(leg, 0); }
    std::int64_t to_index(std::int64_t leg) const { return leg < 0 ? rejoin_ : (leg + 1) % n_; }
    GeoPoint from(std::int64_t leg) const { return leg < 0 ? origin_ : route_.position(from_index(leg)); }
    GeoPoint to(std::int64_t leg) const { return route_.position(to_index(leg)); }
    // Where a leg starts and ends the way the vehicle goes.
    GeoPoint near(std::int64_t leg, bool backward) const { return backward ? to(leg) : from(leg); }
    GeoPoint far(std::int64_t leg, bool backward) const { return backward ? from(leg) : to(leg); }
    std::int64_t far_index(std::int64_t leg, bool backward) const {
        return backward ? from_index(leg) : to_index(leg);
    }

    double length(std::int64_t leg) const {
        if (inner(leg)) return route_.leg_length(static_cast<std::size_t>(leg));
        return distance_m(from(leg), to(leg));
    }
    // The speed a leg is driven at, m/s, out of the track's rhythm.
    double pace(std::int64_t leg, double speed) const {
        if (leg >= 0) {
            const std::optional<double> own = route_.speed(static_cast<std::size_t>(from_index(leg)));
            if (own && *own > 0.0) return *own;
        }
        return speed;
    }
    // Seconds to drive a whole leg; infinite when it is not driven at all.
    double seconds(std::int64_t leg, double speed) const {
        if (timed_ && inner(leg)) return static_cast<double>(route_.leg_ms(static_cast<std::size_t>(leg))) / 1000.0;
        const double metres = length(leg);
        if (metres == 0.0) return 0.0;
        const double v = timed_ ? mean_speed_ : pace(leg, speed);
        return v > 0.0 ? metres / v : infinite;
    }

    Next next(std::int64_t leg, bool backward) const {
        if (leg < 0) {
            // On from the point rejoined as if the route's leg to it had brought the vehicle there.
            if (legs_ == 0) return {leg, false, Arrival::end};
            if (rejoin_backward_) return next(rejoin_, true);
            if (rejoin_ == 0) return {0, false, Arrival::corner};
            return next(rejoin_ - 1, false);
        }
        if (!backward) {
            if (leg + 1 < legs_) return {leg + 1, false, Arrival::corner};
            switch (options_.end) {
                case RouteEnd::stop: return {leg, false, Arrival::end};
                case RouteEnd::loop: return {0, false, Arrival::wrap};
                case RouteEnd::back: return {leg, true, Arrival::reverse};
            }
        }
        if (leg > 0) return {leg - 1, true, Arrival::corner};
        return {0, false, Arrival::reverse};
    }

    // The corner at the far end of a leg, when the vehicle may turn there at
    // the rate.
    std::optional<Corner> corner_after(std::int64_t leg, bool backward) const {
        if (rate_ <= 0.0) return std::nullopt;
        const Next nx = next(leg, backward);
        if (nx.kind != Arrival::corner && nx.kind != Arrival::wrap) return std::nullopt;
        return corner(to_vector(near(leg, backward)), to_vector(far(leg, backward)),
                      to_vector(far(nx.leg, nx.backward)));
    }

private:
    const Route& route_;
    const FollowOptions& options_;
    GeoPoint origin_;
    std::int64_t n_;
    std::int64_t rejoin_;
    bool rejoin_backward_;
    bool closing_ = false;
    std::int64_t legs_ = 0;
    bool timed_ = false;
    double mean_speed_ = 0.0;
    double rate_ = 0.0;
};

bool valid_position(GeoPoint p) {
    return on_globe(p.lat, p.lon);
}

// The first reason a progress does not fit, in Italian.
std::optional<std::string> misfit(const Path& path, const RouteProgress& p) {
    if (p.leg < -1) return "la tratta " + std::to_string(p.leg) + " non esiste";
    if (p.rejoin < 0 || p.rejoin >= path.points())
        return "il punto " + std::to_string(p.rejoin) + " da raggiungere non esiste";
    if (p.rejoin_backward && path.end() != RouteEnd::back) return "il verso indietro vale solo con fine=indietro";
    if (p.leg == -1 && p.backward) return "la tratta -1 si percorre solo in avanti";
    if (p.leg >= std::max<std::int64_t>(path.legs(), 1))
        return "la tratta " + std::to_string(p.leg) + " non esiste: il percorso ne ha " +
               std::to_string(path.legs());
    if (!(p.fraction >= 0.0 && p.fraction <= 1.0)) return "la frazione della tratta va da 0 a 1";
    if (p.backward && path.end() != RouteEnd::back) return "il verso indietro vale solo con fine=indietro";
    if (!valid_position(p.origin)) return "il punto di partenza è fuori campo";
    if (!(p.course >= 0.0 && p.course < 360.0)) return "la rotta va da 0 a 360 gradi";
    if (p.turning) {
        const std::optional<Corner> c = path.corner_after(p.leg, p.backward);
        if (!c || !(p.turn_tangent > 0.0) || p.turn_tangent > std::min(c->in_angle, c->out_angle) / 2.0 ||
            !(p.turn_done >= 0.0 && p.turn_done <= 1.0))
            return "la virata in corso non corrisponde al percorso";
    }
    return std::nullopt;
}

// A progress brought within the route.
RouteProgress fitted(const Path& path, RouteProgress p) {
    if (!valid_position(p.origin)) p.origin = {};
    if (!(p.course >= 0.0 && p.course < 360.0)) p.course = 0.0;
    if (!(p.fraction >= 0.0)) p.fraction = 0.0;
    p.fraction = std::min(p.fraction, 1.0);
    if (p.leg < -1) {
        p.leg = 0;
        p.fraction = 0.0;
    }
    p.rejoin = std::clamp<std::int64_t>(p.rejoin, 0, std::max<std::int64_t>(path.points() - 1, 0));
    if (path.end() != RouteEnd::back) p.rejoin_backward = false;
    if (p.leg == -1) p.backward = false;
    if (p.leg >= path.legs() && p.leg >= 0) {
        p.leg = std::max<std::int64_t>(path.legs() - 1, 0);
        p.fraction = 1.0;
    }
    if (path.end() != RouteEnd::back) p.backward = false;
    if (path.legs() == 0 && p.leg >= 0) p.finished = true;
    if (p.turning && misfit(path, p)) {
        p.turning = false;
        p.fraction = p.backward ? 0.0 : 1.0;
    }
    return p;
}

class Stepper {
public:
    Stepper(const Path& path, RouteProgress state, double seconds, double speed)
        : path_(path), s_(state), time_(seconds), speed_(speed) {}

    RouteStep run() {
        // Every leg is entered at most a few times in a step: rounds beyond
        // the second are counted, not driven. The bound only keeps a fault
        // from spinning.
        std::int64_t budget = 16 * (path_.legs() + 2) + 64;
        while (time_ > 0.0 && !s_.finished && !stuck_ && budget-- > 0) {
            if (s_.turning ? !turn() : !drive()) break;
        }
        return result();
    }

private:
    // Along the straight part of the leg. False when the vehicle stays.
    bool drive() {
        const double whole = path_.seconds(s_.leg, speed_);
        if (whole == infinite) {
            stuck_ = true;
            return false;
        }
        double end = s_.backward ? 0.0 : 1.0;
        std::optional<double> tangent;
        if (const std::optional<Corner> c = path_.corner_after(s_.leg, s_.backward)) {
            tangent = turn_tangent(*c, path_.pace(s_.leg, speed_), path_.rate());
            if (tangent) {
                const double at = *tangent / c->in_angle;
                const double start = s_.backward ? at : 1.0 - at;
                // Past where the circle starts (the speed went up): at once at the point.
                if (s_.backward ? s_.fraction < start : s_.fraction > start) {
                    tangent.reset();
                } else {
                    end = start;
                }
            }
        }
        const double need = std::fabs(end - s_.fraction) * whole;
        if (need > time_) {
            s_.fraction += (s_.backward ? -1.0 : 1.0) * time_ / whole;
            s_.fraction = std::clamp(s_.fraction, 0.0, 1.0);
            time_ = 0.0;
            return true;
        }
        time_ -= need;
        s_.fraction = end;
        if (tangent) {
            s_.turning = true;
            s_.turn_tangent = *tangent;
            s_.turn_done = 0.0;
            return true;
        }
        const Next nx = path_.next(s_.leg, s_.backward);
        reach(nx);
        leave(nx, 0.0);
        return true;
    }

    // Round the circle of a turn. False when the vehicle stays.
    bool turn() {
        const Corner c = *path_.corner_after(s_.leg, s_.backward);
        const Arc arc = turn_arc(c, s_.turn_tangent);
        const double pace = path_.pace(s_.leg, speed_);
        const Next nx = path_.next(s_.leg, s_.backward);
        if (arc.length_m > 0.0) {
            if (!(pace > 0.0)) {
                stuck_ = true;
                return false;
            }
            const double need = (1.0 - s_.turn_done) * arc.length_m / pace;
            if (need > time_) {
                const double done = s_.turn_done + time_ * pace / arc.length_m;
                if (s_.turn_done < 0.5 && done >= 0.5) reach(nx);
                s_.turn_done = std::min(done, 1.0);
                time_ = 0.0;
                return true;
            }
            time_ -= need;
        }
        if (s_.turn_done < 0.5) reach(nx);
        s_.turning = false;
        leave(nx, s_.turn_tangent / c.out_angle);
        return true;
    }

    // The point at the far end of the leg is reached.
    void reach(const Next& nx) {
        tell(path_.far_index(s_.leg, s_.backward));
        if (nx.kind == Arrival::wrap && !path_.closing()) tell(0);
        if (nx.kind == Arrival::end) {
            s_.finished = true;
            events_.finished = true;
        }
        if (nx.kind == Arrival::wrap || nx.kind == Arrival::reverse) round();
    }

    // On to the next leg, `offset` (a part of it) past its start.
    void leave(const Next& nx, double offset) {
        if (nx.kind == Arrival::end) return;
        if (nx.kind == Arrival::reverse) {
            s_.backward = nx.backward;
            if (s_.leg < 0) {  // rejoined at an end of the route, turning round there
                s_.leg = nx.leg;
                s_.fraction = nx.backward ? 1.0 : 0.0;
            }
            return;
        }
        s_.leg = nx.leg;
        s_.backward = nx.backward;
        s_.fraction = std::clamp(nx.backward ? 1.0 - offset : offset, 0.0, 1.0);
    }

    void tell(std::int64_t point) {
        if (events_.points == 0) events_.first_point = point;
        events_.last_point = point;
        ++events_.points;
        const bool forward_end = !s_.backward && point == path_.points() - 1;
        const bool back_end = s_.backward && point == 0;
        if (forward_end || back_end) ++events_.ends;
    }

    // A round (loop) or an end turned at (back) is done. The path repeats:
    // once one whole period has been driven in this step, the periods that
    // fit in the time left are counted without driving them.
    void round() {
        ++s_.rounds;
        const std::uint64_t period = path_.end() == RouteEnd::back ? 2 : 1;
        if (mark_ && s_.rounds - mark_->rounds == period) {
            const double lap = mark_->time - time_;
            if (!(lap > 0.0)) {
                stuck_ = true;  // a round of no length and no time
                return;
            }
            // (At most 2^53 periods: beyond, a double no longer counts them.)
            const double laps = std::min(std::floor(time_ / lap), 9.0e15);
            time_ -= laps * lap;
            const auto k = static_cast<std::uint64_t>(laps);
            s_.rounds += k * period;
            events_.points += k * (events_.points - mark_->points);
            events_.ends += k * (events_.ends - mark_->ends);
        }
        if (!mark_ || s_.rounds - mark_->rounds >= period) mark_ = Mark{time_, s_.rounds, events_.points, events_.ends};
    }

    RouteStep result() {
        RouteStep step;
        double course = s_.course;
        Vec3 p;
        if (s_.turning) {
            const Corner c = *path_.corner_after(s_.leg, s_.backward);
            const Arc arc = turn_arc(c, s_.turn_tangent);
            p = arc_point(arc, s_.turn_done);
            course = course_of(p, arc_heading(arc, p));
            step.speed = path_.pace(s_.leg, speed_);
        } else {
            const GeoPoint a = path_.from(s_.leg), b = path_.to(s_.leg);
            const Vec3 va = to_vector(a), vb = to_vector(b);
            const double angle = central_angle(va, vb);
            if (s_.fraction <= 0.0 || angle == 0.0) {
                step.position = a;
                p = va;
            } else if (s_.fraction >= 1.0) {
                step.position = b;
                p = vb;
            } else {
                p = along_leg(va, leg_pole(va, vb), angle, s_.fraction);
            }
            if (angle > 0.0) {
                const Vec3 heading = cross(leg_pole(va, vb), p);
                course = course_of(p, s_.backward ? -1.0 * heading : heading);
            }
            const double whole = path_.seconds(s_.leg, speed_);
            if (!s_.finished && !stuck_ && whole > 0.0 && whole < infinite) step.speed = path_.length(s_.leg) / whole;
        }
        if (s_.turning || (s_.fraction > 0.0 && s_.fraction < 1.0)) step.position = to_geo(p);
        if (course >= 360.0) course -= 360.0;
        s_.course = course;
        step.course = course;
        step.progress = s_;
        step.events = events_;
        return step;
    }

    struct Mark {
        double time;
        std::uint64_t rounds, points, ends;
    };

    const Path& path_;
    RouteProgress s_;
    double time_;
    double speed_;
    bool stuck_ = false;
    StepEvents events_;
    std::optional<Mark> mark_;
};

}  // namespace

std::optional<std::string> follow_problem(const Route& route, const FollowOptions& options) {
    if (route.empty()) return "il percorso non ha punti";
    if (auto why = Route::name_problem(route.name())) return why;
    if (options.track_times) {
        if (!route.has_times()) return "il percorso non ha l'ora in ogni punto: non ha un ritmo da seguire";
        if (route.duration_ms() <= 0) return "la traccia dura 0 secondi: non ha un ritmo da seguire";
    }
    if (!(options.turn_rate >= 0.0 && options.turn_rate <= 360.0))
        return "la velocità di virata va da 0 (virate immediate) a 360 gradi al secondo";
    return std::nullopt;
}

RouteProgress start_route(const Route& route, const FollowOptions& options, GeoPoint here) {
    RouteProgress p;
    p.origin = valid_position(here) ? here : GeoPoint{};
    p.leg = options.from_here ? -1 : 0;
    if (route.empty()) {
        p.finished = true;
        return p;
    }
    return locate(route, p, options, 0.0).progress;
}

RouteProgress rejoin_route(const Route& route, const RouteProgress& progress, const FollowOptions& options,
                           GeoPoint here) {
    if (route.empty() || !valid_position(here)) return progress;
    RouteProgress start = progress;
    if (!valid_position(start.origin)) start.origin = {};
    const Path path(route, options, start);
    RouteProgress p = fitted(path, start);
    if (p.finished) return p;
    // The point ahead: the far end of the leg, or of the turn's leg (a turn
    // is made before the point it turns at).
    const std::int64_t ahead = path.far_index(p.leg, p.backward);
    p.rejoin_backward = p.leg >= 0 ? p.backward : p.rejoin_backward;
    p.rejoin = ahead;
    p.leg = -1;
    p.backward = false;
    p.fraction = 0.0;
    p.turning = false;
    p.turn_tangent = 0.0;
    p.turn_done = 0.0;
    p.origin = here;
    return p;
}

RouteStep advance(const Route& route, const RouteProgress& progress, const FollowOptions& options,
                  double seconds, double speed) {
    if (route.empty()) {
        RouteStep step;
        step.progress = progress;
        step.progress.finished = true;
        step.position = valid_position(progress.origin) ? progress.origin : GeoPoint{};
        step.course = progress.course;
        return step;
    }
    RouteProgress start = progress;
    if (!valid_position(start.origin)) start.origin = {};
    const Path path(route, options, start);
    const double time = std::isfinite(seconds) && seconds > 0.0 ? seconds : 0.0;
    const double pace = std::isfinite(speed) ? std::fabs(speed) : 0.0;
    return Stepper(path, fitted(path, start), time, pace).run();
}

std::optional<std::string> progress_problem(const Route& route, const FollowOptions& options,
                                            const RouteProgress& progress) {
    if (route.empty()) return "il percorso non ha punti";
    if (auto why = Route::name_problem(route.name())) return why;
    const Path path(route, options, progress);
    if (auto reason = misfit(path, progress)) return "l'avanzamento non corrisponde al percorso: " + *reason;
    return std::nullopt;
}

RouteSummary summarize(const Route& route, const RouteProgress& progress, const FollowOptions& options,
                       double speed) {
    RouteSummary summary;
    if (route.empty()) return summary;
    const Path path(route, options, progress);
    const RouteProgress p = fitted(path, progress);
    const double pace = std::isfinite(speed) ? std::fabs(speed) : 0.0;
    // Legs ahead the way the vehicle goes, and the part of this one. On a
    // leg back to the route, what is done is the route up to the point it
    // leads to, and what is left the rest of that leg and the route beyond.
    const bool rejoining = p.leg < 0;
    const std::int64_t mark = rejoining ? p.rejoin : p.leg;
    double before = 0.0;
    for (std::int64_t leg = 0; leg < mark; ++leg) before += path.length(leg);
    const double here = rejoining ? 0.0 : path.length(p.leg) * p.fraction;
    const double rest = rejoining ? path.length(p.leg) * (1.0 - p.fraction) : path.length(p.leg) - here;
    summary.done_m = before + here;
    if (p.finished) return summary;
    const auto leg_time = [&](std::int64_t leg, double part) { return path.seconds(leg, pace) * part; };
    if (rejoining) {
        summary.left_m = rest;
        summary.left_seconds = leg_time(p.leg, 1.0 - p.fraction);
        const bool back = p.rejoin_backward && options.end == RouteEnd::back;
        for (std::int64_t leg = back ? p.rejoin - 1 : p.rejoin; back ? leg >= 0 : leg < path.legs(); leg += back ? -1 : 1) {
            summary.left_m += path.length(leg);
            summary.left_seconds += leg_time(leg, 1.0);
        }
        return summary;
    }
    if (p.backward) {
        summary.left_m = summary.done_m;
        summary.left_seconds = leg_time(p.leg, p.fraction);
        for (std::int64_t leg = p.leg - 1; leg >= 0; --leg) summary.left_seconds += leg_time(leg, 1.0);
        return summary;
    }
    summary.left_m = rest;
    summary.left_seconds = leg_time(p.leg, 1.0 - p.fraction);
    for (std::int64_t leg = p.leg + 1; leg < path.legs(); ++leg) {
        summary.left_m += path.length(leg);
        summary.left_seconds += leg_time(leg, 1.0);
    }
    return summary;
}

}  // namespace vadrel
