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
    for (const TextBox* b : {&f.txt_lat_g, &f.txt_lat_p, &f.txt_lat_s, &f.txt_lat_ns, &f.txt_lon_g, &f.txt_lon_p,
                             &f.txt_lon_s, &f.txt_lon_ew, &f.txt_vel, &f.txt_angolo}) {
        out += b->text() + " ";
    }
    return out + (f.opt_km.selected() ? "km" : f.opt_miglia.selected() ? "mi" : "-");
}

}  // namespace vadrel::testing
