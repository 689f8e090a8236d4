#pragma once
// The configuration file vadrel.cnf: the vehicle table kept from one run to the
// next. 21 vehicle lines of eleven comma-separated items and an end-marker
// line of ten "#" texts, every line closed by CR LF:
//
//   44,1,"N",,10,8,"E",30,90,#TRUE#,#FALSE#
//   ...
//   "#","#","#","#","#","#","#","#","#","#"
//
// Items of a vehicle line: lat_g, lat_p, lat_ns, (empty, read and thrown
// away), lon_g, lon_p, lon_ew, vel, angolo, km, miglia. The seconds are not
// kept.
//
// The reader and the writer over bytes are pure, so they can be fuzzed and
// tested without a disk; leggi_configurazione and scrivi_configurazione do the
// file work in the program's folder.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/form1.h"

namespace vadrel {

inline constexpr const char* nome_file_configurazione = "vadrel.cnf";
// Where a configuration file that could not be read is kept before the table
// replaces it.
inline constexpr const char* nome_copia_configurazione = "vadrel.cnf.bak";

// Reads the records of `content` into `mezzi` from index 0 upward. Returns 1
// when the end marker was reached, 0 on any failure; on failure the records
// before the failing one are complete, and in the failing record the fields
// stored before the failing item hold their new values.
std::int16_t leggi_configurazione_testo(std::string_view content,
                                        std::array<veicolo, numero_mezzi>& mezzi);

// The whole file for `mezzi`: 21 vehicle lines and the end-marker line.
std::string testo_configurazione(const std::array<veicolo, numero_mezzi>& mezzi);

// The text as the file writes it: quotes and any byte that is not printable
// ASCII are replaced, so that every written file reads back.
std::string testo_scrivibile(std::string_view text);

// Full path of vadrel.cnf in the program's folder (the current directory when
// the folder is empty).
std::string percorso_configurazione(const Form1& form);

// Reads vadrel.cnf from the program's folder into form.mezzi. 1 when read up
// to its end marker; 0 when missing, unreadable or damaged. Never shows a
// message and never changes the current directory.
std::int16_t leggi_configurazione(Form1& form);

// Replaces vadrel.cnf in the program's folder with form.mezzi, atomically:
// the previous file stays whole until the new one is complete on disk. When
// the file cannot be written the operator is told through the shell and the
// previous file is left as it was. Returns true when saved.
bool scrivi_configurazione(Form1& form);

}  // namespace vadrel
