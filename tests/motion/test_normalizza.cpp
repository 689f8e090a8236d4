#include <gtest/gtest.h>

#include "motion/normalizza.h"

namespace vadrel {
namespace {

struct Row {
    const char* name;
    bool latitude;
    int gradi, primi;
    double secondi;
    int gradi_after, primi_after;
    double secondi_after;
};

// Each correction is made once per step; only where a 16-bit field would
// overflow is the whole excess carried at once and the degrees wrapped round.
TEST(Normalizza, CarriesAndWraps) {
    const Row rows[] = {
        {"lat 89 59 60.2 wraps to 0", true, 89, 59, 60.2, 0, 0, 0},
        {"lat 0 0 -0.5 wraps to 89 59 59.5", true, 0, 0, -0.5, 89, 59, 59.5},
        {"lon 179 59 61.5 wraps to 0 0 1", false, 179, 59, 61.5, 0, 0, 1},
        {"lon 0 0 -0.2 wraps to 179 59 59.8", false, 0, 0, -0.2, 179, 59, 59.8},
        {"150.7 s with 10 min", true, 44, 10, 150.7, 44, 12, 30},
        {"-70 s with 5 min stays negative", true, 44, 5, -70, 44, 4, -10},
        {"125 min carries one degree only", true, 3, 125, 0, 4, 65, 0},
        {"exactly 60 s", true, 44, 1, 60, 44, 2, 0},
        {"59.9 s untouched", true, 44, 1, 59.9, 44, 1, 59.9},
        {"lon 180 degrees wraps to 0", false, 180, 0, 0, 0, 0, 0},
        {"lon -1 degree wraps to 179", false, -1, 0, 0, 179, 0, 0},
        {"lon minutes past 32767: 33000 min wrap to 20 degrees", false, 10, 32000, 60000.5, 20, 0, 0},
        {"lat minutes past 32767", true, 10, 32700, 6000, 16, 40, 0},
        {"seconds far below zero", false, 5, 0, -1e6, 87, 13, 20},
    };
    for (const Row& r : rows) {
        std::int16_t g = static_cast<std::int16_t>(r.gradi);
        std::int16_t p = static_cast<std::int16_t>(r.primi);
        double s = r.secondi;
        (r.latitude ? normalizza_lat : normalizza_lon)(g, p, s);
        EXPECT_EQ(g, r.gradi_after) << r.name;
        EXPECT_EQ(p, r.primi_after) << r.name;
        EXPECT_NEAR(s, r.secondi_after, 1e-6) << r.name;
    }
}

}  // namespace
}  // namespace vadrel
