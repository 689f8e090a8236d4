#include "program.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cmath>
#include <exception>
#include <filesystem>
#include <system_error>

#include "app/places.h"
#include "app/scenario_run.h"
#include "control/vehicle_patch.h"
#include "fleet/start_values.h"
#include "serial/virtual_port.h"

namespace vadrel {

namespace {

std::string executable_folder() { return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString(); }

// The folder of the table. The user's data folder is made on first use; when
// it cannot be, the folder refuses to open and says why.
std::string table_folder(const Options& options) {
    const std::string folder = table_folder_of(options.folder, executable_folder(), user_data_folder());
    if (!options.folder) QDir().mkpath(QFile::decodeName(folder.c_str()));
    return folder;
}

// The command line's recording and tracks, refused before a port or an
// output is opened when a file must not be written.
void check_output_files(const Options& options, const ProgramFolder& folder) {
    const auto check = [&](FileRole role, const std::optional<std::string>& path, FileRole other_role,
                           const std::optional<std::string>& other) {
        if (!path) return;
        std::vector<RoleFile> others;
        if (options.replay_from) others.push_back({FileRole::replay, *options.replay_from});
        if (other) others.push_back({other_role, *other});
        if (const std::string why = output_refusal(*path, role, folder, others); !why.empty()) {
            throw OutputRefused(why);
        }
    };
    check(FileRole::recording, options.record_to, FileRole::tracks, options.track_to);
    check(FileRole::tracks, options.track_to, FileRole::recording, options.record_to);
}

// The real time a second's reports spread over: the second, or less when
// the clock runs faster; none at max.
std::chrono::nanoseconds fleet_span(const SimulatedClock& clock) {
    if (clock.max()) return {};
    const double rate = clock.following_wall() ? 1.0 : std::max(clock.rate(), 1.0);
    return std::chrono::nanoseconds(std::llround(1e9 / rate));
}

std::unique_ptr<ProgramFolder> checked_folder(const Options& options) {
    auto folder = std::make_unique<ProgramFolder>(table_folder(options));
    check_output_files(options, *folder);
    return folder;
}

}  // namespace

Program::Program(const Options& options, Shell& shell)
    : options_(options),
      folder_(checked_folder(options)),
      table_(std::make_unique<TableFile>(*folder_, &reserve_)),
      settings_file_(std::make_unique<SettingsFile>(*folder_)),
      receiver_(receiver_rules(*settings_file_)),
      ais_(ais_rules(*settings_file_)),
      instruments_(instrument_rules(*settings_file_)),
      outputs_(kept_whole(*settings_file_, save_output_settings)),
      control_settings_(kept_whole(*settings_file_, save_control_settings)),
      tiles_(kept_whole(*settings_file_, save_tile_settings)),
      ports_(kept_whole(*settings_file_, save_port_settings)),
      recordings_(*folder_, output_, transmitter_, tracks_, [this](const std::string& line) { say(line); }),
      route_keeping_(*folder_, routes_, options.routes, [this](const std::string& line) { say(line); }),
      shell_(shell),
      autosave_(vehicle_table_, *table_, reserve_, [this](const QString& text) { tell(text.toStdString()); }, *this) {
    if (!settings_file_->problem().empty())
        settings_problems_.push_back(settings_file_->path() + ": " + settings_file_->problem());
    const GroupRead<PortSettings> ports = read_port_settings(*settings_file_);
    ports_.load(ports.value, ports.value);
    // before the window is made: the map takes them from there
    const GroupRead<TileSettings> tiles = read_tile_settings(*settings_file_);
    tiles_.load(tiles.value, tiles.value);
    for (const auto* read : {&ports.problems, &tiles.problems})
        settings_problems_.insert(settings_problems_.end(), read->begin(), read->end());
    for (const auto& [number, mapping] : ports_for(ports.value, options)) {
        if (mapping.virtual_port) {
            const VirtualSerialPort& made = port_.use_virtual(number, mapping.device);
            virtual_ports_.push_back("COM " + std::to_string(number) + ": " + made.slave_path());
            if (dialout_problem_.empty()) dialout_problem_ = made.dialout_problem();
        } else {
            port_.use_device(number, mapping.device);
        }
    }
    network_.add_to(output_);
    network_.set_on_event([this](const std::string& text) { say("vadrel: " + text); });
    n2k_.set_on_event([this](const std::string& text) { say("vadrel: NMEA 2000: " + text); });
    // The instruments' readings of the second the 0183 sentences carried, the same in NMEA 2000.
    n2k_.instruments = [this]() -> std::optional<InstrumentReadings> {
        if (!transmitter_.instruments().enabled || fleet_.mode() != Mode::gps_standard) return std::nullopt;
        return transmitter_.last_readings();
    };
    output_.add(tap_);
    wire_replay();
    scenario_ = std::make_unique<ScenarioRun>(*this);
    fleets_ = std::make_unique<FleetService>(options, options.seed.value_or(options.faults ? options.faults->seed : 1),
                                             [this](const std::string& line) { say(line); });
    control_ = std::make_unique<ControlService>(*this, *folder_, [this](const std::string& line) { say(line); });
    transmitter_.set_supplement([this](double steady) { return ais_second(steady); });
    network_.set_greeting([this] { return ais_greeting(); });
    transmitter_.set_vehicle_output(&network_.streams());
    apply_start_options(fleet_, link_, options, this);
    // Why the port shows "No Tx" is said as the link changes, whoever changed it.
    link_.watch([this](LinkChange what, Link::Origin) {
        if (what == LinkChange::opened || what == LinkChange::closed) report_port();
    });
    wire_settings();
    connect(&timer_, &TickScheduler::tick, this, &Program::tick);
    timer_.set_outputs_busy([this] { return !recordings_.log_drained(); });
}

Program::~Program() = default;

void Program::wire_replay() {
    Replay& replay = recordings_.replay();
    replay.on_tick = [this](const std::string& bytes, const Delivery& delivery) {
        transmitter_.show_replayed(bytes, delivery);
        control_->publish(bytes);
        if (after_tick) after_tick();
    };
    replay.on_finished = [this](const std::string& problem) {
        transmitter_.end_replay();
        const Replay& ended = recordings_.replay();
        std::string counts = std::to_string(ended.sent()) + (ended.sent() == 1 ? " secondo inviato" : " secondi inviati");
        if (ended.skipped() > 0) counts += ", " + std::to_string(ended.skipped()) + " saltati";
        say(problem.empty() ? "vadrel: riproduzione finita: " + counts
                            : "vadrel: riproduzione interrotta: " + problem + " (" + counts + ")");
        if (replay_finished) replay_finished(problem);
    };
}

void Program::wire_settings() {
    receiver_.watch([this](ReceiverSettingsModel::Origin) { use_receiver(receiver_.value()); });
    ais_.watch([this](AisSettingsModel::Origin) { fleet_.set_targets(ais_.value().enabled, this); });
    instruments_.watch([this](InstrumentSettingsModel::Origin) { transmitter_.set_instruments(instruments_.value()); });
    outputs_.set_apply([this](const OutputSettings& settings, OutputSettingsModel::Origin) -> Result<> {
        std::vector<std::pair<int, std::string>> taken;
        if (control_->listening()) taken.emplace_back(control_->settings().port, "dell'interfaccia di controllo");
        const std::vector<Refusal> refused = network_.apply(settings, taken);
        fleet_.set_streams(network_.streams().on(), this);
        if (!refused.empty()) return Refusal{refused.front().field, reasons(refused)};
        return {};
    });
    control_settings_.set_apply(
        [this](const ControlSettings& settings, ControlSettingsModel::Origin) { return control_->apply(settings); });
    ports_.set_apply([this](const PortSettings& settings, PortSettingsModel::Origin origin) -> Result<> {
        const auto device = [](const PortSettings& s, std::int16_t number) {
            const auto found = s.devices.find(number);
            return found == s.devices.end() ? default_device(number) : found->second;
        };
        std::string refused_ports;
        for (const std::int16_t number : com_ports) {
            if (options_.com.contains(number)) continue;  // this run's --com stays
            if (device(settings, number) == device(ports_.value(), number)) continue;
            if (const auto refused = link_.set_device(number, device(settings, number), origin)) {
                refused_ports += "COM " + std::to_string(number) + ": " + refused->reason + "\n";
            } else if (device(settings, number) == virtual_device) {
                virtual_port_made("COM " + std::to_string(number) + ": " + port_.virtual_path(number));
            }
        }
        // A COM the link refused stays as it was; the others are in force.
        if (!refused_ports.empty()) return Failure(std::move(refused_ports));
        return {};
    });
}

void Program::start() {
    // Files are always reached through the folder, so a folder that cannot
    // be made current changes nothing else.
    std::error_code ignored;
    std::filesystem::current_path(folder_->path(), ignored);
    help_file_ = folder_->file_path("vadrel.hlp");
    if (place_start_vehicle) {
        place_start_vehicle();
    } else {
        fleet_.load(fleet_.current(), start_vehicle(), this);
    }
    load_table(vehicle_table_, *table_, [this](const QString& text) { tell(text.toStdString()); });
    link_.start(this);
    route_keeping_.start();
    say("vadrel: tabella dei veicoli: " + table_->path());
    // The command line's vehicles over the table, as an operator's edits:
    // checked when the options were read, so nothing is refused here.
    for (const auto& [n, patch] : options_.vehicles_set) {
        if (auto bad = apply_vehicle_patch(fleet_, n, patch, &options_))
            say("vadrel: mezzo " + std::to_string(n) + ": " + bad->reason);
    }
    const QString help = route_help(folder_->qt_path("vadrel.hlp"), QCoreApplication::applicationDirPath());
    if (!help.isEmpty()) help_file_ = help.toStdString();
    if (!dialout_problem_.empty()) {
        say("vadrel: la porta virtuale non può passare al gruppo dialout (" + dialout_problem_ +
            "): un gpsd avviato come servizio non potrà aprirla.");
    }
    start_outputs(std::move(settings_problems_));
    start_receiver();
    start_ais();
    start_encounters();
    pilot_.start(options_, say);
    start_instruments();
    if (options_.clock_start) clock_.start_at(static_cast<double>(*options_.clock_start) / 1000.0);
    if (options_.clock_rate == 0.0) clock_.set_max();
    if (options_.clock_rate > 0.0) clock_.set_rate(*options_.clock_rate);
    timer_.start();
    fleets_->start();
}

void Program::tell_problems(const std::string& heading, const std::vector<std::string>& problems) {
    if (problems.empty()) return;
    std::string text = heading;
    for (const std::string& problem : problems) text += "\n" + problem;
    tell(text);
}

void Program::start_outputs(std::vector<std::string> problems) {
    // Network outputs: vadrel.ini beside vadrel.cnf, and the command line over it.
    const GroupRead<OutputSettings> outputs_read = read_network_settings(*settings_file_);
    const GroupRead<ControlSettings> control_read = read_control_settings(*settings_file_);
    for (const auto* read : {&outputs_read.problems, &control_read.problems})
        problems.insert(problems.end(), read->begin(), read->end());
    const OutputSettings& outputs_file = outputs_read.value;
    const ControlSettings& control_file = control_read.value;
    const ControlSettings control_in_force = control_for(control_file, options_);
    const OutputSettings outputs_in_force = outputs_for(outputs_file, options_);
    outputs_.load(outputs_file, outputs_in_force);
    control_settings_.load(control_file, control_in_force);
    std::vector<std::pair<int, std::string>> control_port;
    if (control_in_force.on) control_port.emplace_back(control_in_force.port, "dell'interfaccia di controllo");
    if (const std::vector<Refusal> refused = network_.apply(outputs_in_force, control_port); !refused.empty())
        problems.push_back(reasons(refused));
    fleet_.set_streams(network_.streams().on(), this);
    n2k_.start(options_.n2k, outputs_in_force.tcp_max);
    if (const Result<> started = control_->apply(control_in_force); !started) problems.push_back(started.message());
    tell_problems("Uscite:", problems);
}

void Program::start_receiver() {
    // The receiver options: vadrel.ini, and the command line over it.
    const GroupRead<ReceiverOptions> read = read_receiver_settings(*settings_file_);
    receiver_.load(read.value, receiver_for(read.value, options_));
    use_receiver(receiver_.value());
    tell_problems("Opzioni del ricevitore:", read.problems);
    say("vadrel: " + receiver_in_force(receiver_.value()) +
        (receiver_.value().real_motion ? "" : " (--ricevitore moderno per quelle reali)"));
    if (const std::string chosen_options = describe_options(transmitter_.receiver()); !chosen_options.empty()) {
        say("vadrel: ricevitore: " + chosen_options);
    }
}

void Program::start_ais() {
    // The AIS targets: vadrel.ini, and the command line over it.
    const GroupRead<AisSettings> read = read_ais_settings(*settings_file_);
    ais_.load(read.value, ais_per(read.value, options_));
    const AisSettings& ais = ais_.value();
    fleet_.set_targets(ais.enabled, this);
    tell_problems("Bersagli AIS:", read.problems);
    if (ais.enabled) {
        say(std::string("vadrel: bersagli AIS: i mezzi da 0 a \"Numero di mezzi mobili\" - 1 tranne l'attuale") +
            (ais.own_ship ? "; l'attuale come nave propria (!AIVDO)" : "") +
            (ais.statics_at_once ? "; i dati statici subito a ogni nuovo client TCP" : ""));
    }
}

void Program::start_instruments() {
    // The own ship's instruments: vadrel.ini, and the command line over it.
    const GroupRead<InstrumentSettings> read = read_instrument_settings(*settings_file_);
    instruments_.load(read.value, instruments_per(read.value, options_));
    transmitter_.set_instruments(instruments_.value());
    tell_problems("Strumenti di bordo:", read.problems);
    if (instruments_.value().enabled) say("vadrel: strumenti di bordo: le loro frasi dopo ogni secondo in GPS standard");
}

Transmitter::SupplementSecond Program::ais_second(double steady) {
    if (!fleet_.targets()) return {};
    const AisSettings& ais = ais_.value();
    const AisTime time = ais_time(steady, clock_.utc_seconds());
    AisFleet stations = ais_fleet(fleet_, ais.vehicles, ais.own_ship);
    stations.under_way = encounter_targets_;
    std::vector<std::string> lines = ais_transmitter_.second(time, stations);
    if (fleet_.mode() != Mode::multi_user) {
        for (std::string& line : fixed_stations_.second(time)) lines.push_back(std::move(line));
    }
    n2k_.take_ais(ais_transmitter_);
    return {std::move(lines), ais_transmitter_.positions_sent()};
}

std::string Program::ais_greeting() const {
    // The stations are those the last second sent; none go while the
    // targets are off or in multi-user mode.
    if (!ais_.value().statics_at_once || !fleet_.targets() || fleet_.mode() == Mode::multi_user) return {};
    std::string bytes;
    for (const std::string& line : ais_transmitter_.static_sentences()) bytes += line + "\r\n";
    for (const std::string& line : fixed_stations_.aid_sentences()) bytes += line + "\r\n";
    return bytes;
}

void Program::switch_fix_loss() {
    ReceiverOptions chosen_options = receiver_.value();
    chosen_options.no_fix = !chosen_options.no_fix;
    receiver_.set_for_run(chosen_options, this);
    say(chosen_options.no_fix ? "vadrel: perdita del segnale: le frasi dicono che il ricevitore non ha il fix"
                          : "vadrel: segnale ritrovato: le frasi tornano con il fix");
}

void Program::use_receiver(const ReceiverOptions& chosen_options) {
    transmitter_.set_receiver(chosen_options);
    // The transmitter sends the fixes between the seconds only where the
    // mode takes them; the timer ticks at the rate asked in any mode.
    timer_.set_rate(chosen_options.full_set ? chosen_options.sky_options.rate : 1);
}

void Program::report_port() {
    const std::string& reason = link_.problem();
    if (reason == reported_reason_) return;
    reported_reason_ = reason;
    if (!reason.empty()) say("vadrel: porta No Tx: " + reason);
}

std::string Program::port_in_use(int number) const {
    return port_.describe(number) + (options_.com.contains(number) ? " (--com)" : "");
}

bool Program::stop() {
    if (!stopped_) {
        stopped_ = true;
        timer_.stop();
        fleets_->stop();
        // No change from a client after the table's last save.
        control_->stop();
        recordings_.stop();
        link_.close();
        saved_ = autosave_.stop();
        route_keeping_.finish();
    }
    return saved_;
}

void Program::tick() {
    if (stopped_) return;
    try {
        if (before_tick) before_tick();
        if (timer_.tick_in_second() == 0) pilot_.step();
        transmitter_.tick(timer_.tick_in_second());
        n2k_.flush();
    } catch (const std::exception& e) {
        // Every failure the tick knows of is handled inside it; anything else
        // is reported and the next second tries again, with the table intact.
        say(std::string("vadrel: errore durante il secondo di trasmissione: ") + e.what());
    }
    // A second of a replay is published as the replay sends it.
    const std::string sent = tap_.take();
    if (!recordings_.replay().running()) control_->publish(sent);
    if (timer_.tick_in_second() != 0) {
        if (after_tick) after_tick();
        return;
    }
    recordings_.second();
    fleets_->second(clock_.utc_seconds(), fleet_span(clock_));
    if (after_tick) after_tick();
    // Counted first, so a save that shows a message while the ticks go on is
    // not started again from inside it.
    if (++ticks_since_autosave_ >= save_interval / std::chrono::seconds(1)) {
        ticks_since_autosave_ = 0;
        // The routes' progress on the kept routes' worker, after what it was asked before.
        route_keeping_.keep_progress();
        autosave_.start();
    }
}

std::string Program::virtual_path(int number) const { return port_.virtual_path(number); }

}  // namespace vadrel
