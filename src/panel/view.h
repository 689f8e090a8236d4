#pragma once
// The panel as a view of the fleet: it writes its boxes from the current
// vehicle (at each step of the simulation, when another vehicle becomes the
// current one, and at once for a change made elsewhere), and its own writes
// never count as the operator's edits. A change the panel made itself is
// not written back: the box shows it as typed until the next step.

#include "panel/panel_form.h"

namespace vadrel {

// The four boxes of one coordinate and its letters.
struct CoordinateBoxes {
    TextBox PanelForm::*degrees;
    TextBox PanelForm::*minutes;
    TextBox PanelForm::*seconds;
    TextBox PanelForm::*hemisphere;
    char positive;
    char negative;
    std::optional<DrawnCoordinate> PanelForm::*drawn;
    bool latitude;
};
inline constexpr CoordinateBoxes latitude_boxes{
    &PanelForm::latitude_degrees_box, &PanelForm::latitude_minutes_box, &PanelForm::latitude_seconds_box,
    &PanelForm::latitude_hemisphere_box, 'N', 'S', &PanelForm::drawn_lat, true};
inline constexpr CoordinateBoxes longitude_boxes{
    &PanelForm::longitude_degrees_box, &PanelForm::longitude_minutes_box, &PanelForm::longitude_seconds_box,
    &PanelForm::longitude_hemisphere_box, 'E', 'W', &PanelForm::drawn_lon, false};

// The panel's writes of its own boxes: the change handling they run leaves
// the fleet alone.
class Drawing {
public:
    explicit Drawing(PanelForm& form) : form_(form), was_(form.drawing) { form_.drawing = true; }
    ~Drawing() { form_.drawing = was_; }
    Drawing(const Drawing&) = delete;
    Drawing& operator=(const Drawing&) = delete;

private:
    PanelForm& form_;
    bool was_;
};

const Vehicle& current_vehicle(const PanelForm& form);

// The position boxes: the current vehicle rounded to whole seconds.
void draw_position(PanelForm& form);
// The course or speed box, when its text does not read as the vehicle's
// (or always, with `always`): the value as a whole number.
void draw_course(PanelForm& form, bool always);
void draw_speed(PanelForm& form, bool always);
void draw_unit(PanelForm& form);
// Every box of the current vehicle, and its number.
void draw_vehicle(PanelForm& form);
// status_label, the one rule for its caption and colour: "Stop" in red while
// stopped; running, "No Tx" in red on a closed port, "Senza fix" in red while
// the receiver has no fix, else "Tx OK" in green.
void show_transmission(PanelForm& form);

// The panel starts watching the fleet and the transmitter.
void watch_model(PanelForm& form);

}  // namespace vadrel
