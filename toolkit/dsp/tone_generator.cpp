// A cosine tone, one sample per call, with the phase kept by the caller.
#include "sorvak.h"

#include <cmath>

namespace {

// The tone generator's own, shorter form of pi / 180; its tones are compared sample by sample,
// so it is not the full-precision constant of the fade curve.
constexpr double kToneRadiansPerDegree = 0.01745329251994;

}

double SineWave(int sampleRate, double frequency, double amplitude, double* phase)
{
    if (!phase)
        return 0.0;
    double sample = std::cos(*phase * kToneRadiansPerDegree);
    *phase = std::fmod(*phase + (frequency / sampleRate) * 360.0, 360.0);
    return amplitude * sample;
}
