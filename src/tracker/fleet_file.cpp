#include "fleet_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "model/numbers.h"
#include "model/utf8.h"
#include "os/descriptor.h"
#include "os/system_error.h"
#include "routes/route_parsers.h"

namespace vadrel {

std::string FleetProblem::message() const {
    std::string text = file;
    if (line > 0) text += ":" + std::to_string(line);
    if (!field.empty()) text += (text.empty() ? "" : ": ") + field;
    return text + (text.empty() ? "" : ": ") + reason;
}

namespace fleet_parsing {

namespace {

bool id_character(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("-_.:@+").find(c) != std::string_view::npos;
}

std::string trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return std::string(text);
}

// A text from outside as a message may quote it: printable, cut short.
std::string quoted(std::string_view text) {
    std::string shown = printable(text.substr(0, 40));
    return "\"" + shown + (text.size() > 40 ? "..." : "") + "\"";
}

}  // namespace

RowChecker::RowChecker(std::string file, std::string folder, bool comma_decimals)
    : file_(std::move(file)), folder_(std::move(folder)), comma_(comma_decimals) {}

const std::vector<std::string>& RowChecker::required_columns() {
    static const std::vector<std::string> names{"id", "lat", "lon", "rotta", "velocita_kmh"};
    return names;
}

bool RowChecker::known_column(std::string_view name) {
    for (const char* known : {"id", "lat", "lon", "rotta", "velocita_kmh", "percorso", "fine", "intervallo", "zona"}) {
        if (name == known) return true;
    }
    return false;
}

bool RowChecker::fail(std::int64_t line, std::string field, std::string reason) {
    problem_ = {file_, line, std::move(field), std::move(reason)};
    return false;
}

std::optional<double> RowChecker::number(const std::string& text, std::int64_t line, const std::string& field,
                                         double low, double high) {
    const std::optional<double> value = route_parsing::read_decimal(text, comma_);
    if (!value) {
        fail(line, field, text.empty() ? "manca il valore" : quoted(text) + " non è un numero");
        return std::nullopt;
    }
    if (*value < low || *value > high) {
        fail(line, field, quoted(text) + " è fuori campo (da " + shortest_text(low) + " a " + shortest_text(high) + ")");
        return std::nullopt;
    }
    return value;
}

bool RowChecker::read_zone(const std::string& text, std::int64_t line, FleetEntry& entry) {
    std::vector<route_parsing::CsvField> parts;
    route_parsing::split_csv(text, ',', parts);
    if (parts.size() != 3) return fail(line, "zona", quoted(text) + " non è LAT,LON,RAGGIO_KM");
    const bool comma = comma_;
    comma_ = false;  // the zone's own commas part its numbers
    const auto lat = number(trimmed(parts[0].text), line, "zona", -90.0, 90.0);
    const auto lon = lat ? number(trimmed(parts[1].text), line, "zona", -180.0, 180.0) : std::nullopt;
    const auto radius = lon ? number(trimmed(parts[2].text), line, "zona", 0.0, max_zone_radius_km) : std::nullopt;
    comma_ = comma;
    if (!radius) return false;
    if (*radius <= 0.0) return fail(line, "zona", "il raggio dev'essere più di 0 km");
    entry.zone = DeviceZone{*lat, *lon, *radius};
    const GeoPoint centre{*lat, *lon};
    if (distance_m(centre, GeoPoint{entry.lat, entry.lon}) > *radius * 1000.0)
        return fail(line, "zona", "la posizione del dispositivo (lat, lon) è fuori dalla zona");
    return true;
}

bool RowChecker::add(const RowText& row) {
    const std::int64_t line = row.line;
    if (entries_.size() >= max_fleet_devices)
        return fail(line, "", "più di " + std::to_string(max_fleet_devices) + " dispositivi in un file");
    const auto text = [&](std::string_view name) -> std::string {
        for (const auto& [column, value] : row.fields) {
            if (column == name) return trimmed(value);
        }
        return {};
    };
    FleetEntry entry;
    entry.line = line;
    entry.id = text("id");
    if (entry.id.empty()) return fail(line, "id", "manca l'identificativo");
    if (entry.id.size() > max_device_id || !std::all_of(entry.id.begin(), entry.id.end(), id_character))
        return fail(line, "id", quoted(entry.id) + ": un identificativo ha da 1 a " + std::to_string(max_device_id) +
                                    " lettere, cifre o - _ . : @ +");
    const auto [seen, fresh] = ids_.emplace(entry.id, line);
    if (!fresh) return fail(line, "id", quoted(entry.id) + " c'è già alla riga " + std::to_string(seen->second));
    const auto lat = number(text("lat"), line, "lat", -90.0, 90.0);
    if (!lat) return false;
    const auto lon = number(text("lon"), line, "lon", -180.0, 180.0);
    if (!lon) return false;
    const auto course = number(text("rotta"), line, "rotta", 0.0, 360.0);
    if (!course) return false;
    const auto speed = number(text("velocita_kmh"), line, "velocita_kmh", 0.0, max_device_speed_kmh);
    if (!speed) return false;
    entry.lat = *lat;
    entry.lon = *lon;
    entry.course = *course == 360.0 ? 0.0 : *course;
    entry.speed_kmh = *speed;
    if (const std::string route = text("percorso"); !route.empty()) {
        if (route.find('\0') != std::string::npos || !is_utf8(route))
            return fail(line, "percorso", "il nome del file non è testo UTF-8");
        entry.route = route.front() == '/' || folder_.empty() ? route : folder_ + "/" + route;
    }
    if (const std::string end = text("fine"); !end.empty()) {
        if (entry.route.empty()) return fail(line, "fine", "fine vale solo con un percorso");
        if (end == "ferma") entry.end = RouteEnd::stop;
        else if (end == "ciclo") entry.end = RouteEnd::loop;
        else if (end == "indietro") entry.end = RouteEnd::back;
        else return fail(line, "fine", quoted(end) + " non è ferma, ciclo o indietro");
    }
    if (const std::string interval = text("intervallo"); !interval.empty()) {
        const auto seconds = read_whole<int>(interval, NumberSource::route_file);
        if (!seconds || *seconds < 1 || *seconds > max_report_interval)
            return fail(line, "intervallo", quoted(interval) + " non è un numero intero di secondi da 1 a " +
                                                std::to_string(max_report_interval));
        entry.interval = *seconds;
    }
    if (const std::string zone = text("zona"); !zone.empty()) {
        if (!entry.route.empty()) return fail(line, "zona", "un dispositivo con un percorso non ha una zona");
        if (!read_zone(zone, line, entry)) return false;
    }
    entries_.push_back(std::move(entry));
    return true;
}

namespace {

// The CSV form, a line at a time.
FleetReading read_fleet_csv(std::string_view bytes, const std::string& file, const std::string& folder) {
    std::vector<std::string> columns;
    char separator = ';';
    std::vector<route_parsing::CsvField> fields;
    std::optional<RowChecker> checker;
    std::int64_t line = 0;
    while (!bytes.empty()) {
        ++line;
        const std::size_t end = std::min(bytes.find('\n'), bytes.size());
        std::string_view text = bytes.substr(0, end);
        bytes.remove_prefix(std::min(end + 1, bytes.size()));
        if (text.size() > max_fleet_line_bytes)
            return FleetProblem{file, line, "", "la riga è più lunga di " + std::to_string(max_fleet_line_bytes) + " byte"};
        if (line == 1 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        const std::size_t first = text.find_first_not_of(" \t");
        if (first == std::string_view::npos || text[first] == '#') continue;
        if (!is_utf8(text)) return FleetProblem{file, line, "", "la riga non è testo UTF-8"};
        if (!checker) {
            separator = text.find(';') != std::string_view::npos    ? ';'
                        : text.find('\t') != std::string_view::npos ? '\t'
                                                                    : ',';
            if (!route_parsing::split_csv(text, separator, fields))
                return FleetProblem{file, line, "", "l'intestazione ha una virgoletta non chiusa"};
            for (const auto& field : fields) {
                std::string name = trimmed(field.text);
                std::transform(name.begin(), name.end(), name.begin(),
                               [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
                if (!RowChecker::known_column(name))
                    return FleetProblem{file, line, printable(name), "colonna sconosciuta (id, lat, lon, rotta, "
                                                                     "velocita_kmh, percorso, fine, intervallo, zona)"};
                if (std::find(columns.begin(), columns.end(), name) != columns.end())
                    return FleetProblem{file, line, name, "la colonna c'è due volte"};
                columns.push_back(name);
            }
            for (const std::string& needed : RowChecker::required_columns()) {
                if (std::find(columns.begin(), columns.end(), needed) == columns.end())
                    return FleetProblem{file, line, needed, "manca la colonna"};
            }
            checker.emplace(file, folder, separator != ',');
            continue;
        }
        if (!route_parsing::split_csv(text, separator, fields))
            return FleetProblem{file, line, "", "la riga ha una virgoletta non chiusa"};
        if (fields.size() != columns.size())
            return FleetProblem{file, line, "", "la riga ha " + std::to_string(fields.size()) + " campi, l'intestazione " +
                                                    std::to_string(columns.size())};
        RowText row;
        row.line = line;
        for (std::size_t i = 0; i < fields.size(); ++i) row.fields.emplace_back(columns[i], std::move(fields[i].text));
        if (!checker->add(row)) return checker->problem();
    }
    if (!checker) return FleetProblem{file, 0, "", "il file è vuoto: manca l'intestazione (id;lat;lon;rotta;velocita_kmh)"};
    if (checker->size() == 0) return FleetProblem{file, line, "", "il file non ha dispositivi"};
    return checker->take();
}

}  // namespace

}  // namespace fleet_parsing

FleetReading read_fleet_text(std::string_view bytes, const std::string& file, const std::string& folder) {
    if (bytes.size() > max_fleet_file_bytes)
        return FleetProblem{file, 0, "", "il file è più grande di " + std::to_string(max_fleet_file_bytes >> 20) + " MiB"};
    if (bytes.find('\0') != std::string_view::npos)
        return FleetProblem{file, 0, "", "il file contiene byte NUL: non è testo"};
    const std::size_t first = bytes.find_first_not_of(" \t\r\n");
    const bool bom = bytes.substr(0, 3) == "\xEF\xBB\xBF";
    const std::size_t start = bom ? bytes.find_first_not_of(" \t\r\n", 3) : first;
    if (start != std::string_view::npos && bytes[start] == '[') {
        fleet_parsing::RowChecker checker(file, folder, false);
        return fleet_parsing::read_fleet_json(bytes, checker, file);
    }
    return fleet_parsing::read_fleet_csv(bytes, file, folder);
}

FleetReading read_fleet_file(const std::string& path) {
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd) return FleetProblem{path, 0, "", "non si apre: " + italian_reason(errno)};
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) return FleetProblem{path, 0, "", "non si legge: " + italian_reason(errno)};
    if (S_ISDIR(status.st_mode)) return FleetProblem{path, 0, "", "è una cartella, non un file di flotta"};
    if (!S_ISREG(status.st_mode))
        return FleetProblem{path, 0, "", "non è un file normale (è una FIFO, un dispositivo o un socket)"};
    if (static_cast<std::uint64_t>(status.st_size) > max_fleet_file_bytes)
        return FleetProblem{path, 0, "", "il file è più grande di " + std::to_string(max_fleet_file_bytes >> 20) + " MiB"};
    std::string bytes;
    char buffer[65536];
    while (true) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return FleetProblem{path, 0, "", "non si legge: " + italian_reason(errno)};
        if (got == 0) break;
        // A file that grows while it is read stops at the bound too.
        if (bytes.size() + static_cast<std::size_t>(got) > max_fleet_file_bytes)
            return FleetProblem{path, 0, "", "il file è più grande di " + std::to_string(max_fleet_file_bytes >> 20) + " MiB"};
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    return read_fleet_text(bytes, path, folder);
}

std::vector<FleetEntry> fleet_part(std::vector<FleetEntry> entries, int part, int parts) {
    if (parts <= 1) return entries;
    std::vector<FleetEntry> taken;
    for (std::size_t i = static_cast<std::size_t>(part - 1); i < entries.size(); i += static_cast<std::size_t>(parts))
        taken.push_back(std::move(entries[i]));
    return taken;
}

}  // namespace vadrel
