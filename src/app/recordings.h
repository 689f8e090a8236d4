#pragma once
// What the program writes and reads beside the ports: the recording of
// every second's bytes, the replay of a log through the outputs, and the
// vehicles' tracks in a GPX file. No two of them take the same file, and
// none takes a file that must not be written (config/output_path.h).
//
//   Recordings files(folder, output, transmitter, tracks, say);
//   Result<> done = files.start_recording("/tmp/giro.nmea");   // Refusal{"file", ...} or Failure

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/output_path.h"
#include "config/program_folder.h"
#include "log/gpx_tracks.h"
#include "log/recorder.h"
#include "log/replay.h"
#include "model/track_history.h"
#include "os/result.h"
#include "outputs/output_fanout.h"
#include "tick/transmitter.h"

namespace vadrel {

class Recordings {
public:
    using Say = std::function<void(const std::string&)>;

    // All must outlive it; the recorder joins `output`. `say` takes whole
    // lines for standard error.
    Recordings(const ProgramFolder& folder, OutputFanOut& output, Transmitter& transmitter,
               const TrackHistory& tracks, Say say);
    Recordings(const Recordings&) = delete;
    Recordings& operator=(const Recordings&) = delete;

    // Records every tick's bytes into path from now on; a failure later is said.
    Result<> start_recording(const std::string& path);
    void stop_recording() { recorder_.stop(); }
    const Recorder& recorder() const { return recorder_; }
    // The log has taken every second given to it (a clock at max waits for it).
    bool log_drained() { return recorder_.drained(); }

    // Replays the log as checked through the outputs; the ticks send nothing
    // meanwhile; `to_now`: each round's time and date fields moved to the
    // present (sky/replay_now.h).
    Result<> start_replay(const CheckedLog& log, double speed, bool loop, bool to_now = false);
    // Stops the replay; the ticks go on.
    void stop_replay();
    Replay& replay() { return replay_; }
    const Replay& replay() const { return replay_; }

    // Keeps the vehicles' tracks in a GPX file from now on, beginning with
    // the hour the tracks hold: the file made at once, the points appended
    // away from the tick, every minute and at exit. When the file cannot be
    // made, the earlier file, if any, goes on; a failure later is said once.
    Result<> start_tracks(const std::string& path);
    // Ends the GPX file with the points it has so far; the file stays.
    void stop_tracks();
    const GpxTracks* tracks() const { return gpx_.get(); }

    // Each whole second: the new points to the GPX writer, written every minute.
    void second();
    // Shut-down: everything closed, the last points written.
    void stop();

private:
    // The other files an output must not take: the log replayed and the
    // outputs in use besides `role`.
    std::vector<RoleFile> files_besides(FileRole role) const;
    // A file the operator gave that an output must not take.
    Result<> file_refusal(const std::string& path, FileRole role) const;
    // Hands the last points to the GPX writer and waits for it.
    void finish_tracks();
    // Says what became of the GPX writes, once for each change; lets go of
    // a file that was removed or changed by another program.
    void report_tracks();

    const ProgramFolder& folder_;
    Transmitter& transmitter_;
    const TrackHistory& tracks_;
    Say say_;
    // The log's time lines come from the clock that stamps the tracks.
    Recorder recorder_;
    Replay replay_;
    std::unique_ptr<GpxTracks> gpx_;
    long seconds_since_gpx_ = 0;
    std::string gpx_problem_;
};

}  // namespace vadrel
