#include "gpx_tracks.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <pthread.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "log/nmea_log.h"
#include "os/system_error.h"

namespace vadrel {

namespace {

constexpr std::string_view header =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<gpx version=\"1.1\" creator=\"vadrel\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
    "xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\">\n";
constexpr std::string_view footer = "</gpx>\n";

std::string track_open(std::size_t vehicle, bool sent) {
    const std::string number = std::to_string(vehicle);
    return "<trk><name>Mezzo " + number + (sent ? " (posizione inviata)" : "") + "</name><number>" + number +
           "</number>\n";
}

// The point where the sentences put it (sent), else where the vehicle was.
void add_point(std::string& text, const TrackPoint& p, bool sent = false) {
    // GPX 1.1 puts <ele> before <time>; the altitude as the sentences said it.
    char ele[64] = "";
    if (p.altitude && std::isfinite(*p.altitude)) std::snprintf(ele, sizeof ele, "<ele>%.1f</ele>", *p.altitude);
    char line[460];
    const int n = std::snprintf(line, sizeof line,
                                "<trkpt lat=\"%.7f\" lon=\"%.7f\">%s<time>%s</time><extensions><gpxtpx:TrackPointExtension>"
                                "<gpxtpx:speed>%.2f</gpxtpx:speed><gpxtpx:course>%.1f</gpxtpx:course>"
                                "</gpxtpx:TrackPointExtension></extensions></trkpt>\n",
                                sent ? p.reported_lat : p.lat, sent ? p.reported_lon : p.lon, ele,
                                iso_time_text(std::llround(p.utc * 1000.0)).c_str(), p.speed, p.course);
    text.append(line, static_cast<std::size_t>(std::clamp(n, 0, static_cast<int>(sizeof line) - 1)));
}

// A vehicle's points as one track, a segment for each run of one segment
// number; then, where the receiver's noise moved what the sentences said,
// the positions sent as a second track.
void add_track(std::string& text, std::size_t vehicle, const std::vector<TrackPoint>& points) {
    for (const bool sent : {false, true}) {
        const TrackPoint* previous = nullptr;
        for (const TrackPoint& p : points) {
            if (sent && !p.reported) continue;
            if (previous == nullptr) {
                text += track_open(vehicle, sent) + "<trkseg>\n";
            } else if (p.segment != previous->segment) {
                text += "</trkseg>\n<trkseg>\n";
            }
            add_point(text, p, sent);
            previous = &p;
        }
        if (previous != nullptr) text += "</trkseg>\n</trk>\n";
    }
}

// Writes all of `bytes` at `offset`; 0, else the errno of the failure.
int write_at(int fd, std::string_view bytes, std::int64_t offset) {
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        bytes.remove_prefix(static_cast<std::size_t>(n));
        offset += n;
    }
    return 0;
}

}  // namespace

GpxTracks::GpxTracks(std::string path) : path_(std::move(path)) {}

GpxTracks::~GpxTracks() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
}

Result<> GpxTracks::start() {
    const std::string cannot = "le tracce GPX in " + path_ + " non si scrivono";
    // Not blocking: a FIFO put under the name meanwhile must not hold the program.
    Descriptor fd(::open(path_.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644));
    if (!fd) return Failure(cannot, errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return Failure(cannot, errno);
    if (!S_ISREG(st.st_mode)) return Failure(cannot, std::string("non è un file normale"));
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) return Failure(cannot, std::string("un altro vadrel vi sta scrivendo"));
        return Failure(cannot, errno);
    }
    std::string empty(header);
    empty += footer;
    if (::ftruncate(fd.get(), 0) != 0) return Failure(cannot, errno);
    if (const int error = write_at(fd.get(), empty, 0); error != 0) {
        [[maybe_unused]] const int cut = ::ftruncate(fd.get(), 0);
        return Failure(cannot, error);
    }
    try {
        fd_ = std::move(fd);
        body_end_ = static_cast<std::int64_t>(header.size());
        closed_ = true;
        worker_ = std::thread(&GpxTracks::run, this);
    } catch (const std::system_error& e) {
        fd_.reset();
        return Failure(cannot, e.code().value());
    }
    return {};
}

