#pragma once
// The vehicles' tracks as a GPX 1.1 file: one track per vehicle ("Mezzo 3"),
// a point per step of the tick (position, UTC time, and speed and course in
// Garmin's TrackPointExtension v2, which GPX 1.1 readers such as gpsbabel
// take), a new segment where the vehicle was set rather than stepped.
//
//   GpxTracks gpx("viaggio.gpx");
//   gpx.take(form.tracce);     // after each tick: the points added since the last call
//   std::string why = gpx.write();   // every minute and at exit; "" when written
//
// The program holds only the points since the last write: each write reads
// the file it wrote before and copies it into the new one, adding the new
// points at the end of each vehicle's track, and replaces it atomically
// (QSaveFile), so a crash or a full disk leaves the previous file whole.
// Points that could not be written are kept for the next write.

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "model/track_history.h"

namespace vadrel {

class GpxTracks {
public:
    explicit GpxTracks(std::string path);

    const std::string& path() const { return path_; }
    // Takes every point the tracks gained since the last call (the first
    // call: all they hold).
    void take(const TrackHistory& tracks);
    // Writes the file with the points taken; "" when done, else why not, in Italian.
    std::string write();
    // Points taken and not yet written.
    std::size_t pending() const;
    // Points in the file.
    long long written() const { return written_; }

private:
    struct Vehicle {
        double last_steady = -std::numeric_limits<double>::infinity();
        std::vector<TrackPoint> pending;
        bool in_file = false;
        std::uint32_t last_segment = 0;
    };
    // The new points of a vehicle as lines, opening a segment where it changes.
    std::string points_of(Vehicle& vehicle, bool segment_open);

    std::string path_;
    std::vector<Vehicle> vehicles_;
    long long written_ = 0;
    bool wrote_once_ = false;
};

}  // namespace vadrel
