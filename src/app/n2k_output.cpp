#include "app/n2k_output.h"

#include "fleet/vehicle.h"
#include "sky/sky_sentences.h"

namespace vadrel {

OwnShipFix own_ship_fix(const SecondOfVehicle& second) {
    OwnShipFix fix;
    const Sky sky = second.sky ? *second.sky : classic_sky();
    fix.valid = !second.options.no_fix && sky.fix != FixKind::none;
    fix.latitude = second.vehicle.latitude_degrees();
    fix.longitude = second.vehicle.longitude_degrees();
    if (second.options.real_motion) {
        const GroundMotion ground = ground_motion(second.vehicle);
        fix.course = ground.course;
        fix.knots = ground.kmh / km_per_nautical_mile;
    }
    fix.altitude = second.options.altitude + (second.options.full_set ? second.altitude_error : 0.0);
    fix.satellites = sky.used;
    fix.hdop = sky.dilution.hdop;
    fix.pdop = sky.dilution.pdop;
    return fix;
}

N2kOutput::N2kOutput(Transmitter& transmitter, TcpOutput::Now now) : tcp_(std::move(now)) {
    transmitter.set_fix_observer([this](const SecondOfVehicle& second, int fix_in_second) { fix(second, fix_in_second); });
}

void N2kOutput::start(const std::optional<Endpoint>& where, int max_clients) {
    if (where) {
        tcp_.start(*where, max_clients);
    } else {
        tcp_.stop();
    }
}

void N2kOutput::fix(const SecondOfVehicle& second, int fix_in_second) {
    if (!on()) return;
    N2kMoment moment;
    moment.utc_ms = second.time.utc_ms;
    if (second.mode != Mode::multi_user) moment.own = own_ship_fix(second);
    moment.whole_second = fix_in_second == 0;
    moment_ = moment;
}

void N2kOutput::take_ais(const AisTransmitter& ais) {
    if (!on()) return;
    reports_.insert(reports_.end(), ais.reports_sent().begin(), ais.reports_sent().end());
    statics_.insert(statics_.end(), ais.statics_sent().begin(), ais.statics_sent().end());
}

void N2kOutput::flush() {
    if (!moment_) {
        // AIS without a fix of the own ship cannot be: it goes with one.
        reports_.clear();
        statics_.clear();
        return;
    }
    N2kMoment moment = *moment_;
    moment_.reset();
    std::optional<InstrumentReadings> readings;
    if (moment.whole_second && moment.own && instruments) readings = instruments();
    moment.instruments = readings ? &*readings : nullptr;
    moment.reports = reports_;
    moment.statics = statics_;
    std::string bytes;
    for (const std::string& line : builder_.lines(moment)) bytes += line + "\r\n";
    reports_.clear();
    statics_.clear();
    tcp_.send(bytes);
}

}  // namespace vadrel
