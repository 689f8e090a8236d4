#include "about.h"

#include <array>

#include "panel/panel_form.h"
#include "vadrel/version.h"

namespace vadrel {

std::string about_box_text() {
    // The contact data are reserved example values: the numbers use the
    // all-zero subscriber range and the addresses the example.com domain.
    const std::array<std::string, 11> lines = {
        "Quorvel - Sistemi di navigazione",
        std::string(program_title) + " - versione " + versione,
        std::string(19, '-'),
        "Progettazione software: Ufficio tecnico Quorvel",
        std::string(19, '-'),
        "Tel: +39 000 0000000",
        "Fax: +39 000 0000001",
        "E-MAIL: info@example.com",
        std::string(19, '='),
        "Visitate il nostro sito Internet:",
        "https://www.example.com",
    };
    std::string text = lines.front();
    for (std::size_t i = 1; i < lines.size(); ++i) {
        text += "\r\n";
        text += lines[i];
    }
    return text;
}

}  // namespace vadrel
