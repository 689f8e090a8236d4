#include "step_buttons.h"

namespace vadrel {

void step_clicked(PanelForm& form, const StepButton& step) {
    TextBox& box = form.*step.box;
    const std::optional<std::int16_t> read = int16_from_text(box.text(), NumberReading::leading());
    if (!read) return;
    int value = *read + step.direction;
    if (value > step.limit && step.direction > 0) value = 0;
    if (value < 0 && step.direction < 0) value = step.limit;
    box.set_text(int_text(value));
}

}  // namespace vadrel
