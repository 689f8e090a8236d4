// The vehicles' routes kept in a real program folder: read back where the
// vehicle was, and every file that cannot be used refused and left as it is.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <functional>

#include "app/kept_routes.h"
#include "routes/route_files.h"
#include "routes/route_text.h"
#include "support/scratch_folder.h"
#include "../routes/textbook.h"

namespace vadrel::testing {
namespace {

// Across the 180th meridian, a point with a speed of its own.
const Route round_trip = route_of({{10.0, 179.9}, {10.1, -179.95, 5.5}, {10.2, -179.8}}, "Giro");
const FollowOptions looping{RouteEnd::loop, false, 2.5, false};

RouteProgress along(std::int64_t leg = 1) {
    RouteProgress progress;
    progress.leg = leg;
    progress.fraction = 0.1234567890123;
    progress.rounds = 3;
    progress.course = 87.25;
    return progress;
}

TEST(KeptRoutes, ARestartGoesOnWhereTheVehicleWas) {
    ScratchFolder f;
    ProgramFolder folder(f.path());
    KeptRoutes kept(folder);
    ASSERT_EQ(kept.keep(3, round_trip, looping, RouteProgress{}), "");
    ASSERT_EQ(kept.save_progress(3, along()), "");

    KeptRoutes again(folder);
    auto read = again.read(3);
    ASSERT_TRUE(std::holds_alternative<KeptRoutes::Kept>(read)) << std::get<std::string>(read);
    const auto& [route, options, progress] = std::get<KeptRoutes::Kept>(read);
    EXPECT_TRUE(route == round_trip) << "every point, its speed and the name";
    EXPECT_EQ(std::pair(options, progress), std::pair(looping, along()));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(again.read(4)));

    ASSERT_EQ(again.forget(3), "");
    EXPECT_TRUE(std::holds_alternative<std::monostate>(again.read(3)));
    EXPECT_EQ(f.names(), std::vector<std::string>{"vadrel.lock"});
}

// Each damage is refused with its reason, and both files stay as they are.
TEST(KeptRoutes, AFileThatCannotBeUsedIsRefusedAndLeftAlone) {
    const std::string state = "vadrel.percorso.0", gpx = "vadrel.percorso.0.gpx";
    const auto replace_line = [](std::string text, const std::string& key, const std::string& line) {
        const std::size_t at = text.find(key);
        return text.replace(at, text.find('\n', at) - at, line);
    };
    const std::tuple<const char*, std::function<void(const ScratchFolder&)>, std::string> rows[] = {
        // what, damage, told
        {"a route put in its place",
         [&](const ScratchFolder& f) { f.put(gpx, route_gpx(route_of({{1.0, 2.0}})).toStdString()); },
         "vadrel.percorso.0.gpx non è il percorso che"},
        {"an unknown end rule",
         [&](const ScratchFolder& f) { f.put(state, replace_line(f.get(state), "opzioni=", "opzioni=fine=boh")); },
         "fine=boh non è una regola"},
        {"a leg past the route's end",
         [&](const ScratchFolder& f) {
             f.put(state, replace_line(f.get(state), "avanzamento=", "avanzamento=" + progress_text(along(9))));
         },
         "vadrel.percorso.0: l'avanzamento non corrisponde al percorso"},
        {"no state", [&](const ScratchFolder& f) { std::remove(f.at(state).c_str()); }, "vadrel.percorso.0 manca"},
        {"no route", [&](const ScratchFolder& f) { std::remove(f.at(gpx).c_str()); }, "vadrel.percorso.0.gpx manca"},
        {"a fifo for the state",
         [&](const ScratchFolder& f) {
             std::remove(f.at(state).c_str());
             ASSERT_EQ(mkfifo(f.at(state).c_str(), 0600), 0);
         },
         "vadrel.percorso.0 non è un file normale dell'utente"},
    };
    for (const auto& [what, damage, told] : rows) {
        ScratchFolder f;
        ProgramFolder folder(f.path());
        ASSERT_EQ(KeptRoutes(folder).keep(0, round_trip, looping, along()), "");
        damage(f);
        const auto bytes = [&] {
            return (std::filesystem::is_fifo(f.at(state)) ? "<fifo>" : f.get(state)) + "|" + f.get(gpx);
        };
        const std::string before = bytes();
        KeptRoutes kept(folder);
        const auto read = kept.read(0);
        ASSERT_TRUE(std::holds_alternative<std::string>(read)) << what;
        EXPECT_NE(std::get<std::string>(read).find(told), std::string::npos)
            << what << ": " << std::get<std::string>(read);
        EXPECT_EQ(kept.save_progress(0, RouteProgress{}), "") << what;
        EXPECT_EQ(bytes(), before) << what << ": nothing written for a route that was refused";
    }
}

}  // namespace
}  // namespace vadrel::testing
