#pragma once
// Carrying seconds into minutes and minutes into degrees after a step, and
// wrapping the degrees: 89 is the largest latitude, 179 the largest longitude.

#include <cstdint>

namespace vadrel {

void normalizza_lat(std::int16_t& gradi, std::int16_t& primi, double& secondi);
void normalizza_lon(std::int16_t& gradi, std::int16_t& primi, double& secondi);

}  // namespace vadrel
