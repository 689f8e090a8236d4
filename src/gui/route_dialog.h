#pragma once
// "Veicolo" > "Percorso...": the operator picks a file (GPX, KML, CSV or
// JSON), chooses one of its routes, sees its points, its length and the time
// it takes at the vehicle's speed, sets the end rule and the options, and
// applies: the route goes to the vehicle through VehicleRoutes, as the
// command line and the control interface give one. A file that cannot be
// read, or a route that cannot be followed with those options, is said in
// the dialog in Italian, and nothing changes.

#include <QDialog>
#include <cstddef>
#include <string>
#include <vector>

#include "fleet/fleet.h"
#include "routes/route.h"
#include "routes/vehicle_routes.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace vadrel::gui {

class RouteDialog : public QDialog {
    Q_OBJECT
public:
    // For vehicle n of the fleet; the routes given through `routes`.
    RouteDialog(const Fleet& fleet, VehicleRoutes& routes, std::size_t n, QWidget* parent = nullptr);

    std::size_t vehicle() const { return vehicle_; }
    // Reads the file the path box names; its routes, or why not, shown.
    void load();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // "Alla fine", "Virata", the track's rhythm, "Dal punto attuale".
    void make_options();
    // The route the vehicle follows now, as a starting point for the options.
    void show_followed();
    void choose();
    void describe();
    void apply();
    void say(const QString& text, bool problem);

    const Fleet& fleet_;
    VehicleRoutes& routes_;
    std::size_t vehicle_;
    std::vector<Route> read_;
    QLineEdit* path_;
    QComboBox* choice_;
    QLabel* summary_;
    QListWidget* points_;
    QComboBox* end_;
    QCheckBox* rhythm_;
    QDoubleSpinBox* turn_;
    QCheckBox* from_here_;
    QLabel* message_;
    QPushButton* apply_;
};

// "1 h 02 min 05 s", "45 s"; "—" when not finite.
QString duration_text(double seconds);
// What the window says of a route followed but not kept (why: VehicleRoutes::not_kept).
QString not_kept_text(const std::string& why);

}  // namespace vadrel::gui
