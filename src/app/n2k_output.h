#pragma once
// The NMEA 2000 server (--n2k): every client gets, one message a line in
// the plain text format canboat's tools and Signal K read, the own ship's
// fixes as the main output sends them (129025 and 129026 each fix, the
// rest each second: n2k_builder.h), the instruments' readings when there
// are, and the AIS messages the second sent. The server is a TcpOutput:
// the same rules for a client that is slow, leaves or is one too many.
//
//   N2kOutput n2k(transmitter);          // watches the transmitter's fixes
//   n2k.start(Endpoint{"127.0.0.1", 10112}, 64);
//   ... ais.second(...); n2k.take_ais(ais);   // when the second's AIS goes
//   transmitter.tick(); n2k.flush();          // each tick
//
// Time stamps are the fix's own instant on the program's one clock (UTC).
// In multi-user mode no vehicle is the own ship: only the AIS goes.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ais/transmitter.h"
#include "marine/instrument_readings.h"
#include "marine/n2k_builder.h"
#include "outputs/network_address.h"
#include "outputs/tcp_output.h"
#include "tick/second_sentences.h"
#include "tick/transmitter.h"

namespace vadrel {

// The own ship's fix of the second, as its NMEA 0183 sentences tell it:
// the position the receiver reports, the course and speed as the $GPRMC
// gives them (none without the real motion), the altitude, satellites and
// dilutions of the $GPGGA; no fix when the receiver has none.
OwnShipFix own_ship_fix(const SecondOfVehicle& second);

class N2kOutput {
public:
    explicit N2kOutput(Transmitter& transmitter, TcpOutput::Now now = &std::chrono::steady_clock::now);
    N2kOutput(const N2kOutput&) = delete;
    N2kOutput& operator=(const N2kOutput&) = delete;

    // Listens on `where` for at most max_clients; nothing: off (clients closed).
    void start(const std::optional<Endpoint>& where, int max_clients);
    bool on() const { return tcp_.started(); }
    const TcpOutput& server() const { return tcp_; }

    // The AIS messages the second sent, for the next flush.
    void take_ais(const AisTransmitter& ais);
    // Sends what this tick gathered (the fix, the AIS), and forgets it.
    void flush();

    // The instruments' readings of this second; nothing: no instruments.
    std::function<std::optional<InstrumentReadings>()> instruments;
    // What the server has to tell, in Italian.
    void set_on_event(std::function<void(const std::string&)> tell) { tcp_.on_event = std::move(tell); }

private:
    void fix(const SecondOfVehicle& second, int fix_in_second);

    TcpOutput tcp_;
    N2kBuilder builder_;
    std::optional<N2kMoment> moment_;
    std::vector<AisReportSent> reports_;
    std::vector<AisStaticSent> statics_;
};

}  // namespace vadrel
