#include "lifecycle.h"

#include <exception>
#include <filesystem>
#include <system_error>

#include "core/fleet.h"
#include "serial/link.h"

namespace vadrel {

void Form_Load(Form1& form, TableFile& file) {
    form.rmc_id = "$GPRMC";
    form.rmc_ora = "000000";
    form.rmc_stato = "A";
    form.rmc_vel = "0.0";
    form.rmc_rotta = "000.0";
    form.rmc_data = "000000";
    form.rmc_var = "000.0";
    form.rmc_var_dir = "W";
    form.rmc_checksum = "*00";
    form.tx_attiva = 1;
    form.mezzo_attuale = 0;

    // Files are always reached through the folder, so a folder that cannot
    // be made current changes nothing else.
    form.cartella_programma = file.folder().path();
    std::error_code ignored;
    std::filesystem::current_path(form.cartella_programma, ignored);

    form.file_help = file.folder().file_path("vadrel.hlp");

    form.txt_lat_g.set_text("44");
    form.txt_lat_p.set_text("1,7775");
    form.txt_lat_ns.set_text("N");
    form.txt_lon_g.set_text("10");
    form.txt_lon_p.set_text("8,0623");
    form.txt_lon_ew.set_text("E");
    // The hemisphere boxes and the unit showed N, E and Km/h from the window's
    // creation, so no change handling stored them: the whole panel goes into
    // the record, and a first run ended before any tick saves what it showed.
    aggiorna_veicolo(form);

    if (leggi_configurazione(form, file) != 0) {
        form.mezzo_attuale = 0;
        cambia_veicolo(form);
    }

    // The port the panel shows, at the speed it shows: the buttons selected
    // when the window was made are the operator's choice, opened once.
    SerialPort& port = form.platform.port;
    try {
        const std::int16_t numero = porta_selezionata(form);
        if (numero == 0) {
            mostra_no_tx(form);
            return;
        }
        port.set_port_number(numero);
        port.set_settings(impostazioni_selezionate(form));
        port.open();
        mostra_tx_ok(form);
    } catch (const PortFailure& e) {
        form.motivo_no_tx = e.what();
        annulla_opt_com(form);
        mostra_no_tx(form);
    } catch (const std::exception& e) {
        form.platform.shell.end_program_now(e.what());
    }
}

bool Form_QueryUnload(Form1& form, TableFile& file) {
    try {
        if (form.platform.port.is_open()) form.platform.port.close();
    } catch (const PortFailure&) {
        // a port that fails to close is closed enough: the table is saved all the same
    }
    return scrivi_configurazione(form, file);
}

void menu_info_Click(Form1& form) { form.platform.shell.show_about(); }

}  // namespace vadrel
