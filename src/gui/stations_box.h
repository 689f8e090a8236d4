#pragma once
// The part of "Bersagli AIS..." for the stations that stand in one place:
// a buoy added by name and position, all of them taken away, the SART in
// test switched on at a position or off. Each change goes to the program's
// own (the control interface's); the names and positions are read as they
// are typed, what is wrong said under them.

#include <QGroupBox>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "ais/fixed_stations.h"
#include "os/result.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vadrel::gui {

struct StationActions {
    // The stations on the air now.
    std::function<StationsOnAir()> current;
    // The program's change: what was done, one line a change, or why not.
    std::function<Result<std::vector<std::string>>(const StationsOnAir&)> set;
};

class StationsBox : public QGroupBox {
    Q_OBJECT
public:
    StationsBox(StationActions actions, QWidget* parent);
    // Return in a buoy's box adds it, in the SART's switches it on.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void read();
    void add_buoy();
    void switch_sart(bool on);
    void change(const StationsOnAir& stations);
    void show_stations();

    StationActions actions_;
    QLineEdit* buoy_name_;
    QLineEdit* buoy_position_;
    QPushButton* add_;
    QPushButton* remove_;
    QLineEdit* sart_position_;
    QCheckBox* sart_on_;
    QLabel* on_air_;
    QLabel* understood_;
};

}  // namespace vadrel::gui
