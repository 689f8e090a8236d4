#include <gtest/gtest.h>

#include "motion/dead_reckoning.h"

namespace vadrel {
namespace {

// Degrees, minutes and four decimals of minutes come from one count and are
// cut, never rounded up into a minute or degree the vehicle has not reached.
TEST(DeadReckoning, SentenceFieldsAgreeAndAreCut) {
    const struct {
        double seconds_of_arc;
        int degree_digits;
        const char* field;
    } rows[] = {
        {158506.6359166, 2, "4401.7772"}, {-36484.8844694, 3, "01008.0814"},
        {161999.99999, 2, "4459.9999"},   {162000.0, 2, "4500.0000"},
        {-647999.99999, 3, "17959.9999"}, {648000.0, 3, "18000.0000"},
        {0.005, 3, "00000.0000"},         {0.006, 2, "0000.0001"},
    };
    for (const auto& r : rows) EXPECT_EQ(rmc_coordinate(r.seconds_of_arc, r.degree_digits), r.field) << r.seconds_of_arc;
}

}  // namespace
}  // namespace vadrel
