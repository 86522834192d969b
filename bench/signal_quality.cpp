#include "signal_quality.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr size_t kMinimumFrames = 16;

struct MeasuredSpan {
    size_t first = 0;
    size_t end = 0;
};

MeasuredSpan settledSpan(size_t frames, int sampleRate)
{
    size_t margin = frames / 10;
    size_t quarterSecond = static_cast<size_t>(sampleRate > 0 ? sampleRate : 0) / 4;
    if (margin > quarterSecond)
        margin = quarterSecond;
    return {margin, frames - margin};
}

// Phase of the tone at frame n, reduced before scaling so long blocks keep full precision.
double phaseAt(size_t frame, int sampleRate, double frequency)
{
    double cycles = std::fmod(static_cast<double>(frame) * frequency, static_cast<double>(sampleRate));
    return 2.0 * std::numbers::pi * cycles / sampleRate;
}

// Solves the 3x3 symmetric system m * x = v by Cramer's rule.
bool solve3(const double m[3][3], const double v[3], double x[3])
{
    auto determinant = [](const double a[3][3]) {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0])
            + a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    double whole = determinant(m);
    if (whole == 0.0 || !std::isfinite(whole))
        return false;
    for (int column = 0; column < 3; ++column) {
        double replaced[3][3];
        for (int row = 0; row < 3; ++row)
            for (int k = 0; k < 3; ++k)
                replaced[row][k] = k == column ? v[row] : m[row][k];
        x[column] = determinant(replaced) / whole;
    }
    return true;
}

// Weighted least-squares fit of c0*cos + c1*sin + c2 to the first channel over the span.
bool fitTone(const int16_t* samples, MeasuredSpan span, int channels, int sampleRate, double frequency, bool hann,
             double coefficients[3])
{
    double normal[3][3] = {};
    double right[3] = {};
    double length = static_cast<double>(span.end - span.first);
    for (size_t n = span.first; n < span.end; ++n) {
        double weight = 1.0;
        if (hann)
            weight = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (static_cast<double>(n - span.first) + 0.5) / length);
        double phase = phaseAt(n, sampleRate, frequency);
        double basis[3] = {std::cos(phase), std::sin(phase), 1.0};
        double value = samples[n * static_cast<size_t>(channels)];
        for (int row = 0; row < 3; ++row) {
            right[row] += weight * basis[row] * value;
            for (int k = 0; k < 3; ++k)
                normal[row][k] += weight * basis[row] * basis[k];
        }
    }
    return solve3(normal, right, coefficients);
}

}

double thdPlusNoiseDb(const int16_t* samples, size_t frames, int channels, int sampleRate, double frequency)
{
    constexpr double kNothing = -std::numeric_limits<double>::infinity();
    if (!samples || channels < 1 || sampleRate <= 0 || frames < kMinimumFrames)
        return kNothing;
    MeasuredSpan span = settledSpan(frames, sampleRate);
    double coefficients[3];
    if (!fitTone(samples, span, channels, sampleRate, frequency, false, coefficients))
        return kNothing;
    double residualEnergy = 0.0;
    for (size_t n = span.first; n < span.end; ++n) {
        double phase = phaseAt(n, sampleRate, frequency);
        double fitted = coefficients[0] * std::cos(phase) + coefficients[1] * std::sin(phase) + coefficients[2];
        double residual = samples[n * static_cast<size_t>(channels)] - fitted;
        residualEnergy += residual * residual;
    }
    double residualRms = std::sqrt(residualEnergy / static_cast<double>(span.end - span.first));
    double toneRms = std::sqrt((coefficients[0] * coefficients[0] + coefficients[1] * coefficients[1]) / 2.0);
    if (toneRms == 0.0)
        return std::numeric_limits<double>::infinity();
    if (residualRms == 0.0)
        return kNothing;
    return 20.0 * std::log10(residualRms / toneRms);
}

double toneLevelDb(const int16_t* samples, size_t frames, int channels, int sampleRate, double frequency)
{
    constexpr double kNothing = -std::numeric_limits<double>::infinity();
    if (!samples || channels < 1 || sampleRate <= 0 || frames < kMinimumFrames)
        return kNothing;
    double coefficients[3];
    if (!fitTone(samples, settledSpan(frames, sampleRate), channels, sampleRate, frequency, true, coefficients))
        return kNothing;
    double amplitude = std::hypot(coefficients[0], coefficients[1]);
    if (amplitude == 0.0)
        return kNothing;
    return 20.0 * std::log10(amplitude / 32768.0);
}
