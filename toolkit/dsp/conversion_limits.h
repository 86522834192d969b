// What the conversion entries accept as a target rate and a speed factor. Outside these no
// caller can mean anything: a rate of a billion hertz or a speed of 0 would only make the chain
// write megabytes of nothing, and a speed that is not a number has no output size at all.
#pragma once

#include <cmath>

namespace sorvak::dsp {

// Output sample rates in hertz, both ends included: from well below telephone quality to the
// highest rate sound hardware offers.
inline constexpr int kLowestRate = 1000;
inline constexpr int kHighestRate = 384000;

inline bool isUsableRate(int rate)
{
    return rate >= kLowestRate && rate <= kHighestRate;
}

// A speed factor (1.0 = normal) must be a positive finite number. Very small ones are allowed:
// the pitch bend clamps the ratio they give from below.
inline bool isUsableSpeed(double speed)
{
    return std::isfinite(speed) && speed > 0.0;
}

}
