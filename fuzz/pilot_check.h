#pragma once
// What must hold for any bytes a plotter sends the autopilot: split into
// lines as a TCP client's would be, every line read or refused without
// fault; a sentence read has a heading within 0 .. 360, a destination on
// the globe, a cross-track error that is a finite distance; the pilot fed
// them keeps the course it steers within 0 .. 360 and turns no more than
// its rate allows. Shared by the fuzzer and the corpus test.

#include <cmath>
#include <string>
#include <string_view>

#include "marine/autopilot.h"
#include "marine/pilot_sentences.h"
#include "model/line_assembler.h"
#include "model/line_listener.h"

namespace vadrel::fuzzing {

inline std::string check_sentence(std::string_view line) {
    const auto read = read_pilot_sentence(line);
    if (!read) return {};
    if (read->heading && !(*read->heading >= 0.0 && *read->heading < 360.0)) return "heading out of range";
    if (read->destination && !(std::abs(read->destination->lat) <= 90.0 && std::abs(read->destination->lon) <= 180.0))
        return "destination off the globe";
    if (read->cross_track && !(std::isfinite(read->cross_track->nautical_miles) && read->cross_track->nautical_miles >= 0))
        return "cross-track error not a distance";
    if (read->waypoint.size() > max_pilot_line) return "waypoint longer than the line";
    return {};
}

// Empty when all holds, otherwise what did not.
inline std::string check_pilot(std::string_view bytes) {
    Autopilot pilot;
    pilot.set_on(true);
    pilot.set_variation(-7.5);
    LineAssembler lines(LineListener::longest_line);
    double course = 10.0;
    double now = 0.0;
    std::string failure;
    const GeoPoint here{44.0, 9.0};
    lines.feed(bytes, [&](std::string_view line) {
        if (line.size() > LineListener::longest_line) failure = "a line past the longest";
        if (failure.empty()) failure = check_sentence(line);
        pilot.hear(line, "fuzz", now);
        now += 0.5;
        const auto next = pilot.step(course, here, now);
        if (!next) return;
        const double turned = std::abs(std::remainder(*next - course, 360.0));
        if (!(*next >= 0.0 && *next < 360.0)) failure = "course out of range";
        if (turned > pilot.turn_rate() * 0.5 + 1e-9) failure = "turned faster than its rate";
        course = *next;
    });
    return failure;
}

}  // namespace vadrel::fuzzing
