#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>
#include <utility>

#include "motion/dead_reckoning.h"
#include "motion/position_text.h"
#include "position_check.h"

namespace vadrel {
namespace {

// What the reading gives, as "lat | lon" ("-" for a coordinate the text leaves
// alone), or "errore: " and the reason.
std::string reading(const std::string& text) {
    const auto read = read_position(text);
    if (const auto* error = std::get_if<std::string>(&read)) return "errore: " + *error;
    const auto& p = std::get<TypedPosition>(read);
    return (p.lat ? coordinate_text(*p.lat, true) : "-") + " | " + (p.lon ? coordinate_text(*p.lon, false) : "-");
}

TEST(ReadPosition, FormsAndReasons) {
    const std::string both = "45°30'00,00\"N | 9°12'00,00\"E";
    const std::string lat = "45°30'00,00\"N | -";
    const std::string south_west = "45°30'00,00\"S | 9°12'00,00\"W";
    // the text, the reading or the start of the reason after "errore: "
    const std::pair<std::string, std::string> rows[] = {
        // degrees, minutes and seconds
        {"45 30 0 N", lat},
        {"45°30'00\"N", lat},
        {"45º30′00″n", lat},
        {"45°30'00''N", lat},
        {"N 45 30 0 E 9 12 0", both},
        {"9°12'E 45°30'N", both},
        {"45 30 0 nord 9 12 0 est", both},
        {"45 30 0 S 9 12 0 O", south_west},
        {"0 0 0 S", "0°00'00,00\"S | -"},
        {"45 30 15,5 N", "45°30'15,50\"N | -"},
        // degrees and decimal minutes, also run together as $GPRMC has them
        {"45 30,5 N", "45°30'30,00\"N | -"},
        {"4530.000,S,00912.000,W", south_west},
        {"0912.5,E", "- | 9°12'30,00\"E"},
        {"045.5,N", "0°45'30,00\"N | -"},
        // signed decimal degrees, latitude first, under a comma or a point
        {"45,5,9,2", both},
        {"45.5,9.2", both},
        {"+45,5; 9,2", both},
        {"-45,5 -9,2", south_west},
        {"−45,5 / −9,2", south_west},
        {"45.123456 9.654321", "45°07'24,44\"N | 9°39'15,56\"E"},
        {"-45°30' 9°12'", "45°30'00,00\"S | 9°12'00,00\"E"},
        {"90 N 180 W", "90°00'00,00\"N | 180°00'00,00\"W"},
        // refused, with the reason
        {"", "errore: Scrivere la posizione"},
        {"45,5", "errore: Un numero solo"},
        {"45 30 0", "errore: Senza le lettere"},
        {"ciao", "errore: Non capisco «ciao»"},
        {"45 30 0 X", "errore: Non capisco «X»"},
        {"45 # 9", "errore: Carattere non previsto: «#»"},
        {"° 45 N", "errore: Il segno «°» va dopo un numero"},
        {"- N", "errore: Il segno «-» va davanti a un numero"},
        {"1.2.3 N", "errore: Numero non valido: «1.2.3»"},
        {"45 30 0 N 9 12", "errore: Dopo l'ultima lettera"},
        {"N E 9", "errore: La lettera N non ha numeri"},
        {"45 N 9 E 3 W", "errore: Più di due coordinate"},
        {"45 N 46 S", "errore: Due latitudini"},
        {"9 E 10 W", "errore: Due longitudini"},
        {"45 30 0 0 N", "errore: Troppi numeri"},
        {"45'30°N", "errore: I segni vanno nell'ordine"},
        {"45 -30 N", "errore: Il segno va solo davanti ai gradi"},
        {"-45 30 N", "errore: Il meno e la lettera"},
        {"45,5 30 N", "errore: Solo l'ultimo numero"},
        {"45 60 N", "errore: I primi devono essere meno di 60"},
        {"45 30 60 N", "errore: I secondi devono essere meno di 60"},
        {"4560.0,N", "errore: I primi di 4560.0"},
        {"90 0 1 N", "errore: La latitudine va da"},
        {"912.5,E", "errore: La longitudine va da"},
        // figures a double cannot hold, bytes that are no UTF-8 character (an overlong "°")
        {std::string(310, '9') + " N", "errore: Numero troppo grande: «99999999999999999999…»"},
        {"45 N 0," + std::string(400, '0') + "1 E", "45°00'00,00\"N | 0°00'00,00\"E"},
        {"\xC0\xB0 N", "errore: Il testo contiene byte"},
    };
    for (const auto& [text, expected] : rows) {
        const std::string got = reading(text);
        if (expected.rfind("errore: ", 0) == 0) {
            EXPECT_EQ(got.rfind(expected, 0), 0u) << "\"" << text << "\" gives " << got;
        } else {
            EXPECT_EQ(got, expected) << "\"" << text << "\"";
        }
    }
}

// ok-* files must read, ko-* must be refused; any other (a find of the
// fuzzer) only has to hold what the fuzzer checks.
TEST(ReadPosition, EveryFileOfTheSeedCorpusHoldsWhatTheFuzzerChecks) {
    ASSERT_FALSE(std::filesystem::is_empty(VADREL_POSITION_CORPUS));
    for (const auto& entry : std::filesystem::directory_iterator(VADREL_POSITION_CORPUS)) {
        const std::string name = entry.path().filename().string();
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        EXPECT_EQ(fuzzing::check_position(bytes), "") << name;
        const bool read = std::holds_alternative<TypedPosition>(read_position(bytes));
        if (name.rfind("ok-", 0) == 0 || name.rfind("ko-", 0) == 0) {
            EXPECT_EQ(read, name[1] == 'k') << name;
        }
    }
}

// Degrees, minutes and four decimals of minutes come from one count and are
// cut, never rounded up into a minute or degree the vehicle has not reached.
TEST(DeadReckoning, SentenceFieldsAgreeAndAreCut) {
    // seconds of arc, the digits of the degrees, the field
    const std::tuple<double, int, const char*> rows[] = {
        {158506.6359166, 2, "4401.7772"}, {-36484.8844694, 3, "01008.0814"},
        {161999.99999, 2, "4459.9999"},   {162000.0, 2, "4500.0000"},
        {-647999.99999, 3, "17959.9999"}, {648000.0, 3, "18000.0000"},
        {0.005, 3, "00000.0000"},         {0.006, 2, "0000.0001"},
    };
    for (const auto& [seconds_of_arc, digits, field] : rows)
        EXPECT_EQ(rmc_coordinate(seconds_of_arc, digits), field) << seconds_of_arc;
}

}  // namespace
}  // namespace vadrel
