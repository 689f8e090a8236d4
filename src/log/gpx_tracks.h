#pragma once
// The vehicles' tracks as a GPX 1.1 file that grows at its end: each write
// appends, for every vehicle with new points, a track of its own named
// "Mezzo 3" with <number>3</number> (and, where the receiver's noise moved
// what the sentences said, a second one of the positions sent, "Mezzo 3
// (posizione inviata)"), then writes the closing </gpx> anew. A
// point per step of the tick (position, UTC time, and speed and course in
// Garmin's TrackPointExtension v2, which GPX 1.1 readers such as gpsbabel
// take); a new segment where the vehicle was set rather than stepped.
//
//   GpxTracks gpx("viaggio.gpx");
//   Result<> started = gpx.start();   // the file made anew, or the failure
//   gpx.take(form.tracce);           // after each tick: the points added since the last call
//   gpx.write();                     // every minute: handed to the writer, returns at once
//   gpx.finish();                    // at exit: waits for the writer
//
// A thread of its own writes, so a file that grows all day costs the tick
// nothing: the new points and the closing tag go in one write at the place
// of the old closing tag, and a write that fails (a full disk) is undone, so
// the file stays a whole GPX document; a kill loses at most the points not
// yet handed over. The failed points are kept (the newest
// TrackHistory::max_points of each vehicle) and go with the next write. A
// file removed, or changed by another program, stops the tracks: nothing is
// written over it.

#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "model/track_history.h"
#include "os/descriptor.h"
#include "os/result.h"

namespace vadrel {

class GpxTracks {
public:
    explicit GpxTracks(std::string path);
    // Writes what was handed over, then closes the file.
    ~GpxTracks();
    GpxTracks(const GpxTracks&) = delete;
    GpxTracks& operator=(const GpxTracks&) = delete;

    const std::string& path() const { return path_; }
    // Makes the file anew, locked against a second writer: a GPX document
    // with no track yet. "" when done, else why not, in Italian.
    vadrel::Result<> start();
    // Takes every point the tracks gained since the last call (the first
    // call: all they hold).
    void take(const TrackHistory& tracks);
    // Hands the points taken to the writer; never waits for the disk.
    void write();
    // Hands the points taken over and waits until the writer is done with them.
    void finish();

    // Why the last write failed, in Italian; "" when it went.
    std::string problem() const;
    // The file was removed or changed by another program: nothing more is written.
    bool stopped() const;
    // Points taken and not yet in the file.
    std::size_t pending() const;
    // Points in the file.
    long long written() const;

private:
    using Batch = std::vector<std::vector<TrackPoint>>;  // per vehicle, oldest first
    void run();
    // Appends the batch; "" when it is in the file, else why not.
    std::string append(const Batch& batch, bool& stop);
    // Puts back in front of the queue what a failed write held, keeping
    // each vehicle's newest TrackHistory::max_points.
    void keep(Batch& batch);

    std::string path_;
    // The tick's side.
    std::vector<double> last_steady_;
    Batch taken_;
    // Shared with the writer.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    Batch queue_;
    bool handed_ = false;
    bool busy_ = false;
    bool quit_ = false;
    bool stopped_ = false;
    std::string problem_;
    long long written_ = 0;
    // The writer's side: the file, its size up to the closing tag, and
    // whether the closing tag follows.
    Descriptor fd_;
    std::int64_t body_end_ = 0;
    bool closed_ = false;
    std::thread worker_;
};

}  // namespace vadrel
