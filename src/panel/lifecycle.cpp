#include "lifecycle.h"

#include "panel/position.h"

namespace vadrel {

void start_panel(PanelForm& form) {
    {
        // The start-up texts, then the whole panel into the current vehicle
        // as one change: the hemispheres and the unit the window was made
        // with included.
        const Drawing drawing(form);
        form.latitude_degrees_box.set_text("44");
        form.latitude_minutes_box.set_text("1,7775");
        form.latitude_hemisphere_box.set_text("N");
        form.longitude_degrees_box.set_text("10");
        form.longitude_minutes_box.set_text("8,0623");
        form.longitude_hemisphere_box.set_text("E");
    }
    store_panel(form);
}

void about_clicked(PanelForm& form) { form.platform.shell.show_about(); }

}  // namespace vadrel
