#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QProcess>
#include <QStandardPaths>
#include <string>
#include <tuple>
#include <vector>

#include "routes/route_files.h"
#include "support/scratch_folder.h"

namespace vadrel {
namespace {

const std::vector<Route>& routes_of(const RouteReading& read) {
    static const std::vector<Route> none;
    if (const auto* problem = std::get_if<ReadProblem>(&read)) {
        ADD_FAILURE() << problem->message();
        return none;
    }
    return std::get<std::vector<Route>>(read);
}

// Why a reading was refused.
std::string refusal(const RouteReading& read) {
    const auto* problem = std::get_if<ReadProblem>(&read);
    return problem ? problem->reason : "<letto senza problemi>";
}

RouteReading read_text(const std::string& text, RouteFormat format) {
    return read_route_file(QByteArray::fromStdString(text), format);
}

const std::string gpx_head =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"t\" "
    "xmlns=\"http://www.topografix.com/GPX/1/1\" "
    "xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\">\n";

// Each format as its writers write it: what the routes hold, point by point.
TEST(RouteFiles, GoodFilesOfEachFormat) {
    // name, format, text, the routes' names in order, the points of the first route and its last point (a
    // speed is kept as a float)
    using Names = std::vector<std::string>;
    const std::tuple<const char*, RouteFormat, std::string, Names, std::size_t, RoutePoint> rows[] = {
        {"GPX rte, then its waypoints as a route of their own", RouteFormat::gpx,
         gpx_head + "<wpt lat=\"1\" lon=\"2\"/><wpt lat=\"3\" lon=\"4\"/>\n<rte><name>Andata</name>"
                    "<rtept lat=\"45.5\" lon=\"9.25\"><name>A</name></rtept><rtept lat=\"45.6\" lon=\"9.3\"/></rte></gpx>",
         {"Andata", "waypoint"}, 2, {45.6, 9.3}},
        {"GPX trk: segments joined, times, Garmin speeds", RouteFormat::gpx,
         gpx_head + "<trk><name>Giro</name><trkseg><trkpt lat=\"10\" lon=\"20\"><time>2024-05-01T10:00:00Z</time>"
                    "</trkpt></trkseg><trkseg><trkpt lat=\"10.001\" lon=\"20\"><ele>3</ele><time>2024-05-01T10:00:10.5Z"
                    "</time><extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>11.1</gpxtpx:speed>"
                    "</gpxtpx:TrackPointExtension></extensions></trkpt></trkseg></trk></gpx>",
         {"Giro"}, 2, {10.001, 20.0, 11.1f, 1714557610500}},
        {"GPX 1.0 speed, no namespace, a BOM", RouteFormat::guess,
         "\xEF\xBB\xBF<gpx version=\"1.0\"><trk><trkseg><trkpt lat=\"-1\" lon=\"179.5\"><speed>2.5</speed></trkpt>"
         "</trkseg></trk></gpx>",
         {""}, 1, {-1.0, 179.5, 2.5}},
        {"KML LineString named by its Placemark", RouteFormat::kml,
         "<?xml version=\"1.0\"?><kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document><Placemark><name>Linea</name>"
         "<LineString><coordinates>\n  9.1,45.1,0 9.2,45.2\n  9.3,45.3,10\n</coordinates></LineString></Placemark>"
         "<Placemark><name>Punto</name><Point><coordinates>1,2</coordinates></Point></Placemark></Document></kml>",
         {"Linea"}, 3, {45.3, 9.3}},
        {"KML MultiGeometry: one route a LineString", RouteFormat::guess,
         "<kml><Placemark><MultiGeometry><LineString><coordinates>1,1 2,2</coordinates></LineString>"
         "<LineString><coordinates>3,3 4,4</coordinates></LineString></MultiGeometry><name>Due</name></Placemark></kml>",
         {"Due", "Due (2)"}, 2, {2.0, 2.0}},
        {"KML gx:Track: when and gx:coord in pairs", RouteFormat::kml,
         "<kml xmlns=\"http://www.opengis.net/kml/2.2\" xmlns:gx=\"http://www.google.com/kml/ext/2.2\"><Placemark>"
         "<name>T</name><gx:Track><when>2024-05-01T10:00:00Z</when><when>2024-05-01T10:01:00Z</when>"
         "<gx:coord>9 45 0</gx:coord><gx:coord>9.01 45.01 0</gx:coord></gx:Track></Placemark></kml>",
         {"T"}, 2, {45.01, 9.01, std::nullopt, 1714557660000}},
        {"CSV ; with decimal commas, km/h by default, comments", RouteFormat::csv,
         "# giro del lago\nlatitudine;longitudine;velocita\n45,5;9,25;36\n\n45,6;9,3;\n", {""}, 2, {45.6, 9.3}},
        {"CSV , with points, quoted header, knots, time", RouteFormat::guess,
         "\"lat\",\"lon\",\"speed (kn)\",ora,nome\r\n1.5,2.5,10,2024-05-01T10:00:00Z,\"a, b\"\r\n", {""}, 1,
         {1.5, 2.5, static_cast<float>(10 * 1852.0 / 3600.0), 1714557600000}},
        {"CSV tab, m/s, columns in any order", RouteFormat::csv, "lon\tvelocita_ms\tlat\n7\t3.5\t-8\n", {""}, 1,
         {-8.0, 7.0, 3.5}},
        {"JSON list", RouteFormat::json, "[{\"lat\":1,\"lon\":2},{\"lat\":1.5,\"lon\":2,\"velocita_kmh\":36}]", {""}, 2,
         {1.5, 2.0, 10.0}},
        {"JSON object with a name", RouteFormat::guess,
         "{\"nome\":\"api\",\"punti\":[{\"latitudine\":-3,\"longitudine\":4,\"ora\":\"2024-05-01T12:00:00+02:00\"}]}",
         {"api"}, 1, {-3.0, 4.0, std::nullopt, 1714557600000}},
    };
    for (const auto& [name, format, text, names, points, last] : rows) {
        SCOPED_TRACE(name);
        const RouteReading read = read_text(text, format);
        const std::vector<Route>& routes = routes_of(read);
        std::vector<std::string> read_names;
        for (const Route& r : routes) read_names.push_back(r.name());
        EXPECT_EQ(read_names, names);
        if (routes.empty()) continue;
        ASSERT_EQ(routes[0].size(), points);
        EXPECT_EQ(routes[0].point(points - 1), last);
    }
}

// What must be refused, and where: each file says why, in Italian, with the
// line and column of the trouble where it has one. (The end-to-end test sends
// the route API an empty CSV and a JSON point with a key that is none.)
TEST(RouteFiles, HostileAndBrokenFilesAreRefusedWithWhere) {
    // name, format, text, line, column, what is said
    const std::tuple<const char*, RouteFormat, std::string, std::int64_t, std::int64_t, const char*> rows[] = {
        {"external entity", RouteFormat::guess,
         "<?xml version=\"1.0\"?>\n<!-- x --><!DOCTYPE gpx [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><gpx>&x;</gpx>",
         2, 11, "DOCTYPE"},
        {"undeclared entity", RouteFormat::gpx, "<gpx><rte><name>&x;</name></rte></gpx>", 1, 20, "XML"},
        {"binary without NUL", RouteFormat::gpx, "\x89PNG\r\n\x1A\n\xFF\xD8", 1, 2, "XML"},
        {"binary: a NUL byte", RouteFormat::guess, std::string("lat;lon\n1;2\n3;\0\xFF", 16), 3, 3, "byte nulli"},
        {"truncated GPX", RouteFormat::gpx, gpx_head + "<rte><rtept lat=\"1\" lon=\"2\"/><rtept lat=\"1", 3, 43,
         "finisce a metà"},
        {"XML neither GPX nor KML", RouteFormat::gpx, "<html><body/></html>", 1, 7, "<html>"},
        {"latitude out of range", RouteFormat::gpx,
         gpx_head + "<rte><rtept lat=\"1\" lon=\"2\"/>\n  <rtept lat=\"95\" lon=\"2\"/></rte></gpx>", 4, 28,
         "latitudine 95"},
        {"longitude not a number", RouteFormat::gpx, gpx_head + "<rte><rtept lat=\"1\" lon=\"x\"/></rte></gpx>", 3, 30,
         "non è un numero"},
        {"time going backwards", RouteFormat::gpx,
         gpx_head + "<trk><trkseg><trkpt lat=\"1\" lon=\"2\"><time>2024-05-01T10:00:01Z</time></trkpt>\n"
                    "<trkpt lat=\"1\" lon=\"2.1\"><time>2024-05-01T10:00:00Z</time></trkpt></trkseg></trk></gpx>",
         4, 26, "viene prima"},
        {"a time that is no time", RouteFormat::gpx,
         gpx_head + "<trk><trkseg><trkpt lat=\"1\" lon=\"2\"><time>ieri</time></trkpt></trkseg></trk></gpx>", 3, 54,
         "ora"},
        {"opposite points", RouteFormat::csv, "lat;lon\n10;20\n-10;-160\n", 3, 1, "antipodi"},
        {"an empty route only", RouteFormat::gpx, gpx_head + "<rte><name>vuoto</name></rte></gpx>", 3, 6,
         "\"vuoto\" non ha punti"},
        {"KML tuple", RouteFormat::kml, "<kml><LineString><coordinates>1,2 3;4</coordinates></LineString></kml>", 1,
         35, "coordinate KML"},
        {"gx:Track unpaired", RouteFormat::kml,
         "<kml><Track><when>2024-05-01T10:00:00Z</when><coord>1 2 3</coord><coord>1 2 3</coord></Track></kml>", 1,
         94, "vanno a coppie"},
        {"blanks only, the format to guess", RouteFormat::guess, " \n\n", 0, 0, "vuoto"},
        {"CSV without a header", RouteFormat::csv, "45.1;9.2\n", 1, 1, "nominare le colonne"},
        {"CSV comma separator with decimal commas", RouteFormat::csv, "lat,lon\n45,5,9,2\n", 2, 1, "col punto"},
        {"CSV unknown speed unit", RouteFormat::csv, "lat;lon;velocita_mph\n", 1, 9, "unità"},
        {"CSV line too long", RouteFormat::csv, "lat;lon\n" + std::string(5000, '7'), 2, 1, "più lunga"},
        {"JSON syntax", RouteFormat::json, "[{\"lat\":1,\n \"lon\":}]", 2, 9, "JSON"},
    };
    for (const auto& [name, format, text, line, column, says] : rows) {
        SCOPED_TRACE(name);
        const RouteReading read = read_text(text, format);
        const auto* problem = std::get_if<ReadProblem>(&read);
        ASSERT_TRUE(problem);
        EXPECT_NE(problem->reason.find(says), std::string::npos) << problem->message();
        EXPECT_EQ(std::pair(problem->line, problem->column), std::pair(line, column)) << problem->message();
    }
}

// A stream that never ends, and a regular file too large, in bounded memory;
// a million and one points refused by their count.
TEST(RouteFiles, EndlessAndHugeFilesAreRefusedEarly) {
    std::uint64_t given = 0;
    const auto endless = [&](std::string start, std::string again) {
        given = 0;
        return [&given, start, again, first = true]() mutable -> Piece {
            const std::string& piece = first ? start : again;
            first = false;
            given += piece.size();
            return {piece, {}};
        };
    };
    std::string comments;
    while (comments.size() < 60000) comments += "# " + std::string(4000, '.') + "\n";
    // name, the first piece, each piece after it, format, the bytes given at most before the refusal, what is said
    const std::tuple<const char*, std::string, std::string, RouteFormat, std::uint64_t, const char*> rows[] = {
        {"blanks: one endless text", gpx_head + "<rte>", std::string(65536, ' '), RouteFormat::guess,
         (16u << 20) + 70000, "16 MiB"},
        {"comment lines of CSV", "lat;lon\n", comments, RouteFormat::csv, max_file_bytes + 70000, "128 MiB"},
        {"a JSON body", "[", std::string(65536, ' '), RouteFormat::json, max_json_bytes + 70000, "16 MiB"},
    };
    for (const auto& [name, start, again, format, at_most, says] : rows) {
        EXPECT_THAT(refusal(read_route_source(endless(start, again), format)), ::testing::HasSubstr(says)) << name;
        EXPECT_LE(given, at_most) << name;
    }

    // A million and one points of CSV, given a line at a time.
    std::size_t lines = 0;
    std::string line;
    const RouteReading many = read_route_source(
        [&]() -> Piece {
            line = lines == 0 ? "lat;lon\n" : std::to_string(lines % 2) + ";" + std::to_string((lines / 2) % 100) + "\n";
            return {lines++ <= Route::max_points + 1 ? std::string_view(line) : std::string_view(), {}};
        },
        RouteFormat::csv);
    ASSERT_TRUE(std::holds_alternative<ReadProblem>(many));
    EXPECT_EQ(std::get<ReadProblem>(many).line, static_cast<std::int64_t>(Route::max_points) + 2);
    EXPECT_NE(std::get<ReadProblem>(many).reason.find("1.000.000"), std::string::npos);
}

// Real files: the format by the name, a CSV route named after its file; a
// file too large refused before it is read; a folder, a FIFO, a missing
// file, an unreadable one and a stopped reading said as such.
TEST(RouteFiles, ReadsRealFilesAndOnlyRegularOnes) {
    testing::ScratchFolder folder;
    folder.put("giro.csv", "lat;lon\n45;9\n45.1;9\n");
    folder.put("senza_nome", gpx_head + "<rte><rtept lat=\"1\" lon=\"2\"/></rte></gpx>");
    const RouteReading csv = read_route_file(folder.at("giro.csv"));
    ASSERT_EQ(routes_of(csv).size(), 1u);
    EXPECT_EQ(routes_of(csv)[0].name(), "giro");
    const RouteReading gpx = read_route_file(folder.at("senza_nome"));
    EXPECT_EQ(routes_of(gpx).size(), 1u);

    {
        std::ofstream big(folder.at("grande.gpx"));
    }
    ASSERT_EQ(::truncate(folder.at("grande.gpx").c_str(), 200 * 1000 * 1000), 0);
    ASSERT_EQ(::mkfifo(folder.at("fifo.gpx").c_str(), 0600), 0);
    ::mkdir(folder.at("cartella.gpx").c_str(), 0700);
    folder.put("chiuso.gpx", "x");
    ::chmod(folder.at("chiuso.gpx").c_str(), 0);
    const bool root = ::geteuid() == 0;
    const std::pair<const char*, const char*> rows[] = {  // name, what is said
        {"grande.gpx", "più grande di 128 MiB"}, {"fifo.gpx", "non è un file normale"},
        {"cartella.gpx", "è una cartella"},      {"manca.gpx", "non si apre: il file o la cartella non esiste"},
        {"chiuso.gpx", root ? "troncato" : "permesso negato"},  // as root, readable: "x" is no whole GPX
    };
    for (const auto& [name, says] : rows) {
        EXPECT_THAT(refusal(read_route_file(folder.at(name))), ::testing::HasSubstr(says)) << name;
    }
    const RouteReading stopped = read_route_file(folder.at("giro.csv"), [](double) { return false; });
    EXPECT_THAT(refusal(stopped), ::testing::HasSubstr("interrotta"));
}

TEST(RouteFiles, ChoosingARouteByNameOrNumber) {
    const std::vector<Route> routes{Route("Andata"), Route("Ritorno"), Route("2")};
    const std::string has = "\": ha \"Andata\", \"Ritorno\", \"2\" (si può scegliere anche per numero, da 1 a 3)";
    const std::pair<const char*, std::variant<std::size_t, std::string>> rows[] = {
        {"", std::size_t{0}},
        {"Ritorno", std::size_t{1}},
        {"2", std::size_t{2}},  // a name first
        {"1", std::size_t{0}},
        {"4", "il file non ha un percorso \"4" + has},
        {"andata", "il file non ha un percorso \"andata" + has},
    };
    for (const auto& [choice, chosen] : rows) EXPECT_EQ(choose_route(routes, choice), chosen) << choice;
}

// The GPX written for a route reads back as the same route, to the last bit.
TEST(RouteFiles, WrittenGpxReadsBackTheSame) {
    for (const bool timed : {false, true}) {
        Route route(timed ? "traccia <&> \"1\"" : "");
        for (int i = 0; i < 300; ++i) {
            RoutePoint p{45.0 + i * 1.234567891234e-3, -179.999999999 + i * 1e-7};
            if (i % 3 == 0) p.speed = 0.1 * i;
            if (timed) p.time = 1714557600000 + i * 1001;
            ASSERT_FALSE(route.add(p));
        }
        const RouteReading read = read_route_file(route_gpx(route), RouteFormat::gpx);
        ASSERT_EQ(routes_of(read).size(), 1u);
        EXPECT_EQ(routes_of(read)[0], route) << route_gpx(route).left(600).toStdString();
    }
}

// gpsbabel, a writer and reader of its own, reads our GPX and writes it
// again as GPX and as KML (gx:Track): both read as the points we wrote.
TEST(RouteFiles, GpsbabelReadsOursAndWeReadItsFiles) {
    if (QStandardPaths::findExecutable("gpsbabel").isEmpty()) GTEST_SKIP() << "gpsbabel is not installed";
    testing::ScratchFolder folder;
    Route route("punti");
    for (int i = 0; i < 50; ++i) {
        ASSERT_FALSE(route.add({45.1 + i * 1e-4, i % 2 ? -179.9995 : 179.9995, std::nullopt, 1714557600000 + i * 2000}));
    }
    folder.put("ours.gpx", route_gpx(route).toStdString());
    const QString ours = QString::fromStdString(folder.at("ours.gpx"));
    for (const char* out : {"gpx", "kml,points=0,track=1"}) {
        SCOPED_TRACE(out);
        QProcess babel;
        babel.start("gpsbabel", {"-t", "-i", "gpx", "-f", ours, "-o", out, "-F", "-"});
        ASSERT_TRUE(babel.waitForFinished(30000));
        ASSERT_EQ(babel.exitCode(), 0) << babel.readAllStandardError().toStdString();
        const RouteReading read = read_route_file(babel.readAllStandardOutput(), *out == 'g' ? RouteFormat::gpx : RouteFormat::kml);
        ASSERT_FALSE(routes_of(read).empty());
        const Route& theirs = routes_of(read)[0];
        ASSERT_EQ(theirs.size(), route.size());
        for (std::size_t i = 0; i < theirs.size(); ++i) {
            EXPECT_NEAR(theirs.position(i).lat, route.position(i).lat, 1e-9);
            EXPECT_NEAR(theirs.position(i).lon, route.position(i).lon, 1e-9);
        }
        EXPECT_EQ(theirs.time(49), route.time(49));
    }
}

TEST(RouteFiles, FormatsByNameAndContentType) {
    EXPECT_EQ(format_of_name("/a/Giro.GPX"), RouteFormat::gpx);
    EXPECT_EQ(format_of_name("x.kml"), RouteFormat::kml);
    EXPECT_EQ(format_of_name("x.txt"), RouteFormat::csv);
    EXPECT_EQ(format_of_name("x.gpx.bak"), RouteFormat::guess);
    EXPECT_EQ(format_of_content_type("application/gpx+xml; charset=utf-8"), RouteFormat::gpx);
    EXPECT_EQ(format_of_content_type("Application/JSON"), RouteFormat::json);
    EXPECT_EQ(format_of_content_type("text/csv"), RouteFormat::csv);
    EXPECT_EQ(format_of_content_type("application/octet-stream"), RouteFormat::guess);
}

}  // namespace
}  // namespace vadrel
