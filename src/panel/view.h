#pragma once
// The panel as a view of the fleet: it writes its boxes from the current
// vehicle (at each step of the simulation, when another vehicle becomes the
// current one, and at once for a change made elsewhere), and its own writes
// never count as the operator's edits. A change the panel made itself is
// not written back: the box shows it as typed until the next step.

#include "panel/form1.h"

namespace vadrel {

// The four boxes of one coordinate and its letters.
struct CoordinateBoxes {
    TextBox Form1::*degrees;
    TextBox Form1::*minutes;
    TextBox Form1::*seconds;
    TextBox Form1::*hemisphere;
    char positive;
    char negative;
    std::optional<DrawnCoordinate> Form1::*drawn;
    bool latitude;
};
inline constexpr CoordinateBoxes latitude_boxes{&Form1::txt_lat_g, &Form1::txt_lat_p, &Form1::txt_lat_s,
                                                &Form1::txt_lat_ns, 'N',  'S', &Form1::drawn_lat, true};
inline constexpr CoordinateBoxes longitude_boxes{&Form1::txt_lon_g, &Form1::txt_lon_p, &Form1::txt_lon_s,
                                                 &Form1::txt_lon_ew, 'E',  'W', &Form1::drawn_lon, false};

// The panel's writes of its own boxes: the change handling they run leaves
// the fleet alone.
class Drawing {
public:
    explicit Drawing(Form1& form) : form_(form), was_(form.drawing) { form_.drawing = true; }
    ~Drawing() { form_.drawing = was_; }
    Drawing(const Drawing&) = delete;
    Drawing& operator=(const Drawing&) = delete;

private:
    Form1& form_;
    bool was_;
};

const Vehicle& current_vehicle(const Form1& form);

// The position boxes: the current vehicle rounded to whole seconds.
void draw_position(Form1& form);
// The course or speed box, when its text does not read as the vehicle's
// (or always, with `always`): the value as a whole number.
void draw_course(Form1& form, bool always);
void draw_speed(Form1& form, bool always);
void draw_unit(Form1& form);
// Every box of the current vehicle, and its number.
void draw_vehicle(Form1& form);
// Label11 for transmission on or off: "Stop" in red; started, "Tx OK" in
// green on an open port, else "No Tx" in red.
void show_transmission(Form1& form);

// The panel starts watching the fleet and the transmitter.
void watch_model(Form1& form);

}  // namespace vadrel
