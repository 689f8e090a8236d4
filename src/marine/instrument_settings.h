#pragma once
// What the own ship's instruments are told of the world around it: the wind
// over the ground, the tidal current, the water under the keel, its
// temperature and the compass's corrections. Plain values, no Qt; the group
// [strumenti] of vadrel.ini keeps them (config/instrument_settings_file.h).

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "os/result.h"

namespace vadrel {

// A direction in degrees true and a speed in knots.
struct Flow {
    double direction = 0.0;
    double speed_knots = 0.0;
    bool operator==(const Flow&) const = default;
};

struct InstrumentSettings {
    bool enabled = false;
    Flow wind;     // the direction it blows FROM
    Flow current;  // the direction it sets TO
    double depth = 20.0;             // metres below the transducer
    double transducer_offset = 0.0;  // metres: + to the water line, - to the keel
    double water_temperature = 15.0;  // degrees Celsius
    // Degrees, east positive; nothing: not known, the fields stay empty.
    std::optional<double> variation;
    std::optional<double> deviation;
    bool operator==(const InstrumentSettings&) const = default;
};

// What a value may be, named as the file, the control interface and the
// scenario name it ("vento_nodi"), with its Italian reason; the first field
// out of range, or nothing.
std::optional<Refusal> instrument_settings_problem(const InstrumentSettings& settings);

// "GRADI@VALORE" with the unit after the value: "nodi" (the default),
// "km/h" or "m/s": "270@15", "90@2.5nodi", "45@10m/s". The reason in
// Italian when the text is none of them; the ranges are the check's.
std::variant<Flow, std::string> read_flow(std::string_view text);

// "METRI[,OFFSET]", the decimals with ".": "12.5", "12.5,-0.8".
struct DepthText {
    double depth = 0.0;
    std::optional<double> offset;
};
std::variant<DepthText, std::string> read_depth(std::string_view text);

}  // namespace vadrel
