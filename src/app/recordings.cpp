#include "recordings.h"

#include <cmath>
#include <optional>

#include "os/path_target.h"
#include "sky/replay_now.h"

namespace vadrel {

namespace {

// Each round's time and date fields moved to the present, by the seconds
// between its first timed sentence and now.
std::function<std::string(const std::string&)> moved_to_now(const Replay& replay, Clock& clock) {
    return [&replay, &clock, by = std::optional<std::int64_t>(), round = 0](const std::string& bytes) mutable {
        if (round != replay.round()) {
            round = replay.round();
            by.reset();
        }
        std::string moved;
        for (std::size_t start = 0; start < bytes.size();) {
            std::size_t end = bytes.find('\n', start);
            end = end == std::string::npos ? bytes.size() : end + 1;
            const std::string_view line(bytes.data() + start, end - start);
            if (!by) {
                if (const auto first = sentence_time(line)) {
                    const auto now_ms = static_cast<std::int64_t>(clock.utc_seconds() * 1000.0);
                    by = seconds_to_now(*first, now_ms);
                }
            }
            moved += by ? moved_in_time(line, *by) : std::string(line);
            start = end;
        }
        return moved;
    };
}

}  // namespace

Recordings::Recordings(const ProgramFolder& folder, OutputFanOut& output, Transmitter& transmitter,
                       const TrackHistory& tracks, Say say)
    : folder_(folder),
      transmitter_(transmitter),
      tracks_(tracks),
      say_(std::move(say)),
      recorder_([this] { return std::llround(transmitter_.clock().utc_seconds() * 1000.0); }),
      replay_(output) {
    output.add(recorder_);
    recorder_.on_event = [this](const std::string& text) { say_("vadrel: " + text); };
    replay_.on_event = [this](const std::string& text) { say_("vadrel: " + text); };
}

std::vector<RoleFile> Recordings::files_besides(FileRole role) const {
    std::vector<RoleFile> files;
    if (replay_.running()) files.push_back({FileRole::replay, replay_.path()});
    if (role != FileRole::recording && recorder_.recording()) files.push_back({FileRole::recording, recorder_.path()});
    if (role != FileRole::tracks && gpx_) files.push_back({FileRole::tracks, gpx_->path()});
    return files;
}

Result<> Recordings::file_refusal(const std::string& path, FileRole role) const {
    if (std::string why = output_refusal(path, role, folder_, files_besides(role)); !why.empty())
        return Refusal{"file", std::move(why)};
    return {};
}

Result<> Recordings::start_recording(const std::string& path) {
    if (Result<> refused = file_refusal(path, FileRole::recording); !refused) return refused;
    if (Result<> started = recorder_.start(path); !started) return started;
    say_("vadrel: registrazione in " + path);
    return {};
}

Result<> Recordings::start_replay(const CheckedLog& log, double speed, bool loop, bool to_now) {
    if (recorder_.recording() && log.file && log.file->is(recorder_.path()))
        return Refusal{"file", "non si riproduce il registro che si sta registrando (" + log.path + ")"};
    replay_.rewrite = nullptr;
    if (to_now) replay_.rewrite = moved_to_now(replay_, transmitter_.clock());
    transmitter_.begin_replay();
    if (Result<> running = replay_.start(log, speed, loop); !running) {
        transmitter_.end_replay();
        return running;
    }
    return {};
}

void Recordings::stop_replay() {
    replay_.stop();
    transmitter_.end_replay();
}

Result<> Recordings::start_tracks(const std::string& path) {
    if (Result<> refused = file_refusal(path, FileRole::tracks); !refused) return refused;
    // The same file chosen again starts anew: the writer of the old one lets it go first.
    if (gpx_ && path_target(gpx_->path()).same_as(path_target(path))) {
        finish_tracks();
        gpx_.reset();
    }
    auto tracks = std::make_unique<GpxTracks>(path);
    if (Result<> started = tracks->start(); !started) return started;
    finish_tracks();
    gpx_ = std::move(tracks);
    gpx_problem_.clear();
    gpx_->take(tracks_);
    gpx_->write();
    seconds_since_gpx_ = 0;
    say_("vadrel: tracce GPX in " + path);
    return {};
}

void Recordings::stop_tracks() {
    if (!gpx_) return;
    // The writer may end itself on a failure it reports.
    const std::string path = gpx_->path();
    finish_tracks();
    gpx_.reset();
    say_("vadrel: tracce GPX chiuse in " + path);
}

void Recordings::second() {
    if (!gpx_) return;
    // The tick only hands the new points over; the writer appends them.
    gpx_->take(tracks_);
    if (++seconds_since_gpx_ >= 60) {
        seconds_since_gpx_ = 0;
        gpx_->write();
    }
    report_tracks();
}

void Recordings::stop() {
    replay_.stop();
    recorder_.stop();
    finish_tracks();
}

void Recordings::finish_tracks() {
    if (!gpx_) return;
    gpx_->take(tracks_);
    gpx_->finish();
    report_tracks();
}

void Recordings::report_tracks() {
    if (!gpx_) return;
    const std::string problem = gpx_->problem();
    if (problem != gpx_problem_) {
        say_("vadrel: " + (problem.empty() ? "le tracce GPX in " + gpx_->path() + " si scrivono di nuovo" : problem));
        gpx_problem_ = problem;
    }
    if (gpx_->stopped()) gpx_.reset();
}

}  // namespace vadrel
