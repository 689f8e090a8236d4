#pragma once
// PanelForm: the operator panel, a view and controller of the fleet. Every
// control of the main window lives here with the panel's own state (the
// texts its key filters keep); the vehicles and the simulator's state live
// in the fleet (fleet/fleet.h), the serial link's in the link (link/link.h).
// The panel's handlers (panel/*.cpp) turn each
// operator edit into one change of the fleet, and its view (panel/view.h)
// writes the boxes from the fleet. Nothing here knows Qt.

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tick/transmitter.h"
#include "fleet/fleet.h"
#include "link/link.h"
#include "model/controls.h"
#include "model/numbers.h"
#include "model/platform.h"

namespace vadrel {

// The outside world as the panel uses it.
struct Platform {
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

// The caption of the main window.
inline constexpr const char* window_caption = "Quorvel vadrel - Simulatore GPS";

class PanelForm : public TransmitterView {
public:
    PanelForm(Fleet& fleet, Link& link, Transmitter& transmitter, Platform platform);
    ~PanelForm() override;
    PanelForm(const PanelForm&) = delete;
    PanelForm& operator=(const PanelForm&) = delete;

    Fleet& fleet;
    Link& link;
    Transmitter& transmitter;
    Platform platform;

    // Client area in twips and background colour.
    static constexpr int client_width = 8910;
    static constexpr int client_height = 6105;
    static constexpr Colour background{0xC0, 0xC0, 0xC0};

    // ---- controls, in the order of the window's definition ----
    CommandButton next_vehicle_button;
    CommandButton previous_vehicle_button;
    TextBox current_vehicle_box;
    CommandButton start_stop_button;
    TextBox vehicle_count_box;
    PictureBox upper_pane;
    Frame motion_frame;
    TextBox course_box;
    OptionButton mph_option;
    OptionButton kmh_option;
    TextBox speed_box;
    Label speed_label;
    Label course_label;
    PictureBox monitor;
    HiddenControl tick_timer;
    HiddenControl serial_component;
    Frame longitude_frame;
    TextBox longitude_degrees_box;
    CommandButton longitude_degrees_down_button;
    CommandButton longitude_degrees_up_button;
    Label longitude_degrees_label;
    TextBox longitude_minutes_box;
    CommandButton longitude_minutes_down_button;
    CommandButton longitude_minutes_up_button;
    Label longitude_minutes_label;
    TextBox longitude_seconds_box;
    CommandButton longitude_seconds_down_button;
    CommandButton longitude_seconds_up_button;
    Label longitude_seconds_label;
    TextBox longitude_hemisphere_box;
    Label longitude_hemisphere_label;
    Frame latitude_frame;
    TextBox latitude_degrees_box;
    CommandButton latitude_degrees_down_button;
    CommandButton latitude_degrees_up_button;
    Label latitude_degrees_label;
    TextBox latitude_minutes_box;
    CommandButton latitude_minutes_down_button;
    CommandButton latitude_minutes_up_button;
    Label latitude_minutes_label;
    TextBox latitude_seconds_box;
    CommandButton latitude_seconds_down_button;
    CommandButton latitude_seconds_up_button;
    Label latitude_seconds_label;
    TextBox latitude_hemisphere_box;
    Label latitude_hemisphere_label;
    Frame mode_frame;
    OptionButton standard_mode_option;
    OptionButton radio_mode_option;
    OptionButton multi_user_mode_option;
    Frame status_frame;
    Label status_label;
    Frame baud_frame;
    OptionButton baud_2400_option;
    OptionButton baud_4800_option;
    OptionButton baud_9600_option;
    Frame port_frame;
    OptionButton com1_option;
    OptionButton com2_option;
    OptionButton com3_option;
    OptionButton com4_option;
    Label current_vehicle_label;
    Label vehicle_count_label;
    MenuEntry about_menu;
    MenuEntry help_menu;

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
    // status_label as a replay or a lost fix found it, put back when it ends.
    std::string held_caption;
    Colour held_colour;

    // The panel as a view of the transmitter (panel/view.cpp).
    void second_shown(const std::string& text, bool replayed) override;
    void next_vehicle() override;
    void replay_changed(bool playing) override;

    // Set by connect_panel: the fleet's and the link's watchers of this panel.
    Fleet::WatchId fleet_watch = 0;
    Link::WatchId link_watch = 0;

private:
    // The step buttons' font, the label of the state in bold, and the
    // option buttons that clear each other.
    void set_fonts_and_groups();

    std::vector<Control*> controls_;
};

}  // namespace vadrel
