#pragma once
// The transmitter: once a second it advances the vehicles in use (the
// fleet's simulation) and sends the vehicle of this second, as the mode
// asks, to every output: it builds the sentences from the model and the
// receiver options, puts in the faults, writes the bytes and hands what the
// monitor shows of them to its views (the panel's monitor, the headless
// program's standard output). In multi-user mode the next vehicle of the
// cycle becomes the current one in the middle of the second. In GPS
// standard and radio the lines of a supplement (the AIS targets') follow
// the second's own sentences, in the same bytes.
//
//   Transmitter transmitter(fleet, link, tracks, output, clock);
//   transmitter.add_view(panel);
//   transmitter.tick();          // from the second timer

#include <cstdint>
#include <optional>
#include <functional>
#include <string>
#include <vector>

#include "fleet/fleet.h"
#include "link/link.h"
#include "marine/instrument_log.h"
#include "model/platform.h"
#include "model/receiver_options.h"
#include "model/track_history.h"
#include "sky/receiver_error.h"

namespace vadrel {

struct SecondOfVehicle;
class SecondEffects;

class TransmitterView {
public:
    virtual ~TransmitterView() = default;
    // A second was sent, or played from a log: what the monitor shows of it
    // (the sentences as they went out, each fault marked, and what the
    // outputs said), control characters as they are; "" when nothing ran.
    virtual void second_shown(const std::string& /*text*/, bool /*replayed*/) {}
    // Multi-user mode: the next vehicle of the cycle has just become the
    // current one, in the middle of the second.
    virtual void next_vehicle() {}
    // A log began (true) or ended (false) playing: the ticks send nothing meanwhile.
    virtual void replay_changed(bool /*playing*/) {}
};

class Transmitter {
public:
    // The link says whether to transmit, and hears of a port lost while writing.
    Transmitter(Fleet& fleet, Link& link, TrackHistory& tracks, Output& output, Clock& clock)
        : fleet_(fleet), link_(link), tracks_(tracks), output_(output), clock_(clock) {}
    Transmitter(const Transmitter&) = delete;
    Transmitter& operator=(const Transmitter&) = delete;

    // One second, or one fix of it: `fix_in_second` 0 on the whole second,
    // 1 .. rate - 1 for the fixes between at fixes_per_second() (the others
    // send nothing). Nothing while the link's transmission is stopped or a log plays; a
    // tick arriving from inside a tick (the events the multi-user step lets
    // run) waits for the next second.
    void tick(int fix_in_second = 0);
    // The fixes a second the options ask for (SkyOptions::rate with the full
    // set), which the timer should tick at; the multi-user and radio modes
    // still send once a second.
    int fixes_per_second() const;
    // The fixes a second of each vehicle's own stream, in every mode.
    static int stream_rate(const ReceiverOptions& options);

    // The receiver options from now on; a change of the faults starts their
    // sequence again from the seed.
    const ReceiverOptions& receiver() const { return receiver_; }
    void set_receiver(const ReceiverOptions& options);

    // The lines a second sends after its own sentences, each whole and
    // without line end, asked with the steady time of the second once the
    // vehicles have moved; in GPS standard and radio only (multi-user's
    // "@n" lines are its own fleet channel). Not touched by the receiver's
    // faults: a second the receiver loses still sends them.
    struct SupplementSecond {
        std::vector<std::string> lines;
        // The vehicles whose position the lines tell: each gets a point on
        // its track.
        std::vector<std::size_t> reported;
    };
    using Supplement = std::function<SupplementSecond(double steady)>;
    void set_supplement(Supplement supplement) { supplement_ = std::move(supplement); }

    // Each vehicle's own stream (nullptr: none; it must outlive the
    // transmitter or be taken away first). While it is on, every tick also
    // sends each vehicle the fleet has in use with a stream, once it moves
    // (Fleet::in_use, Fleet::moving), its own sentences as GPS standard makes them
    // with the receiver options (the full set, the sky, the noise, a loss of
    // the fix, the talker; at the options' rate in every mode), without
    // "@n" and without the faults put into the sentences, which stay the
    // main output's. The main output's bytes stay as they are.
    void set_vehicle_output(VehicleOutput* streams) { streams_ = streams; }

    // What changes each vehicle's second beyond the receiver's options
    // (nullptr: nothing; it must outlive the transmitter or be taken away
    // first), asked once for each second of each vehicle, the main output's
    // and the streams' alike.
    void set_effects(SecondEffects* effects) { effects_ = effects; }

