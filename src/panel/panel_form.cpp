#include "panel_form.h"

#include "panel/step_buttons.h"

namespace vadrel {

namespace {
constexpr bool locked = true;
constexpr bool unlocked = false;
constexpr bool selected = true;
constexpr Font step_font{12.0, false};
}  // namespace

// The form's controls where the form lays them: a data table.
PanelForm::PanelForm(Fleet& fleet_, Link& link_, Transmitter& transmitter_, Platform platform_)
    : fleet(fleet_),
      link(link_),
      transmitter(transmitter_),
      platform(platform_),
      next_vehicle_button("Command11", "Form1", "+", {7740, 5760, 225, 300}),
      previous_vehicle_button("Command10", "Form1", "-", {7470, 5760, 225, 300}),
      current_vehicle_box("txt_mezzo_attuale", "Form1", "0", locked, {6705, 5760, 735, 285}),
      start_stop_button("Command9", "Form1", "Start/Stop", {7695, 5040, 1095, 320}),
      vehicle_count_box("txt_num_mezzi", "Form1", "0", unlocked, {6705, 5445, 735, 285}),
      upper_pane("Picture2", "Form1", {0, 0, 8895, 4845}),
      motion_frame("Frame7", "Picture2", "Movimento veicolo", {5715, 0, 3030, 1680}),
      course_box("txt_angolo", "Frame7", "0", unlocked, {2100, 1260, 700, 285}),
      mph_option("opt_miglia", "Frame7", "miglia/h", !selected, {180, 720, 900, 255}),
      kmh_option("opt_km", "Frame7", "Km/h", selected, {180, 495, 735, 255}),
      speed_box("txt_vel", "Frame7", "0", unlocked, {2100, 225, 700, 285}),
      speed_label("Label7", "Frame7", "Velocità:", {180, 270, 855, 255}),
      course_label("Label4", "Frame7", "Angolo di rotta (0° .. 360°):", {135, 1305, 1935, 255}),
      monitor("Picture1", "Picture2", {0, 1710, 9015, 3045}),
      tick_timer("Timer1", ControlKind::timer, "Picture1"),
      serial_component("MSComm1", ControlKind::serial_component, "Picture1"),
      longitude_frame("Frame2", "Picture2", "Longitudine", {2880, 0, 2760, 1680}),
      longitude_degrees_box("txt_lon_g", "Frame2", "0", locked, {900, 250, 440, 300}),
      longitude_degrees_down_button("Command5", "Frame2", "-", {1500, 250, 225, 300}),
      longitude_degrees_up_button("Command6", "Frame2", "+", {1750, 250, 225, 300}),
      longitude_degrees_label("Label10", "Frame2", "Gradi", {105, 250, 855, 225}),
      longitude_minutes_box("txt_lon_p", "Frame2", "0", locked, {900, 600, 440, 300}),
      longitude_minutes_down_button("Command7", "Frame2", "-", {1500, 600, 225, 330}),
      longitude_minutes_up_button("Command8", "Frame2", "+", {1750, 600, 225, 330}),
      longitude_minutes_label("Label9", "Frame2", "Primi", {105, 600, 630, 225}),
      longitude_seconds_box("txt_lon_s", "Frame2", "0", locked, {900, 950, 440, 300}),
      longitude_seconds_down_button("Command16", "Frame2", "-", {1500, 950, 225, 330}),
      longitude_seconds_up_button("Command18", "Frame2", "+", {1750, 950, 225, 330}),
      longitude_seconds_label("Label6", "Frame2", "Secondi", {90, 950, 615, 255}),
      longitude_hemisphere_box("txt_lon_ew", "Frame2", "E", locked, {900, 1300, 440, 300}),
      longitude_hemisphere_label("Label8", "Frame2", "E/W", {105, 1300, 540, 225}),
      latitude_frame("Frame1", "Picture2", "Latitudine", {90, 0, 2730, 1680}),
      latitude_degrees_box("txt_lat_g", "Frame1", "0", locked, {900, 250, 440, 300}),
      latitude_degrees_down_button("Command2", "Frame1", "-", {1500, 250, 225, 300}),
      latitude_degrees_up_button("Command1", "Frame1", "+", {1750, 250, 225, 300}),
      latitude_degrees_label("Label1", "Frame1", "Gradi", {105, 250, 510, 225}),
      latitude_minutes_box("txt_lat_p", "Frame1", "0", locked, {900, 600, 440, 300}),
      latitude_minutes_down_button("Command4", "Frame1", "-", {1500, 600, 225, 300}),
      latitude_minutes_up_button("Command3", "Frame1", "+", {1750, 600, 225, 300}),
      latitude_minutes_label("Label2", "Frame1", "Primi", {105, 600, 630, 225}),
      latitude_seconds_box("txt_lat_s", "Frame1", "0", locked, {900, 950, 440, 300}),
      latitude_seconds_down_button("Command12", "Frame1", "-", {1500, 950, 225, 300}),
      latitude_seconds_up_button("Command13", "Frame1", "+", {1750, 950, 225, 300}),
      latitude_seconds_label("Label5", "Frame1", "Secondi", {90, 950, 705, 255}),
      latitude_hemisphere_box("txt_lat_ns", "Frame1", "N", locked, {900, 1300, 440, 300}),
      latitude_hemisphere_label("Label3", "Frame1", "N/S", {135, 1300, 540, 225}),
      mode_frame("Frame6", "Form1", "Modo", {120, 5400, 4440, 435}),
      standard_mode_option("Opt_gps_standard", "Frame6", "GPS standar", selected, {180, 180, 1335, 195}),
      radio_mode_option("opt_tx_radio", "Frame6", "TX radio", !selected, {1740, 180, 915, 195}),
      multi_user_mode_option("opt_multi", "Frame6", "Multiutente", !selected, {2880, 180, 1455, 195}),
      status_frame("Frame5", "Form1", "Stato trasmissione", {6660, 4815, 2190, 585}),
      status_label("Label11", "Frame5", "Label11", {90, 225, 1380, 225}),
      baud_frame("Frame4", "Form1", "", {3960, 4815, 2535, 585}),
      baud_2400_option("Option1", "Frame4", "2400", !selected, {105, 210, 750, 225}),
      baud_4800_option("Option2", "Frame4", "4800", selected, {840, 210, 855, 225}),
      baud_9600_option("Option3", "Frame4", "9600", !selected, {1680, 210, 750, 225}),
      port_frame("Frame3", "Form1", "", {135, 4815, 3585, 585}),
      com1_option("opt_com1", "Frame3", "COM 1", !selected, {105, 210, 1065, 225}),
      com2_option("opt_com2", "Frame3", "COM 2", selected, {945, 210, 1065, 225}),
      com3_option("opt_com3", "Frame3", "COM 3", !selected, {1785, 210, 960, 225}),
      com4_option("opt_com4", "Frame3", "COM 4", !selected, {2625, 210, 855, 225}),
      current_vehicle_label("Label13", "Form1", "Mezzo attuale:", {4635, 5760, 1335, 255}),
      vehicle_count_label("Label12", "Form1", "Numero di mezzi mobili:", {4635, 5445, 1815, 255}),
      about_menu("menu_info", "Informazioni sul programma"),
      help_menu("menu_help", "Help --> Premi F1") {
    controls_ = {
        &next_vehicle_button, &previous_vehicle_button, &current_vehicle_box, &start_stop_button, &vehicle_count_box,
        &upper_pane,
        &motion_frame, &course_box, &mph_option, &kmh_option, &speed_box, &speed_label, &course_label,
        &monitor, &tick_timer, &serial_component,
        &longitude_frame, &longitude_degrees_box, &longitude_degrees_down_button, &longitude_degrees_up_button,
        &longitude_degrees_label, &longitude_minutes_box, &longitude_minutes_down_button, &longitude_minutes_up_button,
        &longitude_minutes_label, &longitude_seconds_box, &longitude_seconds_down_button, &longitude_seconds_up_button,
        &longitude_seconds_label, &longitude_hemisphere_box, &longitude_hemisphere_label,
        &latitude_frame, &latitude_degrees_box, &latitude_degrees_down_button, &latitude_degrees_up_button,
        &latitude_degrees_label, &latitude_minutes_box, &latitude_minutes_down_button, &latitude_minutes_up_button,
        &latitude_minutes_label, &latitude_seconds_box, &latitude_seconds_down_button, &latitude_seconds_up_button,
        &latitude_seconds_label, &latitude_hemisphere_box, &latitude_hemisphere_label,
        &mode_frame, &standard_mode_option, &radio_mode_option, &multi_user_mode_option,
        &status_frame, &status_label,
        &baud_frame, &baud_2400_option, &baud_4800_option, &baud_9600_option,
        &port_frame, &com1_option, &com2_option, &com3_option, &com4_option,
        &current_vehicle_label, &vehicle_count_label, &about_menu, &help_menu,
    };

    set_fonts_and_groups();
}

void PanelForm::set_fonts_and_groups() {
    for (CommandButton* b : {&next_vehicle_button, &previous_vehicle_button}) b->set_font(step_font);
    for (const StepButton& step : step_buttons) (this->*step.button).set_font(step_font);
    status_label.set_font({9.75, true});

    const std::vector<std::vector<OptionButton*>> groups = {
        {&mph_option, &kmh_option},
        {&standard_mode_option, &radio_mode_option, &multi_user_mode_option},
        {&baud_2400_option, &baud_4800_option, &baud_9600_option},
        {&com1_option, &com2_option, &com3_option, &com4_option},
    };
    for (const auto& group : groups) {
        for (OptionButton* b : group) b->set_group(group);
    }
}

Control* PanelForm::find(const std::string& name) const {
    for (Control* c : controls_) {
        if (c->name() == name) return c;
    }
    return nullptr;
}

PanelForm::~PanelForm() {
    if (fleet_watch != 0) fleet.unwatch(fleet_watch);
    if (link_watch != 0) link.unwatch(link_watch);
    transmitter.remove_view(*this);
}

}  // namespace vadrel
