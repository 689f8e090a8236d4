#include "event_routes.h"

#include <filesystem>
#include <map>
#include <variant>

#include "routes/follower.h"
#include "routes/route_files.h"

namespace vadrel {

std::optional<ScenarioProblem> read_event_routes(Scenario& scenario) {
    std::map<std::string, RouteReading> files;
    for (ScenarioEvent& event : scenario.events) {
        if (!event.route) continue;
        const RouteArgument& given = *event.route;
        const auto refused = [&](const std::string& why) {
            const std::string name = std::filesystem::path(given.file).filename().string();
            return ScenarioProblem{scenario.file, event.route_place, "percorso", name + ": " + why};
        };
        auto [at, fresh] = files.try_emplace(given.file);
        if (fresh) at->second = read_route_file(given.file);
        if (const auto* problem = std::get_if<ReadProblem>(&at->second)) return refused(problem->message());
        const auto& routes = std::get<std::vector<Route>>(at->second);
        const auto chosen = choose_route(routes, given.request.choice);
        if (const auto* why = std::get_if<std::string>(&chosen)) return refused(*why);
        auto route = std::make_shared<const Route>(routes[std::get<std::size_t>(chosen)]);
        if (const auto why = follow_problem(*route, given.request.options)) return refused(*why);
        event.route_read = std::move(route);
    }
    return std::nullopt;
}

}  // namespace vadrel
