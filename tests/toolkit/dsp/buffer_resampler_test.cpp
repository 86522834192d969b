// The buffer resampler (ResampleAudioBuffer): format, rate and speed together.
#include "sorvak.h"
#include "toolkit/dsp/guarded_bytes.h"
#include "toolkit/dsp/reference_chain.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

using wavelark::testing::GuardedBytes;
using wavelark::testing::ReferenceState;

using wavelark::testing::randomBytes;

namespace {

WAVEFORMATEX pcm(int rate, int bits, int channels)
{
    auto blockAlign = static_cast<uint16_t>(bits / 8 * channels);
    return WAVEFORMATEX{1, static_cast<uint16_t>(channels), static_cast<uint32_t>(rate),
                        static_cast<uint32_t>(rate) * blockAlign, blockAlign, static_cast<uint16_t>(bits), 0};
}

struct Resampled {
    std::vector<uint8_t> bytes;
    uint32_t blockAlign = 0;
    bool hasBuffer = false;
};

Resampled resample(const std::vector<uint8_t>& input, const WAVEFORMATEX& from, const WAVEFORMATEX& to,
                   ResamplerState& state, double startSpeed, double endSpeed, int rate)
{
    GuardedBytes guarded(input.data(), input.size());
    AudioBuffer source{guarded.data(), static_cast<uint32_t>(input.size()), from.nBlockAlign};
    AudioBuffer destination{};
    EXPECT_EQ(ResampleAudioBuffer(&source, &destination, &from, &to, &state, startSpeed, endSpeed, rate), 0);
    Resampled result;
    auto* bytes = static_cast<uint8_t*>(destination.data);
    result.bytes.assign(bytes, bytes + destination.size);
    result.blockAlign = destination.blockAlign;
    result.hasBuffer = destination.data != nullptr;
    std::free(destination.data);
    return result;
}

TEST(BufferResampler, DoublesA22050HzEightBitMonoBlockInto44100HzSixteenBitStereo)
{
    std::vector<uint8_t> input = {0x90, 0x70, 0x81, 0xff, 0x00};
    ResamplerState state{};
    Resampled out = resample(input, pcm(22050, 8, 1), pcm(44100, 16, 2), state, 1.0, 1.0, 44100);
    ASSERT_EQ(out.bytes.size(), input.size() * 2 * 4);
    EXPECT_EQ(out.blockAlign, 4u);
    std::vector<int16_t> samples = wavelark::testing::samplesOf(out.bytes);
    // Input frames as 16-bit values, after the zero frame the stream starts with.
    std::vector<int> values = {0, 4096, -4096, 256, 32512, -32768};
    for (size_t frame = 0; frame + 1 < values.size(); ++frame) {
        // Each input frame gives two output frames: a frame as it was, then the truncated mean
        // of it and the next one. Both channels are equal.
        int mean = (values[frame] + values[frame + 1]) / 2;
        EXPECT_EQ(samples[4 * frame], values[frame]) << frame;
        EXPECT_EQ(samples[4 * frame + 2], mean) << frame;
        EXPECT_EQ(samples[4 * frame + 1], samples[4 * frame]);
        EXPECT_EQ(samples[4 * frame + 3], samples[4 * frame + 2]);
    }
}

TEST(BufferResampler, EqualRatesAtSpeedOneGiveTheInputOneFrameLate)
{
    std::vector<uint8_t> input = randomBytes(4 * 500, 3);
    ResamplerState state{};
    Resampled out = resample(input, pcm(44100, 16, 2), pcm(44100, 16, 2), state, 1.0, 1.0, 44100);
    ASSERT_EQ(out.bytes.size(), input.size());
    EXPECT_EQ(std::vector<uint8_t>(out.bytes.begin(), out.bytes.begin() + 4), std::vector<uint8_t>(4, 0));
    EXPECT_EQ(std::vector<uint8_t>(out.bytes.begin() + 4, out.bytes.end()),
              std::vector<uint8_t>(input.begin(), input.end() - 4));
}

TEST(BufferResampler, SpeedTwoAtEqualRatesHalvesTheFrames)
{
    std::vector<uint8_t> input = randomBytes(4 * 1000, 4);
    ResamplerState state{};
    EXPECT_EQ(resample(input, pcm(44100, 16, 2), pcm(44100, 16, 2), state, 2.0, 2.0, 44100).bytes.size(), 4u * 500);
}

TEST(BufferResampler, TheTargetRateArgumentDecidesNotTheDestinationFormat)
{
    std::vector<uint8_t> input = randomBytes(4 * 1000, 5);
    ResamplerState first{};
    ResamplerState second{};
    EXPECT_EQ(resample(input, pcm(44100, 16, 2), pcm(8000, 16, 2), first, 1.0, 1.0, 22050).bytes,
              resample(input, pcm(44100, 16, 2), pcm(96000, 16, 2), second, 1.0, 1.0, 22050).bytes);
    EXPECT_EQ(first.nextPosition, second.nextPosition);
}

struct ChainCase {
    int sourceRate;
    int sourceBits;
    int sourceChannels;
    int targetRate;
    int destinationBits;
    int destinationChannels;
    double startSpeed;
    double endSpeed;
};

class BufferResamplerFormats : public testing::TestWithParam<ChainCase> {};

TEST_P(BufferResamplerFormats, StreamsExactlyAsTheDefinitionBlockAfterBlock)
{
    const ChainCase& c = GetParam();
    ResamplerState state{};
    ReferenceState reference;
    std::mt19937 random(11);
    for (unsigned block = 0; block < 12; ++block) {
        // Sizes that are not a whole number of frames are included: their tails are not read.
        // Slow speeds multiply the output frames; keep each block's output in the tens of thousands.
        size_t longest = c.startSpeed < 0.1 ? 2000 : 20000;
        std::vector<uint8_t> input = randomBytes(1 + random() % longest, block);
        size_t frameBytes = static_cast<size_t>(c.sourceBits / 8 * c.sourceChannels);
        std::vector<uint8_t> whole(input.begin(), input.begin() + static_cast<long>(input.size() / frameBytes * frameBytes));
        std::vector<uint8_t> expected = wavelark::testing::referenceResample(
            whole, c.sourceBits, c.sourceChannels, c.sourceRate, c.destinationBits, c.destinationChannels,
            c.targetRate, c.startSpeed, c.endSpeed, reference);
        Resampled out = resample(input, pcm(c.sourceRate, c.sourceBits, c.sourceChannels),
                                 pcm(c.targetRate, c.destinationBits, c.destinationChannels), state, c.startSpeed,
                                 c.endSpeed, c.targetRate);
        ASSERT_EQ(out.bytes, expected) << "block " << block;
        EXPECT_TRUE(out.hasBuffer);
        EXPECT_EQ(out.blockAlign, static_cast<uint32_t>(c.destinationBits / 8 * c.destinationChannels));
    }
    EXPECT_EQ(state.nextPosition, reference.nextPosition);
}

INSTANTIATE_TEST_SUITE_P(Formats, BufferResamplerFormats,
                         testing::Values(ChainCase{44100, 16, 2, 22050, 16, 2, 1.0, 1.0},
                                         ChainCase{44100, 16, 2, 48000, 16, 2, 1.0, 1.0},
                                         ChainCase{48000, 16, 2, 44100, 8, 1, 1.0, 1.0},
                                         ChainCase{22050, 8, 1, 44100, 16, 2, 1.0, 1.0},
                                         ChainCase{11025, 8, 2, 44100, 16, 1, 1.0, 1.0},
                                         ChainCase{32000, 16, 1, 44100, 8, 2, 1.0, 1.0},
                                         ChainCase{44100, 16, 2, 44100, 16, 2, 0.8, 1.25},
                                         ChainCase{44100, 16, 2, 44100, 16, 2, 0.001, 0.001}));

TEST(BufferResampler, ABlockOfOneFrameGivesAnEmptyBuffer)
{
    ResamplerState state{};
    Resampled out = resample({1, 2, 3, 4}, pcm(44100, 16, 2), pcm(44100, 16, 2), state, 1.0, 1.0, 44100);
    EXPECT_TRUE(out.bytes.empty());
    EXPECT_EQ(state.nextPosition, 0.0);
}

}
