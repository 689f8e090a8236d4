#include "receiver_settings.h"

#include <QString>

#include "sky/sky_options.h"

namespace vadrel {

namespace {

constexpr const char* receiver_group = "ricevitore";

// A value of the sky's options read by its reader (sky/sky_options.h); one
// that cannot be used leaves `fallback`, and a line names it.
template <typename T>
T sky_value(GroupReader& read, const SettingsFile& file, std::vector<std::string>& problems, const char* key,
            const T& fallback, std::variant<T, std::string> (*reader)(std::string_view)) {
    const std::string text = read.text(key, "");
    if (text.empty()) return fallback;
    auto value = reader(text);
    if (const auto* problem = std::get_if<std::string>(&value)) {
        problems.push_back(file.path() + ": [" + receiver_group + "] " + key + ": " + *problem);
        return fallback;
    }
    return std::get<T>(value);
}

}  // namespace

ReceiverOptions read_receiver_settings(const SettingsFile& file, std::vector<std::string>& problems) {
    GroupReader read(file, receiver_group, problems);
    ReceiverOptions o;
    o.utc = read.flag("utc", o.utc);
    o.real_motion = read.flag("moto_reale", o.real_motion);
    const std::string sentences = read.text("frasi", "rmc");
    if (sentences == "complete") {
        o.full_set = true;
    } else if (sentences != "rmc") {
        read.refuse("frasi", "rmc o complete", false);
    }
    const double altitude = read.number("quota", o.altitude);
    o.altitude = altitude_problem(altitude).empty() ? altitude : read.refuse("quota", "un numero di metri da -1000 a 100000", 0.0);
    o.no_fix = read.flag("senza_fix", o.no_fix);

    SkyOptions& c = o.sky_options;
    c.satellites = read.flag("satelliti", c.satellites);
    c.mask = sky_value(read, file, problems, "maschera", c.mask, read_mask);
    c.obstructions = sky_value(read, file, problems, "ostacoli", c.obstructions, read_obstruction_list);
    c.noise = sky_value(read, file, problems, "rumore", c.noise, read_noise);
    c.rate = sky_value(read, file, problems, "frequenza", c.rate, read_rate);
    c.talker = sky_value(read, file, problems, "talker", c.talker, read_talker);
    c.sentences = sky_value(read, file, problems, "elenco_frasi", c.sentences, read_sentence_list);

    // Faults with a value that cannot be used stay off.
    const std::size_t before = read.refused();
    Faults g;
    g.enabled = read.flag("guasti", g.enabled);
    g.loss = read.number("guasti_perdita", g.loss);
    g.checksum = read.number("guasti_checksum", g.checksum);
    g.cut_short = read.number("guasti_tronca", g.cut_short);
    g.seed = read.whole("guasti_seme", g.seed);
    const std::size_t problems_before = problems.size();
    g.fix_outage = sky_value(read, file, problems, "guasti_perdita_fix", g.fix_outage, read_fix_outage);
    if (read.refused() != before || problems.size() != problems_before) return o;
    if (const std::string problem = faults_problem(g); !problem.empty()) {
        problems.push_back(file.path() + ": [" + receiver_group + "] guasti: " + problem);
        return o;
    }
    o.faults = g;
    return o;
}

std::string save_receiver_settings(SettingsFile& file, const ReceiverOptions& o) {
    return file.save_group(receiver_group, {
                                      {"utc", o.utc},
                                      {"moto_reale", o.real_motion},
                                      {"frasi", o.full_set ? "complete" : "rmc"},
                                      {"quota", o.altitude},
                                      {"senza_fix", o.no_fix},
                                      {"guasti", o.faults.enabled},
                                      {"guasti_perdita", o.faults.loss},
                                      {"guasti_checksum", o.faults.checksum},
                                      {"guasti_tronca", o.faults.cut_short},
                                      {"guasti_seme", QString::number(o.faults.seed)},
                                      {"guasti_perdita_fix", o.faults.fix_outage.every > 0
                                                                 ? QString::number(o.faults.fix_outage.duration) + "/" +
                                                                       QString::number(o.faults.fix_outage.every)
                                                                 : QString()},
                                      {"satelliti", o.sky_options.satellites},
                                      {"maschera", o.sky_options.mask},
                                      {"ostacoli", QString::fromStdString(obstruction_list_text(o.sky_options.obstructions))},
                                      {"rumore", o.sky_options.noise},
                                      {"frequenza", o.sky_options.rate},
                                      {"talker", o.sky_options.talker == Talker::gn ? "GN" : "GP"},
                                      {"elenco_frasi", QString::fromStdString(sentence_list_text(o.sky_options.sentences))},
                                  });
}

}  // namespace vadrel
