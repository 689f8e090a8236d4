#pragma once
// What changes a second's sentences beyond the receiver's own options and
// errors: the threats of a scenario (a spoofer's drift, jamming). The
// transmitter asks it for each vehicle's second once, before the sentences
// are built, so every sentence of that second tells the same.
//
//   transmitter.set_effects(&threats);

#include <cstddef>

namespace vadrel {

struct SecondOfVehicle;

class SecondEffects {
public:
    virtual ~SecondEffects() = default;
    // Vehicle n's second as it will be told, the receiver's noise and
    // losses already in: the position, the sky and the options (senza_fix)
    // may change; the vehicle's speed and course are the true ones.
    virtual void affect(SecondOfVehicle& second, std::size_t n) = 0;
};

}  // namespace vadrel
