#include "receiver_settings.h"

#include <QString>

namespace vadrel {

namespace {

constexpr const char* group = "ricevitore";

// The reading of one group: each value checked, a refusal for each that
// cannot be used.
class Reader {
public:
    Reader(const SettingsFile& file, std::vector<std::string>& problems) : file_(file), problems_(problems) {}

    bool flag(const char* key, bool fallback) {
        const QString text = file_.value(group, key).toString().trimmed().toLower();
        if (text.isEmpty()) return fallback;
        if (text == QLatin1String("true") || text == QLatin1String("1")) return true;
        if (text == QLatin1String("false") || text == QLatin1String("0")) return false;
        return refuse(key, "true o false", fallback);
    }

    double number(const char* key, double fallback) {
        const QString text = file_.value(group, key).toString().trimmed();
        if (text.isEmpty()) return fallback;
        bool read = false;
        const double value = text.toDouble(&read);
        return read ? value : refuse(key, "un numero", fallback);
    }

    std::uint64_t whole(const char* key, std::uint64_t fallback) {
        const QString text = file_.value(group, key).toString().trimmed();
        if (text.isEmpty()) return fallback;
        bool read = false;
        const std::uint64_t value = text.toULongLong(&read);
        return read ? value : refuse(key, "un numero intero da 0 a 18446744073709551615", fallback);
    }

    template <typename T>
    T refuse(const char* key, const std::string& wanted, T fallback) {
        problems_.push_back(file_.refusal(group, key, wanted));
        return fallback;
    }

private:
    const SettingsFile& file_;
    std::vector<std::string>& problems_;
};

}  // namespace

OpzioniRicevitore read_receiver_settings(const SettingsFile& file, std::vector<std::string>& problems) {
    Reader read(file, problems);
    OpzioniRicevitore o;
    o.utc = read.flag("utc", o.utc);
    o.moto_reale = read.flag("moto_reale", o.moto_reale);
    const QString frasi = file.value(group, "frasi").toString().trimmed();
    if (frasi == QLatin1String("complete")) {
        o.frasi_complete = true;
    } else if (!frasi.isEmpty() && frasi != QLatin1String("rmc")) {
        read.refuse("frasi", "rmc o complete", false);
    }
    const double quota = read.number("quota", o.quota);
    o.quota = problema_quota(quota).empty() ? quota : read.refuse("quota", "un numero di metri da -1000 a 100000", 0.0);
    o.senza_fix = read.flag("senza_fix", o.senza_fix);

    // Faults with a value that cannot be used stay off.
    const std::size_t before = problems.size();
    Guasti g;
    g.attivi = read.flag("guasti", g.attivi);
    g.perdita = read.number("guasti_perdita", g.perdita);
    g.checksum = read.number("guasti_checksum", g.checksum);
    g.tronca = read.number("guasti_tronca", g.tronca);
    g.seme = read.whole("guasti_seme", g.seme);
    if (const std::string problem = problema_guasti(g); !problem.empty()) {
        problems.push_back(file.path() + ": [" + group + "] guasti: " + problem);
    }
    if (problems.size() == before) o.guasti = g;
    return o;
}

std::string save_receiver_settings(SettingsFile& file, const OpzioniRicevitore& o) {
    return file.save_group(group, {
                                      {"utc", o.utc},
                                      {"moto_reale", o.moto_reale},
                                      {"frasi", o.frasi_complete ? "complete" : "rmc"},
                                      {"quota", o.quota},
                                      {"senza_fix", o.senza_fix},
                                      {"guasti", o.guasti.attivi},
                                      {"guasti_perdita", o.guasti.perdita},
                                      {"guasti_checksum", o.guasti.checksum},
                                      {"guasti_tronca", o.guasti.tronca},
                                      {"guasti_seme", QString::number(o.guasti.seme)},
                                  });
}

}  // namespace vadrel
