// The AIS sentences of a few seconds of a small fleet, with the state of
// each vehicle at each second, as JSON lines for decoders.py to hand to
// independent decoders (gpsd, Signal K's parser):
//
//   {"second": 0, "sentences": ["!AIVDO,...", ...],
//    "vehicles": [{"mmsi": 900000000, "class": "A", "lat": 44.0, ...}, ...]}
//
// The fleet covers both hemispheres, both classes, both units, a vehicle
// backing, one still, one fast near the pole, one a hair off 0 N 0 E, and
// names, types, call signs and sizes set or left at their defaults. Two
// buoys (one name with the extension) and a SART in test stand still beside
// them, as "stations".

#include <cstdio>
#include <string>
#include <vector>

#include "ais/fixed_stations.h"
#include "ais/transmitter.h"

namespace {

using namespace vadrel;

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

struct Sample {
    double lat, lon;  // degrees
    double course, speed;
    SpeedUnit unit;
    AisIdentity identity;  // its MMSI the default one
};

}  // namespace

int main() {
    const Sample samples[] = {
        {44.0, 10.0, 45.3, 12.0, SpeedUnit::knots, {}},
        {-33.8568, -70.5, 200.25, 20.0, SpeedUnit::kmh, {0, AisClass::a, "Nave Città", 60, "IABC123", {100, 20, 5, 7}}},
        {60.0, -5.0, 359.96, 5.0, SpeedUnit::knots, {0, AisClass::b, "Libeccio", 37, "IZ1XYZ", {8, 4, 2, 2}}},
        {-12.05, -70.0167, 0.0, 0.0, SpeedUnit::kmh, {0, AisClass::a, "Ormeggiata", 52, "", {30, 10, 4, 4}}},
        {-10.0, 179.9999, 10.0, -15.0, SpeedUnit::knots, {0, AisClass::b, "", default_ship_type, "", {}}},
        {89.5, 0.001, 90.0, 25.0, SpeedUnit::knots, {0, AisClass::a, "POLO NORD", 99, "", {511, 511, 63, 63}}},
        {0.0001, -0.0001, 270.0, 55.5, SpeedUnit::kmh, {0, AisClass::a, "", 0, "", {}}},
    };
    Fleet fleet;
    std::vector<AisIdentity> identities;
    for (std::size_t k = 0; k < std::size(samples); ++k) {
        const Sample& s = samples[k];
        fleet.place(k, s.lat * 3600.0, s.lon * 3600.0, nullptr);
        fleet.set_course(k, s.course, nullptr);
        fleet.set_unit(k, s.unit, nullptr);
        fleet.set_speed(k, s.speed, nullptr);
        identities.push_back(s.identity);
        identities.back().mmsi = default_identity(k).mmsi;
    }
    AisTransmitter ais;
    const std::vector<Buoy> buoys{{"Boa Nord", 44.05 * 3600.0, 9.8 * 3600.0},
                                  {"Secca della Meloria Ovest", -43.55 * 3600.0, -10.22 * 3600.0}};
    const Sart sart{-0.5 * 3600.0, 179.99 * 3600.0};
    FixedStations fixed;
    fixed.set(buoys, sart);
    for (int second = 0; second < 8; ++second) {
        std::vector<Vehicle> vehicles;
        for (std::size_t k = 0; k < std::size(samples); ++k) {
            fleet.advance(k, 10.0 + second);
            vehicles.push_back(fleet.vehicle(k));
        }
        std::vector<std::string> sentences = ais.second({10.0 + second, 12, 30, second}, {vehicles, identities, 0, true});
        for (std::string& line : fixed.second({10.0 + second, 12, 30, second})) sentences.push_back(std::move(line));
        std::printf("{\"second\": %d, \"sentences\": [", second);
        for (std::size_t i = 0; i < sentences.size(); ++i) std::printf("%s%s", i ? ", " : "", quoted(sentences[i]).c_str());
        std::printf("], \"vehicles\": [");
        for (std::size_t k = 0; k < vehicles.size(); ++k) {
            const Vehicle& v = vehicles[k];
            const AisIdentity& id = identities[k];
            const GroundMotion ground = ground_motion(v);
            std::printf("%s{\"mmsi\": %u, \"class\": %s, \"lat\": %.9f, \"lon\": %.9f, \"knots\": %.6f, \"course\": %.6f, "
                        "\"moving\": %s, \"name\": %s, \"call_sign\": %s, \"type\": %d, \"bow\": %d, \"stern\": %d, "
                        "\"port\": %d, \"starboard\": %d, \"own\": %s}",
                        k ? ", " : "", id.mmsi, quoted(ais_class_text(id.ais_class)).c_str(), v.latitude_degrees(),
                        v.longitude_degrees(), ground.kmh / km_per_nautical_mile, ground.course,
                        v.speed != 0.0 ? "true" : "false", quoted(sent_name(id, k)).c_str(),
                        quoted(six_bit_text(id.call_sign)).c_str(), id.ship_type, id.dimensions.to_bow,
                        id.dimensions.to_stern, id.dimensions.to_port, id.dimensions.to_starboard,
                        k == 0 ? "true" : "false");
        }
        std::printf("], \"stations\": [");
        for (std::size_t k = 0; k < buoys.size(); ++k) {
            std::printf("{\"mmsi\": %u, \"kind\": \"aid\", \"name\": %s, \"lat\": %.9f, \"lon\": %.9f}, ",
                        first_aid_mmsi + static_cast<unsigned>(k), quoted(six_bit_text(buoys[k].name)).c_str(),
                        buoys[k].lat / 3600.0, buoys[k].lon / 3600.0);
        }
        std::printf("{\"mmsi\": %u, \"kind\": \"sart\", \"lat\": %.9f, \"lon\": %.9f}]}\n", sart.mmsi,
                    sart.lat / 3600.0, sart.lon / 3600.0);
    }
    return 0;
}
