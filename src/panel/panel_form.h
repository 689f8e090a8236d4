#pragma once
// PanelForm: the operator panel, a view and controller of the fleet. Every
// control of the main window lives here with the panel's own state (the
// texts its key filters keep); the vehicles and the simulator's state live
// in the fleet (fleet/fleet.h). The panel's handlers (panel/*.cpp) turn each
// operator edit into one change of the fleet, and its view (panel/view.h)
// writes the boxes from the fleet. Nothing here knows Qt.

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/transmitter.h"
#include "fleet/fleet.h"
#include "model/controls.h"
#include "model/numbers.h"
#include "model/platform.h"

namespace vadrel {

// The outside world as the panel uses it.
struct Platform {
    SerialPort& port;
    Clock& clock;
    Shell& shell;
    RegionalFormat format = RegionalFormat::italian();
};

// What the panel's position boxes were last given for one coordinate, and
// where the vehicle was then: boxes that show it again put the vehicle back
// there, not on the whole second they show.
struct DrawnCoordinate {
    WholeSeconds shown;
    double exact = 0.0;
};

// The program's title, the caption of its message boxes.
inline constexpr const char* program_title = "vadrel";
// The caption of the main window.
inline constexpr const char* window_caption = "Quorvel vadrel - Simulatore GPS";

class PanelForm : public TransmitterView {
public:
    PanelForm(Fleet& fleet, Transmitter& transmitter, Platform platform);
    ~PanelForm() override;
    PanelForm(const PanelForm&) = delete;
    PanelForm& operator=(const PanelForm&) = delete;

    Fleet& fleet;
    Transmitter& transmitter;
    Platform platform;

    // Client area in twips and background colour.
    static constexpr int client_width = 8910;
    static constexpr int client_height = 6105;
    static constexpr Colour background{0xC0, 0xC0, 0xC0};

    // ---- controls, in the order of the window's definition ----
    CommandButton Command11;
    CommandButton Command10;
    TextBox txt_mezzo_attuale;
    CommandButton Command9;
    TextBox txt_num_mezzi;
    PictureBox Picture2;
    Frame Frame7;
    TextBox txt_angolo;
    OptionButton opt_miglia;
    OptionButton opt_km;
    TextBox txt_vel;
    Label Label7;
    Label Label4;
    PictureBox Picture1;
    HiddenControl Timer1;
    HiddenControl MSComm1;
    Frame Frame2;
    TextBox txt_lon_g;
    CommandButton Command5;
    CommandButton Command6;
    Label Label10;
    TextBox txt_lon_p;
    CommandButton Command7;
    CommandButton Command8;
    Label Label9;
    TextBox txt_lon_s;
    CommandButton Command16;
    CommandButton Command18;
    Label Label6;
    TextBox txt_lon_ew;
    Label Label8;
    Frame Frame1;
    TextBox txt_lat_g;
    CommandButton Command2;
    CommandButton Command1;
    Label Label1;
    TextBox txt_lat_p;
    CommandButton Command4;
    CommandButton Command3;
    Label Label2;
    TextBox txt_lat_s;
    CommandButton Command12;
    CommandButton Command13;
    Label Label5;
    TextBox txt_lat_ns;
    Label Label3;
    Frame Frame6;
    OptionButton Opt_gps_standard;
    OptionButton opt_tx_radio;
    OptionButton opt_multi;
    Frame Frame5;
    Label Label11;
    Frame Frame4;
    OptionButton Option1;
    OptionButton Option2;
    OptionButton Option3;
    Frame Frame3;
    OptionButton opt_com1;
    OptionButton opt_com2;
    OptionButton opt_com3;
    OptionButton opt_com4;
    Label Label13;
    Label Label12;
    MenuEntry menu_info;
    MenuEntry menu_help;

    // Every control above, in definition order.
    const std::vector<Control*>& controls() const { return controls_; }
    // The control of that name, or nullptr.
    Control* find(const std::string& name) const;

    // ---- the panel's own state ----
    // The course box's text when a key last went down in it, and whether a
    // key went down there since the last key up.
    std::string course_saved;
    bool course_key_down = false;
    // The hemisphere boxes' texts when a key last went down in them, and the
    // keys that went down since their text last changed: only their release
    // knows what the box showed. Shift and the letter are released in either
    // order.
    std::string lat_hemisphere_saved;
    std::string lon_hemisphere_saved;
    std::set<int> lat_hemisphere_keys;
    std::set<int> lon_hemisphere_keys;
    // What the position boxes were last given, per coordinate.
    std::optional<DrawnCoordinate> drawn_lat;
    std::optional<DrawnCoordinate> drawn_lon;
    // True while the panel writes its boxes from the fleet: their change
    // handling then changes nothing.
    bool drawing = false;

    // The help file named at start-up.
    std::string help_file;
    // Label11 as a replay found it, put back when it ends.
    std::string replay_caption;
    Colour replay_colour;

    // The panel as a view of the transmitter (panel/view.cpp).
    void second_shown(const std::string& text, bool replayed) override;
    void port_lost() override;
    void next_vehicle() override;
    void replay_changed(bool playing) override;

    // Set by connect_panel: the fleet's watcher of this panel.
    Fleet::WatchId fleet_watch = 0;

private:
    std::vector<Control*> controls_;
};

}  // namespace vadrel
