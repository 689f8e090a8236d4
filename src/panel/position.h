#pragma once
// The eight position boxes of the current vehicle. They are locked: their
// text changes by the step buttons, the hemisphere keys, start-up and the
// panel's own drawing. A change that is not the panel's drawing moves the
// vehicle, through the fleet's change path, to where the coordinate's four
// boxes say; a box that cannot be read counts as the vehicle's own value,
// and boxes that show again what they were last given put the vehicle back
// exactly where it was then. The hemisphere boxes answer the N/S and E/W
// keys.

#include "panel/view.h"

namespace vadrel {

// The change of any box of the coordinate.
void position_box_changed(PanelForm& form, const CoordinateBoxes& coordinate);

// The whole panel into the current vehicle, as start-up does: its
// position, speed, course and unit as the boxes and buttons show them.
void store_panel(PanelForm& form);

// The change of a hemisphere box: the keys held in it no longer count.
void hemisphere_box_changed(PanelForm& form, const CoordinateBoxes& coordinate);
void hemisphere_key_down(PanelForm& form, const CoordinateBoxes& coordinate, int key);
void hemisphere_key_up(PanelForm& form, const CoordinateBoxes& coordinate, int key);

}  // namespace vadrel