void GpxTracks::take(const TrackHistory& tracks) {
    if (taken_.size() < tracks.vehicles()) {
        taken_.resize(tracks.vehicles());
        last_steady_.resize(tracks.vehicles(), -std::numeric_limits<double>::infinity());
    }
    for (std::size_t v = 0; v < tracks.vehicles(); ++v) {
        const auto& points = tracks.points(v);
        auto from = points.end();
        while (from != points.begin() && std::prev(from)->steady > last_steady_[v]) --from;
        taken_[v].insert(taken_[v].end(), from, points.end());
        if (!points.empty()) last_steady_[v] = std::max(last_steady_[v], points.back().steady);
    }
}

void GpxTracks::write() {
    {
        std::lock_guard lock(mutex_);
        if (queue_.size() < taken_.size()) queue_.resize(taken_.size());
        for (std::size_t v = 0; v < taken_.size(); ++v) {
            queue_[v].insert(queue_[v].end(), taken_[v].begin(), taken_[v].end());
            taken_[v].clear();
        }
        handed_ = true;
    }
    wake_.notify_one();
}

void GpxTracks::finish() {
    write();
    std::unique_lock lock(mutex_);
    if (!worker_.joinable()) return;
    idle_.wait(lock, [this] { return !handed_ && !busy_; });
}

std::string GpxTracks::problem() const {
    std::lock_guard lock(mutex_);
    return problem_;
}

bool GpxTracks::stopped() const {
    std::lock_guard lock(mutex_);
    return stopped_;
}

std::size_t GpxTracks::pending() const {
    std::size_t count = 0;
    for (const auto& points : taken_) count += points.size();
    std::lock_guard lock(mutex_);
    for (const auto& points : queue_) count += points.size();
    return count;
}

long long GpxTracks::written() const {
    std::lock_guard lock(mutex_);
    return written_;
}

void GpxTracks::run() {
#ifdef SCHED_BATCH
    // Woken by the tick, the writer does not preempt it: it runs when the
    // tick's thread lets go of the core.
    const sched_param batch{};
    ::pthread_setschedparam(::pthread_self(), SCHED_BATCH, &batch);
#endif
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return handed_ || quit_; });
        if (!handed_) break;
        handed_ = false;
        Batch batch;
        batch.swap(queue_);
        const bool was_stopped = stopped_;
        busy_ = true;
        lock.unlock();
        bool stop = false;
        const std::string why = was_stopped ? std::string() : append(batch, stop);
        lock.lock();
        busy_ = false;
        if (stop) {
            stopped_ = true;
            problem_ = why;
        } else if (!was_stopped) {
            problem_ = why;
            if (why.empty()) {
                for (const auto& points : batch) written_ += static_cast<long long>(points.size());
            } else {
                keep(batch);
            }
        }
        idle_.notify_all();
    }
}

void GpxTracks::keep(Batch& batch) {
    if (queue_.size() < batch.size()) queue_.resize(batch.size());
    for (std::size_t v = 0; v < batch.size(); ++v) {
        auto& points = batch[v];
        points.insert(points.end(), queue_[v].begin(), queue_[v].end());
        if (points.size() > TrackHistory::max_points) {
            points.erase(points.begin(), points.end() - static_cast<std::ptrdiff_t>(TrackHistory::max_points));
        }
        queue_[v] = std::move(points);
    }
}

std::string GpxTracks::append(const Batch& batch, bool& stop) {
    std::string text;
    for (std::size_t v = 0; v < batch.size(); ++v) {
        if (!batch[v].empty()) add_track(text, v, batch[v]);
    }
    if (text.empty() && closed_) return {};
    const std::string cannot = "le tracce GPX in " + path_ + " non si scrivono: ";
    struct stat st {};
    if (::fstat(fd_.get(), &st) != 0) return cannot + italian_reason(errno);
    if (st.st_nlink == 0) {
        stop = true;
        return "tracce GPX interrotte: il file " + path_ + " è stato cancellato";
    }
    if (st.st_size != body_end_ + (closed_ ? static_cast<std::int64_t>(footer.size()) : 0)) {
        stop = true;
        return "tracce GPX interrotte: il file " + path_ + " è stato cambiato da un altro programma";
    }
    // The new tracks and the closing tag in one write, over the old closing tag.
    text += footer;
    if (const int error = write_at(fd_.get(), text, body_end_); error != 0) {
        // Back to the file as it was: cut after the last whole track, closed again.
        closed_ = ::ftruncate(fd_.get(), body_end_) == 0 && write_at(fd_.get(), footer, body_end_) == 0;
        return cannot + italian_reason(error);
    }
    body_end_ += static_cast<std::int64_t>(text.size() - footer.size());
    closed_ = true;
    return {};
}

}  // namespace vadrel
