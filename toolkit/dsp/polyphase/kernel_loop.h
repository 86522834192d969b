// The frame loop shared by every kernel: window checks, the fine-mode blend of two phases,
// rounding, saturation and the phase advance. `Dot` supplies the products: called as
// dot(phase, window, sums), it sets sums[channel] to the sum over k < 2 * count of
// window[k * Channels + channel] * windowRow(phase)[k], exactly.
//
// Included by one file per instruction set; the unnamed namespace keeps each file's copy apart.
#ifndef SORVAK_POLYPHASE_KERNEL_LOOP_H
#define SORVAK_POLYPHASE_KERNEL_LOOP_H

#include <cstdint>

#include "polyphase_converter.h"

namespace sorvak::polyphase {
namespace {

constexpr int64_t kRounding = 0x4000; // half of the Q15 unit

// The converter's window rows: per phase, the 2 * count coefficients facing the window.
class WindowRows {
public:
    explicit WindowRows(const PolyphaseConverter& converter)
        : m_rows(converter.windowRows)
        , m_rowStride(converter.windowRowStride)
        , m_taps(2 * converter.count)
    {
    }

    const int16_t* row(int phase) const { return m_rows + static_cast<ptrdiff_t>(phase) * m_rowStride; }
    int taps() const { return m_taps; }

private:
    const int16_t* m_rows;
    int m_rowStride;
    int m_taps;
};

int16_t saturatedSample(int64_t value)
{
    if (value > INT16_MAX)
        return INT16_MAX;
    if (value < INT16_MIN)
        return INT16_MIN;
    return static_cast<int16_t>(value);
}

// Between the phase's sum h and the adjacent phase's sum g, by the fraction of the way there.
int64_t blendedSample(int64_t h, int64_t g, uint32_t fraction)
{
    __int128 difference = static_cast<__int128>(g - h) * (fraction >> 1);
    return ((h >> 1) + static_cast<int64_t>(difference >> 32)) >> 14;
}

template <int Channels, bool Fine, typename Dot>
int convertFrames(PolyphaseConverter& converter, const int16_t* data, ptrdiff_t position, ptrdiff_t end,
                  int16_t* output)
{
    const Dot dot(converter);
    const int phases = converter.phases;
    const int phaseAdvance = converter.phaseAdvance;
    const ptrdiff_t frameAdvance = static_cast<ptrdiff_t>(converter.frameAdvance) * Channels;
    const ptrdiff_t windowBack = static_cast<ptrdiff_t>(converter.count) * Channels;
    const uint32_t fractionStep = converter.phaseFractionStep;
    int phase = converter.phase;
    uint32_t fraction = converter.phaseFraction;
    int16_t* next = output;
    for (;;) {
        int adjacentPhase = phase + 1;
        ptrdiff_t adjacentOffset = 0;
        if (Fine && adjacentPhase == phases) {
            adjacentPhase = 0;
            adjacentOffset = Channels;
        }
        if (position + adjacentOffset + (Channels - 1) >= end)
            break;
        int64_t sums[Channels];
        dot(phase, data + position - windowBack, sums);
        if constexpr (Fine) {
            int64_t adjacentSums[Channels];
            dot(adjacentPhase, data + position + adjacentOffset - windowBack, adjacentSums);
            for (int channel = 0; channel < Channels; ++channel)
                *next++ = saturatedSample(
                    blendedSample(sums[channel] + kRounding, adjacentSums[channel] + kRounding, fraction));
            uint32_t before = fraction;
            fraction += fractionStep;
            if (fraction < before) {
                phase = adjacentPhase;
                position += adjacentOffset;
            }
        } else {
            for (int channel = 0; channel < Channels; ++channel)
                *next++ = saturatedSample((sums[channel] + kRounding) >> 15);
        }
        // Whether the phase wraps follows the ratio, not a pattern a branch predictor learns:
        // select instead of branching.
        phase += phaseAdvance;
        const bool wraps = phase >= phases;
        phase -= wraps ? phases : 0;
        position += frameAdvance + (wraps ? Channels : 0);
    }
    converter.phase = phase;
    converter.phaseFraction = fraction;
    converter.overshoot = position - end;
    return static_cast<int>(next - output);
}

}
}

#endif
