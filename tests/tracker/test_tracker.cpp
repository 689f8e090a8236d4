// The tracked fleet: its file's refusals and forms, the devices' motion
// against the panel's vehicles, the zones, the spread of a second's
// reports, the TCP protocols on real sockets, the retry pause.

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>

#include "fleet/fleet.h"
#include "fleet_file_check.h"
#include "motion/dead_reckoning.h"
#include "nmea/sentences.h"
#include "os/descriptor.h"
#include "routes/geodesy.h"
#include "support/scratch_folder.h"
#include "tracker/device_connections.h"
#include "tracker/fleet_file.h"
#include "tracker/fleet_run.h"
#include "tracker/listener.h"
#include "tracker/sender_factory.h"
#include "tracker/traccar_sender.h"
#include "tracker/tracked_fleet.h"

namespace vadrel {
namespace {

using testing::Listener;
using testing::read_line;

const std::string header = "id;lat;lon;rotta;velocita_kmh\n";

std::string problem_in(const FleetReading& read) {
    const auto* problem = std::get_if<FleetProblem>(&read);
    return problem ? problem->message() : "";
}

std::vector<FleetEntry> entries_in(const FleetReading& read) {
    if (const auto* problem = std::get_if<FleetProblem>(&read)) ADD_FAILURE() << problem->message();
    const auto* entries = std::get_if<std::vector<FleetEntry>>(&read);
    return entries ? *entries : std::vector<FleetEntry>{};
}

std::string problem_of(const std::string& text) { return problem_in(read_fleet_text(text, "f.csv", "/d")); }
std::vector<FleetEntry> entries_of(const std::string& text) { return entries_in(read_fleet_text(text, "f.csv", "/d")); }

// A file refused names its line, the field and why: (row name, file, message).
TEST(FleetFile, RefusalsNameTheLineAndTheField) {
    const std::tuple<const char*, std::string, std::string> rows[] = {
        {"empty", "", "f.csv: il file è vuoto: manca l'intestazione (id;lat;lon;rotta;velocita_kmh)"},
        {"header only", header, "f.csv:1: il file non ha dispositivi"},
        {"column missing", "id;lat;lon;rotta\na;1;2;3\n", "f.csv:1: velocita_kmh: manca la colonna"},
        {"column unknown", "id;lat;lon;rotta;velocita_kmh;colore\n",
         "f.csv:1: colore: colonna sconosciuta (id, lat, lon, rotta, velocita_kmh, percorso, fine, intervallo, zona)"},
        {"column twice", "id;lat;lat;lon;rotta;velocita_kmh\n", "f.csv:1: lat: la colonna c'è due volte"},
        {"id empty", header + "a;1;2;3;4\n;1;2;3;4\n", "f.csv:3: id: manca l'identificativo"},
        {"id twice", header + "a;1;2;3;4\n# comment\na;1;2;3;4\n", "f.csv:4: id: \"a\" c'è già alla riga 2"},
        {"id with a comma", "id;lat;lon;rotta;velocita_kmh\n\"a,b\";1;2;3;4\n",
         "f.csv:2: id: \"a,b\": un identificativo ha da 1 a 64 lettere, cifre o - _ . : @ +"},
        {"id too long", header + std::string(65, 'x') + ";1;2;3;4\n",
         "f.csv:2: id: \"" + std::string(40, 'x') + "...\": un identificativo ha da 1 a 64 lettere, cifre o - _ . : @ +"},
        {"lat past the pole", header + "a;90.5;2;3;4\n", "f.csv:2: lat: \"90.5\" è fuori campo (da -90 a 90)"},
        {"lon no number", header + "a;1;est;3;4\n", "f.csv:2: lon: \"est\" non è un numero"},
        {"lon missing", header + "a;1;;3;4\n", "f.csv:2: lon: manca il valore"},
        {"course past 360", header + "a;1;2;361;4\n", "f.csv:2: rotta: \"361\" è fuori campo (da 0 a 360)"},
        {"speed negative", header + "a;1;2;3;-4\n", "f.csv:2: velocita_kmh: \"-4\" è fuori campo (da 0 a 10000)"},
        {"fields too few", header + "a;1;2;3\n", "f.csv:2: la riga ha 4 campi, l'intestazione 5"},
        {"quote open", header + "\"a;1;2;3;4\n", "f.csv:2: la riga ha una virgoletta non chiusa"},
        {"end without route", "id;lat;lon;rotta;velocita_kmh;fine\na;1;2;3;4;ciclo\n",
         "f.csv:2: fine: fine vale solo con un percorso"},
        {"end unknown", "id;lat;lon;rotta;velocita_kmh;percorso;fine\na;1;2;3;4;g.gpx;avanti\n",
         "f.csv:2: fine: \"avanti\" non è ferma, ciclo o indietro"},
        {"interval 0", "id;lat;lon;rotta;velocita_kmh;intervallo\na;1;2;3;4;0\n",
         "f.csv:2: intervallo: \"0\" non è un numero intero di secondi da 1 a 3600"},
        {"interval a fraction", "id;lat;lon;rotta;velocita_kmh;intervallo\na;1;2;3;4;1.5\n",
         "f.csv:2: intervallo: \"1.5\" non è un numero intero di secondi da 1 a 3600"},
        {"zone two numbers", "id;lat;lon;rotta;velocita_kmh;zona\na;1;2;3;4;1,2\n",
         "f.csv:2: zona: \"1,2\" non è LAT,LON,RAGGIO_KM"},
        {"zone radius 0", "id;lat;lon;rotta;velocita_kmh;zona\na;1;2;3;4;1,2,0\n",
         "f.csv:2: zona: il raggio dev'essere più di 0 km"},
        {"zone left behind", "id;lat;lon;rotta;velocita_kmh;zona\na;1;2;3;4;1,2.1,5\n",
         "f.csv:2: zona: la posizione del dispositivo (lat, lon) è fuori dalla zona"},
        {"zone and route", "id;lat;lon;rotta;velocita_kmh;percorso;zona\na;1;2;3;4;g.gpx;1,2,5\n",
         "f.csv:2: zona: un dispositivo con un percorso non ha una zona"},
        {"line too long", header + "a;1;2;3;4" + std::string(5000, ' ') + "\n",
         "f.csv:2: la riga è più lunga di 4096 byte"},
        {"NUL", header + std::string("a;1;2;3;4\0\n", 11), "f.csv: il file contiene byte NUL: non è testo"},
        {"not UTF-8", header + "a;1;2;3;4\n\xff;1;2;3;4\n", "f.csv:3: la riga non è testo UTF-8"},
        {"json unknown key", "[\n{\"id\": \"a\", \"lat\": 1, \"lon\": 2, \"rotta\": 3, \"velocita_kmh\": 4},\n{\"ip\": \"b\"}]",
         "f.csv:3: ip: campo sconosciuto (id, lat, lon, rotta, velocita_kmh, percorso, fine, intervallo, zona)"},
        {"json field missing", "[\n\n{\"id\": \"a\", \"lat\": 1, \"lon\": 2, \"rotta\": 3}]",
         "f.csv:3: velocita_kmh: manca il campo"},
        {"json value bad", "[{\"id\": \"a\",\n \"lat\": 91, \"lon\": 2, \"rotta\": 3, \"velocita_kmh\": 4}]",
         "f.csv:1: lat: \"91\" è fuori campo (da -90 a 90)"},
        {"json cut short", "[{\"id\": \"a\", \"lat\": 1,", "f.csv:1: il file finisce a metà"},
        {"json nested", "[{\"id\": [1]}]", "f.csv:1: un valore dev'essere una stringa o un numero"},
        {"json after the end", "[{\"id\": \"a\", \"lat\": 1, \"lon\": 2, \"rotta\": 3, \"velocita_kmh\": 4}] x",
         "f.csv:1: c'è altro dopo la fine della lista"},
        {"json empty", "[ ]", "f.csv:1: il file non ha dispositivi"},
    };
    for (const auto& [name, text, message] : rows) EXPECT_EQ(problem_of(text), message) << name;
}

// The same devices in every form: a BOM, CR LF, comments, a decimal comma
// with ";", quoted fields with ",", JSON; a route joined to the folder.
TEST(FleetFile, EveryFormGivesTheSameDevices) {
    const std::vector<FleetEntry> wanted = entries_of(
        "id;lat;lon;rotta;velocita_kmh;percorso;fine;intervallo;zona\n"
        "a;45.5;7.25;90;40;giro.gpx;ciclo;5;\n"
        "b;-10;-20;360;0;;;;-10,-20,1.5\n");
    ASSERT_EQ(wanted.size(), 2U);
    EXPECT_EQ(wanted[0].route, "/d/giro.gpx");
    EXPECT_EQ(wanted[0].end, RouteEnd::loop);
    EXPECT_EQ(wanted[0].interval, 5);
    EXPECT_EQ(wanted[1].course, 0.0) << "360 is north";
    EXPECT_EQ(wanted[1].zone, (DeviceZone{-10, -20, 1.5}));
    const std::pair<const char*, std::string> forms[] = {
        {"bom crlf comma", "\xEF\xBB\xBF# fleet\r\nID;LAT;lon;rotta;velocita_kmh;percorso;fine;intervallo;zona\r\n"
                           "a;45,5;7,25;90;40;giro.gpx;ciclo;5;\r\n\r\nb;-10;-20;360;0;;;;-10,-20,1.5\r\n"},
        {"commas", "id,lat,lon,rotta,velocita_kmh,percorso,fine,intervallo,zona\n"
                   "a,45.5,7.25,90,40,giro.gpx,ciclo,5,\nb,-10,-20,360,0,,,,\"-10,-20,1.5\"\n"},
        {"json", "[{\"id\": \"a\", \"lat\": 45.5, \"lon\": 7.25, \"rotta\": 90, \"velocita_kmh\": 40,\n"
                 "  \"percorso\": \"giro.gpx\", \"fine\": \"ciclo\", \"intervallo\": 5},\n"
                 " {\"id\": \"\\u0062\", \"lat\": -10, \"lon\": -20, \"rotta\": \"360\", \"velocita_kmh\": 0,"
                 " \"zona\": \"-10,-20,1.5\"}]"},
    };
    for (const auto& [name, text] : forms) {
        std::vector<FleetEntry> got = entries_of(text);
        ASSERT_EQ(got.size(), 2U) << name;
        for (std::size_t i = 0; i < 2; ++i) {
            got[i].line = wanted[i].line;
            EXPECT_EQ(got[i], wanted[i]) << name << " row " << i;
        }
    }
}

// The fuzzer's seed corpus: every rule of its check holds; "ko-" files are refused.
TEST(FleetFile, TheFuzzersCorpusHoldsItsRules) {
    ASSERT_FALSE(std::filesystem::is_empty(VADREL_FLEET_CORPUS)) << "the seed corpus is there";
    for (const auto& entry : std::filesystem::directory_iterator(VADREL_FLEET_CORPUS)) {
        const std::string name = entry.path().filename().string();
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(fuzzing::check_fleet_file(bytes), "") << name;
        EXPECT_EQ(problem_of(bytes).empty(), name.rfind("ko-", 0) != 0) << name << ": " << problem_of(bytes);
    }
}

// A FIFO or a folder is refused before it is read; a file is read whole.
TEST(FleetFile, OnlyRegularFilesAreRead) {
    const testing::ScratchFolder scratch;
    const std::string folder = scratch.path(), fifo = scratch.at("f.csv");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(problem_in(read_fleet_file(fifo)),
              fifo + ": non è un file normale (è una FIFO, un dispositivo o un socket)");
    EXPECT_EQ(problem_in(read_fleet_file(folder)), folder + ": è una cartella, non un file di flotta");
    std::filesystem::remove(fifo);
    std::ofstream(fifo) << header << "a;1;2;3;4\n";
    const std::vector<FleetEntry> read = entries_in(read_fleet_file(fifo));
    ASSERT_EQ(read.size(), 1U);
    EXPECT_EQ(read[0].id, "a");
}

// Instance K of N takes rows K, K+N, ...: every row once over the N instances.
TEST(FleetFile, PartsShareTheRowsWithoutOverlap) {
    std::vector<FleetEntry> entries(7);
    for (std::size_t i = 0; i < entries.size(); ++i) entries[i].id = std::to_string(i + 1);
    // (part, parts, rows taken)
    const std::tuple<int, int, std::string> rows[] = {
        {1, 1, "1234567"}, {1, 3, "147"}, {2, 3, "25"}, {3, 3, "36"}, {7, 7, "7"}, {2, 9, "2"},
    };
    for (const auto& [part, parts, taken] : rows) {
        std::string got;
        for (const FleetEntry& e : fleet_part(entries, part, parts)) got += e.id;
        EXPECT_EQ(got, taken) << part << "/" << parts;
    }
}

FleetEntry device(std::string id, double lat, double lon, double course, double kmh) {
    FleetEntry e;
    e.id = std::move(id);
    e.lat = lat;
    e.lon = lon;
    e.course = course;
    e.speed_kmh = kmh;
    return e;
}

// A device moves exactly as a panel's vehicle with the same course and
// speed, a second at a time and over longer steps, over a pole too; and
// each second's step is as long as the speed says, to the metre.
TEST(TrackedFleet, MovesAsThePanelsVehicles) {
    // (lat, lon, course, km/h, seconds between reports)
    const std::tuple<double, double, double, double, int> rows[] = {
        {45.0, 7.0, 90.0, 50.0, 1}, {-33.9, 151.2, 225.0, 120.0, 1}, {89.99, 10.0, 0.0, 900.0, 1},
        {0.0, 179.999, 90.0, 300.0, 3}, {60.0, -0.001, 270.0, 36.0, 7},
    };
    for (const auto& [lat, lon, course, kmh, interval] : rows) {
        FleetEntry e = device("d", lat, lon, course, kmh);
        e.interval = interval;
        TrackedFleet tracked({e}, 1, 1);
        const std::int64_t start = 1'700'000'000;
        tracked.start(start);
        Fleet fleet;
        ASSERT_FALSE(fleet.place(0, lat * 3600.0, lon * 3600.0, nullptr));
        fleet.set_unit(0, SpeedUnit::kmh, nullptr);
        fleet.set_speed(0, kmh, nullptr);
        fleet.set_course(0, course, nullptr);
        fleet.advance(0.0);
        std::optional<DeviceReport> before;
        for (std::int64_t s = start; s < start + 60; ++s) {
            if (!tracked.due(0, s)) continue;
            const DeviceReport r = tracked.report(0, s);
            fleet.advance(static_cast<double>(s - start));
            const Vehicle& v = fleet.vehicle(0);
            EXPECT_EQ(r.lat, v.lat / 3600.0) << lat << " at " << s - start;
            EXPECT_EQ(r.lon, v.lon / 3600.0) << lat << " at " << s - start;
            EXPECT_EQ(r.course, v.course) << lat << " at " << s - start;
            EXPECT_EQ(r.utc_ms, s * 1000);
            EXPECT_NEAR(r.speed_knots, kmh / 1.852, 1e-12);
            if (before && lat < 89.0) {
                const double metres = distance_m({before->lat, before->lon}, {r.lat, r.lon});
                EXPECT_NEAR(metres, kmh / 3.6 * static_cast<double>(r.utc_ms - before->utc_ms) / 1000.0, 1.0) << lat;
            }
            before = r;
        }
    }
}

// A device with a route goes from where it starts to the route's first
// point and along it, at its speed; a route that cannot be read is refused
// naming the row that gave it.
TEST(TrackedFleet, FollowsItsRouteAndRefusesABadOne) {
    const testing::ScratchFolder folder;
    folder.put("giro.csv", "lat;lon\n45.0;7.001\n45.0;7.01\n");
    folder.put("rotto.csv", "lat;lon\n95;7\n");
    folder.put("f.csv", "id;lat;lon;rotta;velocita_kmh;percorso;fine\na;45.0;7.0;0;36;giro.csv;ferma\n");
    const auto load = [&] {
        return TrackedFleet::load(entries_in(read_fleet_file(folder.at("f.csv"))), "f.csv", 1, 1);
    };
    auto loaded = load();
    ASSERT_TRUE(std::holds_alternative<TrackedFleet>(loaded)) << std::get<FleetProblem>(loaded).message();
    TrackedFleet& fleet = std::get<TrackedFleet>(loaded);
    ASSERT_EQ(fleet.size(), 1U);
    fleet.start(0);
    // 10 m/s: the first point (79 m east) after 8 s, on along 45 N, the end
    // (787 m from the start) after 79 s, and there it stays.
    const DeviceReport at5 = fleet.report(0, 5);
    EXPECT_NEAR(distance_m({45.0, 7.0}, {at5.lat, at5.lon}), 50.0, 0.5);
    EXPECT_NEAR(at5.course, 90.0, 0.01);
    EXPECT_NEAR(at5.speed_knots, 36.0 / 1.852, 1e-9);
    const DeviceReport at60 = fleet.report(0, 60);
    EXPECT_NEAR(distance_m({45.0, 7.0}, {at60.lat, at60.lon}), 600.0, 0.5);
    const DeviceReport at100 = fleet.report(0, 100);
    EXPECT_NEAR(at100.lon, 7.01, 1e-9);
    EXPECT_EQ(at100.speed_knots, 0.0) << "stopped at the end";
    std::ofstream(folder.at("f.csv"), std::ios::app) << "b;45.0;7.0;0;36;rotto.csv;\n";
    loaded = load();
    ASSERT_TRUE(std::holds_alternative<FleetProblem>(loaded));
    const std::string message = std::get<FleetProblem>(loaded).message();
    EXPECT_EQ(message.substr(0, 25), "f.csv:3: percorso: " + folder.path().substr(0, 6)) << message;
    EXPECT_NE(message.find("riga 2"), std::string::npos) << message;
}

// Wandering in its zone a device never leaves it, and does turn.
TEST(TrackedFleet, ZoneKeepsTheDevicesInside) {
    std::vector<FleetEntry> entries;
    for (int n = 0; n < 20; ++n) {
        FleetEntry e = device("z" + std::to_string(n), 45.0, 7.0, n * 18.0, 20.0 + n * 10.0);
        e.zone = DeviceZone{45.0, 7.0, 0.3};
        entries.push_back(e);
    }
    TrackedFleet tracked(entries, 1, 42);
    std::vector<int> turns(entries.size());
    for (std::int64_t s = 0; s < 3600; ++s) {
        for (std::size_t i = 0; i < tracked.size(); ++i) {
            const double course = tracked.state(i).course;
            const DeviceReport r = tracked.report(i, s);
            ASSERT_LE(distance_m({45.0, 7.0}, {r.lat, r.lon}), 300.0 + 1e-6) << i << " at " << s;
            if (r.course != course) ++turns[i];
        }
    }
    for (std::size_t i = 0; i < turns.size(); ++i) EXPECT_GT(turns[i], 5) << i;
    // The same seed, the same walk; another seed, another.
    TrackedFleet again(entries, 1, 42), other(entries, 1, 43);
    for (std::int64_t s = 0; s < 3600; ++s) again.advance(0, s), other.advance(0, s);
    EXPECT_EQ(again.state(0).lat, tracked.state(0).lat);
    EXPECT_NE(other.state(0).lat, tracked.state(0).lat);
}

// What a run gave its sender, and when by the test's clock `now`.
struct Recorded {
    using Time = std::chrono::steady_clock::time_point;
    struct Sent {
        std::uint32_t device;
        std::int64_t utc_ms;
        Time at;
    };
    Time now{};
    std::vector<Sent> sent;
    int services = 0;
};

class Recorder final : public ReportSender {
public:
    explicit Recorder(Recorded& log) : log_(log) {}
    void send(const DeviceReport& r) override { log_.sent.push_back({r.device, r.utc_ms, log_.now}); }
    SenderCounts counts() const override { return {log_.sent.size(), 0, 0, "collegato"}; }
    void service() override { ++log_.services; }

private:
    Recorded& log_;
};

std::vector<FleetEntry> alike(int count) {
    std::vector<FleetEntry> entries;
    for (int n = 0; n < count; ++n) entries.push_back(device("d" + std::to_string(n), 1, 2, 3, 4));
    return entries;
}

// `count` devices alike, and what their run sends.
struct RecordedRun : Recorded {
    RecordedRun(int count, int interval)
        : run(TrackedFleet(alike(count), interval, 1), std::make_unique<Recorder>(*this), "f", "x") {}
    FleetRun run;
};

// A second's reports go over the real second that follows, each device at
// its own moment, a few at each slice, never all at once; with an interval
// of 3 s a third of the devices a second; what a second left goes before
// the next.
TEST(FleetRun, ReportsSpreadOverTheSecond) {
    using namespace std::chrono_literals;
    // (devices, interval, slice every, reports of a second at most in one slice)
    const std::tuple<int, int, std::chrono::milliseconds, std::size_t> rows[] = {
        {1000, 1, 5ms, 6}, {600, 3, 5ms, 2}, {7, 1, 1ms, 1}, {10000, 2, 5ms, 26},
    };
    for (const auto& [count, interval, every, most] : rows) {
        RecordedRun t(count, interval);
        std::vector<int> per_device(static_cast<std::size_t>(count));
        for (std::int64_t s = 100; s < 106; ++s) {
            const Recorded::Time start = Recorded::Time{} + std::chrono::seconds(s);
            t.now = start;
            const std::size_t before = t.sent.size();
            t.run.second(s, t.now, 1s);
            std::size_t last = t.sent.size();
            EXPECT_LE(last - before, most) << count << " at the second itself";
            for (t.now = start + every; t.now < start + 1s; t.now += every) {
                t.run.slice(t.now);
                EXPECT_LE(t.sent.size() - last, most) << count << " in one slice";
                last = t.sent.size();
            }
            for (std::size_t k = before; k < t.sent.size(); ++k) {
                const auto& r = t.sent[k];
                // Its own second's, or the last one's left over.
                EXPECT_TRUE(r.utc_ms == s * 1000 || r.utc_ms == (s - 1) * 1000) << r.utc_ms;
                const double fraction = t.run.fleet().fraction(r.device);
                const double at = std::chrono::duration<double>(r.at - Recorded::Time{} -
                                                                std::chrono::milliseconds(r.utc_ms))
                                      .count();
                EXPECT_GE(at, fraction - 1e-9) << r.device;
                EXPECT_LT(at, fraction + std::chrono::duration<double>(every).count() + 1e-9) << r.device;
            }
        }
        t.run.second(106, t.now, 1s);  // what the last second left
        for (const auto& r : t.sent) {
            if (r.utc_ms < 106'000) ++per_device[r.device];
        }
        std::map<std::int64_t, int> per_second;
        for (const auto& r : t.sent) ++per_second[r.utc_ms / 1000];
        for (std::int64_t s = 100; s < 106; ++s) EXPECT_EQ(per_second[s], count / interval) << count << " at " << s;
        for (int n = 0; n < count; ++n) {
            EXPECT_EQ(per_device[static_cast<std::size_t>(n)], 6 / interval) << n;
        }
        EXPECT_GT(t.services, 6 * 100) << "the sender is serviced at every slice";
    }
}

TEST(FleetRun, WhatASecondLeftGoesBeforeTheNext) {
    using namespace std::chrono_literals;
    RecordedRun t(10, 1);
    t.run.second(7, t.now, 1s);
    t.run.slice(t.now + 450ms);
    EXPECT_EQ(t.sent.size(), 5U);
    EXPECT_EQ(t.run.pending(), 5U);
    t.run.second(8, t.now + 500ms, 1s);  // a clock ten times faster, or a late slice
    ASSERT_EQ(t.sent.size(), 11U);
    for (std::size_t k = 0; k < 10; ++k) EXPECT_EQ(t.sent[k].utc_ms, 7000) << k;
    EXPECT_EQ(t.sent[10].utc_ms, 8000);
    t.run.second(9, t.now + 600ms, 0s);  // at max: the rest of 8, then all of 9 at once
    EXPECT_EQ(t.sent.size(), 30U);
}

// The lines of the protocols, against checksums worked by hand.
TEST(TrackerProtocols, Lines) {
    const auto xor_of = [](const std::string& body) {
        unsigned char x = 0;
        for (const char c : body) x ^= static_cast<unsigned char>(c);
        char text[3];
        std::snprintf(text, sizeof text, "%02X", x);
        return std::string(text);
    };
    EXPECT_EQ(pgid_line("taxi-1"), "$PGID,taxi-1*" + xor_of("PGID,taxi-1") + "\r\n");
    DeviceReport r;
    r.lat = 44.0 + 1.7772 / 60.0;
    r.lon = -(10.0 + 8.0814 / 60.0);
    r.speed_knots = 21.6;
    r.course = 359.96;
    r.utc_ms = 1'049'919'328'000;  // 2003-04-09 20:15:28
    const std::string body = "GPRMC,201528,A,4401.7772,N,01008.0814,W,21.6,000.0,090403,000.0,W,";
    EXPECT_EQ(rmc_line(r), "$" + body + "*" + xor_of(body) + "\r\n");
}

TEST(TrackerProtocols, Destinations) {
    // (text, what comes of it: "" a sender, else the refusal)
    const std::pair<std::string, std::string> rows[] = {
        {"traccar:127.0.0.1:5023", ""},
        {"nmea:[::1]:10110", ""},
        {"traccar:127.0.0.1", "traccar: "},
        {"gps103:1.2.3.4:5", "protocollo \"gps103\" sconosciuto: traccar, nmea o osmand"},
        {"127.0.0.1", "\"127.0.0.1\" non è PROTOCOLLO:INDIRIZZO"},
        {"osmand:ftp://x", "osmand: indirizzo OsmAnd non valido"},
    };
    NameResolver resolver;
    for (const auto& [text, refusal] : rows) {
        auto made = make_report_sender(text, resolver, [] { return std::chrono::steady_clock::time_point{}; });
        if (refusal.empty()) {
            EXPECT_TRUE(std::holds_alternative<std::unique_ptr<ReportSender>>(made)) << text;
        } else {
            ASSERT_TRUE(std::holds_alternative<std::string>(made)) << text;
            EXPECT_EQ(std::get<std::string>(made).substr(0, refusal.size()), refusal) << text;
        }
    }
}

// Services the sender every 10 ms until `done`, for a second at most.
template <typename Done>
void serve_until(ReportSender& sender, Done done) {
    for (int k = 0; k < 100 && !done(); ++k) {
        pollfd none{};
        ::poll(&none, 0, 10);
        sender.service();
    }
}

// A Traccar sender to a listener of the test's own with a connection for
// each id: the server's side of each by the id its whole $PGID line gave.
struct TraccarLink {
    explicit TraccarLink(const std::vector<std::string>& ids, int receive_buffer = 0) {
        if (receive_buffer > 0) {
            ::setsockopt(server.fd.get(), SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
        }
        sender.expect(ids);
        for (std::size_t n = 0; n < ids.size(); ++n) {
            sender.service();
            Descriptor peer = server.accept_one();
            if (!peer) {
                ADD_FAILURE() << "no connection for id " << n + 1 << " of " << ids.size();
                return;
            }
            const std::string hello = read_line(peer.get());
            const std::string id = hello.substr(6, hello.find('*') - 6);
            EXPECT_EQ(hello, pgid_line(id));
            peers[id] = std::move(peer);
        }
        serve_until(sender, [&] { return sender.counts().connections >= ids.size(); });
    }
    Listener server;
    NameResolver resolver;
    TraccarSender sender{{"127.0.0.1", server.port}, resolver, [] { return std::chrono::steady_clock::now(); }};
    std::map<std::string, Descriptor> peers;
};

// On real sockets: each device its own connection, its $PGID first, then
// its reports; a device whose server hung up skips its reports and counts them.
TEST(TrackerProtocols, TraccarOverRealConnections) {
    TraccarLink link({"uno", "due", "tre"});
    TraccarSender& sender = link.sender;
    ASSERT_EQ(link.peers.size(), 3U);
    ASSERT_EQ(sender.counts().connections, 3U) << sender.counts().state;
    EXPECT_EQ(sender.counts().state, "collegato");
    DeviceReport r{"due", 45.5, 7.25, 0, 0, 0, 0, 1'700'000'000'000, 1};
    sender.send(r);
    EXPECT_EQ(read_line(link.peers["due"].get()), rmc_line(r));
    link.peers["tre"].reset();
    serve_until(sender, [&] { return sender.counts().connections != 3; });
    EXPECT_EQ(sender.counts().connections, 2U);
    r.device = 2;
    sender.send(r);
    EXPECT_EQ(sender.counts().sent, 1U);
    EXPECT_EQ(sender.counts().skipped, 1U);
    EXPECT_EQ(sender.counts().state, "2 di 3 collegati (il server ha chiuso la connessione)");
}

// A server that does not read: once the socket holds bytes it has not sent,
// reports are skipped whole, the connection stays up, and every line the
// server gets at last is whole.
TEST(TrackerProtocols, ASlowServerCostsReportsNeverHalfLines) {
    TraccarLink link({"lento"}, 4096);
    TraccarSender& sender = link.sender;
    ASSERT_EQ(link.peers.count("lento"), 1U);
    const Descriptor& peer = link.peers["lento"];
    DeviceReport r;
    r.id = "lento";
    for (int k = 0; k < 200000 && sender.counts().skipped == 0; ++k) {
        r.utc_ms = 1'700'000'000'000 + k * 1000LL;
        sender.send(r);
    }
    ASSERT_GT(sender.counts().skipped, 0U);
    // What was sent after the $PGID has reached the server, but for at most
    // the last line: nothing waits in the sender's queue to arrive late.
    int arrived = 0;
    ::ioctl(peer.get(), FIONREAD, &arrived);
    EXPECT_GE(static_cast<std::size_t>(arrived) + rmc_line(r).size(), sender.counts().sent * rmc_line(r).size());
    sender.service();
    EXPECT_EQ(sender.counts().connections, 1U) << sender.counts().state;
    std::string got;
    char buffer[65536];
    ::shutdown(peer.get(), SHUT_WR);
    for (ssize_t n = 1; n > 0;) {
        pollfd p{peer.get(), POLLIN, 0};
        if (::poll(&p, 1, 200) != 1) break;
        n = ::recv(peer.get(), buffer, sizeof buffer, 0);
        if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
        sender.service();
    }
    ASSERT_FALSE(got.empty());
    std::size_t lines = 0;
    for (std::size_t at = 0; at < got.size(); ++lines) {
        const std::size_t end = got.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << "a line cut short after " << lines;
        EXPECT_EQ(got.substr(at, 1), "$");
        at = end + 2;
    }
    EXPECT_EQ(lines, sender.counts().sent) << "every report sent";
}

// A server that is not there is tried again after 1, 2, 4 ... seconds.
TEST(TrackerProtocols, RetriesAfterTheDoublingPause) {
    Listener closed(false);  // bound, never listening: every connection refused
    std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
    NameResolver resolver;
    DeviceConnections links({"127.0.0.1", closed.port}, resolver, [&] { return now; });
    links.open(1, {});
    const auto settle = [&] {
        for (int k = 0; k < 3; ++k) {
            pollfd none{};
            ::poll(&none, 0, 5);  // the refusal comes back through the kernel
            links.service();
        }
    };
    settle();
    EXPECT_EQ(links.attempts(), 1U);
    // (seconds on, attempts by then)
    const std::pair<double, std::uint64_t> rows[] = {{0.5, 1}, {1.0, 2}, {2.9, 2}, {3.0, 3}, {6.9, 3}, {7.0, 4}, {15.0, 5}};
    const auto start = now;
    for (const auto& [seconds, attempts] : rows) {
        now = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
        settle();
        EXPECT_EQ(links.attempts(), attempts) << seconds;
    }
    EXPECT_EQ(links.connected(), 0U);
    EXPECT_FALSE(links.send(0, "x"));
}

}  // namespace
}  // namespace vadrel
