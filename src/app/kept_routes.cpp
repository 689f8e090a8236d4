#include "kept_routes.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QIODevice>
#include <QMetaObject>
#include <memory>
#include <algorithm>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <string_view>
#include <vector>

#include "os/system_error.h"
#include "routes/route_files.h"
#include "routes/route_text.h"

namespace vadrel {

namespace {

constexpr std::string_view first_line = "vadrel percorso 1";
// The state's lines are short; anything longer is not ours.
constexpr std::size_t max_state_bytes = 4096;

constexpr std::size_t piece_bytes = 64 * 1024;

// A device that hands what is written to it on, a piece at a time, so that
// a route's GPX is never whole in memory.
class PieceDevice final : public QIODevice {
public:
    explicit PieceDevice(std::function<void(std::string_view)> take) : take_(std::move(take)) {
        open(QIODevice::WriteOnly);
    }
    ~PieceDevice() override { flush_pieces(); }
    void flush_pieces() {
        if (!held_.empty()) take_(held_);
        held_.clear();
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        held_.append(data, static_cast<std::size_t>(size));
        if (held_.size() >= piece_bytes) flush_pieces();
        return size;
    }

private:
    std::function<void(std::string_view)> take_;
    std::string held_;
};

// The route as kept, written through `take`; its SHA-256 in hex.
std::string write_kept(const Route& route, const std::function<void(std::string_view)>& take) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    {
        PieceDevice device([&](std::string_view piece) {
            hash.addData(QByteArrayView(piece.data(), static_cast<qsizetype>(piece.size())));
            if (take) take(piece);
        });
        write_route_gpx(route, device);
    }
    return hash.result().toHex().toStdString();
}

// The hex digits of a SHA-256 as kept (lower case).
bool is_hex(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Whether `name` is the GPX of the vehicle whose state is `state`: state.gpx
// or state.F.gpx, F of kept_route_mark_digits hex digits.
bool is_route_of(std::string_view name, std::string_view state) {
    constexpr std::string_view gpx = ".gpx";
    if (!name.starts_with(state) || !name.ends_with(gpx)) return false;
    name = name.substr(state.size(), name.size() - state.size() - gpx.size());
    if (name.empty()) return true;
    return name.size() == kept_route_mark_digits + 1 && name[0] == '.' && is_hex(name.substr(1));
}

// Why a name of the folder could not be read, in Italian.
std::string unread(int code) {
    if (code == ENOENT) return "manca";
    if (code == 0) return "non è un file normale dell'utente";
    return "non si può leggere: " + italian_reason(code);
}

// "key=value" on its own line, the key as given; the value may be empty.
std::optional<std::string_view> value_of(std::string_view line, std::string_view key) {
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != '=') return std::nullopt;
    return line.substr(key.size() + 1);
}

}  // namespace

std::string KeptRoutes::state_name(std::size_t n) { return std::string(kept_route_base) + "." + std::to_string(n); }

std::string KeptRoutes::route_name(std::size_t n, std::string_view fingerprint) {
    if (fingerprint.empty()) return state_name(n) + ".gpx";
    return state_name(n) + "." + std::string(fingerprint.substr(0, kept_route_mark_digits)) + ".gpx";
}

std::string KeptRoutes::keep(std::size_t n, const Route& route, const FollowOptions& options,
                             const RouteProgress& progress) {
    written_.at(n).reset();
    too_large_.at(n) = false;
    std::string fingerprint;
    std::uint64_t bytes = 0;
    // Written as it is made (a route of many points is never whole in
    // memory), under the name its hash gives, beside the old route.
    FileError error = folder_.replace_with(
        [&](const ProgramFolder::PieceWriter& put) {
            fingerprint = write_kept(route, [&](std::string_view piece) {
                bytes += piece.size();
                if (bytes <= max_file_bytes) put(piece);
            });
        },
        [&] { return route_name(n, fingerprint); });
    const std::string name = route_name(n, fingerprint);
    std::string why;
    if (error) {
        why = folder_.shown(name).toStdString() + ": " + error.text().toStdString();
    } else if (bytes > max_file_bytes) {
        folder_.remove(name);
        too_large_.at(n) = true;
        why = "il percorso scritto in GPX passa " + std::to_string(max_file_bytes / (1024 * 1024)) +
              " MiB, più di quanto vadrel rilegge";
    } else {
        written_.at(n) = Written{fingerprint, options, progress};
        // The state names the new route only once that is on disk whole.
        why = write_state(n, options, progress);
    }
    if (!why.empty()) {
        // The old route is not kept in place of the one the vehicle follows.
        forget(n);
        return why;
    }
    // Kept: an old route that cannot be removed now is a left-over the next read removes.
    remove_routes(n, name);
    return {};
}

