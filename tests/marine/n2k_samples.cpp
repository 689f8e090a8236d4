// NMEA 2000 messages made from known values, each with what a decoder must
// read in it, as JSON lines for n2k_decoders.py to hand to canboat's own
// decoder (canboatjs):
//
//   {"name": "position", "line": "2026-12-07T10:00:00.000Z,2,129025,...",
//    "expect": {"latitude": 44.0113117, "longitude": 10.1284783}}
//
// The values are in the decoder's units (m/s, radians, kelvin, its names of
// the lookups); null: the field must be missing (not available). Besides
// single messages, one moment of the own ship heading north at 10 kn with
// the true wind from 270 at 15 kn and 12.5 m under the keel, built whole.

#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "marine/n2k_builder.h"
#include "marine/n2k_messages.h"
#include "n2k_examples.h"

namespace {

using namespace vadrel;
using testing::report_of;

constexpr std::int64_t moment_ms = 1796637600000;  // 2026-12-07T10:00:00.000Z
constexpr double ms_per_knot = 1852.0 / 3600.0;

double rad(double degrees) { return degrees * std::numbers::pi / 180.0; }

std::string number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

struct Field {
    std::string name;
    std::string json;  // a number, a quoted text or null
};
Field num(std::string name, double value) { return {std::move(name), number(value)}; }
Field text(std::string name, const std::string& value) { return {std::move(name), "\"" + value + "\""}; }
Field none(std::string name) { return {std::move(name), "null"}; }

void print(const std::string& name, const std::string& line, const std::vector<Field>& expect) {
    std::string out = "{\"name\": \"" + name + "\", \"line\": \"" + line + "\", \"expect\": {";
    for (std::size_t i = 0; i < expect.size(); ++i) {
        out += (i ? ", \"" : "\"") + expect[i].name + "\": " + expect[i].json;
    }
    std::printf("%s}}\n", out.c_str());
}

void print(const std::string& name, const n2k::Message& message, const std::vector<Field>& expect) {
    print(name, n2k::plain_line(message, moment_ms), expect);
}

void single_messages() {
    print("position", n2k::position_rapid(44.0113117, 10.1284783), {num("latitude", 44.0113117), num("longitude", 10.1284783)});
    print("position south west", n2k::position_rapid(-33.8568, -151.2153),
          {num("latitude", -33.8568), num("longitude", -151.2153)});
    print("cog sog", n2k::cog_sog_rapid(7, 45.3, 12.0),
          {num("sid", 7), text("cogReference", "True"), num("cog", rad(45.3)), num("sog", 12.0 * ms_per_knot)});
    print("cog sog not available", n2k::cog_sog_rapid(8, std::nullopt, std::nullopt), {none("cog"), none("sog")});
    print("cog a hair under 360", n2k::cog_sog_rapid(9, 359.999, 0.0), {num("cog", 0.0), num("sog", 0.0)});
    n2k::GnssPosition gnss{moment_ms + 250, 44.01131172, -10.12847831, 254.5, true, 7, 1.0, 1.8};
    print("gnss", n2k::gnss_position(10, gnss),
          {num("sid", 10), text("date", "2026.12.07"), text("time", "10:00:00.25000"),
           num("latitude", 44.01131172), num("longitude", -10.12847831), num("altitude", 254.5), text("gnssType", "GPS"),
           text("method", "GNSS fix"), num("numberOfSvs", 7), num("hdop", 1.0), num("pdop", 1.8)});
    print("gnss without fix", n2k::gnss_position(11, {moment_ms, std::nullopt, std::nullopt, std::nullopt, false, 0, std::nullopt, std::nullopt}),
          {text("method", "no GNSS"), none("latitude"), none("longitude"), none("hdop")});
    print("heading", n2k::vessel_heading(12, 90.0),
          {num("heading", rad(90.0)), none("deviation"), none("variation"), text("reference", "True")});
    print("heading with deviation and variation", n2k::vessel_heading(12, 45.0, -2.0, 3.5),
          {num("heading", rad(45.0)), num("deviation", rad(-2.0)), num("variation", rad(3.5))});
    print("wind apparent", n2k::wind_data(13, 18.03, 303.7, n2k::WindReference::apparent),
          {num("windSpeed", 18.03 * ms_per_knot), num("windAngle", rad(303.7)), text("reference", "Apparent")});
    print("wind true to the bow", n2k::wind_data(13, 15.0, 270.0, n2k::WindReference::true_boat),
          {num("windSpeed", 15.0 * ms_per_knot), num("windAngle", rad(270.0)), text("reference", "True (boat referenced)")});
    print("depth", n2k::water_depth(14, 12.5, 0.5), {num("depth", 12.5), num("offset", 0.5), none("range")});
    print("depth to the keel", n2k::water_depth(14, 3.21, -1.1), {num("depth", 3.21), num("offset", -1.1)});
    print("water speed", n2k::water_speed(15, 10.0),
          {num("speedWaterReferenced", 10.0 * ms_per_knot), none("speedGroundReferenced"),
           text("speedWaterReferencedType", "Paddle wheel")});
    print("water temperature", n2k::water_temperature(16, 14.0),
          {text("source", "Sea Temperature"), num("temperature", 287.15), none("setTemperature")});
    print("water temperature below freezing", n2k::water_temperature(16, -1.8), {num("temperature", 271.35)});
}

void ais_messages() {
    print("ais class a", n2k::ais_position({AisClass::a, report_of(247123450), 'B', false}),
          {text("messageId", "Scheduled Class A position report"), num("userId", 247123450),
           num("latitude", -(33 + 51.3408 / 60.0)), num("longitude", 151 + 12.918 / 60.0),
           text("positionAccuracy", "High"), text("timeStamp", "30"), num("cog", rad(200.5)), num("sog", 12.3 * ms_per_knot),
           text("aisTransceiverInformation", "Channel B VDL reception"), num("heading", rad(200.0)),
           none("rateOfTurn"), text("navStatus", "Under way using engine")});
    ais::PositionReport still = report_of(900000003);
    still.status = ais::NavigationalStatus::moored;
    still.speed = 0;
    still.course = ais::course_unknown;
    still.heading = ais::heading_unknown;
    print("ais class a moored", n2k::ais_position({AisClass::a, still, 'A', false}),
          {text("navStatus", "Moored"), num("sog", 0.0), none("cog"), none("heading")});
    print("ais class a own ship", n2k::ais_position({AisClass::a, report_of(247000001), 'A', true}),
          {text("aisTransceiverInformation", "Channel A VDL transmission")});
    print("ais class b", n2k::ais_position({AisClass::b, report_of(247123451), 'A', false}),
          {text("messageId", "Standard Class B position report"), num("userId", 247123451),
           num("latitude", -(33 + 51.3408 / 60.0)), num("sog", 12.3 * ms_per_knot), text("unitType", "CS"),
           text("band", "Entire marine band"), text("canHandleMsg22", "Yes"), text("aisMode", "Autonomous")});
    const ais::StaticData data = testing::static_example();
    print("ais static", n2k::ais_static({AisClass::a, data, 'A', false}, moment_ms),
          {num("userId", 247123450), num("imoNumber", 9074729), text("callsign", "IABC"), text("name", "NAVE CITTA"),
           text("typeOfShip", "Passenger ship"), num("length", 120), num("beam", 12),
           num("positionReferenceFromStarboard", 7), num("positionReferenceFromBow", 100), text("etaDate", "2026.12.24"),
           text("etaTime", "18:30:00"), num("draft", 3.5), text("destination", "GENOVA"),
           text("aisVersionIndicator", "ITU-R M.1371-5"), text("gnssType", "GPS"), text("dte", "Not available")});
    print("ais class b name", n2k::ais_static_name({AisClass::b, data, 'B', false}),
          {text("messageId", "Static data report"), num("userId", 247123450), text("name", "NAVE CITTA"),
           text("aisTransceiverInformation", "Channel B VDL reception")});
    print("ais class b type", n2k::ais_static_type({AisClass::b, data, 'A', false}),
          {num("userId", 247123450), text("typeOfShip", "Passenger ship"), text("vendorId", "VDR"),
           text("callsign", "IABC"), num("length", 120), num("beam", 12), num("positionReferenceFromStarboard", 7),
           num("positionReferenceFromBow", 100), text("gnssType", "GPS")});
    ais::StaticData bare;
    bare.mmsi = 900000002;
    bare.name = "MEZZO 2";
    print("ais static bare", n2k::ais_static({AisClass::a, bare, 'B', false}, moment_ms),
          {num("userId", 900000002), none("imoNumber"), text("name", "MEZZO 2"), none("length"), none("etaDate"),
           none("draft")});
}

// North at 10 kn, the true wind from 270 at 15 kn: the apparent wind
// 18.03 kn on the port bow at 303.7 degrees, the true wind at 270 to the bow.
void one_moment() {
    InstrumentReadings readings;
    readings.heading_true = 0.0;
    readings.water_speed_knots = 10.0;
    readings.apparent_wind = WindReading{360.0 - std::atan2(15.0, 10.0) * 180.0 / std::numbers::pi, std::hypot(15.0, 10.0)};
    readings.true_wind_relative = WindReading{270.0, 15.0};
    readings.true_wind = WindReading{270.0, 15.0};
    readings.depth_below_transducer = 12.5;
    readings.transducer_offset = 0.5;
    readings.water_temperature = 14.0;
    const OwnShipFix fix{true, 44.0113117, 10.1284783, 0.0, 10.0, 12.0, 7, 1.0, 1.8};
    N2kBuilder builder;
    const std::vector<std::string> lines = builder.lines({moment_ms, fix, true, &readings, {}, {}});
    const std::vector<std::vector<Field>> expected{
        {num("latitude", 44.0113117), num("longitude", 10.1284783)},
        {num("sid", 0), num("cog", 0.0), num("sog", 10.0 * ms_per_knot)},
        {num("sid", 0), num("latitude", 44.0113117), text("method", "GNSS fix")},
        {num("sid", 0), num("heading", 0.0)},
        {num("sid", 0), num("speedWaterReferenced", 10.0 * ms_per_knot)},
        {num("windSpeed", std::hypot(15.0, 10.0) * ms_per_knot), num("windAngle", rad(303.69)), text("reference", "Apparent")},
        {num("windSpeed", 15.0 * ms_per_knot), num("windAngle", rad(270.0)), text("reference", "True (boat referenced)")},
        {num("windSpeed", 15.0 * ms_per_knot), num("windAngle", rad(270.0)),
         text("reference", "True (ground referenced to North)")},
        {num("sid", 0), num("depth", 12.5), num("offset", 0.5)},
        {num("sid", 0), num("temperature", 287.15)},
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        print("moment " + std::to_string(i), lines[i], i < expected.size() ? expected[i] : std::vector<Field>{});
    }
    if (lines.size() != expected.size()) print("moment count", "", {num("lines", static_cast<double>(lines.size()))});
}

}  // namespace

int main() {
    single_messages();
    ais_messages();
    one_moment();
}
