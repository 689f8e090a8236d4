#pragma once
// The own ship's instruments on the control interface, GET and PATCH
// /api/v1/strumenti, the fields named as the group [strumenti] of
// vadrel.ini names its keys:
//
//   {"attivi": true, "vento_direzione": 270, "vento_nodi": 15,
//    "corrente_direzione": 0, "corrente_nodi": 0, "profondita": 12.5,
//    "offset_trasduttore": 0.5, "temperatura_acqua": 14,
//    "variazione": null, "deviazione": null}

#include <QJsonObject>

#include <variant>

#include "marine/instrument_settings.h"
#include "os/result.h"

namespace vadrel {

QJsonObject instrument_json(const InstrumentSettings& settings);

// `current` with the fields of `body` changed (a correction null: not
// known); refused with the field and the reason in Italian, a field not
// known, of the wrong kind or out of range (instrument_settings_problem).
std::variant<InstrumentSettings, Refusal> read_instruments(const QJsonObject& body, const InstrumentSettings& current);

}  // namespace vadrel
