#include "simulation_controls.h"

#include <algorithm>

namespace vadrel {

namespace {

bool vehicle_buttons_active(const PanelForm& form) {
    return !form.link.transmitting() && form.fleet.mode() == Mode::multi_user;
}

constexpr int last_vehicle = static_cast<int>(fleet_size) - 1;

}  // namespace

void mode_clicked(PanelForm& form, Mode mode) {
    if (!form.drawing) form.fleet.set_mode(mode, &form);
}

void vehicle_count_changed(PanelForm& form) {
    if (!form.drawing) form.fleet.set_cycle(vehicles_in_cycle(form.vehicle_count_box.text()), &form);
}

void previous_vehicle_clicked(PanelForm& form) {
    if (!vehicle_buttons_active(form)) return;
    int chosen = static_cast<int>(form.fleet.current()) - 1;
    if (chosen < 0) {
        try {
            chosen = to_int16(regional_number(form.vehicle_count_box.text(), form.platform.format) - 1.0);
        } catch (const ConversionError&) {
            return;
        } catch (const OverflowError&) {
            return;
        }
        chosen = std::clamp(chosen, 0, last_vehicle);
    }
    form.fleet.set_current(static_cast<std::size_t>(chosen), &form);
}

void next_vehicle_clicked(PanelForm& form) {
    if (!vehicle_buttons_active(form)) return;
    double count = 0.0;
    try {
        count = regional_number(form.vehicle_count_box.text(), form.platform.format);
    } catch (const ConversionError&) {
        return;
    }
    int chosen = static_cast<int>(form.fleet.current()) + 1;
    if (chosen >= count || chosen > last_vehicle) chosen = 0;
    form.fleet.set_current(static_cast<std::size_t>(chosen), &form);
}

void start_stop_clicked(PanelForm& form) { form.link.set_transmitting(!form.link.transmitting(), &form); }

}  // namespace vadrel
