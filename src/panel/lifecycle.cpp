#include "lifecycle.h"

#include <exception>
#include <filesystem>
#include <system_error>

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
}

bool stop_panel(PanelForm& form, const VehicleTable& table, TableFile& file) {
    form.link.close();
    return save_table(table, file, message_box_of(form));
}

void about_clicked(PanelForm& form) { form.platform.shell.show_about(); }

}  // namespace vadrel
