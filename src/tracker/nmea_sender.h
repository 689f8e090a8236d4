#pragma once
// Plain NMEA over TCP: a $GPRMC a report on the device's own connection,
// nothing said first (as --tcp-verso-mezzi sends the panel's vehicles).

#include "tracker/tcp_device_sender.h"

namespace vadrel {

class NmeaSender final : public TcpDeviceSender {
public:
    using TcpDeviceSender::TcpDeviceSender;

private:
    std::string greeting(const std::string&) const override { return {}; }
};

}  // namespace vadrel
