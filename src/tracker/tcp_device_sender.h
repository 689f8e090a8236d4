#pragma once
// The reports of a fleet over TCP, one connection a device
// (DeviceConnections), each report a $GPRMC line with the fields the
// panel's vehicles send: position to a ten-thousandth of a minute, speed in
// knots, course, date. A protocol is this with its own greeting on each
// new connection (traccar_sender.h, nmea_sender.h).

#include <functional>
#include <string>

#include "tracker/device_connections.h"
#include "tracker/report_sender.h"

namespace vadrel {

// "$GPRMC,123519,A,4807.0380,N,01131.0000,E,22.4,084.4,230394,000.0,W,*.."
// with CR LF: the report as a line.
std::string rmc_line(const DeviceReport& report);

class TcpDeviceSender : public ReportSender {
public:
    using Time = DeviceConnections::Time;
    TcpDeviceSender(Endpoint server, NameResolver& resolver, std::function<Time()> now);

    void send(const DeviceReport& report) override;
    SenderCounts counts() const override;
    void expect(const std::vector<std::string>& ids) override;
    void service() override { links_.service(); }

protected:
    // What a new connection of device `id` starts with; "" for nothing.
    virtual std::string greeting(const std::string& id) const = 0;

private:
    DeviceConnections links_;
    std::vector<std::string> ids_;
    std::uint64_t sent_ = 0;
    std::uint64_t skipped_ = 0;
};

}  // namespace vadrel
