#include "program.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <system_error>
#include <optional>

#include "app/places.h"
#include "app/scenario_run.h"
#include "control/access.h"
#include "control/control_token.h"
#include "control/vehicle_patch.h"
#include "os/path_target.h"
#include "os/signals.h"
#include "fleet/start_values.h"
#include "serial/virtual_port.h"
#include "routes/route_files.h"
#include "sky/replay_now.h"

namespace vadrel {

namespace {

// The longest the end waits for the routes being written (a million points
// take a few seconds on a slow disk).
constexpr std::chrono::seconds kept_routes_wait{20};

// "120 punti, 3.456 km".
std::string route_description(const Route& route) {
    char length[32];
    std::snprintf(length, sizeof length, "%.3f", route.length() / 1000.0);
    return std::to_string(route.size()) + (route.size() == 1 ? " punto, " : " punti, ") + length + " km";
}

std::string executable_folder() { return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString(); }

// The folder of the table. The user's data folder is made on first use; when
// it cannot be, the folder refuses to open and says why.
std::string table_folder(const Options& options) {
    const std::string folder = table_folder_of(options.folder, executable_folder(), user_data_folder());
    if (!options.folder) QDir().mkpath(QFile::decodeName(folder.c_str()));
    return folder;
}

// Puts into `kept` the fields that differ from `before` to `after`: the
// fault rates and seed go together, as the faults' dialog sets them.
void changed_fields(const ReceiverOptions& before, const ReceiverOptions& after, ReceiverOptions& kept) {
    const auto take = [&](auto ReceiverOptions::*field) {
        if (before.*field != after.*field) kept.*field = after.*field;
    };
    take(&ReceiverOptions::utc);
    take(&ReceiverOptions::real_motion);
    take(&ReceiverOptions::full_set);
    take(&ReceiverOptions::altitude);
    take(&ReceiverOptions::no_fix);
    const auto take_sky = [&](auto SkyOptions::*field) {
        if (before.sky_options.*field != after.sky_options.*field) kept.sky_options.*field = after.sky_options.*field;
    };
    take_sky(&SkyOptions::satellites);
    take_sky(&SkyOptions::mask);
    take_sky(&SkyOptions::obstructions);
    take_sky(&SkyOptions::noise);
    take_sky(&SkyOptions::rate);
    take_sky(&SkyOptions::talker);
    take_sky(&SkyOptions::sentences);
    Faults rates = after.faults;
    rates.enabled = before.faults.enabled;
    if (rates != before.faults) {
        const bool enabled = kept.faults.enabled;
        kept.faults = rates;
        kept.faults.enabled = enabled;
    }
    if (before.faults.enabled != after.faults.enabled) kept.faults.enabled = after.faults.enabled;
}

}  // namespace

Program::Program(const Options& options, Shell& shell)
    : options_(options),
      folder_(std::make_unique<ProgramFolder>(table_folder(options))),
      table_(std::make_unique<TableFile>(*folder_, &reserve_)),
      settings_file_(std::make_unique<SettingsFile>(*folder_)),
      shell_(shell) {
    // The command line's outputs, before a port or an output is opened.
    const auto check = [&](FileRole role, const std::optional<std::string>& path, FileRole other_role,
                           const std::optional<std::string>& other) {
        if (!path) return;
        std::vector<RoleFile> others;
        if (options.replay_from) others.push_back({FileRole::replay, *options.replay_from});
        if (other) others.push_back({other_role, *other});
        if (const std::string why = output_refusal(*path, role, *folder_, others); !why.empty()) {
            throw OutputRefused(why);
        }
    };
    check(FileRole::recording, options.record_to, FileRole::tracks, options.track_to);
    check(FileRole::tracks, options.track_to, FileRole::recording, options.record_to);
    for (const RouteArgument& given : options.routes) {
        given_routes_.push_back(read_route(given));
        // Parsing a route of many points leaves megabytes of small blocks
        // freed in the heap: back to the system before the next one.
        malloc_trim(0);
    }
    if (!settings_file_->problem().empty())
        settings_problems_.push_back(settings_file_->path() + ": " + settings_file_->problem());
    port_settings_ = read_port_settings(*settings_file_, settings_problems_);
    // before the window is made: the map takes them from there
    tile_settings_ = read_tile_settings(*settings_file_, settings_problems_);
    for (const auto& [number, mapping] : ports_for(port_settings_, options)) {
        if (mapping.virtual_port) {
            const VirtualSerialPort& com_port = port_.use_virtual(number, mapping.device);
            virtual_ports_.push_back("COM " + std::to_string(number) + ": " + com_port.slave_path());
            if (dialout_problem_.empty()) dialout_problem_ = com_port.dialout_problem();
        } else {
            port_.use_device(number, mapping.device);
        }
    }
    network_.add_to(output_);
    network_.set_on_event([this](const std::string& text) { say("vadrel: " + text); });
    output_.add(recorder_);
    output_.add(tap_);
    recorder_.on_event = [this](const std::string& text) { say("vadrel: " + text); };
    replay_.on_tick = [this](const std::string& bytes, const Delivery& delivery) {
        transmitter_.show_replayed(bytes, delivery);
        publish_second(bytes);
        if (after_tick) after_tick();
    };
    replay_.on_event = [this](const std::string& text) { say("vadrel: " + text); };
    replay_.on_finished = [this](const std::string& problem) {
        transmitter_.end_replay();
        std::string counts = std::to_string(replay_.sent()) + (replay_.sent() == 1 ? " secondo inviato" : " secondi inviati");
        if (replay_.skipped() > 0) counts += ", " + std::to_string(replay_.skipped()) + " saltati";
        say(problem.empty() ? "vadrel: riproduzione finita: " + counts
                            : "vadrel: riproduzione interrotta: " + problem + " (" + counts + ")");
        if (replay_finished) replay_finished(problem);
    };
    scenario_ = std::make_unique<ScenarioRun>(*this);
    control_target_ = std::make_unique<ProgramControl>(*this);
    control_ = std::make_unique<ControlServer>(*control_target_);
    control_->on_event = [this](const std::string& text) { say("vadrel: " + text); };
    transmitter_.set_supplement([this](double steady) { return ais_second(steady); });
    network_.set_greeting([this] { return ais_greeting(); });
    transmitter_.set_vehicle_output(&network_.streams());
    apply_start_options(fleet_, link_, options, this);
    // Why the port shows "No Tx" is said as the link changes, whoever changed it.
    link_.watch([this](LinkChange what, Link::Origin) {
        if (what == LinkChange::opened || what == LinkChange::closed) report_port();
    });
    connect(&timer_, &SecondTimer::tick, this, &Program::tick);
}

Program::~Program() = default;

Program::GivenRoute Program::read_route(const RouteArgument& given) {
    const std::string where = "--percorso " + std::to_string(given.vehicle) + "=" + given.file + ": ";
    RouteReading reading = read_route_file(given.file);
    if (const auto* problem = std::get_if<ReadProblem>(&reading)) throw RouteRefused(where + problem->message());
    auto& routes = std::get<std::vector<Route>>(reading);
    const auto chosen = choose_route(routes, given.request.choice);
    if (const auto* why = std::get_if<std::string>(&chosen)) throw RouteRefused(where + *why);
    Route route = std::move(routes[std::get<std::size_t>(chosen)]);
    if (const auto why = follow_problem(route, given.request.options)) throw RouteRefused(where + *why);
    return {given.vehicle, given.file, std::move(route), given.request.options};
}

void Program::give_routes() {
    // Nothing sent yet: a termination signal while the kept routes are read
    // ends the program at once, in the window program too.
    const TerminationDuringStart starting(start_interrupted, start_interrupted_status);
    // Said after why a route cannot be kept.
    const auto retried = [this](std::size_t n) {
        return std::string(routes_.may_keep_later(n)
                               ? "; il mezzo lo segue, e vadrel riprova a tenerlo a ogni salvataggio"
                               : "; il mezzo lo segue");
    };
    kept_routes_ = std::make_unique<KeptRoutes>(*folder_);
    const auto given_for = [this](std::size_t n) {
        return std::find_if(given_routes_.begin(), given_routes_.end(),
                            [n](const GivenRoute& given) { return given.vehicle == n; });
    };
    const auto resumed = [this](std::size_t n, std::size_t points) {
        say("vadrel: il mezzo " + std::to_string(n) + " riprende il suo percorso dal punto raggiunto (" +
            std::to_string(points) + (points == 1 ? " punto)" : " punti)"));
    };
    // Where the vehicle is stands in the table; a kept route goes on from
    // there. The command line's route replaces it, unless it is the same
    // route with the same options: then it goes on too.
    for (std::size_t n = 0; n < fleet_size; ++n) {
        // Reading a kept route of many points leaves megabytes freed in the
        // heap: back to the system before the next one, rather than resident.
        malloc_trim(0);
        auto kept = kept_routes_->read(n);
        const auto given = given_for(n);
        auto* route = std::get_if<KeptRoutes::Kept>(&kept);
        if (given != given_routes_.end()) {
            // Compared as read, point by point: a route kept by an earlier
            // version with more decimals than a point keeps is the same.
            if (!route || route->options != given->options || !(route->route == given->route)) continue;
            const std::size_t points = route->route.size();
            // The same route: the kept one goes on; the command line's otherwise.
            if (routes_.resume(n, std::move(route->route), route->options, route->progress, this)) continue;
            given_routes_.erase(given);
            resumed(n, points);
        } else if (const auto* why = std::get_if<std::string>(&kept)) {
            say("vadrel: il percorso tenuto per il mezzo " + std::to_string(n) + " non si usa: " + *why +
                "; i file restano come sono e il mezzo va dritto");
        } else if (route) {
            const std::size_t points = route->route.size();
            // Checked by read() already.
            if (routes_.resume(n, std::move(route->route), route->options, route->progress, this)) continue;
            resumed(n, points);
        }
    }
    // From here on every route given or taken away is kept or removed, on
    // the worker: what became of it is said when it is done.
    keeping_ = std::make_unique<KeptRoutesWorker>(
        *kept_routes_, [this](std::size_t n, const std::string& why, bool later) { routes_.finished(n, why, later); });
    routes_.set_keeper(keeping_.get());
    routes_.watch_keeping([this, retried](std::size_t n, const std::string& why, bool again) {
        const std::string vehicle = "vadrel: il mezzo " + std::to_string(n);
        if (routes_.has_route(n)) {
            if (!why.empty())
                say(vehicle + ": il percorso non si può tenere per il prossimo avvio: " + why + retried(n));
            else if (again)
                say("vadrel: il percorso del mezzo " + std::to_string(n) + " ora è tenuto per il prossimo avvio");
        } else if (!why.empty()) {
            say(vehicle + ": il percorso tenuto non si può togliere: " + why);
        }
    });
    for (GivenRoute& given : given_routes_) {
        const std::size_t n = given.vehicle;
        // Refused already at construction, if at all.
        if (routes_.give(n, std::move(given.route), given.options, this)) continue;
        const Route& route = routes_.route(n)->route;
        malloc_trim(0);  // the copy written, as above
        say("vadrel: il mezzo " + std::to_string(n) + " segue il percorso di " + given.file + " (" +
            route_description(route) + ")");
    }
    given_routes_.clear();
    malloc_trim(0);
    // The routes the others give and take away, said as the command line's are.
    routes_.watch([this](std::size_t n, Fleet::Origin) {
        const std::string vehicle = "vadrel: il mezzo " + std::to_string(n);
        if (const FollowedRoute* followed = routes_.route(n)) {
            const std::string& name = followed->route.name();
            say(vehicle + " segue il percorso" + (name.empty() ? "" : " \"" + name + "\"") + " (" +
                route_description(followed->route) + ")");
        } else {
            say(vehicle + " lascia il percorso e va dritto");
        }
    });
}

void Program::keep_progress() {
    if (!keeping_) return;
    // A route that could not be kept when given (a full disk) is tried again.
    routes_.keep_again();
    // After the keeps asked before, on the worker: never a GPX not yet written.
    std::vector<std::pair<std::size_t, RouteProgress>> progress;
    for (std::size_t n = 0; n < fleet_size; ++n) {
        if (const FollowedRoute* followed = routes_.route(n)) progress.emplace_back(n, followed->progress);
    }
    // Nothing to write: the worker's thread is not started for it.
    if (progress.empty()) return;
    keeping_->save_progress(std::move(progress), [this](const std::string& problem) { report_progress(problem); });
}

void Program::report_progress(const std::string& problem) {
    if (problem == kept_problem_) return;
    kept_problem_ = problem;
    say(problem.empty() ? std::string("vadrel: i percorsi si salvano di nuovo")
                        : "vadrel: il punto raggiunto sul percorso non si può salvare: " + problem);
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
    give_routes();
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

    // Network outputs: vadrel.ini beside vadrel.cnf, and the command line over it.
    std::vector<std::string> problems = std::move(settings_problems_);
    const OutputSettings from_file = read_network_settings(*settings_file_, problems);
    const ControlSettings control_file = read_control_settings(*settings_file_, problems);
    const ControlSettings control_in_force = control_for(control_file, options_);
    const auto control_port = [&]() -> std::vector<std::pair<int, std::string>> {
        if (!control_in_force.on) return {};
        return {{control_in_force.port, "dell'interfaccia di controllo"}};
    };
    if (const std::string problem = network_.apply(outputs_for(from_file, options_), control_port()); !problem.empty())
        problems.push_back(problem);
    fleet_.set_streams(network_.streams().on(), this);
    control_problem_ = apply_control(control_in_force);
    if (!control_problem_.empty()) problems.push_back(control_problem_);
    if (!problems.empty()) {
        std::string text = "Uscite:";
        for (const std::string& problem : problems) text += "\n" + problem;
        tell(text);
    }

    // The receiver options: vadrel.ini, and the command line over it.
    std::vector<std::string> receiver_problems;
    receiver_in_file_ = read_receiver_settings(*settings_file_, receiver_problems);
    receiver_in_force_ = receiver_for(receiver_in_file_, options_);
    use_receiver(receiver_in_force_);
    if (!receiver_problems.empty()) {
        std::string text = "Opzioni del ricevitore:";
        for (const std::string& problem : receiver_problems) text += "\n" + problem;
        tell(text);
    }
    if (const std::string chosen_options = describe_options(transmitter_.receiver()); !chosen_options.empty()) {
        say("vadrel: ricevitore: " + chosen_options);
    }

    // The AIS targets: vadrel.ini, and the command line over it.
    std::vector<std::string> ais_problems;
    ais_in_file_ = read_ais_settings(*settings_file_, ais_problems);
    ais_in_force_ = ais_per(ais_in_file_, options_);
    fleet_.set_targets(ais_in_force_.enabled, this);
    if (!ais_problems.empty()) {
        std::string text = "Bersagli AIS:";
        for (const std::string& problem : ais_problems) text += "\n" + problem;
        tell(text);
    }
    if (ais_in_force_.enabled) {
        say(std::string("vadrel: bersagli AIS: i mezzi da 0 a \"Numero di mezzi mobili\" - 1 tranne l'attuale") +
            (ais_in_force_.own_ship ? "; l'attuale come nave propria (!AIVDO)" : "") +
            (ais_in_force_.statics_at_once ? "; i dati statici subito a ogni nuovo client TCP" : ""));
    }
    timer_.start();
}

std::string Program::change_receiver(const ReceiverOptions& chosen_options) {
    changed_fields(receiver_in_force_, chosen_options, receiver_in_file_);
    receiver_in_force_ = chosen_options;
    use_receiver(chosen_options);
    if (!settings_file_) return {};
    return save_receiver_settings(*settings_file_, receiver_in_file_);
}

std::string Program::change_ais(const AisSettings& settings) {
    if (auto problem = fleet_identities_problem(settings.vehicles)) return problem->reason;
    // The switches the change leaves as they are stay in the file as they are there.
    if (settings.enabled != ais_in_force_.enabled) ais_in_file_.enabled = settings.enabled;
    if (settings.own_ship != ais_in_force_.own_ship) ais_in_file_.own_ship = settings.own_ship;
    if (settings.statics_at_once != ais_in_force_.statics_at_once) ais_in_file_.statics_at_once = settings.statics_at_once;
    ais_in_file_.vehicles = settings.vehicles;
    ais_in_force_ = settings;
    fleet_.set_targets(settings.enabled, this);
    if (!settings_file_) return {};
    return save_ais_settings(*settings_file_, ais_in_file_);
}

Transmitter::SupplementSecond Program::ais_second(double steady) {
    if (!fleet_.targets()) return {};
    std::vector<std::string> lines = ais_.second(ais_time(steady, clock_.utc_seconds()),
                                                 ais_fleet(fleet_, ais_in_force_.vehicles, ais_in_force_.own_ship));
    return {std::move(lines), ais_.positions_sent()};
}

std::string Program::ais_greeting() const {
    // The stations are those the last second sent; none go while the
    // targets are off or in multi-user mode.
    if (!ais_in_force_.statics_at_once || !fleet_.targets() || fleet_.mode() == Mode::multi_user) return {};
    std::string bytes;
    for (const std::string& line : ais_.static_sentences()) bytes += line + "\r\n";
    return bytes;
}

void Program::switch_fix_loss() {
    ReceiverOptions& chosen_options = receiver_in_force_;
    chosen_options.no_fix = !chosen_options.no_fix;
    use_receiver(chosen_options);
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

std::string Program::change_outputs(const OutputSettings& settings) {
    std::vector<std::pair<int, std::string>> taken;
    if (control_->listening()) taken.emplace_back(control_settings_.port, "dell'interfaccia di controllo");
    const std::string problems = network_.apply(settings, taken);
    fleet_.set_streams(network_.streams().on(), this);
    if (!problems.empty()) return problems;
    return save_output_settings(*settings_file_, settings);
}

std::string Program::apply_control(const ControlSettings& settings) {
    if (settings == control_settings_ && (control_->listening() || !settings.on)) return {};
    control_settings_ = settings;
    if (!settings.on) {
        if (control_->listening()) {
            control_->stop();
            say("vadrel: interfaccia di controllo spenta");
        }
        return {};
    }
    if (const std::string why = listen_host_problem(settings.address); !why.empty()) {
        control_->stop();
        return "interfaccia di controllo spenta: " + why;
    }
    std::string token;
    if (!is_loopback_host(settings.address)) {
        auto read = control_token(*folder_);
        if (const auto* why = std::get_if<std::string>(&read)) {
            control_->stop();
            return "interfaccia di controllo spenta: " + *why;
        }
        const ControlToken& key = std::get<ControlToken>(read);
        if (key.made || !token_told_) say("vadrel: " + token_notice(key, *folder_));
        token_told_ = true;
        token = key.value;
    }
    const auto port = static_cast<std::uint16_t>(settings.port);
    if (auto why = control_->start(ControlAddress{settings.address, port}, token)) return *why;
    return {};
}

std::string Program::change_control(const ControlSettings& settings) {
    const std::string problem = apply_control(settings);
    control_problem_ = problem;
    if (!problem.empty()) return problem;
    return save_control_settings(*settings_file_, settings);
}

std::string Program::change_tiles(const TileSettings& settings) {
    tile_settings_ = settings;
    return save_tile_settings(*settings_file_, settings);
}

std::string Program::control_status() const {
    if (!control_->listening()) return control_problem_.empty() ? "Spenta." : control_problem_ + ".";
    std::string status = "In ascolto su http://" + control_->address() + "/api/v1: " +
                         std::to_string(control_->connection_count()) + " connessioni, " +
                         std::to_string(control_->event_client_count()) + " client degli eventi.";
    if (control_->needs_token())
        status += " Ogni richiesta vuole la chiave di " + folder_->path() + "/vadrel.token.";
    return status;
}

void Program::publish_second(std::string_view bytes) {
    if (control_->event_client_count() == 0) return;
    control_->publish(bytes, control_target_->vehicles_in_use());
}

std::vector<RoleFile> Program::files_besides(FileRole role) const {
    std::vector<RoleFile> files;
    if (replay_.running()) files.push_back({FileRole::replay, replay_.path()});
    if (role != FileRole::recording && recorder_.recording()) files.push_back({FileRole::recording, recorder_.path()});
    if (role != FileRole::tracks && gpx_) files.push_back({FileRole::tracks, gpx_->path()});
    return files;
}

std::string Program::start_recording(const std::string& path) {
    if (const std::string why = output_refusal(path, FileRole::recording, *folder_, files_besides(FileRole::recording));
        !why.empty()) {
        return why;
    }
    const std::string why = recorder_.start(path);
    if (why.empty()) say("vadrel: registrazione in " + path);
    return why;
}

std::string Program::start_replay(const CheckedLog& log, double speed, bool loop, bool to_now) {
    if (recorder_.recording() && log.file && log.file->is(recorder_.path()))
        return "non si riproduce il registro che si sta registrando (" + log.path + ")";
    replay_.rewrite = nullptr;
    if (to_now) {
        // The seconds each round moves by, from its first timed sentence.
        replay_.rewrite = [this, by = std::optional<std::int64_t>(), round = 0](const std::string& bytes) mutable {
            if (round != replay_.round()) {
                round = replay_.round();
                by.reset();
            }
            std::string moved;
            for (std::size_t start = 0; start < bytes.size();) {
                std::size_t end = bytes.find('\n', start);
                end = end == std::string::npos ? bytes.size() : end + 1;
                const std::string_view line(bytes.data() + start, end - start);
                if (!by) {
                    if (const auto first = sentence_time(line)) {
                        const auto now_ms = static_cast<std::int64_t>(transmitter_.clock().utc_seconds() * 1000.0);
                        by = seconds_to_now(*first, now_ms);
                    }
                }
                moved += by ? moved_in_time(line, *by) : std::string(line);
                start = end;
            }
            return moved;
        };
    }
    transmitter_.begin_replay();
    const std::string why = replay_.start(log, speed, loop);
    if (!why.empty()) transmitter_.end_replay();
    return why;
}

std::string Program::start_tracks(const std::string& path) {
    if (const std::string why = output_refusal(path, FileRole::tracks, *folder_, files_besides(FileRole::tracks));
        !why.empty()) {
        return why;
    }
    // The same file chosen again starts anew: the writer of the old one lets it go first.
    if (gpx_ && path_target(gpx_->path()).same_as(path_target(path))) {
        finish_tracks();
        gpx_.reset();
    }
    auto tracks = std::make_unique<GpxTracks>(path);
    if (const std::string why = tracks->start(); !why.empty()) return why;
    finish_tracks();
    gpx_ = std::move(tracks);
    gpx_problem_.clear();
    gpx_->take(tracks_);
    gpx_->write();
    ticks_since_gpx_ = 0;
    say("vadrel: tracce GPX in " + path);
    return {};
}

void Program::stop_tracks() {
    if (!gpx_) return;
    // The writer may end itself on a failure it reports.
    const std::string path = gpx_->path();
    finish_tracks();
    gpx_.reset();
    say("vadrel: tracce GPX chiuse in " + path);
}

void Program::finish_tracks() {
    if (!gpx_) return;
    gpx_->take(tracks_);
    gpx_->finish();
    report_tracks();
}

void Program::report_tracks() {
    if (!gpx_) return;
    const std::string problem = gpx_->problem();
    if (problem != gpx_problem_) {
        say("vadrel: " + (problem.empty() ? "le tracce GPX in " + gpx_->path() + " si scrivono di nuovo" : problem));
        gpx_problem_ = problem;
    }
    if (gpx_->stopped()) gpx_.reset();
}

void Program::stop_replay() {
    replay_.stop();
    transmitter_.end_replay();
}

std::string Program::change_ports(const PortSettings& settings, Link::Origin origin) {
    for (const std::int16_t number : com_ports) {
        if (options_.com.contains(number)) continue;  // this run's --com stays
        const auto device = [number](const PortSettings& s) {
            const auto found = s.devices.find(number);
            return found == s.devices.end() ? default_device(number) : found->second;
        };
        if (device(settings) == device(port_settings_)) continue;
        link_.set_device(number, device(settings), origin);
    }
    port_settings_ = settings;
    return save_port_settings(*settings_file_, settings);
}

std::string Program::port_in_use(int number) const {
    return port_.describe(number) + (options_.com.contains(number) ? " (--com)" : "");
}

bool Program::stop() {
    if (!stopped_) {
        stopped_ = true;
        timer_.stop();
        wait_autosave();
        autosave_lent_.reset();
        // No change from a client after the table's last save.
        control_->stop();
        replay_.stop();
        recorder_.stop();
        finish_tracks();
        link_.close();
        saved_ = save_table(vehicle_table_, *table_, [this](const QString& text) { tell(text.toStdString()); });
        keep_progress();
        // A route given just before the end is kept whole, or not at all.
        if (keeping_ && !keeping_->wait(kept_routes_wait)) {
            say("vadrel: i percorsi non finiscono di scriversi: il prossimo avvio trova i precedenti");
        }
    }
    return saved_;
}

void Program::tick() {
    if (stopped_) return;
    try {
        if (before_tick) before_tick();
        transmitter_.tick(timer_.tick_in_second());
    } catch (const std::exception& e) {
        // Every failure the tick knows of is handled inside it; anything else
        // is reported and the next second tries again, with the table intact.
        say(std::string("vadrel: errore durante il secondo di trasmissione: ") + e.what());
    }
    // A second of a replay is published as the replay sends it.
    const std::string sent = tap_.take();
    if (!replay_.running()) publish_second(sent);
    if (timer_.tick_in_second() != 0) {
        if (after_tick) after_tick();
        return;
    }
    // The tick only hands the new points over; the writer appends them.
    if (gpx_) {
        gpx_->take(tracks_);
        if (++ticks_since_gpx_ >= 60) {
            ticks_since_gpx_ = 0;
            gpx_->write();
        }
        report_tracks();
    }
    if (after_tick) after_tick();
    // Counted first, so a save that shows a message while the ticks go on is
    // not started again from inside it.
    if (++ticks_since_autosave_ >= save_interval / std::chrono::seconds(1)) {
        ticks_since_autosave_ = 0;
        start_autosave();
    }
}

void Program::start_autosave() {
    // The routes' progress on the kept routes' worker, after what it was asked before.
    keep_progress();
    // One still writing: the next round sees what changed since.
    if (autosave_.joinable()) return;
    std::string text = vehicle_table_.text();
    if (table_->is_saved(text)) return;
    autosave_lent_.emplace(reserve_.lend());
    autosave_ = std::jthread([this, text = std::move(text), positions = vehicle_table_.positions_text()] {
        TableFile::Outcome table = table_->save_lent(text, positions);
        QMetaObject::invokeMethod(
            this, [this, table = std::move(table)] { finish_autosave(table); }, Qt::QueuedConnection);
    });
}

void Program::finish_autosave(const TableFile::Outcome& table) {
    if (stopped_) return;  // the last save, at the stop, says its own
    report_autosave(*table_, table, [this](const QString& text) { tell(text.toStdString()); });
    wait_autosave();
    autosave_lent_.reset();
}

void Program::wait_autosave() {
    if (autosave_.joinable()) autosave_.join();
}

}  // namespace vadrel
