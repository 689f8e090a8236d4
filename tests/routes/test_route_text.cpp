#include <gtest/gtest.h>

#include "routes/route_text.h"

namespace vadrel {
namespace {

TEST(RouteText, TheRouteArgumentOfTheCommandLine) {
    const auto ok = [](std::size_t n, std::string file, std::string choice, FollowOptions options) {
        return std::variant<RouteArgument, std::string>(RouteArgument{n, std::move(file), {std::move(choice), options}});
    };
    const struct {
        const char* text;
        std::variant<RouteArgument, std::string> read;
    } rows[] = {
        {"3=giro.gpx", ok(3, "giro.gpx", "", {})},
        {"0=a,b.gpx,nome=Andata, ritorno,fine=ciclo", ok(0, "a,b.gpx", "Andata, ritorno", {RouteEnd::loop})},
        {"20=t.gpx,ritmo=traccia,fine=indietro,da=qui,virata=2,5", ok(20, "t.gpx", "", {RouteEnd::back, true, 2.5, true})},
        {"1=t.csv,virata=0.5,ritmo=velocita,da=inizio,fine=ferma", ok(1, "t.csv", "", {RouteEnd::stop, false, 0.5, false})},
        {"21=giro.gpx", "il mezzo 21 non esiste: i mezzi vanno da 0 a 20"},
        {"x=giro.gpx", "--percorso vuole N=FILE, con N il numero del mezzo: \"x=giro.gpx\""},
        {"2=", "--percorso 2= vuole il nome di un file"},
        {"2=g.gpx,fine=sempre", "fine=sempre non è una regola: sono ferma, ciclo, indietro"},
        {"2=g.gpx,fine=ciclo,fine=ferma", "l'opzione fine= è data due volte"},
        {"2=g.gpx,virata=400", "virata=400: la velocità di virata è un numero di gradi al secondo da 0 a 360"},
        {"2=g.gpx,virata=-1", "virata=-1: la velocità di virata è un numero di gradi al secondo da 0 a 360"},
        {"2=g.gpx,da=li", "da=li non è un punto di partenza: sono qui, inizio"},
        {"2=g.gpx,nome=", "nome= vuole il nome o il numero di un percorso del file"},
        {"2=g.gpx,fnie=ciclo", ok(2, "g.gpx,fnie=ciclo", "", {})},  // a file of that name
    };
    for (const auto& row : rows) EXPECT_EQ(read_route_argument(row.text), row.read) << row.text;

    for (const FollowOptions options : {FollowOptions{}, FollowOptions{RouteEnd::back, true, 0.25, true},
                                        FollowOptions{RouteEnd::loop, false, 3.0, false}}) {
        const auto back = read_route_request(options_text(options));
        ASSERT_TRUE(std::holds_alternative<RouteRequest>(back)) << options_text(options);
        EXPECT_EQ(std::get<RouteRequest>(back).options, options) << options_text(options);
    }
    EXPECT_EQ(options_text({RouteEnd::back, true, 0.0, true}), "fine=indietro,ritmo=traccia,da=qui");
}

TEST(RouteText, ProgressReadsBackExactlyAndRefusesWhatIsNotOne) {
    RouteProgress p;
    p.leg = 123456;
    p.fraction = 0.1 + 0.2;
    p.backward = true;
    p.turning = true;
    p.turn_tangent = 1.2345678901234567e-5;
    p.turn_done = 0.3;
    p.rounds = 18446744073709551615u;
    p.origin = {-45.123456789, 179.99999999};
    p.course = 359.99;
    p.rejoin = 99;
    p.rejoin_backward = true;
    const std::string text = progress_text(p);
    EXPECT_EQ(std::get<RouteProgress>(read_progress(text + "\n")), p) << text;
    EXPECT_EQ(progress_text(RouteProgress{}),
              "tratta=0 frazione=0 verso=avanti virata=no giri=0 finito=no origine=0,0 rotta=0");

    const std::string good = "tratta=0 frazione=0 verso=avanti virata=no giri=0 finito=no origine=0,0 rotta=0";
    const struct {
        std::string text;
        const char* says;
    } rows[] = {
        {good + " altro=1", "campo sconosciuto \"altro=1\""},
        {good + " rotta=1", "rotta è dato due volte"},
        {good + " raggiunge=3,su", "raggiunge=3,su non è valido"},
        {"tratta=0 frazione=0", "manca verso="},
        {"tratta=-2" + good.substr(8), "tratta=-2 non è valido"},
        {"frazione=1.5" + good.substr(std::string("tratta=0 frazione=0").size()) + " tratta=0", "frazione=1.5 non è valido"},
        {good.substr(0, good.size() - 7) + "rotta=360", "rotta=360 non è valido"},
        {good.substr(0, good.find("origine")) + "origine=91,0 rotta=0", "origine=91,0 non è valido"},
        {good.substr(0, good.find("virata")) + "virata=0,2 giri=0 finito=no origine=0,0 rotta=0", "virata=0,2 non è valido"},
        {good.substr(0, good.find("giri")) + "giri=-1 finito=no origine=0,0 rotta=0", "giri=-1 non è valido"},
        {good.substr(0, good.find("finito")) + "finito=forse origine=0,0 rotta=0", "finito=forse non è valido"},
    };
    for (const auto& row : rows) {
        const auto read = read_progress(row.text);
        ASSERT_TRUE(std::holds_alternative<std::string>(read)) << row.text;
        EXPECT_NE(std::get<std::string>(read).find(row.says), std::string::npos)
            << row.text << " -> " << std::get<std::string>(read);
    }
}

}  // namespace
}  // namespace vadrel
