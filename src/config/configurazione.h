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
// The reader and the writer over bytes are pure and free of Qt, so they can
// be fuzzed and tested without a disk; table_file.h does the file work in
// the program's folder.

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/form1.h"

namespace vadrel {

inline constexpr const char* nome_file_configurazione = "vadrel.cnf";
// A vadrel.cnf that does not read back is copied, before the table replaces
// it, to vadrel.cnf.bak.1, .2, ... (a new number each time); the newest
// copie_conservate are kept. vadrel.cnf.bak alone is the copy earlier
// versions made: never touched.
inline constexpr const char* nome_copia_configurazione = "vadrel.cnf.bak";
inline constexpr unsigned copie_conservate = 5;
// When vadrel.cnf has to be left as it is, the table is saved beside it
// under vadrel.cnf.nuovo.N, a number no earlier run used.
inline constexpr const char* nome_tabella_a_parte = "vadrel.cnf.nuovo";
// A changed table is on disk within this time.
inline constexpr std::chrono::seconds intervallo_salvataggio{5};

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

}  // namespace vadrel
