#include "wiring.h"

#include "panel/course_speed.h"
#include "panel/lifecycle.h"
#include "panel/link.h"
#include "panel/position.h"
#include "panel/simulation_controls.h"
#include "panel/step_buttons.h"
#include "panel/view.h"

namespace vadrel {

void connect_panel(PanelForm& f) {
    // position boxes, their step buttons and the hemisphere keys
    for (const CoordinateBoxes* c : {&latitude_boxes, &longitude_boxes}) {
        for (TextBox PanelForm::*box : {c->degrees, c->minutes, c->seconds}) {
            (f.*box).on_change = [&f, c] { position_box_changed(f, *c); };
        }
        TextBox& hemisphere = f.*c->hemisphere;
        hemisphere.on_change = [&f, c] { hemisphere_box_changed(f, *c); };
        hemisphere.on_key_down = [&f, c](int key, bool) { hemisphere_key_down(f, *c, key); };
        hemisphere.on_key_up = [&f, c](int key, bool) { hemisphere_key_up(f, *c, key); };
    }
    for (const StepButton& step : step_buttons) (f.*step.button).on_click = [&f, &step] { step_clicked(f, step); };

    // course, speed and unit
    f.course_box.on_key_down = [&f](int, bool) { course_key_down(f); };
    f.course_box.on_key_press = [&f](char32_t c) { return course_key_press(f, c); };
    f.course_box.on_change = [&f] { course_changed(f); };
    f.course_box.on_key_up = [&f](int, bool) { course_key_up(f); };
    f.speed_box.on_key_press = [&f](char32_t c) { return speed_key_press(f, c); };
    f.speed_box.on_change = [&f] { speed_changed(f); };
    f.kmh_option.on_click = [&f] { unit_clicked(f, SpeedUnit::kmh); };
    f.mph_option.on_click = [&f] { unit_clicked(f, SpeedUnit::knots); };

    // the simulator
    f.standard_mode_option.on_click = [&f] { mode_clicked(f, Mode::gps_standard); };
    f.radio_mode_option.on_click = [&f] { mode_clicked(f, Mode::radio); };
    f.multi_user_mode_option.on_click = [&f] { mode_clicked(f, Mode::multi_user); };
    f.vehicle_count_box.on_change = [&f] { vehicle_count_changed(f); };
    f.start_stop_button.on_click = [&f] { start_stop_clicked(f); };
    f.previous_vehicle_button.on_click = [&f] { previous_vehicle_clicked(f); };
    f.next_vehicle_button.on_click = [&f] { next_vehicle_clicked(f); };

    // serial link
    for (std::size_t i = 0; i < com_ports.size(); ++i) {
        (f.*port_buttons[i]).on_click = [&f, number = com_ports[i]] { choose_port(f, number); };
    }
    for (std::size_t i = 0; i < line_speeds.size(); ++i) {
        (f.*speed_buttons[i]).on_click = [&f, baud = line_speeds[i]] { choose_speed(f, baud); };
    }

    // information menu
    f.about_menu.on_click = [&f] { about_clicked(f); };

    watch_model(f);
}

}  // namespace vadrel
