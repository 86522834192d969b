// The prototype tables, the cubic table resampler and the polyphase filter layout.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <vector>

#include "dsp/polyphase/prototype_tables.h"
#include "sorvak.h"

namespace {

using sorvak::polyphase::kPrototypeTables;

struct FreeDeleter {
    void operator()(void* memory) const { free(memory); }
};

struct PrototypeCase {
    int type;
    int halfLength;
    int32_t firstEntry;
    double zeroCrossing;
    double zeroCrossingTolerance;
};

// Types 2 and 3 place their first zero crossing where wanted. The short types 0 and 1 cannot
// have both their first entry and that crossing without a pass band sagging by several dB; they
// keep the first entry and a flat pass band, and cross zero a little later.
const PrototypeCase kPrototypeCases[] = {
    {0, 4, 1879001565, 1.108, 0.04},
    {1, 8, 1772753427, 1.144, 0.07},
    {2, 12, 1903680272, 1.096, 0.001},
    {3, 16, 1990275845, 1.066, 0.001},
};

class PolyphasePrototypeTable : public testing::TestWithParam<PrototypeCase> {};

TEST_P(PolyphasePrototypeTable, HasTheGivenLengthFirstEntryAndSum)
{
    const PrototypeCase& expected = GetParam();
    const auto& table = kPrototypeTables[expected.type];
    ASSERT_EQ(table.halfLength, expected.halfLength);
    EXPECT_EQ(table.entries[0], expected.firstEntry);
    int64_t sum = 0;
    for (int i = 0; i < 32 * table.halfLength; ++i)
        sum += table.entries[i];
    EXPECT_LE(std::llabs(sum - (int64_t{1} << 35)), 4);
}

TEST_P(PolyphasePrototypeTable, FallsFromItsPeakToTheFirstZeroCrossing)
{
    const PrototypeCase& expected = GetParam();
    const auto& table = kPrototypeTables[expected.type];
    int i = 1;
    for (; table.entries[i] > 0; ++i)
        ASSERT_LT(table.entries[i], table.entries[i - 1]) << "entry " << i;
    // Linear interpolation between the last positive and the first non-positive entry.
    double fraction = static_cast<double>(table.entries[i - 1]) / (static_cast<double>(table.entries[i - 1]) - table.entries[i]);
    double crossing = (i - 1 + 0.5 + fraction) / 32.0;
    EXPECT_NEAR(crossing, expected.zeroCrossing, expected.zeroCrossingTolerance);
}

TEST_P(PolyphasePrototypeTable, PassesLowFrequenciesAndStopsAboveTheInputNyquistBand)
{
    const auto& table = kPrototypeTables[GetParam().type];
    // Frequency response of the full symmetric response, in input sample rates.
    auto response = [&](double frequency) {
        double sum = 0.0;
        for (int i = 0; i < 32 * table.halfLength; ++i)
            sum += table.entries[i] * std::cos(2.0 * std::numbers::pi * frequency * (i + 0.5) / 32.0);
        return 2.0 * sum / 32.0 / 2147483648.0;
    };
    EXPECT_NEAR(response(0.0), 1.0, 1e-9);
    EXPECT_NEAR(20.0 * std::log10(response(1000.0 / 44100.0)), 0.0, 0.05);
    // The longer the table, the deeper its stop band beyond 0.6 of the input rate.
    const double stopBandDb[] = {-15.0, -80.0, -80.0, -90.0};
    for (double frequency = 0.6; frequency < 4.0; frequency += 0.001)
        ASSERT_LT(20.0 * std::log10(std::abs(response(frequency))), stopBandDb[GetParam().type]) << frequency;
}

INSTANTIATE_TEST_SUITE_P(Types, PolyphasePrototypeTable, testing::ValuesIn(kPrototypeCases));

// The 32.32 step from `length` entries to `outputs` points.
uint64_t interpolationStep(uint32_t length, uint32_t outputs)
{
    return (uint64_t{length / outputs} << 32) + ((uint64_t{length % outputs} << 32) / outputs);
}

// Output k of Interpolate in real arithmetic: the cubic through the four quartered entries
// around position (step / 2 + 0.5 + k * step), times the gain, times four.
double interpolatedInReals(const std::vector<int32_t>& source, uint64_t step, int k, double gain)
{
    uint64_t position = (step >> 1) + 0x80000000u + step * static_cast<uint64_t>(k);
    int64_t i = static_cast<int64_t>(position >> 32);
    double t = static_cast<double>(static_cast<uint32_t>(position)) / 4294967296.0;
    auto entry = [&](int64_t index) -> double {
        if (index < 0)
            index = -1 - index;
        if (index >= static_cast<int64_t>(source.size()))
            return 0.0;
        return source[static_cast<size_t>(index)] >> 2;
    };
    double d = entry(i - 2), e = entry(i - 1), f = entry(i), g = entry(i + 1);
    double y = e + t * (f - d / 3 - e / 2 - g / 6) + t * t * ((d + f) / 2 - e) + t * t * t * (g / 3 - d / 3 + e - f);
    return 4.0 * y * gain;
}

TEST(PolyphaseInterpolate, FollowsItsCubicAtEveryPoint)
{
    const auto& table = kPrototypeTables[3];
    std::vector<int32_t> source(table.entries, table.entries + 32 * table.halfLength);
    for (int outputs : {2560, 512, 16 * 147, 7 * 100, 333}) {
        for (int32_t gain : {0x7FFFFFFF, 0x3C3C3C3C}) {
            std::vector<int32_t> result(static_cast<size_t>(outputs));
            Interpolate(source.data(), static_cast<int>(source.size()), result.data(), outputs, gain);
            uint64_t step = interpolationStep(static_cast<uint32_t>(source.size()), static_cast<uint32_t>(outputs));
            for (int k = 0; k < outputs; ++k)
                ASSERT_NEAR(result[static_cast<size_t>(k)], interpolatedInReals(source, step, k, gain / 2147483648.0), 64.0)
                    << "point " << k << " of " << outputs;
        }
    }
}

TEST(PolyphaseInterpolate, SaturatesAtThirtyBitsBeforeScaling)
{
    // A sharp step makes the cubic overshoot the largest entry.
    std::vector<int32_t> source = {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN, INT32_MIN};
    std::vector<int32_t> result(60);
    Interpolate(source.data(), static_cast<int>(source.size()), result.data(), static_cast<int>(result.size()), 0x7FFFFFFF);
    bool reachedTop = false;
    bool reachedBottom = false;
    for (int32_t value : result) {
        EXPECT_EQ(value % 4, 0);
        reachedTop = reachedTop || value == 0x7FFFFFFC;
        reachedBottom = reachedBottom || value == INT32_MIN;
    }
    EXPECT_TRUE(reachedTop);
    EXPECT_TRUE(reachedBottom);
}

TEST(PolyphaseInterpolate, RefusesEmptyTables)
{
    int32_t source[4] = {1, 2, 3, 4};
    int32_t destination[2] = {-7, -7};
    Interpolate(source, 0, destination, 2, 0x7FFFFFFF);
    Interpolate(source, 4, destination, 0, 0x7FFFFFFF);
    Interpolate(nullptr, 4, destination, 2, 0x7FFFFFFF);
    EXPECT_EQ(destination[0], -7);
    EXPECT_EQ(destination[1], -7);
}

struct FilterCase {
    int phases;
    int decimation;
    int type;
    int count;
};

class PolyphaseFilter : public testing::TestWithParam<FilterCase> {};

TEST_P(PolyphaseFilter, LaysOutTheResampledPrototypeAsPhaseRowsInQ15)
{
    const FilterCase& expected = GetParam();
    int count = -1;
    std::unique_ptr<int16_t, FreeDeleter> filter(MakeFilter(expected.phases, expected.decimation, expected.type, &count));
    ASSERT_TRUE(filter);
    ASSERT_EQ(count, expected.count);
    const auto& table = kPrototypeTables[expected.type];
    // Widened for a down-conversion, the response's gain falls by the same factor: c / count in Q31.
    int32_t gain = count <= table.halfLength
        ? 0x7FFFFFFF
        : static_cast<int32_t>(((uint64_t{static_cast<uint32_t>(table.halfLength)} << 32) / static_cast<uint32_t>(count)) / 2);
    std::vector<int32_t> resampled(static_cast<size_t>(count * expected.phases));
    Interpolate(table.entries, 32 * table.halfLength, resampled.data(), static_cast<int>(resampled.size()), gain);
    const int stride = (count + 1) / 2 * 2;
    for (int p = 0; p < expected.phases; ++p) {
        for (int j = 0; j < count; ++j) {
            int32_t value = resampled[static_cast<size_t>(j * expected.phases + p)];
            ASSERT_EQ(filter.get()[p * stride + j], static_cast<int16_t>((int64_t{value} + 65536) >> 16))
                << "row " << p << " tap " << j;
        }
        if (stride != count) {
            ASSERT_EQ(filter.get()[p * stride + count], 0) << "spare column of row " << p;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Ratios, PolyphaseFilter,
                         testing::Values(FilterCase{160, 147, 3, 16}, FilterCase{147, 160, 3, 17},
                                         FilterCase{128, 127, 2, 12}, FilterCase{1, 2, 0, 8},
                                         FilterCase{80, 441, 1, 44}, FilterCase{441, 80, 3, 16}));

TEST(PolyphaseFilterLimits, RefusesMeaninglessAndOversizedFilters)
{
    int count = -1;
    EXPECT_EQ(MakeFilter(0, 1, 0, &count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(MakeFilter(1, 0, 0, &count), nullptr);
    EXPECT_EQ(MakeFilter(160, 147, 4, &count), nullptr);
    EXPECT_EQ(MakeFilter(160, 147, -1, &count), nullptr);
    // One phase decimating by two billion would need 32 billion taps.
    EXPECT_EQ(MakeFilter(1, 2000000000, 3, &count), nullptr);
    EXPECT_EQ(count, 0);
}

}
