#include "lifecycle.h"

#include <exception>
#include <filesystem>
#include <system_error>

#include "panel/link.h"
#include "panel/position.h"

namespace vadrel {

Tell message_box_of(PanelForm& form) {
    return [&form](const QString& text) { form.platform.shell.message_box(text.toStdString(), program_title); };
}

void start_panel(PanelForm& form, VehicleTable& table, TableFile& file) {
    // Files are always reached through the folder, so a folder that cannot
    // be made current changes nothing else.
    std::error_code ignored;
    std::filesystem::current_path(file.folder().path(), ignored);
    form.help_file = file.folder().file_path("vadrel.hlp");

    {
        // The start-up texts, then the whole panel into the current vehicle
        // as one change: the hemispheres and the unit the window was made
        // with included, so a first run ended before any tick saves what
        // the panel showed.
        const Drawing drawing(form);
        form.latitude_degrees_box.set_text("44");
        form.latitude_minutes_box.set_text("1,7775");
        form.latitude_hemisphere_box.set_text("N");
        form.longitude_degrees_box.set_text("10");
        form.longitude_minutes_box.set_text("8,0623");
        form.longitude_hemisphere_box.set_text("E");
    }
    store_panel(form);
    load_table(table, file, message_box_of(form));

    // The port the panel shows, at the speed it shows: the buttons selected
    // when the window was made are the operator's choice, opened once.
    SerialPort& port = form.platform.port;
    try {
        const std::int16_t number = selected_port(form);
        if (number == 0) {
            show_no_tx(form);
            return;
        }
        port.set_port_number(number);
        port.set_settings(selected_settings(form));
        port.open();
        show_tx_ok(form);
    } catch (const PortFailure& e) {
        form.transmitter.set_port_problem(e.what());
        clear_port_buttons(form);
        show_no_tx(form);
    } catch (const std::exception& e) {
        form.platform.shell.end_program_now(e.what());
    }
}

bool stop_panel(PanelForm& form, const VehicleTable& table, TableFile& file) {
    try {
        if (form.platform.port.is_open()) form.platform.port.close();
    } catch (const PortFailure&) {
        // a port that fails to close is closed enough: the table is saved all the same
    }
    return save_table(table, file, message_box_of(form));
}

void about_clicked(PanelForm& form) { form.platform.shell.show_about(); }

}  // namespace vadrel
