#include "wiring.h"

#include "core/fleet.h"
#include "core/tick.h"
#include "motion/course_speed.h"
#include "panel/lifecycle.h"
#include "panel/position.h"
#include "panel/step_buttons.h"
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

template <typename Handler>
auto bind_char(Form1& form, Handler handler) {
    return [&form, handler](char32_t character) { return handler(form, character); };
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

    // position step buttons
    f.Command1.on_click = bind(f, Command1_Click);
    f.Command2.on_click = bind(f, Command2_Click);
    f.Command3.on_click = bind(f, Command3_Click);
    f.Command4.on_click = bind(f, Command4_Click);
    f.Command13.on_click = bind(f, Command13_Click);
    f.Command12.on_click = bind(f, Command12_Click);
    f.Command6.on_click = bind(f, Command6_Click);
    f.Command5.on_click = bind(f, Command5_Click);
    f.Command8.on_click = bind(f, Command8_Click);
    f.Command7.on_click = bind(f, Command7_Click);
    f.Command18.on_click = bind(f, Command18_Click);
    f.Command16.on_click = bind(f, Command16_Click);

    // course, speed and unit
    f.txt_angolo.on_key_down = bind_key(f, txt_angolo_KeyDown);
    f.txt_angolo.on_key_press = bind_char(f, txt_angolo_KeyPress);
    f.txt_angolo.on_change = bind(f, txt_angolo_Change);
    f.txt_angolo.on_key_up = bind_key(f, txt_angolo_KeyUp);
    f.txt_vel.on_key_press = bind_char(f, txt_vel_KeyPress);
    f.txt_vel.on_change = bind(f, txt_vel_Change);
    f.opt_km.on_click = bind(f, opt_km_Click);
    f.opt_miglia.on_click = bind(f, opt_miglia_Click);

    // transmission and vehicles
    f.Command9.on_click = bind(f, Command9_Click);
    f.Command10.on_click = bind(f, Command10_Click);
    f.Command11.on_click = bind(f, Command11_Click);

    // serial link
    for (const PortaCom& p : porte_com) {
        (f.*p.bottone).on_click = [&f, numero = p.numero] { scegli_porta(f, numero); };
    }
    for (const VelocitaLinea& v : velocita_linea) {
        (f.*v.bottone).on_click = [&f, baud = v.baud] { scegli_velocita(f, impostazioni_di(baud)); };
    }

    // information menu
    f.menu_info.on_click = bind(f, menu_info_Click);
}

}  // namespace vadrel
