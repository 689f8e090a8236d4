#pragma once
// The map's detail close up, offline: Natural Earth's lakes and rivers, and
// its 1:10m land for the coast where the world's 1:50m is too coarse
// (data/detail/, built in as resources). The lakes and rivers are read at
// once (small); the land, large, on a worker the first time a view needs
// it, the world's land drawn meanwhile.
//
//   MapDetail detail = MapDetail::built_in();
//   detail.want_land(map, [&] { canvas.update(); });   // starts reading when close enough
//   if (const LineSet* land = detail.land(map)) ...    // none: the world's land will do
//   for (std::size_t i : detail.lakes().in_view(map)) ...

#include <QByteArray>
#include <functional>
#include <future>
#include <optional>
#include <vector>

#include "gui/map_projection.h"
#include "gui/world_map.h"

namespace vadrel::gui {

// Lines with the box each spans, so that a view finds its own without
// projecting the world's.
class LineSet {
public:
    LineSet() = default;
    explicit LineSet(std::vector<WorldMap::Line> lines);
    const std::vector<WorldMap::Line>& lines() const { return lines_; }
    // The lines whose box meets the view (all of them when the view spans
    // most of the globe).
    std::vector<std::size_t> in_view(const MapProjection& map) const;

private:
    struct Box {
        double south, north, west, east;  // east - west may exceed 180 across the 180th meridian
    };
    std::vector<WorldMap::Line> lines_;
    std::vector<Box> boxes_;
};

// A file of lines: {"passo": degrees a unit, "linee": [[x0, y0, dx1, dy1,
// ...], ...]}, the first point whole, each next one the step from the one
// before. Nullopt when the bytes are not such a file; a line that is short,
// odd, not whole numbers or off the globe is left out. At most
// `max_points` points in all (a larger file is refused).
std::optional<std::vector<WorldMap::Line>> read_lines(const QByteArray& json, std::size_t max_points = 4'000'000);

class MapDetail {
public:
    // Views finer than these show the 1:10m land, and the lakes and rivers.
    static constexpr double land_metres_per_pixel = 500.0;
    static constexpr double water_metres_per_pixel = 5000.0;

    using Reader = std::function<std::optional<std::vector<WorldMap::Line>>()>;
    MapDetail(const Reader& lakes, const Reader& rivers, Reader land);
    // From the resources; a layer that cannot be read is left empty.
    static MapDetail built_in();

    MapDetail(MapDetail&&) = default;
    MapDetail& operator=(MapDetail&&) = default;
    // Waits for the land being read.
    ~MapDetail();

    // Starts reading the land on a worker when the view is close enough and
    // it is not read yet; `ready` is called from the worker once it is in.
    void want_land(const MapProjection& map, std::function<void()> ready);
    // The land to draw at this view: none while the view is further out,
    // while it is being read, or when it could not be read.
    const LineSet* land(const MapProjection& map) const;
    // Blocks until the land asked for is in and told (tests and benchmarks).
    void wait_for_land() const;

    // The lakes and rivers to draw at this view (empty ones further out).
    const LineSet& lakes(const MapProjection& map) const;
    const LineSet& rivers(const MapProjection& map) const;

private:
    LineSet lakes_;
    LineSet rivers_;
    LineSet none_;
    Reader land_reader_;
    std::shared_future<std::optional<LineSet>> land_;
    std::future<void> worker_;  // last: gone first, once the worker is done
};

}  // namespace vadrel::gui
