#include "fakes.h"

#include "panel/wiring.h"

namespace vadrel::testing {

Rig::Rig() { collega_eventi(form); }

}  // namespace vadrel::testing
