#include "tcp_device_sender.h"

#include <cmath>
#include <cstdio>

#include "model/civil_time.h"
#include "motion/dead_reckoning.h"
#include "nmea/sentences.h"

namespace vadrel {

std::string rmc_line(const DeviceReport& r) {
    const CivilInstant t = civil_of(r.utc_ms);
    const double lat = r.lat * 3600.0;
    const double lon = r.lon * 3600.0;
    const long tenths = std::lround(r.course * 10.0) % 3600;
    char course[16];
    std::snprintf(course, sizeof course, "%03ld.%ld", tenths / 10, tenths % 10);
    char knots[32];
    std::snprintf(knots, sizeof knots, "%.1f", r.speed_knots);
    char time[16];
    std::snprintf(time, sizeof time, "%02d%02d%02d", t.hour, t.minute, t.second);
    char date[16];
    std::snprintf(date, sizeof date, "%02d%02d%02d", t.day, t.month, static_cast<int>(t.year % 100));
    const Rmc rmc{time,
                  "A",
                  rmc_coordinate(lat, 2),
                  std::signbit(lat) ? "S" : "N",
                  rmc_coordinate(lon, 3),
                  std::signbit(lon) ? "W" : "E",
                  knots,
                  course,
                  date,
                  "000.0",
                  "W"};
    return sentence(rmc) + "\r\n";
}

TcpDeviceSender::TcpDeviceSender(Endpoint server, NameResolver& resolver, std::function<Time()> now)
    : links_(std::move(server), resolver, std::move(now)) {}

void TcpDeviceSender::expect(const std::vector<std::string>& ids) {
    ids_ = ids;
    links_.open(ids_.size(), [this](std::size_t n) { return greeting(ids_[n]); });
}

void TcpDeviceSender::send(const DeviceReport& report) {
    if (links_.send(report.device, rmc_line(report))) {
        ++sent_;
    } else {
        ++skipped_;
    }
}

SenderCounts TcpDeviceSender::counts() const {
    return {sent_, skipped_, links_.connected(), links_.state()};
}

}  // namespace vadrel
