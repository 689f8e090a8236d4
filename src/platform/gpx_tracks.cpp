#include "gpx_tracks.h"

#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <cmath>
#include <cstdio>

#include "core/nmea_log.h"
#include "os/qt_file_error.h"

namespace vadrel {

namespace {

constexpr const char* header =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<gpx version=\"1.1\" creator=\"vadrel\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
    "xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\">\n";
constexpr const char* footer = "</gpx>\n";

std::string track_open(std::size_t vehicle) { return "<trk><name>Mezzo " + std::to_string(vehicle) + "</name>\n"; }

std::string point_line(const TrackPoint& p) {
    char text[400];
    std::snprintf(text, sizeof text,
                  "<trkpt lat=\"%.7f\" lon=\"%.7f\"><time>%s</time><extensions><gpxtpx:TrackPointExtension>"
                  "<gpxtpx:speed>%.2f</gpxtpx:speed><gpxtpx:course>%.1f</gpxtpx:course>"
                  "</gpxtpx:TrackPointExtension></extensions></trkpt>\n",
                  p.lat, p.lon, ora_iso(std::llround(p.utc * 1000.0)).c_str(), p.speed, p.course);
    return text;
}

QString qt(const std::string& path) { return QFile::decodeName(path.c_str()); }

}  // namespace

GpxTracks::GpxTracks(std::string path) : path_(std::move(path)) {}

void GpxTracks::take(const TrackHistory& tracks) {
    if (vehicles_.size() < tracks.vehicles()) vehicles_.resize(tracks.vehicles());
    for (std::size_t v = 0; v < tracks.vehicles(); ++v) {
        const auto& points = tracks.points(v);
        Vehicle& vehicle = vehicles_[v];
        auto from = points.end();
        while (from != points.begin() && std::prev(from)->steady > vehicle.last_steady) --from;
        for (auto it = from; it != points.end(); ++it) vehicle.pending.push_back(*it);
        if (!points.empty()) vehicle.last_steady = std::max(vehicle.last_steady, points.back().steady);
    }
}

std::size_t GpxTracks::pending() const {
    std::size_t count = 0;
    for (const Vehicle& v : vehicles_) count += v.pending.size();
    return count;
}

std::string GpxTracks::points_of(Vehicle& vehicle, bool segment_open) {
    std::string text;
    for (const TrackPoint& p : vehicle.pending) {
        if (!segment_open || p.segment != vehicle.last_segment) {
            if (segment_open) text += "</trkseg>\n";
            text += "<trkseg>\n";
            segment_open = true;
        }
        vehicle.last_segment = p.segment;
        text += point_line(p);
    }
    if (segment_open) text += "</trkseg>\n";
    return text;
}

std::string GpxTracks::write() {
    QSaveFile out(qt(path_));
    errno = 0;
    if (!out.open(QIODevice::WriteOnly)) {
        return "le tracce GPX in " + path_ + " non si scrivono: " + file_reason(out.error(), errno);
    }
    std::vector<Vehicle> before = vehicles_;  // put back when the write fails
    bool ok = true;
    std::string why;  // of the first failure
    auto put = [&](const std::string& text) {
        errno = 0;
        if (ok && out.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
            ok = false;
            why = file_reason(out.error(), errno);
        }
    };
    put(header);
    long long added = 0;
    for (const Vehicle& v : vehicles_) added += static_cast<long long>(v.pending.size());

    // The file written before, copied line by line; each vehicle's new
    // points go before the end of its track. Another program's file at the
    // path is not read: the first write starts it anew.
    QFile previous(qt(path_));
    errno = 0;
    const bool readable = wrote_once_ && previous.open(QIODevice::ReadOnly);
    // One that went away starts anew; one that is there but cannot be read
    // now (no descriptor left, say) is not written over with only the new points.
    if (wrote_once_ && !readable && errno != ENOENT) {
        ok = false;
        why = "il file scritto prima non si legge: " + file_reason(previous.error(), errno);
    }
    if (readable) {
        std::size_t vehicle = 0;
        bool held_segment_end = false;  // "</trkseg>" waits: the track may go on
        bool ended = false;
        while (!previous.atEnd() && ok) {
            const std::string line = previous.readLine().toStdString();
            if (line.rfind("<trk><name>Mezzo ", 0) == 0) {
                vehicle = static_cast<std::size_t>(std::atol(line.c_str() + 17));
                if (vehicle < vehicles_.size()) vehicles_[vehicle].in_file = true;
            } else if (line == "</trkseg>\n") {
                held_segment_end = true;
                continue;
            } else if (line == "</trk>\n" && vehicle < vehicles_.size()) {
                Vehicle& v = vehicles_[vehicle];
                if (!v.pending.empty() && v.pending.front().segment == v.last_segment && held_segment_end) {
                    put(points_of(v, true));
                } else {
                    if (held_segment_end) put("</trkseg>\n");
                    put(points_of(v, false));
                }
                v.pending.clear();
                held_segment_end = false;
            } else if (line == footer) {
                ended = true;
                break;
            } else if (line.rfind("<?xml", 0) == 0 || line.rfind("<gpx ", 0) == 0) {
                continue;
            }
            if (held_segment_end) put("</trkseg>\n");
            held_segment_end = false;
            put(line);
        }
        if (!ended && ok) {
            ok = false;
            why = "il file scritto prima è cambiato o non si legge";
        }
    }
    for (std::size_t i = 0; i < vehicles_.size() && ok; ++i) {
        Vehicle& v = vehicles_[i];
        if (v.pending.empty()) continue;
        put(track_open(i) + points_of(v, false) + "</trk>\n");
        v.pending.clear();
        v.in_file = true;
    }
    put(footer);
    errno = 0;
    if (ok && !out.commit()) {
        ok = false;
        why = file_reason(out.error(), errno);
    }
    if (!ok) {
        out.cancelWriting();
        vehicles_ = std::move(before);
        return "le tracce GPX in " + path_ + " non si scrivono: " + why;
    }
    wrote_once_ = true;
    written_ += added;
    return {};
}

}  // namespace vadrel
