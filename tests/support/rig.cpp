#include "fakes.h"

#include "panel/wiring.h"

namespace vadrel::testing {

Rig::Rig(bool wired) {
    if (wired) connect_panel(form);
}

void Rig::tick(double seconds_later) {
    clock.steady += seconds_later;
    transmitter.tick();
}

std::string panel_text(const PanelForm& f) {
    std::string out;
    for (const TextBox* b : {&f.latitude_degrees_box, &f.latitude_minutes_box, &f.latitude_seconds_box,
                             &f.latitude_hemisphere_box, &f.longitude_degrees_box, &f.longitude_minutes_box,
                             &f.longitude_seconds_box, &f.longitude_hemisphere_box, &f.speed_box, &f.course_box}) {
        out += b->text() + " ";
    }
    return out + (f.kmh_option.selected() ? "km" : f.mph_option.selected() ? "mi" : "-");
}

}  // namespace vadrel::testing
