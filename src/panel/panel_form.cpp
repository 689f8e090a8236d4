#include "panel_form.h"

#include "panel/step_buttons.h"


namespace vadrel {

namespace {
constexpr bool locked = true;
constexpr bool unlocked = false;
constexpr bool selected = true;
constexpr Font step_font{12.0, false};
}  // namespace

PanelForm::PanelForm(Fleet& fleet_, Transmitter& transmitter_, Platform platform_)
    : fleet(fleet_),
      transmitter(transmitter_),
      platform(platform_),
      Command11("Command11", "Form1", "+", {7740, 5760, 225, 300}),
      Command10("Command10", "Form1", "-", {7470, 5760, 225, 300}),
      txt_mezzo_attuale("txt_mezzo_attuale", "Form1", "0", locked, {6705, 5760, 735, 285}),
      Command9("Command9", "Form1", "Start/Stop", {7695, 5040, 1095, 320}),
      txt_num_mezzi("txt_num_mezzi", "Form1", "0", unlocked, {6705, 5445, 735, 285}),
      Picture2("Picture2", "Form1", {0, 0, 8895, 4845}),
      Frame7("Frame7", "Picture2", "Movimento veicolo", {5715, 0, 3030, 1680}),
      txt_angolo("txt_angolo", "Frame7", "0", unlocked, {2100, 1260, 700, 285}),
      opt_miglia("opt_miglia", "Frame7", "miglia/h", !selected, {180, 720, 900, 255}),
      opt_km("opt_km", "Frame7", "Km/h", selected, {180, 495, 735, 255}),
      txt_vel("txt_vel", "Frame7", "0", unlocked, {2100, 225, 700, 285}),
      Label7("Label7", "Frame7", "Velocità:", {180, 270, 855, 255}),
      Label4("Label4", "Frame7", "Angolo di rotta (0° .. 360°):", {135, 1305, 1935, 255}),
      Picture1("Picture1", "Picture2", {0, 1710, 9015, 3045}),
      Timer1("Timer1", ControlKind::timer, "Picture1"),
      MSComm1("MSComm1", ControlKind::serial_component, "Picture1"),
      Frame2("Frame2", "Picture2", "Longitudine", {2880, 0, 2760, 1680}),
      txt_lon_g("txt_lon_g", "Frame2", "0", locked, {900, 250, 440, 300}),
      Command5("Command5", "Frame2", "-", {1500, 250, 225, 300}),
      Command6("Command6", "Frame2", "+", {1750, 250, 225, 300}),
      Label10("Label10", "Frame2", "Gradi", {105, 250, 855, 225}),
      txt_lon_p("txt_lon_p", "Frame2", "0", locked, {900, 600, 440, 300}),
      Command7("Command7", "Frame2", "-", {1500, 600, 225, 330}),
      Command8("Command8", "Frame2", "+", {1750, 600, 225, 330}),
      Label9("Label9", "Frame2", "Primi", {105, 600, 630, 225}),
      txt_lon_s("txt_lon_s", "Frame2", "0", locked, {900, 950, 440, 300}),
      Command16("Command16", "Frame2", "-", {1500, 950, 225, 330}),
      Command18("Command18", "Frame2", "+", {1750, 950, 225, 330}),
      Label6("Label6", "Frame2", "Secondi", {90, 950, 615, 255}),
      txt_lon_ew("txt_lon_ew", "Frame2", "E", locked, {900, 1300, 440, 300}),
      Label8("Label8", "Frame2", "E/W", {105, 1300, 540, 225}),
      Frame1("Frame1", "Picture2", "Latitudine", {90, 0, 2730, 1680}),
      txt_lat_g("txt_lat_g", "Frame1", "0", locked, {900, 250, 440, 300}),
      Command2("Command2", "Frame1", "-", {1500, 250, 225, 300}),
      Command1("Command1", "Frame1", "+", {1750, 250, 225, 300}),
      Label1("Label1", "Frame1", "Gradi", {105, 250, 510, 225}),
      txt_lat_p("txt_lat_p", "Frame1", "0", locked, {900, 600, 440, 300}),
      Command4("Command4", "Frame1", "-", {1500, 600, 225, 300}),
      Command3("Command3", "Frame1", "+", {1750, 600, 225, 300}),
      Label2("Label2", "Frame1", "Primi", {105, 600, 630, 225}),
      txt_lat_s("txt_lat_s", "Frame1", "0", locked, {900, 950, 440, 300}),
      Command12("Command12", "Frame1", "-", {1500, 950, 225, 300}),
      Command13("Command13", "Frame1", "+", {1750, 950, 225, 300}),
      Label5("Label5", "Frame1", "Secondi", {90, 950, 705, 255}),
      txt_lat_ns("txt_lat_ns", "Frame1", "N", locked, {900, 1300, 440, 300}),
      Label3("Label3", "Frame1", "N/S", {135, 1300, 540, 225}),
      Frame6("Frame6", "Form1", "Modo", {120, 5400, 4440, 435}),
      Opt_gps_standard("Opt_gps_standard", "Frame6", "GPS standar", selected, {180, 180, 1335, 195}),
      opt_tx_radio("opt_tx_radio", "Frame6", "TX radio", !selected, {1740, 180, 915, 195}),
      opt_multi("opt_multi", "Frame6", "Multiutente", !selected, {2880, 180, 1455, 195}),
      Frame5("Frame5", "Form1", "Stato trasmissione", {6660, 4815, 2190, 585}),
      Label11("Label11", "Frame5", "Label11", {90, 225, 1380, 225}),
      Frame4("Frame4", "Form1", "", {3960, 4815, 2535, 585}),
      Option1("Option1", "Frame4", "2400", !selected, {105, 210, 750, 225}),
      Option2("Option2", "Frame4", "4800", selected, {840, 210, 855, 225}),
      Option3("Option3", "Frame4", "9600", !selected, {1680, 210, 750, 225}),
      Frame3("Frame3", "Form1", "", {135, 4815, 3585, 585}),
      opt_com1("opt_com1", "Frame3", "COM 1", !selected, {105, 210, 1065, 225}),
      opt_com2("opt_com2", "Frame3", "COM 2", selected, {945, 210, 1065, 225}),
      opt_com3("opt_com3", "Frame3", "COM 3", !selected, {1785, 210, 960, 225}),
      opt_com4("opt_com4", "Frame3", "COM 4", !selected, {2625, 210, 855, 225}),
      Label13("Label13", "Form1", "Mezzo attuale:", {4635, 5760, 1335, 255}),
      Label12("Label12", "Form1", "Numero di mezzi mobili:", {4635, 5445, 1815, 255}),
      menu_info("menu_info", "Informazioni sul programma"),
      menu_help("menu_help", "Help --> Premi F1") {
    controls_ = {
        &Command11, &Command10, &txt_mezzo_attuale, &Command9, &txt_num_mezzi, &Picture2,
        &Frame7, &txt_angolo, &opt_miglia, &opt_km, &txt_vel, &Label7, &Label4,
        &Picture1, &Timer1, &MSComm1,
        &Frame2, &txt_lon_g, &Command5, &Command6, &Label10, &txt_lon_p, &Command7, &Command8,
        &Label9, &txt_lon_s, &Command16, &Command18, &Label6, &txt_lon_ew, &Label8,
        &Frame1, &txt_lat_g, &Command2, &Command1, &Label1, &txt_lat_p, &Command4, &Command3,
        &Label2, &txt_lat_s, &Command12, &Command13, &Label5, &txt_lat_ns, &Label3,
        &Frame6, &Opt_gps_standard, &opt_tx_radio, &opt_multi,
        &Frame5, &Label11,
        &Frame4, &Option1, &Option2, &Option3,
        &Frame3, &opt_com1, &opt_com2, &opt_com3, &opt_com4,
        &Label13, &Label12, &menu_info, &menu_help,
    };

    for (CommandButton* b : {&Command11, &Command10}) b->set_font(step_font);
    for (const StepButton& step : step_buttons) (this->*step.button).set_font(step_font);
    Label11.set_font({9.75, true});

    const std::vector<std::vector<OptionButton*>> groups = {
        {&opt_miglia, &opt_km},
        {&Opt_gps_standard, &opt_tx_radio, &opt_multi},
        {&Option1, &Option2, &Option3},
        {&opt_com1, &opt_com2, &opt_com3, &opt_com4},
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
    transmitter.remove_view(*this);
}

}  // namespace vadrel
