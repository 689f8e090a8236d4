#include "traccar_sender.h"

#include "nmea/sentences.h"

namespace vadrel {

std::string pgid_line(const std::string& id) {
    const std::string text = "$PGID," + id;
    return text + checksum_field(text) + "\r\n";
}

}  // namespace vadrel
