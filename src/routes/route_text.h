#pragma once
// A vehicle's route settings and progress as short texts: the options as
// the command line gives them, and the progress as a file keeps it, so
// that a restart goes on where the vehicle was.
//
//   read_route_argument("3=giro.gpx,nome=Andata,fine=ciclo,virata=2,5")
//       // {3, "giro.gpx", {"Andata", {loop, no rhythm, 2.5 degrees/s, from the first point}}}
//   options_text({RouteEnd::back, true, 0.0, true})   // "fine=indietro,ritmo=traccia,da=qui"
//   progress_text(progress)
//       // "tratta=12 frazione=0.25 verso=avanti virata=no giri=0 finito=no origine=45.5,9.2 rotta=87.5"
//
// Numbers are written so that they read back exactly.

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>

#include "routes/follower.h"

namespace vadrel {

// The options after the file: nome=NOME (a route of the file by name or
// number), fine=ferma|ciclo|indietro, ritmo=traccia (or ritmo=velocita, the
// default), virata=GRADI_AL_SECONDO (0 to 360, a decimal point or comma),
// da=qui (or da=inizio, the default), separated by commas; each at most once.
struct RouteRequest {
    std::string choice;  // "" for the first route of the file
    FollowOptions options;
    bool operator==(const RouteRequest&) const = default;
};
// An Italian reason when refused.
std::variant<RouteRequest, std::string> read_route_request(std::string_view text);
// The options as read_route_request reads them, defaults left out.
std::string options_text(const FollowOptions& options);

// --percorso N=FILE[,opzioni]: the vehicle (0 to 20), the file and the
// options. The file ends where ",nome=", ",fine=", ",ritmo=", ",virata=" or
// ",da=" starts, so that a file name may hold commas.
struct RouteArgument {
    std::size_t vehicle = 0;
    std::string file;
    RouteRequest request;
    bool operator==(const RouteArgument&) const = default;
};
std::variant<RouteArgument, std::string> read_route_argument(std::string_view text);

std::string progress_text(const RouteProgress& progress);
// Each field once, none missing, every value in its range; an Italian reason
// otherwise. Whether it fits a route is progress_problem's question.
std::variant<RouteProgress, std::string> read_progress(std::string_view text);

}  // namespace vadrel
