#include <gtest/gtest.h>

#include <limits>

#include "model/receiver_options.h"

namespace vadrel {
namespace {

TEST(ProblemaGuasti, RatesAreSharesAndOneSentenceHasOneFault) {
    const struct {
        Guasti guasti;
        bool ok;
    } rows[] = {
        {{true, 0, 0, 0, 1}, true},      {{true, 1, 0.5, 0.5, 1}, true},   {{true, -0.01, 0, 0, 1}, false},
        {{true, 0, 1.01, 0, 1}, false},  {{true, 0, 0, 2, 1}, false},      {{true, 0, 0.6, 0.5, 1}, false},
        {{true, 0, 0, std::numeric_limits<double>::quiet_NaN(), 1}, false},
    };
    for (const auto& r : rows) {
        const std::string problem = problema_guasti(r.guasti);
        EXPECT_EQ(problem.empty(), r.ok) << r.guasti.perdita << " " << r.guasti.checksum << " " << r.guasti.tronca
                                         << ": " << problem;
    }
}

}  // namespace
}  // namespace vadrel
