// A cascade of up to 16 two-integrator feedback filter stages, one sample per call; the caller
// keeps the integrators in an AudioFilterState.
#include "sorvak.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kMaximumStages = 16;

// Types 2 and 3 run the band loop; every other type runs the low-pass loop.
bool isBandType(int type)
{
    return type == 2 || type == 3;
}

}

double AudioFilter(double x, double frequency, double damping, double gain, int sampleRate, int type,
                   int stages, int invert, AudioFilterState* state)
{
    if (!state)
        return x;
    // The state holds 16 stages; more are run as 16. No stage at all passes the sample through.
    if (stages > kMaximumStages)
        stages = kMaximumStages;
    double w = kTwoPi * frequency / sampleRate;
    double r = 1.0 - damping;
    bool band = isBandType(type);
    bool subtract = type == 1 || type == 3;
    for (int stage = 0; stage < stages; ++stage) {
        double a = state->firstIntegrator[stage];
        double b = state->secondIntegrator[stage];
        double e = state->third[stage];
        double y;
        if (band) {
            e = e + w * (x - a);
            b = b + w * gain * e;
            a = r * e + b;
            y = gain * e;
        } else {
            a = a + w * (x - e);
            b = b + w * a;
            e = r * a + b;
            y = gain * b;
        }
        if (subtract) {
            y = x - y;
            if (invert)
                y = -y;
        }
        state->firstIntegrator[stage] = a;
        state->secondIntegrator[stage] = b;
        state->third[stage] = e;
        x = y;
    }
    return x;
}
