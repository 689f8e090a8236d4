// The names of the larger places: the built-in file read, the places shown
// by scale, and names only where there is room.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <set>

#include "gui/map_labels.h"
#include "gui/place_names.h"
#include "finestra.h"

namespace vadrel::gui {
namespace {

TEST(PlaceNames, ReadsTheFileAndLeavesOutRowsItCannotUse) {
    EXPECT_FALSE(read_places("not json"));
    EXPECT_FALSE(read_places(R"({"campi":[]})"));
    const auto places = read_places(R"({"luoghi":[["Roma",41.9,12.5,1.7,1,3000000],["",1,1,1,0,1],
        ["Nowhere",95,0,1,0,1],["Short",1,1],[7,1,1,1,0,1],["Zurich",47.38,8.54,3.5,0,1100000]]})");
    ASSERT_TRUE(places);
    ASSERT_EQ(places->size(), 2u);
    EXPECT_EQ((*places)[0].name, QStringLiteral("Roma"));
    EXPECT_TRUE((*places)[0].capital);
    EXPECT_FALSE((*places)[1].capital);

    const PlaceNames world(built_in_places());
    ASSERT_GT(world.places().size(), 200u);
    const auto shown = [&world](const MapProjection& map) {
        std::set<QString> names;
        for (const std::size_t i : world.candidates(map)) names.insert(world.places()[i].name);
        return names;
    };
    const auto europe = shown(view({47.0, 10.0}, 4000.0, {800, 600}));
    EXPECT_TRUE(europe.contains(QStringLiteral("Rome")) && europe.contains(QStringLiteral("Paris")));
    const auto earth = shown(view({20.0, 0.0}, 60000.0, {800, 600}));
    EXPECT_FALSE(earth.contains(QStringLiteral("Vatican City"))) << "small places wait for a closer view";
    EXPECT_TRUE(earth.contains(QStringLiteral("London")));
}

// Names never cover one another, a vehicle's label, dot or arrow, or the
// scale bar; with no room, a name is left out.
TEST(PlaceNames, NamesOnlyWhereThereIsRoom) {
    const PlaceNames world(built_in_places());
    const MapProjection europe = view({47.0, 10.0}, 6000.0, {640, 480});
    const QRectF scale_bar(6, 434, 132, 32);
    const QPointF rome = europe.to_screen({41.8955, 12.4833});
    // a vehicle's label where Rome's name would usually go, up and right of its dot
    const QRectF vehicle_label(rome.x() + 3, rome.y() - 30, 60, 27);
    QImage picture(640, 480, QImage::Format_RGB32);
    QPainter painter(&picture);
    const std::vector<QRectF> taken{scale_bar, vehicle_label};
    const std::vector<QRectF> written = world.paint(painter, europe, taken);
    ASSERT_GT(written.size(), 10u) << "Europe has names";
    EXPECT_TRUE(std::any_of(written.begin(), written.end(), [&](const QRectF& box) { return box.contains(rome); }))
        << "Rome has its dot, its name on another side";
    for (std::size_t i = 0; i < written.size(); ++i) {
        EXPECT_TRUE(i % 2 == 1 || QRectF(0, 0, 640, 480).contains(written[i])) << "name " << i << " cut by the edge";
        for (const QRectF& t : taken) EXPECT_FALSE(written[i].intersects(t)) << "box " << i;
        // boxes come in pairs, name then dot: a name never covers another's box
        for (std::size_t j = 0; j < written.size(); ++j) {
            if (i / 2 == j / 2) continue;
            EXPECT_FALSE(written[i].intersects(written[j])) << "boxes " << i << ", " << j;
        }
    }

    // nine places on one spot: the sides run out, and the rest are left out, not stacked
    const std::vector<LabelRequest> crowded(9, LabelRequest{QPointF(50, 50), QSizeF(40, 12), 2.5, {}});
    const auto boxes = place_labels_where_free(crowded, {QRectF(0, 0, 30, 30)});
    ASSERT_EQ(boxes.size(), 9u);
    EXPECT_TRUE(boxes[0]) << "the first has a side free";
    EXPECT_FALSE(boxes[8]) << "the last has none";
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        for (std::size_t j = i + 1; j < boxes.size(); ++j) {
            EXPECT_FALSE(boxes[i] && boxes[j] && boxes[i]->intersects(*boxes[j])) << i << " and " << j;
        }
    }
}

}  // namespace
}  // namespace vadrel::gui
