#include "kept_routes.h"

#include <QByteArray>
#include <QCryptographicHash>
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

std::string fingerprint_of(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toStdString();
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
std::string KeptRoutes::route_name(std::size_t n) { return state_name(n) + ".gpx"; }

std::string KeptRoutes::keep(std::size_t n, const Route& route, const FollowOptions& options,
                             const RouteProgress& progress) {
    written_.at(n).reset();
    // The old state first: a start after a failure half way finds no state
    // that a new route file could be taken for.
    if (const std::string why = forget(n); !why.empty()) return why;
    const QByteArray gpx = route_gpx(route);
    if (const FileError error = folder_.replace(route_name(n), std::string_view(gpx.constData(), gpx.size()))) {
        folder_.remove(route_name(n));
        return folder_.shown(route_name(n)).toStdString() + ": " + error.text().toStdString();
    }
    written_.at(n) = Written{fingerprint_of(gpx), options, progress};
    if (std::string why = write_state(n, options, progress); !why.empty()) {
        forget(n);
        return why;
    }
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

bool KeptRoutes::holds(std::size_t n, const Route& route, const FollowOptions& options) const {
    const std::optional<Written>& written = written_.at(n);
    return written && written->options == options && written->fingerprint == fingerprint_of(route_gpx(route));
}

std::string KeptRoutes::forget(std::size_t n) {
    written_.at(n).reset();
    for (const std::string& name : {state_name(n), route_name(n)}) {
        if (folder_.look(name).kind == FolderEntry::Kind::missing) continue;
        if (!folder_.remove(name)) {
            return folder_.shown(name).toStdString() + ": non si può togliere: " + italian_reason(errno);
        }
    }
    return {};
}

std::variant<std::monostate, KeptRoutes::Kept, std::string> KeptRoutes::read(std::size_t n) {
    written_.at(n).reset();
    int state_error = 0, route_error = 0;
    const std::optional<std::string> state = folder_.read(state_name(n), max_state_bytes, &state_error);
    const std::optional<std::string> gpx = folder_.read(route_name(n), max_file_bytes, &route_error);
    if (!state && !gpx && state_error == ENOENT && route_error == ENOENT) return std::monostate{};
    const std::string state_shown = folder_.shown(state_name(n)).toStdString();
    const std::string route_shown = folder_.shown(route_name(n)).toStdString();
    if (!state) return state_shown + " " + unread(state_error);
    if (!gpx) return route_shown + " " + unread(route_error);

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
    const auto request = read_route_request(*options_line);
    if (const auto* why = std::get_if<std::string>(&request)) return state_shown + ": " + *why;
    if (!std::get<RouteRequest>(request).choice.empty()) return damaged;
    const FollowOptions options = std::get<RouteRequest>(request).options;
    const auto progress = read_progress(*progress_line);
    if (const auto* why = std::get_if<std::string>(&progress)) return state_shown + ": " + *why;

    // The file's bytes as they are, not copied: a route may be megabytes.
    const QByteArray bytes = QByteArray::fromRawData(gpx->data(), static_cast<qsizetype>(gpx->size()));
    if (fingerprint_of(bytes) != *fingerprint) {
        return route_shown + " non è il percorso che " + state_shown + " descrive (è stato cambiato o sostituito)";
    }
    // Read a piece at a time, as a file is: the reader's memory stays bounded.
    std::size_t at = 0;
    const PieceSource pieces = [&gpx, &at]() {
        const std::string_view piece = std::string_view(*gpx).substr(at, 64 * 1024);
        at += piece.size();
        return Piece{piece, {}};
    };
    RouteReading reading = read_route_source(pieces, RouteFormat::gpx, gpx->size());
    if (const auto* problem = std::get_if<ReadProblem>(&reading)) return route_shown + ": " + problem->message();
    auto& routes = std::get<std::vector<Route>>(reading);
    if (routes.size() != 1) return route_shown + " non contiene un solo percorso";
    Kept kept{std::move(routes.front()), options, std::get<RouteProgress>(progress)};
    if (const auto why = follow_problem(kept.route, kept.options)) return route_shown + ": " + *why;
    if (const auto why = progress_problem(kept.route, kept.options, kept.progress)) return state_shown + ": " + *why;
    written_.at(n) = Written{std::string(*fingerprint), kept.options, kept.progress};
    return kept;
}

}  // namespace vadrel
