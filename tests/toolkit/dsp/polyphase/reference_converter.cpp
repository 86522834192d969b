#include "reference_converter.h"

#include <cstdlib>
#include <memory>
#include <numeric>

#include "sorvak.h"

namespace {

struct Filter {
    std::unique_ptr<int16_t, void (*)(void*)> rows{nullptr, free};
    int phases = 0;
    int count = 0;
    int stride = 0;

    int16_t tap(int row, int j) const { return rows.get()[row * stride + j]; }
};

struct Stream {
    const std::vector<int16_t>& samples;
    int channels;

    int64_t frames() const { return static_cast<int64_t>(samples.size()) / channels; }
    int64_t at(int64_t frame, int channel) const
    {
        return frame < 0 ? 0 : samples[static_cast<size_t>(frame * channels + channel)];
    }
};

// 0x4000 + sum over j of in[x + j] * row(L - 1 - p)[j] + in[x - 1 - j] * row(p)[j].
int64_t accumulate(const Filter& filter, const Stream& stream, int64_t x, int p, int channel)
{
    int64_t sum = 0x4000;
    for (int j = 0; j < filter.count; ++j)
        sum += stream.at(x + j, channel) * filter.tap(filter.phases - 1 - p, j)
            + stream.at(x - 1 - j, channel) * filter.tap(p, j);
    return sum;
}

int16_t saturated(int64_t value)
{
    return static_cast<int16_t>(value > 32767 ? 32767 : value < -32768 ? -32768 : value);
}

}

std::vector<int16_t> referenceConversion(const std::vector<int16_t>& input, int inputRate, int outputRate, int channels,
                                         int type)
{
    int divisor = std::gcd(inputRate, outputRate);
    int phases = outputRate / divisor;
    int decimation = inputRate / divisor;
    uint32_t fractionStep = 0;
    bool fine = phases > 640;
    if (fine) {
        phases = 128;
        int64_t scaled = int64_t{inputRate} * 128;
        decimation = static_cast<int>(scaled / outputRate);
        fractionStep = static_cast<uint32_t>(((scaled % outputRate) << 32) / outputRate);
    }
    Filter filter;
    filter.phases = phases;
    filter.rows.reset(MakeFilter(phases, decimation, type, &filter.count));
    filter.stride = (filter.count + 1) / 2 * 2;
    Stream stream{input, channels};
    std::vector<int16_t> output;
    // The first output lies at input time 0.5 / L - count: frame x = 1 - count, phase 0.
    int64_t x = 1 - filter.count;
    int p = 0;
    uint32_t fraction = 0;
    for (;;) {
        int adjacentPhase = p + 1 < phases ? p + 1 : 0;
        int64_t adjacentX = p + 1 < phases ? x : x + 1;
        int64_t lastFrameNeeded = (fine ? std::max(x, adjacentX) : x) + filter.count - 1;
        if (lastFrameNeeded >= stream.frames())
            break;
        for (int channel = 0; channel < channels; ++channel) {
            int64_t h = accumulate(filter, stream, x, p, channel);
            if (!fine) {
                output.push_back(saturated(h >> 15));
                continue;
            }
            int64_t g = accumulate(filter, stream, adjacentX, adjacentPhase, channel);
            // floor((g - h) * (a >> 1) / 2^32), both factors small enough for 64 bits here.
            int64_t product = (g - h) * static_cast<int64_t>(fraction >> 1);
            int64_t blend = product >= 0 ? product >> 32 : -((-product + (int64_t{1} << 32) - 1) >> 32);
            output.push_back(saturated(((h >> 1) + blend) >> 14));
        }
        if (fine) {
            uint64_t next = uint64_t{fraction} + fractionStep;
            fraction = static_cast<uint32_t>(next);
            if (next >> 32) {
                p = adjacentPhase;
                x = adjacentX;
            }
        }
        int advance = decimation % phases;
        if (p + advance >= phases) {
            p += advance - phases;
            x += decimation / phases + 1;
        } else {
            p += advance;
            x += decimation / phases;
        }
    }
    return output;
}