std::string KeptRoutes::write_state(std::size_t n, const FollowOptions& options, const RouteProgress& progress) {
    std::optional<Written>& written = written_.at(n);
    const std::string text = std::string(first_line) + "\nimpronta=" + written->fingerprint +
                             "\nopzioni=" + options_text(options) + "\navanzamento=" + progress_text(progress) +
                             "\n";
    if (const FileError error = folder_.replace(state_name(n), text)) {
        return folder_.shown(state_name(n)).toStdString() + ": " + error.text().toStdString();
    }
    written->options = options;
    written->progress = progress;
    return {};
}

std::string KeptRoutes::save_progress(std::size_t n, const RouteProgress& progress) {
    const std::optional<Written>& written = written_.at(n);
    if (!written || written->progress == progress) return {};
    return write_state(n, written->options, progress);
}

std::string KeptRoutes::forget(std::size_t n) {
    written_.at(n).reset();
    // The state first: a route file no state names is a left-over.
    if (folder_.look(state_name(n)).kind != FolderEntry::Kind::missing && !folder_.remove(state_name(n))) {
        return folder_.shown(state_name(n)).toStdString() + ": non si può togliere: " + italian_reason(errno);
    }
    return remove_routes(n);
}

std::string KeptRoutes::remove_routes(std::size_t n, const std::string& used) {
    for (const std::string& name : folder_.names()) {
        if (name == used || !is_route_of(name, state_name(n))) continue;
        if (!folder_.remove(name) && errno != ENOENT) {
            return folder_.shown(name).toStdString() + ": non si può togliere: " + italian_reason(errno);
        }
    }
    return {};
}

std::variant<std::monostate, KeptRoutes::Written, std::string> KeptRoutes::read_state(std::size_t n) {
    int state_error = 0;
    const std::optional<std::string> state = folder_.read(state_name(n), max_state_bytes, &state_error);
    const std::string state_shown = folder_.shown(state_name(n)).toStdString();
    if (!state && state_error == ENOENT) return std::monostate{};
    if (!state) return state_shown + " " + unread(state_error);

    // Four lines, in their order, each ended.
    std::vector<std::string_view> lines;
    std::string_view rest = *state;
    while (!rest.empty() && lines.size() <= 4) {
        const std::size_t end = rest.find('\n');
        if (end == std::string_view::npos) break;
        lines.push_back(rest.substr(0, end));
        rest.remove_prefix(end + 1);
    }
    const std::string damaged = state_shown + " non è lo stato di un percorso di vadrel";
    if (lines.size() != 4 || !rest.empty() || lines[0] != first_line) return damaged;
    const auto fingerprint = value_of(lines[1], "impronta");
    const auto options_line = value_of(lines[2], "opzioni");
    const auto progress_line = value_of(lines[3], "avanzamento");
    if (!fingerprint || !options_line || !progress_line) return damaged;
    if (fingerprint->size() != 64 || !is_hex(*fingerprint)) return damaged;
    const auto request = read_route_request(*options_line);
    if (const auto* why = std::get_if<std::string>(&request)) return state_shown + ": " + *why;
    if (!std::get<RouteRequest>(request).choice.empty()) return damaged;
    const auto progress = read_progress(*progress_line);
    if (const auto* why = std::get_if<std::string>(&progress)) return state_shown + ": " + *why;
    return Written{std::string(*fingerprint), std::get<RouteRequest>(request).options,
                   std::get<RouteProgress>(progress)};
}

std::pair<Descriptor, std::string> KeptRoutes::open_route(std::size_t n, const std::string& fingerprint,
                                                          int& error) const {
    // The route the state names; an earlier version's under its one name.
    std::string route_file = route_name(n, fingerprint);
    Descriptor gpx = folder_.open_own(route_file, &error);
    if (!gpx && error == ENOENT) {
        int legacy_error = 0;
        Descriptor legacy = folder_.open_own(route_name(n), &legacy_error);
        if (legacy || legacy_error != ENOENT) {
            route_file = route_name(n);
            error = legacy_error;
            gpx = std::move(legacy);
        }
    }
    return {std::move(gpx), route_file};
}

