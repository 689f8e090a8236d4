#pragma once
// The places of the world on the map by scale, from Natural Earth's 1:10m
// populated places (data/places/, built in as a resource). A place is
// written from the zoom Natural Earth gives it, the most important first
// (that zoom, then capitals, then population), beside its dot where its name
// covers no name written before it, no vehicle, its arrow or its label, and
// no area kept clear; where it would, the place is left out.
//
//   const auto places = read_places(bytes);            // nullopt: not our file
//   PlaceNames names(std::move(*places));
//   names.paint(painter, projection, taken);           // taken: boxes to keep clear

#include <QByteArray>
#include <QRectF>
#include <QString>
#include <optional>
#include <vector>

#include "gui/map_projection.h"

class QPainter;

namespace vadrel::gui {

struct Place {
    QString name;
    GeoPoint at;
    double min_zoom = 0.0;  // Web Mercator zoom from which it is shown
    bool capital = false;
};

// The places of the file, in its order; rows it cannot use are left out;
// nullopt when the bytes are not such a file.
std::optional<std::vector<Place>> read_places(const QByteArray& json);
// The ones built into the program (none if the resource cannot be read).
std::vector<Place> built_in_places();

class PlaceNames {
public:
    explicit PlaceNames(std::vector<Place> places) : places_(std::move(places)) {}
    // The places shown at this view, in the order they claim room: those
    // on screen whose min_zoom the view reaches.
    std::vector<std::size_t> candidates(const MapProjection& map) const;
    // Writes the names that fit; returns the boxes written (dot and name).
    std::vector<QRectF> paint(QPainter& painter, const MapProjection& map, const std::vector<QRectF>& taken) const;
    const std::vector<Place>& places() const { return places_; }
    // Where a view is too close for any place on it: the place nearest its
    // centre within 60 km, as "Vicino a Carrara (4,2 km a NE)"; empty when a
    // place is on the view or none is that near.
    QString nearby(const MapProjection& map) const;

private:
    std::vector<Place> places_;
};

}  // namespace vadrel::gui
