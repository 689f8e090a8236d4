#include "tick.h"

#include <cmath>

#include "core/faults.h"
#include "core/fleet.h"
#include "core/rmc.h"
#include "model/numbers.h"
#include "motion/advance.h"
#include "serial/link.h"

namespace vadrel {

namespace {

// Clears tick_in_corso however the tick ends.
class TickGuard {
public:
    explicit TickGuard(Form1& form) : form_(form) { form_.tick_in_corso = true; }
    ~TickGuard() { form_.tick_in_corso = false; }
    TickGuard(const TickGuard&) = delete;
    TickGuard& operator=(const TickGuard&) = delete;

private:
    Form1& form_;
};

// The serial port's part of the monitor line: what the panel tells of a
// write that did not go out.
std::string serial_note(Form1& form, const Delivery& delivery) {
    switch (delivery.serial) {
        case Delivery::Serial::skipped:
            ++form.scritture_saltate;
            return "  [non inviato: linea ancora occupata; saltati " + int_text(form.scritture_saltate) + "]";
        case Delivery::Serial::lost:
            porta_persa(form, delivery.loss);
            return "  [non inviato: " + form.motivo_no_tx + "]";
        case Delivery::Serial::closed:
            // A port closed by a failure says why on each line.
            if (!form.motivo_no_tx.empty()) return "  [non inviato: " + form.motivo_no_tx + "]";
            break;
        case Delivery::Serial::written:
            break;
    }
    return {};
}

// Where the step left the vehicle on the panel, for its track: the speed
// and course over ground (a negative speed goes backwards).
TrackPoint punto_traccia(Form1& form, std::size_t m, double adesso) {
    const ExactPosition& p = form.posizioni[m];
    const double kmh = velocita_kmh(form);
    double rotta = std::fmod(leading_number(form.txt_angolo.text()) + (kmh < 0.0 ? 180.0 : 0.0), 360.0);
    if (rotta < 0.0) rotta += 360.0;
    return {adesso, form.platform.clock.utc_seconds(), p.lat / 3600.0, p.lon / 3600.0, std::fabs(kmh) / 3.6, rotta,
            p.tratto};
}

}  // namespace

void Timer1_Timer(Form1& form) {
    if (form.tx_attiva == 0 || form.riproduzione) return;
    // The multi-user step lets events run mid-tick; a tick arriving there waits
    // for the next second instead of running inside this one.
    if (form.tick_in_corso) return;
    TickGuard guard(form);

    const std::size_t m = static_cast<std::size_t>(form.mezzo_attuale);
    form.veicolo_attuale();  // checks the index
    // One reading of the steady clock: the step covers exactly the time from
    // the vehicle's last step to this one, and nothing falls in between.
    const double adesso = form.platform.clock.steady_seconds();
    if (form.avviato[m] == 0) {
        form.tempo_ultimo[m] = adesso;
        form.avviato[m] = 1;
    }
    const double trascorso = adesso - form.tempo_ultimo[m];
    leggi_lat(form, trascorso);
    leggi_lon(form, trascorso);
    form.tempo_ultimo[m] = adesso;
    aggiorna_veicolo(form);
    form.tracce.add(m, punto_traccia(form, m, adesso));
    std::vector<std::string> frasi = forma_frasi(form);
    const GuastiDelSecondo guasti = applica_guasti(form, frasi);

    // The bytes are made in the selected mode whether or not the serial port
    // is open: the other outputs take them all the same. The monitor shows
    // the sentences without their line ends, each with its fault's mark.
    std::string bytes;
    std::string shown;
    std::vector<std::string> marked(frasi.size());
    for (std::size_t i = 0; i < frasi.size(); ++i) marked[i] = frasi[i] + guasti.segni[i];
    if (form.Opt_gps_standard.selected() || form.opt_multi.selected()) {
        for (std::size_t i = 0; i < frasi.size(); ++i) {
            bytes += frasi[i] + "\r\n";
            shown += (i == 0 ? "" : "\r\n") + marked[i];
        }
    } else if (form.opt_tx_radio.selected()) {
        bytes = incornicia_radio(frasi);
        shown = incornicia_radio(marked);
    }

    // The monitor shows what went out: nothing while no output is running.
    std::string t;
    if (guasti.perso) {
        t = segno_perso(form.rmc_ora);
    } else if (!bytes.empty()) {
        const Delivery delivery = form.platform.output.send(bytes);
        if (delivery.serial != Delivery::Serial::closed || delivery.elsewhere) t = shown;
        t += serial_note(form, delivery) + delivery.notes;
    }

    if (form.Picture1.current_y() > form.Picture1.height()) form.Picture1.clear();
    form.Picture1.print(t);

    form.Label11.set_visible(!form.Label11.visible());
}

namespace {
constexpr const char* caption_riproduzione = "Riproduce";  // fits the label beside Start/Stop
}  // namespace

void inizia_riproduzione(Form1& form) {
    if (form.riproduzione) return;
    form.riproduzione = true;
    form.riproduzione_caption = form.Label11.caption();
    form.riproduzione_colour = form.Label11.colour();
    form.Label11.set_caption(caption_riproduzione);
    form.Label11.set_colour(Colour::green_status());
    form.Label11.set_visible(true);
}

void finisci_riproduzione(Form1& form) {
    if (!form.riproduzione) return;
    form.riproduzione = false;
    form.Label11.set_visible(true);
    // Set meanwhile (a port lost or chosen, Start/Stop): it tells the state now.
    if (form.Label11.caption() != caption_riproduzione) return;
    if (form.tx_attiva == 0) {
        form.Label11.set_caption("Stop");
        form.Label11.set_colour(Colour::red_status());
    } else {
        form.Label11.set_caption(form.riproduzione_caption);
        form.Label11.set_colour(form.riproduzione_colour);
    }
}

void mostra_riproduzione(Form1& form, const std::string& bytes, const Delivery& delivery) {
    std::string shown;
    if (delivery.serial != Delivery::Serial::closed || delivery.elsewhere) {
        shown = bytes;
        while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r')) shown.pop_back();
    }
    shown += serial_note(form, delivery) + delivery.notes;
    if (form.Picture1.current_y() > form.Picture1.height()) form.Picture1.clear();
    form.Picture1.print(shown);
}

void Command9_Click(Form1& form) {
    if (form.tx_attiva == 1) {
        form.tx_attiva = 0;
        form.Label11.set_caption("Stop");
        form.Label11.set_colour(Colour::red_status());
        form.Label11.set_visible(true);
    } else {
        form.tx_attiva = 1;
        if (form.platform.port.is_open()) {
            form.Label11.set_caption("Tx OK");
            form.Label11.set_colour(Colour::green_status());
        } else {
            form.Label11.set_caption("No Tx");
            form.Label11.set_colour(Colour::red_status());
        }
    }
}

}  // namespace vadrel
