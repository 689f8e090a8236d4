#include "wiring.h"

#include "core/fleet.h"
#include "core/tick.h"
#include "panel/position.h"
#include "serial/link.h"

namespace vadrel {

namespace {

template <typename Handler>
auto bind(Form1& form, Handler handler) {
    return [&form, handler] { handler(form); };
}

template <typename Handler>
auto bind_key(Form1& form, Handler handler) {
    return [&form, handler](int key, bool shift) { handler(form, key, shift); };
}

}  // namespace

void collega_eventi(Form1& f) {
    // position boxes
    f.txt_lat_g.on_change = bind(f, txt_lat_g_Change);
    f.txt_lat_p.on_change = bind(f, txt_lat_p_Change);
    f.txt_lat_s.on_change = bind(f, txt_lat_s_Change);
    f.txt_lat_ns.on_change = bind(f, txt_lat_ns_Change);
    f.txt_lon_g.on_change = bind(f, txt_lon_g_Change);
    f.txt_lon_p.on_change = bind(f, txt_lon_p_Change);
    f.txt_lon_s.on_change = bind(f, txt_lon_s_Change);
    f.txt_lon_ew.on_change = bind(f, txt_lon_ew_Change);
    f.txt_lat_ns.on_key_down = bind_key(f, txt_lat_ns_KeyDown);
    f.txt_lat_ns.on_key_up = bind_key(f, txt_lat_ns_KeyUp);
    f.txt_lon_ew.on_key_down = bind_key(f, txt_lon_ew_KeyDown);
    f.txt_lon_ew.on_key_up = bind_key(f, txt_lon_ew_KeyUp);

    // transmission and vehicles
    f.Command9.on_click = bind(f, Command9_Click);
    f.Command10.on_click = bind(f, Command10_Click);
    f.Command11.on_click = bind(f, Command11_Click);

    // serial link
    f.opt_com1.on_click = bind(f, opt_com1_Click);
    f.opt_com2.on_click = bind(f, opt_com2_Click);
    f.opt_com3.on_click = bind(f, opt_com3_Click);
    f.opt_com4.on_click = bind(f, opt_com4_Click);
    f.Option1.on_click = bind(f, Option1_Click);
    f.Option2.on_click = bind(f, Option2_Click);
    f.Option3.on_click = bind(f, Option3_Click);
}

}  // namespace vadrel
