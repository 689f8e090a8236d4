#pragma once
// The port failures of this program's serial layer, each with its Italian text.
// Every PortFailure thrown by src/platform carries one of these numbers, all
// within 8000..8020, so the panel's port rule recognises them.
//
//   throw port_failure(PortError::porta_inesistente, "/dev/ttyS2: No such file or directory");
//   -> PortFailure{8002, "porta inesistente: /dev/ttyS2: No such file or directory"}

#include <string_view>

#include "model/platform.h"

namespace vadrel {

enum class PortError : int {
    port_missing = 8002,          // no such device, or a port number without a device
    port_busy = 8005,               // another program holds it, or access is refused
    settings_invalid = 8010,    // a settings text that is not "baud,parity,data,stop"
    settings_refused = 8012,     // the device refused the line settings
    port_lost = 8015,                // the device went away (adapter unplugged) while writing
    virtual_port_not_created = 8018,  // the pseudo-terminal or its link could not be made
    port_error_text = 8020,               // any other failure the device reports
};

// A PortFailure with the error's number and "text: detail" as its message
// (just the text when detail is empty).
PortFailure port_failure(PortError error, std::string_view detail);

}  // namespace vadrel
