#pragma once
// Form1: the operator panel as data. Every control of the main window, the
// simulator state and the vehicle table live here; the behaviour is in the
// procedures of motion/, core/, serial/, config/ and panel/, which work on
// this object. Nothing here knows Qt.

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "controls.h"
#include "numbers.h"
#include "platform.h"
#include "receiver_options.h"
#include "track_history.h"

namespace vadrel {

// One simulated vehicle.
struct veicolo {
    std::int16_t lat_g = 0;
    std::int16_t lat_p = 0;
    std::int16_t lat_s = 0;
    std::string lat_ns;
    std::int16_t lon_g = 0;
    std::int16_t lon_p = 0;
    std::int16_t lon_s = 0;
    std::string lon_ew;
    std::int16_t vel = 0;
    std::int16_t angolo = 0;
    std::int16_t km = 0;
    std::int16_t miglia = 0;
    bool operator==(const veicolo&) const = default;
};

constexpr int numero_mezzi = 21;

// One coordinate as the panel shows it: whole degrees, minutes and seconds
// and the hemisphere letter.
struct ShownCoordinate {
    std::int16_t gradi = 0;
    std::int16_t primi = 0;
    std::int16_t secondi = 0;
    std::string emisfero;
    bool operator==(const ShownCoordinate&) const = default;
};

// Where a vehicle really is, kept beside its record from tick to tick:
// seconds of arc, north and east positive, at full precision. The boxes and
// the record show it rounded to whole seconds. `*_mostrata` is what the boxes
// were last given for it; when the vehicle's boxes show something else, the
// operator (the step buttons, the hemisphere keys) or a loaded file has moved
// the vehicle, and the exact position starts again from the boxes.
struct ExactPosition {
    double lat = 0.0;  // -324000 (90 S) .. 324000 (90 N)
    double lon = 0.0;  // -648000 (180 W) .. 648000 (180 E)
    std::optional<ShownCoordinate> lat_mostrata;
    std::optional<ShownCoordinate> lon_mostrata;
    // How many times the position was set rather than stepped (from the
    // boxes, or by "Vai a posizione"): the track breaks where it changes.
    std::uint32_t tratto = 0;
};

// The outside world as the form uses it.
struct Platform {
    SerialPort& port;
    Output& output;  // the serial port and the other outputs, for the tick's bytes
    Clock& clock;
    Shell& shell;
    RegionalFormat format = RegionalFormat::italian();
};

// The program's title, the caption of its message boxes.
inline constexpr const char* program_title = "vadrel";
// The caption of the main window.
inline constexpr const char* window_caption = "Quorvel vadrel - Simulatore GPS";

class Form1 {
public:
    explicit Form1(Platform platform);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

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

    // ---- simulator state ----
    std::int16_t mezzo_attuale = 0;
    std::int16_t tx_attiva = 1;
    std::string rmc_id = "$GPRMC";
    std::string rmc_ora = "000000";
    std::string rmc_stato = "A";
    std::string rmc_lat;
    std::string rmc_lon;
    std::string rmc_vel = "0.0";
    std::string rmc_rotta = "000.0";
    std::string rmc_data = "000000";
    std::string rmc_var = "000.0";
    std::string rmc_var_dir = "W";
    std::string rmc_checksum = "*00";
    std::array<std::int16_t, numero_mezzi> avviato{};
    // Per vehicle: the steady clock's reading (Clock::steady_seconds) taken at
    // its last step.
    std::array<double, numero_mezzi> tempo_ultimo{};
    std::array<veicolo, numero_mezzi> mezzi{};
    // Per vehicle: its exact position, parallel to mezzi.
    std::array<ExactPosition, numero_mezzi> posizioni{};
    // Per vehicle: where the tick has stepped it in the last hour.
    TrackHistory tracce{numero_mezzi};

    // Values kept for single procedures.
    // The latitude the last latitude step left, in radians, magnitude only;
    // the longitude step scales by its cosine.
    double lat_radianti = 0.0;
    std::string angolo_salvato;
    // Whether a key went down in the course box since the last key up there.
    bool angolo_tasto_giu = false;
    std::string lat_ns_salvato;
    std::string lon_ew_salvato;
    // The keys that went down in the hemisphere box since its text last
    // changed: only their release knows what the box showed. Shift and the
    // letter are released in either order.
    std::set<int> lat_ns_tasti_giu;
    std::set<int> lon_ew_tasti_giu;

    // The program's folder and the help file named at start-up.
    std::string cartella_programma;
    std::string file_help;

    // Ticks whose write the port skipped because the line was still busy.
    long long scritture_saltate = 0;
    // Why the port shows "No tx": the device and the system's reason of the
    // last port failure; empty while the port is open.
    std::string motivo_no_tx;
    // True while a tick runs; a tick arriving from inside it is dropped.
    bool tick_in_corso = false;
    // True while a log is replayed: the ticks send nothing meanwhile.
    bool riproduzione = false;
    // Label11 as the replay found it, put back when it ends.
    std::string riproduzione_caption;
    Colour riproduzione_colour;

    // What the receiver sends beyond the plain $GPRMC; all off by default.
    // Changed through imposta_ricevitore, which starts the faults' sequence
    // again from their seed.
    OpzioniRicevitore ricevitore;
    SplitMix64 dado_guasti;

    // The record of the current vehicle.
    veicolo& veicolo_attuale();

private:
    std::vector<Control*> controls_;
};

}  // namespace vadrel
