// "Veicolo" > "Percorso...", "Togli percorso" and "Raggiungi", driven as an
// operator would: a file typed in and opened, a route of it chosen, applied;
// a file refused in the dialog with nothing changed.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "finestra.h"
#include "gui/goto_dialog.h"
#include "gui/route_dialog.h"
#include "support/scratch_folder.h"

namespace vadrel::gui {
namespace {

class Percorso : public Finestra {
protected:
    void SetUp() override {
        Finestra::SetUp();
        window.set_routes(&routes);
        ASSERT_FALSE(rig.fleet.set_unit(0, SpeedUnit::kmh, nullptr));
        ASSERT_FALSE(rig.fleet.set_speed(0, 36.0, nullptr));
    }
    RouteDialog* open_on(const std::string& name) {
        window.findChild<QAction*>(q("menu_percorso"))->trigger();
        auto* dialog = window.findChild<RouteDialog*>();
        EXPECT_NE(dialog, nullptr);
        if (dialog == nullptr) return nullptr;
        dialog->findChild<QLineEdit*>(q("percorso_file"))->setText(QString::fromStdString(folder.at(name)));
        QTest::mouseClick(dialog->findChild<QPushButton*>(q("percorso_apri")), Qt::LeftButton);
        return dialog;
    }

    VehicleRoutes routes{rig.fleet};
    testing::ScratchFolder folder;
};

const char* const two_routes =
    "<?xml version=\"1.0\"?><gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\">"
    "<rte><name>Andata</name><rtept lat=\"45\" lon=\"9\"/><rtept lat=\"45\" lon=\"9.01\"/></rte>"
    "<trk><name>Ritorno</name><trkseg><trkpt lat=\"45.01\" lon=\"9\"><time>2024-05-01T10:00:00Z</time></trkpt>"
    "<trkpt lat=\"45.02\" lon=\"9\"><time>2024-05-01T10:01:00Z</time></trkpt>"
    "<trkpt lat=\"45.03\" lon=\"9\"><time>2024-05-01T10:02:00Z</time></trkpt></trkseg></trk></gpx>";

TEST_F(Percorso, ARouteOfTheFileChosenSeenAndApplied) {
    folder.put("giro.gpx", two_routes);
    RouteDialog* dialog = open_on("giro.gpx");
    ASSERT_NE(dialog, nullptr);
    auto* choice = dialog->findChild<QComboBox*>(q("percorso_scelta"));
    ASSERT_EQ(choice->count(), 2);
    EXPECT_EQ(choice->itemText(1), q("2. Ritorno"));
    EXPECT_FALSE(dialog->findChild<QCheckBox*>(q("percorso_ritmo"))->isEnabled()) << "Andata has no times";
    choice->setCurrentIndex(1);
    EXPECT_EQ(dialog->findChild<QListWidget*>(q("percorso_punti"))->count(), 3);
    const QString summary = dialog->findChild<QLabel*>(q("percorso_riassunto"))->text();
    EXPECT_TRUE(summary.startsWith(q("3 punti, 2,224 km"))) << summary.toStdString();
    EXPECT_TRUE(summary.contains(q("(36,0 km/h): 3 min 42 s"))) << summary.toStdString();
    auto* rhythm = dialog->findChild<QCheckBox*>(q("percorso_ritmo"));
    ASSERT_TRUE(rhythm->isEnabled());
    rhythm->setChecked(true);
    EXPECT_TRUE(dialog->findChild<QLabel*>(q("percorso_riassunto"))->text().contains(q("ritmo della traccia: 2 min 00 s")));
    auto* end = dialog->findChild<QComboBox*>(q("percorso_fine"));
    end->setCurrentIndex(1);
    QTest::mouseClick(dialog->findChild<QPushButton*>(q("percorso_applica")), Qt::LeftButton);
    const FollowedRoute* followed = routes.route(0);
    ASSERT_NE(followed, nullptr);
    EXPECT_EQ(followed->route.name(), "Ritorno");
    EXPECT_EQ(followed->options, (FollowOptions{RouteEnd::loop, true, 0.0, false}));
    EXPECT_NEAR(rig.fleet.vehicle(0).lat, 45.01 * 3600.0, 1e-6) << "placed at its first point";

    // "Togli percorso": straight on from where it is.
    window.findChild<QAction*>(q("menu_togli_percorso"))->trigger();
    EXPECT_FALSE(routes.has_route(0));
}

TEST_F(Percorso, AFileThatCannotBeUsedIsSaidInTheDialogAndNothingChanges) {
    folder.put("fuori.csv", "lat,lon\n45,9\n95,9\n");
    for (const auto& [name, says] : {std::pair("fuori.csv", "riga 3"), {"manca.gpx", "non si apre"}}) {
        const QPointer<RouteDialog> dialog = open_on(name);
        ASSERT_TRUE(dialog) << name;
        const QString said = dialog->findChild<QLabel*>(q("percorso_messaggio"))->text();
        EXPECT_TRUE(said.contains(q(says))) << name << ": " << said.toStdString();
        EXPECT_FALSE(dialog->findChild<QPushButton*>(q("percorso_applica"))->isEnabled()) << name;
        dialog->close();
        EXPECT_TRUE(QTest::qWaitFor([&dialog] { return dialog.isNull(); })) << name;
    }
    EXPECT_FALSE(routes.has_route(0));
    EXPECT_EQ(rig.fleet.vehicle(0).lat, 0.0);
}

// "Raggiungi": a route of one point driven to from where the vehicle is.
TEST_F(Percorso, RaggiungiDrivesThereInsteadOfMovingAtOnce) {
    window.open_go_to();
    auto* dialog = window.findChild<GoToDialog*>();
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QLineEdit*>(q("posizione"))->setText(q("0,01 0"));
    QTest::mouseClick(dialog->findChild<QPushButton*>(q("raggiungi")), Qt::LeftButton);
    const FollowedRoute* followed = routes.route(0);
    ASSERT_NE(followed, nullptr);
    EXPECT_EQ(followed->route.size(), 1u);
    EXPECT_TRUE(followed->options.from_here);
    EXPECT_EQ(rig.fleet.vehicle(0).lat, 0.0) << "not moved at once";
    rig.fleet.advance(0, 0.0);
    rig.fleet.advance(0, 10.0);
    EXPECT_NEAR(rig.fleet.vehicle(0).lat / 3600.0 * 111'195.0, 100.0, 0.1) << "north at 10 m/s";
}

}  // namespace
}  // namespace vadrel::gui
