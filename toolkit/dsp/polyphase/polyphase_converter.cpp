// Creating, feeding and releasing polyphase converters.
#include "polyphase_converter.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "kernels.h"
#include "polyphase_filter.h"
#include "prototype_tables.h"

namespace sorvak::polyphase {

namespace {

// Ratios whose reduced output side exceeds this many phases run in fine mode on 128 phases.
constexpr int kMaxExactPhases = 640;
constexpr int kFinePhases = 128;
constexpr size_t kRowAlignment = 64;
constexpr int kRowMultiple = 16; // coefficients: one AVX2 register

int roundedUp(int value, int multiple)
{
    return (value + multiple - 1) / multiple * multiple;
}

int16_t* zeroedRows(size_t rows, int rowStride)
{
    size_t bytes = rows * static_cast<size_t>(rowStride) * sizeof(int16_t);
    bytes = (bytes + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
    auto* memory = static_cast<int16_t*>(aligned_alloc(kRowAlignment, bytes));
    if (memory)
        memset(memory, 0, bytes);
    return memory;
}

// Largest sum of |coefficient| over the vector kernels' lanes: coefficient k of the first
// `covered` lands in lane (k mod 8) / 2.
int64_t largestLaneMagnitude(const int16_t* row, int covered)
{
    int64_t lanes[4] = {};
    for (int k = 0; k < covered; ++k)
        lanes[(k % 8) / 2] += row[k] < 0 ? -int64_t{row[k]} : row[k];
    int64_t largest = 0;
    for (int64_t lane : lanes)
        largest = lane > largest ? lane : largest;
    return largest;
}

// Lays out each phase's coefficients in the order of the window they face, and finds the largest
// sum a lane of the vector kernels can reach.
bool buildWindowRows(PolyphaseConverter& converter)
{
    const int count = converter.count;
    const int phases = converter.phases;
    converter.windowRowStride = roundedUp(2 * count, kRowMultiple);
    converter.windowRows = zeroedRows(static_cast<size_t>(phases), converter.windowRowStride);
    if (!converter.windowRows)
        return false;
    if (converter.channels == 2) {
        converter.pairedRowStride = roundedUp(4 * count, kRowMultiple);
        converter.pairedRows = zeroedRows(static_cast<size_t>(phases), converter.pairedRowStride);
        if (!converter.pairedRows)
            return false;
    }
    int64_t largestMagnitude = 0;
    for (int phase = 0; phase < phases; ++phase) {
        const int16_t* left = converter.filter + static_cast<ptrdiff_t>(phase) * converter.stride;
        const int16_t* right = converter.filter + static_cast<ptrdiff_t>(phases - 1 - phase) * converter.stride;
        int16_t* row = converter.windowRows + static_cast<ptrdiff_t>(phase) * converter.windowRowStride;
        for (int j = 0; j < count; ++j) {
            row[count - 1 - j] = left[j]; // faces in[x - 1 - j]
            row[count + j] = right[j];    // faces in[x + j]
        }
        int64_t magnitude = 0;
        if (converter.pairedRows) {
            int16_t* paired = converter.pairedRows + static_cast<ptrdiff_t>(phase) * converter.pairedRowStride;
            for (int k = 0; k < 2 * count; k += 2) {
                paired[2 * k] = paired[2 * k + 2] = row[k];
                paired[2 * k + 1] = paired[2 * k + 3] = row[k + 1];
            }
            magnitude = largestLaneMagnitude(paired, 4 * count / 8 * 8);
        } else {
            magnitude = largestLaneMagnitude(row, 2 * count / 8 * 8);
        }
        largestMagnitude = magnitude > largestMagnitude ? magnitude : largestMagnitude;
    }
    converter.largestLaneSum = largestMagnitude * 32768;
    return true;
}

}

void chooseKernel(PolyphaseConverter& converter, KernelFlavour flavour)
{
    Kernel vector = nullptr;
    if (flavour == KernelFlavour::Vector && converter.largestLaneSum <= INT32_MAX)
        vector = vectorKernel(converter.channels, converter.count, converter.fineMode);
    converter.kernel = vector ? vector : portableKernel(converter.channels, converter.fineMode);
}

}

using namespace sorvak::polyphase;

SORVAK_API void FreeResampler(PolyphaseConverter* converter)
{
    if (!converter)
        return;
    free(converter->history);
    free(converter->filter);
    free(converter->windowRows);
    free(converter->pairedRows);
    free(converter);
}

SORVAK_API PolyphaseConverter* InitResampler(int inputRate, int outputRate, int channels, int type)
{
    if (inputRate == outputRate)
        return nullptr;
    // A rate of zero would leave gcd nothing to reduce by; the rest have no meaning here.
    if (inputRate <= 0 || outputRate <= 0 || (channels != 1 && channels != 2) || type < 0 || type > 3)
        return nullptr;
    auto* converter = static_cast<PolyphaseConverter*>(calloc(1, sizeof(PolyphaseConverter)));
    if (!converter)
        return nullptr;
    uint32_t divisor = gcd(static_cast<uint32_t>(inputRate), static_cast<uint32_t>(outputRate));
    int phases = static_cast<int>(static_cast<uint32_t>(outputRate) / divisor);
    int decimation = static_cast<int>(static_cast<uint32_t>(inputRate) / divisor);
    if (phases > kMaxExactPhases) {
        // Too many exact phases: step through 128 of them and carry the remainder of the
        // ratio as a fraction of a phase, blending each output between two neighbouring phases.
        uint64_t scaled = static_cast<uint64_t>(inputRate) * kFinePhases;
        phases = kFinePhases;
        decimation = static_cast<int>(scaled / static_cast<uint64_t>(outputRate));
        converter->phaseFractionStep = udivhi(static_cast<uint32_t>(scaled % static_cast<uint64_t>(outputRate)),
                                              static_cast<uint32_t>(outputRate));
        converter->fineMode = true;
    }
    converter->phases = phases;
    converter->decimation = decimation;
    converter->channels = channels;
    converter->filter = MakeFilter(phases, decimation, type, &converter->count);
    if (!converter->filter) {
        FreeResampler(converter);
        return nullptr;
    }
    converter->stride = (converter->count + 1) & ~1;
    converter->gain = filterGain(kPrototypeTables[type].halfLength, converter->count);
    converter->historyLength = channels * (2 * converter->count + (converter->fineMode ? 1 : 0));
    converter->startOffset = converter->historyLength - channels * (converter->count - 1);
    converter->history = static_cast<int16_t*>(calloc(2 * static_cast<size_t>(converter->historyLength), sizeof(int16_t)));
    converter->phaseAdvance = decimation % phases;
    converter->frameAdvance = decimation / phases;
    if (!converter->history || !buildWindowRows(*converter)) {
        FreeResampler(converter);
        return nullptr;
    }
    chooseKernel(*converter, KernelFlavour::Vector);
    return converter;
}

SORVAK_API int Resample(const int16_t* input, int samples, int16_t* output, PolyphaseConverter* converter)
{
    if (!converter || samples < 0 || samples % converter->channels != 0)
        return -1;
    if (samples == 0)
        return 0;
    if (!input || !output)
        return -1;
    // The caller's buffer holds up to samples * L / M plus one frame; refuse blocks whose count
    // could not be returned.
    int64_t mostOutput = int64_t{samples} * converter->phases / converter->decimation + converter->channels;
    if (mostOutput > INT_MAX)
        return -1;
    const int history = converter->historyLength;
    const int head = samples < history ? samples : history;
    memcpy(converter->history + history, input, static_cast<size_t>(head) * sizeof(int16_t));
    // First the positions whose windows reach back into the history, then those wholly inside
    // the block, read in place.
    int written = converter->kernel(*converter, converter->history, converter->startOffset + converter->overshoot,
                                    converter->startOffset + head, output);
    if (samples > history)
        written += converter->kernel(*converter, input, converter->startOffset + converter->overshoot,
                                     converter->startOffset + samples - history, output + written);
    if (samples >= history)
        memcpy(converter->history, input + samples - history, static_cast<size_t>(history) * sizeof(int16_t));
    else
        memmove(converter->history, converter->history + samples, static_cast<size_t>(history) * sizeof(int16_t));
    return written;
}
