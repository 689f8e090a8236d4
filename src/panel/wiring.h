#pragma once
// Connects every control's events to the procedure that handles it.

#include "model/form1.h"

namespace vadrel {

void collega_eventi(Form1& form);

}  // namespace vadrel