    // Told of each fix the main output sends, as the receiver made it (the
    // position it reports, its time, its sky; the vehicle the multi-user
    // cycle sends, in that mode), with its number in the second, before
    // its bytes go: another form of the same fix (NMEA 2000) then tells
    // the same. Not while a log plays or the transmission is stopped.
    using FixObserver = std::function<void(const SecondOfVehicle&, int fix_in_second)>;
    void set_fix_observer(FixObserver observer) { fix_observer_ = std::move(observer); }
    // The own ship's instruments: while they are on, each whole second in
    // GPS standard sends their sentences (marine/instrument_sentences.h) of
    // the current vehicle's true motion after its own ones, before the
    // supplement's, untouched by the receiver's faults. Another vehicle
    // made current, or the instruments turned off, starts their log again.
    void set_instruments(const InstrumentSettings& settings) { instruments_ = settings; }
    const InstrumentSettings& instruments() const { return instruments_; }
    // The readings of the last second that sent them; nothing before.
    const std::optional<InstrumentReadings>& last_readings() const { return last_readings_; }

    // Seconds the serial port skipped because the line was still busy.
    long long skipped_writes() const { return skipped_writes_; }

    // While a log plays the ticks send nothing; each second of the log sent
    // is shown as a tick's own, with what the outputs did.
    bool replaying() const { return replaying_; }
    void begin_replay();
    void end_replay();
    void show_replayed(const std::string& bytes, const Delivery& delivery);

    void add_view(TransmitterView& view) { views_.push_back(&view); }
    void remove_view(TransmitterView& view);

    // Whether the receiver has no fix: the loss of the signal switched on,
    // or the last fix sent had none (a timed loss, too few satellites).
    bool without_fix() const { return receiver_.no_fix || last_without_fix_; }
    // The sky of the last fix sent (the current vehicle's, with the
    // satellites option); nothing without it.
    const std::optional<Sky>& last_sky() const { return last_sky_; }
    // Where the last sentences of vehicle n put it, when the receiver's
    // noise moved it off its true position (seconds of arc); nothing
    // without noise.
    std::optional<ArcPosition> reported(std::size_t n) const {
        return n < reported_.size() ? reported_[n] : std::nullopt;
    }

    // Each vehicle's points where its sentences went: the main output's
    // vehicle, those with a stream and the AIS targets whose position went
    // out, one point a second at most.
    const TrackHistory& tracks() const { return tracks_; }
    Clock& clock() const { return clock_; }

private:
    // The receiver's side of a fix: a timed loss of the fix, the sky the
    // vehicle `n` sees, the noise on the position it reports.
    void receive(SecondOfVehicle& second, std::size_t n);
    // The main output's part of a tick: the second of the current vehicle
    // (or of the multi-user cycle's), with its faults and supplement; the
    // sentences of its vehicle as its own stream has them, when that is the
    // same, to `own`. Returns the vehicle it sent.
    std::size_t send_main(double now, int rate, int fix_in_second, std::vector<std::string>* own);
    // Each vehicle in use with a stream its own sentences, to the streams;
    // on the whole second a point on the track of each but `tracked`.
    void send_streams(std::vector<std::string> own_of_current, double now, int fix_in_second,
                      std::optional<std::size_t> tracked);
    // Vehicle n where it is now, on its track; with where the noise put it
    // when `reported`.
    void track(std::size_t n, double now, bool reported);
    // The instruments' sentences of vehicle n in this second, if any.
    std::vector<std::string> instrument_lines(Mode mode, std::size_t n, double now, int fix_in_second);
    // The serial port's part of a monitor line: what it did not send, and why.
    std::string serial_note(const Delivery& delivery);
    void show(const std::string& text, bool replayed);
    // By index: a view may come or go meanwhile.
    template <typename Call>
    void tell(Call call) {
        for (std::size_t i = 0; i < views_.size(); ++i) call(*views_[i]);
    }

    Fleet& fleet_;
    Link& link_;
    TrackHistory& tracks_;
    Output& output_;
    Clock& clock_;
    ReceiverOptions receiver_;
    SplitMix64 dice_;
    // The receiver's errors: each vehicle's noise, drawn from the faults'
    // seed, and the start of the run the timed losses of the fix count from.
    std::vector<PositionNoise> noise_;
    std::optional<std::int64_t> outage_origin_ms_;
    std::optional<Sky> last_sky_;
    bool last_without_fix_ = false;
    std::vector<std::optional<ArcPosition>> reported_;
    Supplement supplement_;
    InstrumentSettings instruments_;
    InstrumentLog instrument_log_;
    std::optional<std::size_t> instrument_vehicle_;
    std::optional<InstrumentReadings> last_readings_;
    VehicleOutput* streams_ = nullptr;
    SecondEffects* effects_ = nullptr;
    FixObserver fix_observer_;
    long long skipped_writes_ = 0;
    bool replaying_ = false;
    bool in_tick_ = false;
    std::vector<TransmitterView*> views_;
};

}  // namespace vadrel