std::variant<Route, std::string> KeptRoutes::read_route(const Descriptor& gpx, const std::string& fingerprint,
                                                        const std::string& route_shown, const std::string& changed) {
    // Hashed whole before a byte is parsed: a file put in its place, however
    // hostile to the reader, is refused after one read. Then read a piece at
    // a time: a route of many points is never whole in memory.
    struct stat status {};
    if (::fstat(gpx.get(), &status) != 0) return route_shown + " " + unread(errno);
    if (static_cast<std::uint64_t>(status.st_size) > max_file_bytes) return changed;  // never one vadrel wrote
    std::string buffer(piece_bytes, '\0');
    const PieceSource pieces = [&]() -> Piece {
        while (true) {
            const ssize_t got = ::read(gpx.get(), buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return {{}, "non si può leggere: " + italian_reason(errno)};
            return {std::string_view(buffer.data(), static_cast<std::size_t>(got)), {}};
        }
    };
    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::uint64_t hashed = 0;
    for (Piece piece = pieces(); !piece.bytes.empty() || !piece.failure.empty(); piece = pieces()) {
        if (!piece.failure.empty()) return route_shown + " " + piece.failure;
        hashed += piece.bytes.size();
        if (hashed > max_file_bytes) return changed;  // grown since it was looked at
        hash.addData(QByteArrayView(piece.bytes.data(), static_cast<qsizetype>(piece.bytes.size())));
    }
    if (hash.result().toHex().toStdString() != fingerprint) return changed;
    if (::lseek(gpx.get(), 0, SEEK_SET) != 0) return route_shown + " " + unread(errno);
    RouteReading reading = read_route_source(pieces, RouteFormat::gpx, hashed);
    if (const auto* problem = std::get_if<ReadProblem>(&reading)) return route_shown + ": " + problem->message();
    auto& routes = std::get<std::vector<Route>>(reading);
    if (routes.size() != 1) return route_shown + " non contiene un solo percorso";
    return std::move(routes.front());
}

std::variant<std::monostate, KeptRoutes::Kept, std::string> KeptRoutes::read(std::size_t n) {
    written_.at(n).reset();
    auto state = read_state(n);
    if (std::holds_alternative<std::monostate>(state)) {
        // No state: a route file here is a left-over of a keep cut short
        // before its state was written, or of a forget.
        remove_routes(n);
        return std::monostate{};
    }
    if (auto* why = std::get_if<std::string>(&state)) return std::move(*why);
    Written& written = std::get<Written>(state);
    const std::string state_shown = folder_.shown(state_name(n)).toStdString();

    int route_error = 0;
    auto [gpx, route_file] = open_route(n, written.fingerprint, route_error);
    const std::string route_shown = folder_.shown(route_file).toStdString();
    if (!gpx) return route_shown + " " + unread(route_error);
    const std::string changed =
        route_shown + " non è il percorso che " + state_shown + " descrive (è stato cambiato o sostituito)";
    auto route = read_route(gpx, written.fingerprint, route_shown, changed);
    if (auto* why = std::get_if<std::string>(&route)) return std::move(*why);

    Kept kept{std::move(std::get<Route>(route)), written.options, written.progress};
    if (const auto why = follow_problem(kept.route, kept.options)) return route_shown + ": " + *why;
    if (const auto why = progress_problem(kept.route, kept.options, kept.progress)) return state_shown + ": " + *why;
    written_.at(n) = std::move(written);
    // Whatever else this vehicle's names hold is a left-over of a keep cut short.
    remove_routes(n, route_file);
    return kept;
}

KeptRoutesWorker::KeptRoutesWorker(KeptRoutes& kept, Done done) : kept_(kept), done_(std::move(done)) {
    // One thread: the tasks run in the order asked.
    pool_.setMaxThreadCount(1);
    pool_.setExpiryTimeout(-1);
}

KeptRoutesWorker::~KeptRoutesWorker() {
    pool_.clear();
    pool_.waitForDone();
}

void KeptRoutesWorker::post(std::function<std::function<void()>()> task) {
    pool_.start([this, task = std::move(task)] {
        std::function<void()> back = task();
        // Dropped if the worker is gone by then.
        QMetaObject::invokeMethod(&home_, std::move(back), Qt::QueuedConnection);
    });
}

std::optional<std::string> KeptRoutesWorker::keep(std::size_t n, const Route& route, const FollowOptions& options,
                                                  const RouteProgress& progress) {
    // The one copy made here: the vehicle's own may change before it is written.
    auto shared = std::make_shared<const Route>(route);
    post([this, n, shared = std::move(shared), options, progress]() -> std::function<void()> {
        std::string why = kept_.keep(n, *shared, options, progress);
        const bool later = kept_.may_keep_later(n);
        return [this, n, why = std::move(why), later] { done_(n, why, later); };
    });
    return std::nullopt;
}

std::optional<std::string> KeptRoutesWorker::forget(std::size_t n) {
    post([this, n]() -> std::function<void()> {
        std::string why = kept_.forget(n);
        return [this, n, why = std::move(why)] { done_(n, why, true); };
    });
    return std::nullopt;
}

void KeptRoutesWorker::save_progress(std::vector<std::pair<std::size_t, RouteProgress>> progress,
                                     std::function<void(const std::string&)> saved) {
    post([this, progress = std::move(progress), saved = std::move(saved)]() -> std::function<void()> {
        std::string problem;
        for (const auto& [n, along] : progress) {
            const std::string why = kept_.save_progress(n, along);
            if (!why.empty() && problem.empty()) problem = why;
        }
        return [saved, problem = std::move(problem)] { saved(problem); };
    });
}

bool KeptRoutesWorker::wait(std::chrono::milliseconds limit) {
    return pool_.waitForDone(static_cast<int>(limit.count()));
}

}  // namespace vadrel
