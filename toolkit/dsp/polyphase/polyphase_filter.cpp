// The polyphase filter: the prototype table resampled by a cubic to count x L points and laid
// out as L phase rows of Q15 coefficients.
#include "polyphase_filter.h"

#include <cstdlib>
#include <vector>

#include "prototype_tables.h"
#include "sorvak.h"

namespace sorvak::polyphase {

namespace {

constexpr int32_t kOneThird = 0x55555556; // 1/3 in Q32, rounded up

// Prototype entry i quartered; the response mirrors about -0.5 and is zero past its end.
int32_t quarterEntry(const int32_t* source, int length, int64_t index)
{
    if (index < 0)
        index = -1 - index;
    if (index >= length)
        return 0;
    return source[index] >> 2;
}

// x times a Q31 fraction.
int32_t timesFraction(int32_t x, int32_t fraction)
{
    return 2 * mulhi(x, fraction);
}

}

int64_t tapsPerSide(int phases, int decimation, int halfLength)
{
    return static_cast<int64_t>(MAX(static_cast<uint32_t>(phases), static_cast<uint32_t>(decimation))) * halfLength
        / phases;
}

int32_t filterGain(int halfLength, int64_t count)
{
    if (count <= halfLength)
        return 0x7FFFFFFF;
    return static_cast<int32_t>(udivhi(static_cast<uint32_t>(halfLength), static_cast<uint32_t>(count)) / 2);
}

}

using namespace sorvak::polyphase;

SORVAK_API void Interpolate(const int32_t* source, int sourceLength, int32_t* destination, int destinationLength,
                            int32_t gain)
{
    if (!source || !destination || sourceLength <= 0 || destinationLength <= 0)
        return;
    uint32_t length = static_cast<uint32_t>(sourceLength);
    uint32_t outputs = static_cast<uint32_t>(destinationLength);
    // Positions are 32.32 fixed point; the first lies half a step in, plus the half-entry offset
    // of the table's sampling points.
    uint64_t step = (static_cast<uint64_t>(length / outputs) << 32) | udivhi(length % outputs, outputs);
    uint64_t position = (step >> 1) + 0x80000000u;
    for (uint32_t k = 0; k < outputs; ++k, position += step) {
        int64_t i = static_cast<int64_t>(position >> 32);
        int32_t t = static_cast<int32_t>(static_cast<uint32_t>(position) >> 1); // Q31
        int32_t d = quarterEntry(source, sourceLength, i - 2);
        int32_t e = quarterEntry(source, sourceLength, i - 1);
        int32_t f = quarterEntry(source, sourceLength, i);
        int32_t g = quarterEntry(source, sourceLength, i + 1);
        int32_t g3 = mulhi(g, kOneThird);
        int32_t d3 = mulhi(d, kOneThird);
        // Sums wrap at 32 bits like the registers they model; only a table far outside the
        // 30-bit range reaches that.
        auto wrap = [](int64_t value) { return static_cast<int32_t>(value); };
        int32_t a = wrap(int64_t{g3} - d3 + e - f);
        int32_t b = wrap(int64_t{timesFraction(a, t)} + ((int64_t{d} + f) >> 1) - e);
        int32_t c = wrap(int64_t{timesFraction(b, t)} + f - d3 - ((int64_t{e} + g3) >> 1));
        int32_t y = wrap(int64_t{timesFraction(c, t)} + e);
        y = timesFraction(y, gain);
        // Keep to the signed 30-bit range so that y * 4 cannot wrap.
        uint32_t topBits = static_cast<uint32_t>(y) >> 29;
        if (topBits != 0 && topBits != 7)
            y = (y >> 31) ^ 0x1FFFFFFF;
        destination[k] = static_cast<int32_t>(static_cast<uint32_t>(y) << 2);
    }
}

SORVAK_API int16_t* MakeFilter(int phases, int decimation, int type, int* count)
{
    if (count)
        *count = 0;
    if (phases < 1 || decimation < 1 || type < 0 || type > 3)
        return nullptr;
    const PrototypeTable& prototype = kPrototypeTables[type];
    int64_t taps = tapsPerSide(phases, decimation, prototype.halfLength);
    int64_t stride = (taps + 1) & ~int64_t{1};
    if (taps * phases > kMaxFilterCoefficients || stride * phases > kMaxFilterCoefficients)
        return nullptr;
    std::vector<int32_t> resampled(static_cast<size_t>(taps * phases));
    Interpolate(prototype.entries, 32 * prototype.halfLength, resampled.data(), static_cast<int>(resampled.size()),
                filterGain(prototype.halfLength, taps));
    auto* filter = static_cast<int16_t*>(calloc(static_cast<size_t>(stride * phases), sizeof(int16_t)));
    if (!filter)
        return nullptr;
    for (int64_t p = 0; p < phases; ++p)
        for (int64_t j = 0; j < taps; ++j) {
            // Q31 to Q15. The sum is taken in 64 bits: a coefficient at the top of the range
            // would otherwise wrap, and it then saturates at the largest Q15 value.
            int64_t value = (static_cast<int64_t>(resampled[static_cast<size_t>(j * phases + p)]) + 65536) >> 16;
            filter[p * stride + j] = static_cast<int16_t>(value > INT16_MAX ? INT16_MAX : value);
        }
    if (count)
        *count = static_cast<int>(taps);
    return filter;
}
