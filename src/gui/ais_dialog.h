#pragma once
// "Opzioni" > "Bersagli AIS...": whether the vehicles of "Numero di mezzi
// mobili" are sent as AIS targets, whether the current one is sent as the
// own ship, and each vehicle's identity (MMSI, class, name, ship type, call
// sign) in a table of one row a vehicle. OK refuses what cannot be sent,
// saying why under the table with the vehicle's number (the identity's own
// Italian reasons), and selects the cell at fault; what it accepts goes to
// the program's change, whose refusal is shown the same way. Under them,
// given the program's actions, an encounter to prepare (gui/encounter_box.h)
// and the buoys and SART to put on the air (gui/stations_box.h).

#include <QDialog>
#include <functional>
#include <string>

#include "os/result.h"
#include "config/ais_settings.h"
#include "gui/encounter_box.h"
#include "gui/stations_box.h"

class QCheckBox;
class QLabel;
class QMenu;
class QTableWidget;

namespace vadrel::gui {

// The program's change: done, or refused or failed with the reason.
using AisChange = std::function<Result<>(const AisSettings&)>;

class AisDialog : public QDialog {
    Q_OBJECT
public:
    AisDialog(const AisSettings& current, AisChange change, QWidget* parent, EncounterActions encounter = {},
              StationActions stations = {});
    // The settings as the fields say, once accepted.
    const AisSettings& settings() const { return settings_; }
    void accept() override;

private:
    AisChange change_;
    QCheckBox* enabled_;
    QCheckBox* own_ship_;
    QCheckBox* statics_at_once_;
    QTableWidget* vehicles_;
    QLabel* problem_;
    AisSettings settings_;
};

// Adds "Bersagli AIS..." to the menu: the dialog on the settings in force.
void add_ais_entry(QMenu& menu, std::function<AisSettings()> current, AisChange change,
                   EncounterActions encounter = {}, StationActions stations = {});

}  // namespace vadrel::gui
