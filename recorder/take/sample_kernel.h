// The one piece of sample arithmetic behind the save's fade and maximise pass and the raw take
// maximise: a sample scaled by a fade gain and a maximise gain, held just short of full scale and
// truncated toward zero. Pure functions, any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wavelark {

// The samples' clamp: never quite full scale, also at unit gain.
inline constexpr double kLargestMaximisedSample = 32766.0;

// A scaled sample as stored: held to -32766..32766 and truncated toward zero.
inline int16_t clampedSample(double value)
{
    if (value > kLargestMaximisedSample)
        value = kLargestMaximisedSample;
    else if (value < -kLargestMaximisedSample)
        value = -kLargestMaximisedSample;
    return static_cast<int16_t>(value);
}

// One sample through fadeGain × sample × maximiseGain, multiplied in that order, then clamped.
inline int16_t scaledSample(int16_t sample, double fadeGain, double maximiseGain)
{
    return clampedSample(fadeGain * sample * maximiseGain);
}

// Every sample through scaledSample, in place. Vectorised where the processor allows (AVX2, else
// SSE2), with the same double arithmetic and so the same results.
void scaleSamples(int16_t* samples, std::size_t count, double fadeGain, double maximiseGain);

// The implementations scaleSamples chooses from, for the tests that hold each one to scaledSample.
enum class SampleKernel { Plain, Sse2, Avx2 };
bool sampleKernelAvailable(SampleKernel kernel);
// scaleSamples through the given implementation, which must be available.
void scaleSamplesWith(SampleKernel kernel, int16_t* samples, std::size_t count, double fadeGain, double maximiseGain);

}
