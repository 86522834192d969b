// Converters: set-up for given rates, exactness against the definition whatever the block sizes,
// output bounds, saturation and the quality of a converted sine.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "dsp/polyphase/kernels.h"
#include "dsp/polyphase/polyphase_converter.h"
#include "reference_converter.h"

namespace {

using sorvak::polyphase::KernelFlavour;

struct ConverterDeleter {
    void operator()(PolyphaseConverter* converter) const { FreeResampler(converter); }
};
using Converter = std::unique_ptr<PolyphaseConverter, ConverterDeleter>;

Converter makeConverter(int inputRate, int outputRate, int channels, int type)
{
    return Converter(InitResampler(inputRate, outputRate, channels, type));
}

TEST(PolyphaseSetUp, UpFrom44100To48000UsesExactPhases)
{
    Converter converter = makeConverter(44100, 48000, 2, 3);
    ASSERT_TRUE(converter);
    EXPECT_EQ(converter->phases, 160);
    EXPECT_EQ(converter->decimation, 147);
    EXPECT_FALSE(converter->fineMode);
    EXPECT_EQ(converter->phaseFractionStep, 0u);
    EXPECT_EQ(converter->count, 16);
    EXPECT_EQ(converter->stride, 16);
    EXPECT_EQ(converter->gain, 0x7FFFFFFF);
    EXPECT_EQ(converter->historyLength, 2 * 2 * 16);
    EXPECT_EQ(converter->startOffset, 64 - 2 * 15);
    EXPECT_EQ(converter->phaseAdvance, 147);
    EXPECT_EQ(converter->frameAdvance, 0);
}

TEST(PolyphaseSetUp, DownFrom48000To44100WidensTheResponseAndLowersItsGain)
{
    Converter converter = makeConverter(48000, 44100, 2, 3);
    ASSERT_TRUE(converter);
    EXPECT_EQ(converter->phases, 147);
    EXPECT_EQ(converter->decimation, 160);
    EXPECT_EQ(converter->count, 160 * 16 / 147);
    EXPECT_EQ(converter->count, 17);
    EXPECT_EQ(converter->stride, 18);
    // 16/17 in Q31, by way of the Q32 quotient halved.
    EXPECT_EQ(converter->gain, static_cast<int32_t>(((uint64_t{16} << 32) / 17) / 2));
    EXPECT_EQ(converter->phaseAdvance, 13);
    EXPECT_EQ(converter->frameAdvance, 1);
}

TEST(PolyphaseSetUp, NearlyEqualRatesRunInFineMode)
{
    Converter converter = makeConverter(44056, 44100, 1, 3);
    ASSERT_TRUE(converter);
    EXPECT_TRUE(converter->fineMode);
    EXPECT_EQ(converter->phases, 128);
    EXPECT_EQ(converter->decimation, 127);
    // 44056 * 128 = 127 * 44100 + 38468.
    EXPECT_EQ(converter->phaseFractionStep, static_cast<uint32_t>((uint64_t{38468} << 32) / 44100));
    EXPECT_EQ(converter->count, 16);
    EXPECT_EQ(converter->historyLength, 2 * 16 + 1);
}

TEST(PolyphaseSetUp, RefusesEqualInvalidAndOversizedConversions)
{
    EXPECT_EQ(InitResampler(44100, 44100, 2, 3), nullptr);
    EXPECT_EQ(InitResampler(0, 48000, 2, 3), nullptr);
    EXPECT_EQ(InitResampler(44100, 0, 2, 3), nullptr);
    EXPECT_EQ(InitResampler(-44100, 48000, 2, 3), nullptr);
    EXPECT_EQ(InitResampler(44100, -48000, 2, 3), nullptr);
    EXPECT_EQ(InitResampler(44100, 48000, 3, 3), nullptr);
    EXPECT_EQ(InitResampler(44100, 48000, 0, 3), nullptr);
    EXPECT_EQ(InitResampler(44100, 48000, 2, 4), nullptr);
    EXPECT_EQ(InitResampler(44100, 48000, 2, -1), nullptr);
    // Reducing two billion to one would need a filter of billions of taps.
    EXPECT_EQ(InitResampler(2000000000, 1, 2, 3), nullptr);
    FreeResampler(nullptr);
}

TEST(PolyphaseResample, RefusesBlocksItCannotConvert)
{
    Converter stereo = makeConverter(44100, 48000, 2, 3);
    ASSERT_TRUE(stereo);
    std::vector<int16_t> input(64), output(256);
    EXPECT_EQ(Resample(input.data(), 3, output.data(), stereo.get()), -1) << "half a frame";
    EXPECT_EQ(Resample(input.data(), -2, output.data(), stereo.get()), -1);
    EXPECT_EQ(Resample(input.data(), 2, output.data(), nullptr), -1);
    EXPECT_EQ(Resample(nullptr, 2, output.data(), stereo.get()), -1);
    EXPECT_EQ(Resample(input.data(), 0, output.data(), stereo.get()), 0);
    // 1,000,000,000 samples at 160/147 would be more than an int of output.
    Converter up = makeConverter(8000, 44100, 1, 0);
    ASSERT_TRUE(up);
    EXPECT_EQ(Resample(input.data(), 1000000000, output.data(), up.get()), -1);
}

struct Conversion {
    int inputRate;
    int outputRate;
    int channels;
    int type;
};

std::string conversionName(const testing::TestParamInfo<Conversion>& info)
{
    const Conversion& c = info.param;
    return std::to_string(c.inputRate) + "To" + std::to_string(c.outputRate) + (c.channels == 1 ? "Mono" : "Stereo")
        + "Type" + std::to_string(c.type);
}

// Music-like test input: two tones and a little noise, near full scale.
std::vector<int16_t> testSignal(int frames, int channels, int inputRate)
{
    std::vector<int16_t> samples(static_cast<size_t>(frames * channels));
    std::mt19937 random(99);
    std::uniform_int_distribution<int> noise(-600, 600);
    for (int n = 0; n < frames; ++n)
        for (int channel = 0; channel < channels; ++channel) {
            double t = static_cast<double>(n) / inputRate;
            double value = 17000.0 * std::sin(2.0 * std::numbers::pi * (440.0 + 300.0 * channel) * t)
                + 12000.0 * std::sin(2.0 * std::numbers::pi * 9100.0 * t + channel) + noise(random);
            samples[static_cast<size_t>(n * channels + channel)] = static_cast<int16_t>(std::lround(value));
        }
    return samples;
}

// Feeds the whole input in blocks of the given frame counts (repeated), checking each block's
// output against its bound, and returns all output.
std::vector<int16_t> convertInBlocks(PolyphaseConverter& converter, const std::vector<int16_t>& input,
                                     const std::vector<int>& blockFrames)
{
    const int channels = converter.channels;
    std::vector<int16_t> output;
    size_t offset = 0;
    for (size_t block = 0; offset < input.size(); ++block) {
        size_t samples = static_cast<size_t>(blockFrames[block % blockFrames.size()] * channels);
        samples = std::min(samples, input.size() - offset);
        int64_t bound = static_cast<int64_t>(samples) * converter.phases / converter.decimation + channels;
        std::vector<int16_t> buffer(static_cast<size_t>(bound));
        int written = Resample(input.data() + offset, static_cast<int>(samples), buffer.data(), &converter);
        EXPECT_GE(written, 0);
        EXPECT_LE(written, bound) << "block of " << samples << " samples";
        EXPECT_EQ(written % channels, 0);
        output.insert(output.end(), buffer.begin(), buffer.begin() + std::max(written, 0));
        offset += samples;
    }
    return output;
}

class PolyphaseConversion : public testing::TestWithParam<Conversion> {};

TEST_P(PolyphaseConversion, MatchesTheDefinitionForAnyBlockSizes)
{
    const Conversion& c = GetParam();
    std::vector<int16_t> input = testSignal(2500, c.channels, c.inputRate);
    std::vector<int16_t> expected = referenceConversion(input, c.inputRate, c.outputRate, c.channels, c.type);
    ASSERT_GT(expected.size(), 400u);
    const std::vector<std::vector<int>> blockings = {{2500}, {1}, {1, 2, 3, 5, 8, 13, 21, 34, 55, 89, 144}, {17, 400}};
    for (KernelFlavour flavour : {KernelFlavour::Vector, KernelFlavour::Portable})
        for (const auto& blocks : blockings) {
            Converter converter = makeConverter(c.inputRate, c.outputRate, c.channels, c.type);
            ASSERT_TRUE(converter);
            sorvak::polyphase::chooseKernel(*converter, flavour);
            // The comparison means little unless the vector kernels really run where they can.
            if (flavour == KernelFlavour::Vector && __builtin_cpu_supports("avx2")) {
                ASSERT_NE(converter->kernel, sorvak::polyphase::portableKernel(c.channels, converter->fineMode));
            }
            std::vector<int16_t> output = convertInBlocks(*converter, input, blocks);
            ASSERT_EQ(output.size(), expected.size()) << "first block " << blocks[0];
            for (size_t i = 0; i < output.size(); ++i)
                ASSERT_EQ(output[i], expected[i]) << "sample " << i << ", first block " << blocks[0]
                                                  << (flavour == KernelFlavour::Vector ? ", vector" : ", portable");
        }
}

// A 1 kHz sine comes out as the same sine at the output rate: each output frame k lies at input
// time 0.5 / L - count + k * (M + F / 2^32) / L. A least-squares fit of a sine and a cosine at
// those times gives the level and the timing; what the fit leaves is distortion and noise.
TEST_P(PolyphaseConversion, KeepsAOneKilohertzSine)
{
    const Conversion& c = GetParam();
    constexpr double kFrequency = 1000.0;
    constexpr double kAmplitude = 20000.0;
    const int frames = c.inputRate / 4;
    std::vector<int16_t> input(static_cast<size_t>(frames * c.channels));
    for (int n = 0; n < frames; ++n)
        for (int channel = 0; channel < c.channels; ++channel)
            input[static_cast<size_t>(n * c.channels + channel)] = static_cast<int16_t>(
                std::lround(kAmplitude * std::sin(2.0 * std::numbers::pi * kFrequency * n / c.inputRate)));
    Converter converter = makeConverter(c.inputRate, c.outputRate, c.channels, c.type);
    ASSERT_TRUE(converter);
    std::vector<int16_t> output = convertInBlocks(*converter, input, {4096});
    const double step = (converter->decimation + converter->phaseFractionStep / 4294967296.0) / converter->phases;
    const double first = 0.5 / converter->phases - converter->count;
    const size_t outputFrames = output.size() / static_cast<size_t>(c.channels);
    ASSERT_GT(outputFrames, static_cast<size_t>(c.outputRate / 5));
    for (int channel = 0; channel < c.channels; ++channel) {
        // Normal equations of output ~ a sin + b cos, skipping the run-in from silence.
        double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
        std::vector<double> sines, cosines, values;
        for (size_t k = static_cast<size_t>(c.outputRate / 100); k < outputFrames; ++k) {
            double phase = 2.0 * std::numbers::pi * kFrequency * (first + static_cast<double>(k) * step) / c.inputRate;
            double value = output[k * static_cast<size_t>(c.channels) + static_cast<size_t>(channel)];
            sines.push_back(std::sin(phase));
            cosines.push_back(std::cos(phase));
            values.push_back(value);
            ss += sines.back() * sines.back();
            sc += sines.back() * cosines.back();
            cc += cosines.back() * cosines.back();
            ys += value * sines.back();
            yc += value * cosines.back();
        }
        double determinant = ss * cc - sc * sc;
        double a = (ys * cc - yc * sc) / determinant;
        double b = (yc * ss - ys * sc) / determinant;
        double residualEnergy = 0;
        for (size_t i = 0; i < values.size(); ++i) {
            double residual = values[i] - a * sines[i] - b * cosines[i];
            residualEnergy += residual * residual;
        }
        double levelDb = 20.0 * std::log10(std::hypot(a, b) / kAmplitude);
        double residualDb = 20.0 * std::log10(std::sqrt(residualEnergy / static_cast<double>(values.size()))
                                              / (std::hypot(a, b) / std::sqrt(2.0)));
        EXPECT_NEAR(levelDb, 0.0, 0.05) << "channel " << channel;
        // Timing: a frame out of place would turn the sine by 0.14 radians or more.
        EXPECT_NEAR(std::atan2(b, a), 0.0, 0.001) << "channel " << channel;
        const double residualBoundDb[] = {-60.0, -75.0, -80.0, -80.0};
        EXPECT_LT(residualDb, residualBoundDb[c.type]) << "channel " << channel;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rates, PolyphaseConversion,
    testing::Values(Conversion{44100, 48000, 2, 3}, Conversion{44100, 48000, 1, 3}, Conversion{44100, 48000, 2, 0},
                    Conversion{44100, 48000, 1, 1}, Conversion{48000, 44100, 2, 3}, Conversion{48000, 44100, 1, 2},
                    Conversion{44056, 44100, 1, 3}, Conversion{44056, 44100, 2, 3}, Conversion{44056, 44100, 2, 1},
                    Conversion{44100, 44056, 2, 2}, Conversion{44100, 22050, 2, 3}, Conversion{44100, 22050, 1, 0},
                    Conversion{22050, 44100, 2, 2}, Conversion{44100, 8000, 2, 1}, Conversion{44100, 24000, 2, 1}),
    conversionName);

TEST(PolyphaseResample, SaturatesFullScaleOvershootInsteadOfWrapping)
{
    // A full-scale square wave rings past full scale after a low-pass.
    std::vector<int16_t> input(2 * 4000);
    for (size_t n = 0; n < input.size() / 2; ++n)
        input[2 * n] = input[2 * n + 1] = (n / 37) % 2 ? INT16_MIN : INT16_MAX;
    std::vector<int16_t> expected = referenceConversion(input, 44100, 48000, 2, 3);
    Converter converter = makeConverter(44100, 48000, 2, 3);
    ASSERT_TRUE(converter);
    std::vector<int16_t> output = convertInBlocks(*converter, input, {1000});
    ASSERT_EQ(output, expected);
    size_t atTop = 0, atBottom = 0;
    for (int16_t sample : output) {
        atTop += sample == INT16_MAX;
        atBottom += sample == INT16_MIN;
    }
    EXPECT_GT(atTop, 50u);
    EXPECT_GT(atBottom, 50u);
}

}
