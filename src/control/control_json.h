#pragma once
// The control interface's JSON, both ways, in one place: what the server
// shows (the state, a vehicle, the receiver, a second's events) and what it
// reads from a request's body (a vehicle patch, the transmission, the mode,
// the receiver). A value a client sends that is not of its kind, or a field
// the interface does not have, is refused with the field and an Italian
// reason, as the panel refuses a value.
//
//   vehicle_json({3, v})   -> {"numero":3,"lat":44.0296250,"lon":10.1343717,"rotta":90,"velocita":12,"unita":"km/h","in_uso":[]}
//   read_vehicle_patch({"rotta":"90"}) -> Refusal{"rotta", "deve essere un numero"}

#include <QJsonArray>
#include <QJsonObject>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "control/control_target.h"

namespace vadrel {

// Latitude and longitude in signed decimal degrees to 1e-7.
QJsonObject vehicle_json(const VehicleEntry& entry);
QJsonObject receiver_json(const ReceiverOptions& options);
// {"mmsi": "900000003", "classe": "A", "nome": "", "tipo": 90, "nominativo": ""}
QJsonObject identity_json(const AisIdentity& identity);
// The switches and every vehicle's identity (with its "numero").
QJsonObject ais_json(const AisSettings& settings);
QJsonObject state_json(const ControlState& state);
// A scenario under way: {"file", "secondi", "durata", "eventi_fatti",
// "eventi", "prossimo": {"a", "evento"}}; no durata or prossimo when it has none.
QJsonObject scenario_json(const ScenarioState& scenario);
// One second for the WebSocket clients: the bytes sent (their count and the
// bytes themselves, as text) and each vehicle in use.
// With `utc` (the clock's ISO text) the second's simulated time, "ora";
// with `marks` the scenario's events played before it, "scenario":
// [{"indice": 2, "a": 12, "evento": "fix perso"}].
QJsonObject second_json(std::string_view bytes, const std::vector<VehicleEntry>& vehicles,
                        const std::string& utc = {}, const std::vector<ScenarioMark>& marks = {});
// The clock, and a change of it: {"velocita_tempo": 10 | "max", "in_pausa": true}.
QJsonObject clock_json(const ClockState& clock);
// The autopilot: {"attivo", "virata", "declinazione", "rotta_chiesta", "verso",
// "fonte", "ultima_frase_s", "xte": {"miglia", "correggi"}, "stato"}; null
// for what it has not heard yet.
QJsonObject pilot_json(const PilotState& pilot);
// A change of it: {"attivo": true, "virata": 10}.
std::variant<PilotChange, Refusal> read_pilot_change(const QJsonObject& body);
std::variant<ClockChange, Refusal> read_clock_change(const QJsonObject& body);
// {"errore": reason, "campo": field}
QJsonObject refusal_json(const Refusal& refusal);

// Why a vehicle is in use, in the order of use_reasons: ["attuale", "flusso"]; [] when it is not.
QJsonArray use_json(InUse in_use);
const char* mode_name(SendMode mode);
const char* unit_name(SpeedUnit unit);

std::variant<VehiclePatch, Refusal> read_vehicle_patch(const QJsonObject& body);
std::variant<bool, Refusal> read_transmission(const QJsonObject& body);
// The serial link: {"numero": 2, "dispositivo": "/dev/ttyS1", "baud": 4800,
// "aperta": true, "stato": "Tx ok", "errore": "", "trasmissione": true}.
QJsonObject port_json(const PortState& port);
// A change of the link: "numero", "baud" (whole numbers: their ranges are
// the link's to refuse), "trasmissione" (true, false), at least one.
std::variant<PortChange, Refusal> read_port_change(const QJsonObject& body);
struct ModeChange {
    SendMode mode = SendMode::gps;
    std::optional<int> vehicles;
};
std::variant<ModeChange, Refusal> read_mode(const QJsonObject& body);
// The options `current` with the fields the body gives changed, checked by
// the menu's own rules (altitude, fault rates).
std::variant<ReceiverOptions, Refusal> read_receiver(const QJsonObject& body, const ReceiverOptions& current);
// The identity `current` with the fields of `value` (a vehicle patch's "ais")
// changed, checked by the AIS dialog's rules; a refusal names "ais.FIELD".
std::variant<AisIdentity, Refusal> read_identity(const QJsonValue& value, const AisIdentity& current);
// The AIS switches (attivi, nave_propria, statici_subito) of `current` with
// those the body gives changed.
std::variant<AisSettings, Refusal> read_ais(const QJsonObject& body, const AisSettings& current);
// The body of POST /api/v1/ais/incontri: {"mezzo": 1, "cpa": 0.5, "tcpa": 6, "lato": "dritta"}.
std::variant<EncounterAsk, Refusal> read_encounter(const QJsonObject& body);

}  // namespace vadrel
