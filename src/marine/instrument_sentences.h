#pragma once
// The NMEA 0183 sentences of one second's instrument readings, in the
// order they leave, each without line end:
//
//   $HCHDG  magnetic sensor's heading (true less variation and deviation),
//           the deviation and the variation (empty when not known)
//   $HEHDT  gyro heading, true
//   $TIROT  rate of turn, degrees a minute, negative to port
//   $VWVHW  heading (true; magnetic with a variation), speed through the water
//   $WIMWV  apparent wind (R), then the true wind over the water (T), relative to the bow
//   $WIMWD  true wind: the direction it blows from, speed
//   $SDDBT  depth below the transducer: feet, metres, fathoms
//   $SDDPT  depth below the transducer and the transducer's offset, metres
//   $SDMTW  water temperature, Celsius
//   $VWVLW  distance through the water since the start, in all and since reset
//
// Their talkers are the sensors' own, whatever talker the GNSS receiver's
// sentences have.

#include <string>
#include <vector>

#include "marine/instrument_readings.h"

namespace vadrel {

std::vector<std::string> instrument_sentences(const InstrumentReadings& readings);

}  // namespace vadrel
