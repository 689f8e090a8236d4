#include "ais/messages.h"

namespace vadrel::ais {

namespace {

// Message number, repeat indicator 0, MMSI: the 38 bits every message opens with.
void open(Payload& p, unsigned message, std::uint32_t mmsi) {
    p.put(message, 6);
    p.put(0, 2);
    p.put(mmsi, 30);
}

void put_dimensions(Payload& p, const Dimensions& d) {
    p.put(d.to_bow, 9);
    p.put(d.to_stern, 9);
    p.put(d.to_port, 6);
    p.put(d.to_starboard, 6);
}

// Speed, accuracy, position, course, heading and second: the same fields in
// class A's and class B's reports.
void put_motion(Payload& p, const PositionReport& r) {
    p.put(r.speed, 10);
    p.put(r.accuracy, 1);
    p.put_signed(r.longitude, 28);
    p.put_signed(r.latitude, 27);
    p.put(r.course, 12);
    p.put(r.heading, 9);
    p.put(r.second, 6);
}

// Message 24 up to its part number: A (0) or B (1).
Payload message_24(std::uint32_t mmsi, unsigned part) {
    Payload p;
    open(p, 24, mmsi);
    p.put(part, 2);
    return p;
}

}  // namespace

Payload class_a_position(const PositionReport& r) {
    Payload p;
    open(p, 1, r.mmsi);
    p.put(static_cast<unsigned>(r.status), 4);
    p.put_signed(r.rate_of_turn, 8);
    put_motion(p, r);
    p.put(r.manoeuvre, 2);
    p.put(0, 3);  // spare
    p.put(r.raim, 1);
    p.put(r.radio, 19);
    return p;
}

Payload class_b_position(const PositionReport& r) {
    Payload p;
    open(p, 18, r.mmsi);
    p.put(0, 8);  // reserved for regional applications
    put_motion(p, r);
    p.put(0, 2);  // reserved for regional applications
    p.put(1, 1);  // class B unit: CS
    p.put(0, 1);  // no display
    p.put(0, 1);  // no DSC
    p.put(1, 1);  // the whole marine band
    p.put(1, 1);  // frequencies managed by message 22
    p.put(0, 1);  // autonomous mode
    p.put(r.raim, 1);
    p.put(1, 1);  // communication state selector: ITDMA, as CS units send
    p.put(class_b_cs_radio, 19);
    return p;
}

Payload static_and_voyage(const StaticData& d) {
    Payload p;
    open(p, 5, d.mmsi);
    p.put(d.ais_version, 2);
    p.put(d.imo, 30);
    p.put_text(d.call_sign, 7);
    p.put_text(d.name, 20);
    p.put(d.ship_type, 8);
    put_dimensions(p, d.dimensions);
    p.put(d.epfd, 4);
    p.put(d.eta_month, 4);
    p.put(d.eta_day, 5);
    p.put(d.eta_hour, 5);
    p.put(d.eta_minute, 6);
    p.put(d.draught, 8);
    p.put_text(d.destination, 20);
    p.put(d.dte_unavailable, 1);
    p.put(0, 1);  // spare
    return p;
}

Payload static_part_a(const StaticData& d) {
    Payload p = message_24(d.mmsi, 0);
    p.put_text(d.name, 20);
    p.put(0, 8);  // spare
    return p;
}

Payload static_part_b(const StaticData& d) {
    Payload p = message_24(d.mmsi, 1);
    p.put(d.ship_type, 8);
    p.put_text(d.vendor, 3);
    p.put(d.model, 4);
    p.put(d.serial, 20);
    p.put_text(d.call_sign, 7);
    put_dimensions(p, d.dimensions);
    p.put(d.epfd, 4);
    p.put(0, 2);  // spare
    return p;
}

Payload aid_to_navigation(const AidToNavigation& a) {
    Payload p;
    open(p, 21, a.mmsi);
    p.put(a.aid_type, 5);
    p.put_text(a.name, aid_name_chars);
    p.put(a.accuracy, 1);
    p.put_signed(a.longitude, 28);
    p.put_signed(a.latitude, 27);
    put_dimensions(p, Dimensions{});
    p.put(1, 4);  // EPFD: GPS
    p.put(a.second, 6);
    p.put(0, 1);  // on position
    p.put(0, 8);  // reserved for regional applications
    p.put(0, 1);  // RAIM
    p.put(a.virtual_aid, 1);
    p.put(0, 1);  // autonomous mode
    p.put(0, 1);  // spare
    if (a.name.size() > aid_name_chars) {
        const std::string_view rest = std::string_view(a.name).substr(aid_name_chars, aid_name_extension_chars);
        p.put_text(rest, static_cast<unsigned>(rest.size()));
        // The extension ends on a whole byte.
        if (const unsigned spare = static_cast<unsigned>(p.bits() % 8); spare != 0) p.put(0, 8 - spare);
    }
    return p;
}

Payload safety_broadcast(std::uint32_t mmsi, std::string_view text) {
    Payload p;
    open(p, 14, mmsi);
    p.put(0, 2);  // spare
    const std::string_view sent = text.substr(0, safety_text_chars);
    p.put_text(sent, static_cast<unsigned>(sent.size()));
    return p;
}

}  // namespace vadrel::ais
