#include "about.h"

#include <array>

#include "panel/panel_form.h"
#include "vadrel/version.h"

namespace vadrel {

namespace {

// A contact the maker has, or the plain fact that it has none.
std::string or_none(const char* value) { return *value != '\0' ? value : "nessuno"; }

}  // namespace

std::string about_box_text() {
    // The maker's contact data as CMakeLists.txt gives them (version.h);
    // what the maker does not have is said, never made up.
    const std::string web = *web_site != '\0' ? std::string(web_site) : std::string("nessun sito: scrivete all'indirizzo qui sopra");
    const std::array<std::string, 11> lines = {
        std::string(vendor_name) + " - Sistemi di navigazione",
        std::string(program_title) + " - versione " + program_version,
        std::string(19, '-'),
        std::string("Progettazione software: ") + maintainer,
        std::string(19, '-'),
        "Tel: " + or_none(phone),
        "Fax: " + or_none(fax),
        std::string("E-MAIL: ") + maintainer_address,
        std::string(19, '='),
        "Visitate il nostro sito Internet:",
        web,
    };
    std::string text = lines.front();
    for (std::size_t i = 1; i < lines.size(); ++i) {
        text += "\r\n";
        text += lines[i];
    }
    return text;
}

}  // namespace vadrel
