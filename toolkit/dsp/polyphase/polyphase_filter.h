// Limits of the polyphase filter builder, shared by the converter's set-up.
#ifndef SORVAK_POLYPHASE_FILTER_H
#define SORVAK_POLYPHASE_FILTER_H

#include <cstdint>

namespace sorvak::polyphase {

// Largest filter MakeFilter builds, in coefficients (phases times taps per side). Larger
// requests (an extreme down-conversion ratio) are refused rather than allocated.
constexpr int64_t kMaxFilterCoefficients = int64_t{1} << 24;

// Taps per phase and side for the given phases, decimation and prototype half-length:
// trunc(max(phases, decimation) * halfLength / phases).
int64_t tapsPerSide(int phases, int decimation, int halfLength);

// Gain of the filter in Q31: 1.0 (0x7FFFFFFF) unless the response is widened for a
// down-conversion, then halfLength / count.
int32_t filterGain(int halfLength, int64_t count);

}

#endif
