#pragma once
// Traccar Client's TCP protocol: on each connection the device says who it
// is, "$PGID,<id>*CS" (the NMEA checksum, CR LF), then a $GPRMC a report.

#include "tracker/tcp_device_sender.h"

namespace vadrel {

// "$PGID,taxi-1*4F\r\n"
std::string pgid_line(const std::string& id);

class TraccarSender final : public TcpDeviceSender {
public:
    using TcpDeviceSender::TcpDeviceSender;

private:
    std::string greeting(const std::string& id) const override { return pgid_line(id); }
};

}  // namespace vadrel
