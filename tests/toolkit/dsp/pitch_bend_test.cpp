// Linear-interpolation rate change of 16-bit stereo (PitchBendAudioBufferStereo).
#include "sorvak.h"
#include "toolkit/dsp/guarded_bytes.h"
#include "toolkit/dsp/reference_chain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

using wavelark::testing::GuardedBytes;
using wavelark::testing::ReferenceState;

namespace {

std::vector<int16_t> bend(const std::vector<int16_t>& samples, double a, double b, ResamplerState& state,
                          size_t byteCount)
{
    GuardedBytes guarded(samples.data(), byteCount);
    AudioBuffer source{guarded.data(), static_cast<uint32_t>(byteCount), 4};
    AudioBuffer destination{};
    PitchBendAudioBufferStereo(&source, &destination, a, b, &state);
    std::vector<int16_t> out(destination.size / 2);
    if (destination.size)
        std::memcpy(out.data(), destination.data, destination.size);
    std::free(destination.data);
    return out;
}

std::vector<int16_t> bend(const std::vector<int16_t>& samples, double a, double b, ResamplerState& state)
{
    return bend(samples, a, b, state, samples.size() * 2);
}

std::vector<int16_t> bend(const std::vector<int16_t>& samples, double a, double b)
{
    ResamplerState state{};
    return bend(samples, a, b, state);
}

// Left and right channels differ so a swapped channel shows.
std::vector<int16_t> frames(std::initializer_list<int> lefts)
{
    std::vector<int16_t> samples;
    for (int left : lefts) {
        samples.push_back(static_cast<int16_t>(left));
        samples.push_back(static_cast<int16_t>(-left / 2));
    }
    return samples;
}

std::vector<int16_t> randomSamples(size_t frameCount, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<int16_t> samples(frameCount * 2);
    for (int16_t& sample : samples) {
        // Mostly music-like values, now and then the extremes.
        unsigned pick = random() % 16;
        sample = static_cast<int16_t>(pick == 0 ? 32767 : pick == 1 ? -32768 : static_cast<int>(random() % 65536) - 32768);
    }
    return samples;
}

bool sameState(const ResamplerState& state, const ReferenceState& reference)
{
    return std::memcmp(&state.previousPosition, &reference.previousPosition, 8) == 0
           && std::memcmp(&state.nextPosition, &reference.nextPosition, 8) == 0
           && state.previousLeft == reference.previousLeft && state.previousRight == reference.previousRight;
}

TEST(PitchBend, RatioOneDelaysByOneFrameWithAZeroFrameFirst)
{
    std::vector<int16_t> input = frames({100, -200, 300, 32767, -32768});
    std::vector<int16_t> expected = frames({0, 100, -200, 300, 32767});
    EXPECT_EQ(bend(input, 1.0, 1.0), expected);
}

TEST(PitchBend, TheLastFrameStaysInTheStateForTheNextBlock)
{
    ResamplerState state{};
    bend(frames({1, 2, 3}), 1.0, 1.0, state);
    EXPECT_EQ(state.previousLeft, 3.0);
    EXPECT_EQ(state.previousRight, -1.0);
    EXPECT_EQ(bend(frames({4, 5}), 1.0, 1.0, state), frames({3, 4}));
}

TEST(PitchBend, RatioTwoHalvesTheFrames)
{
    // Positions 0.5, 1.0, 1.5, ...: outputs 0, 1, 2 fall exactly on frames -1 (zero), 1 and 3.
    EXPECT_EQ(bend(frames({10, 20, 30, 40, 50, 60}), 2.0, 2.0), frames({0, 20, 40}));
}

TEST(PitchBend, RatioOneHalfDoublesTheFramesWithTruncatedMeansBetween)
{
    // Left 3, -4, 11; right -1, 2, -5. Between 3 and -4 the mean -0.5 truncates to 0, half of 3
    // truncates to 1, and between -4 and 11 the mean 3.5 to 3.
    std::vector<int16_t> expected = {0, 0, 1, 0, 3, -1, 0, 0, -4, 2, 3, -1};
    std::vector<int16_t> out = bend(frames({3, -4, 11}), 0.5, 0.5);
    EXPECT_EQ(out, expected);
}

TEST(PitchBend, FewerThanTwoFramesGiveNoBufferAndKeepTheState)
{
    ResamplerState state{0.25, 0.5, 7.0, 8.0};
    AudioBuffer source{nullptr, 0, 4};
    std::vector<int16_t> one = frames({1, 2});
    for (uint32_t size : {0u, 3u, 4u, 7u}) {
        source.data = one.data();
        source.size = size;
        AudioBuffer destination{&state, 99, 0};
        PitchBendAudioBufferStereo(&source, &destination, 1.0, 1.0, &state);
        EXPECT_EQ(destination.data, nullptr);
        EXPECT_EQ(destination.size, 0u);
    }
    EXPECT_EQ(state.previousPosition, 0.25);
    EXPECT_EQ(state.nextPosition, 0.5);
}

TEST(PitchBend, RatiosBelowTheSmallestAreClampedToIt)
{
    std::vector<int16_t> input = frames({1000, -1000, 2000, 3000});
    std::vector<int16_t> clamped = bend(input, 0.01127, 0.01127);
    // Four frames at 1 / 0.01127 = 88.73 output frames each reach position 354.92: 355 frames.
    EXPECT_EQ(clamped.size(), 355u * 2);
    EXPECT_EQ(bend(input, 0.001, 0.001), clamped);
    EXPECT_EQ(bend(input, -5.0, 0.0), clamped);
    EXPECT_EQ(bend(input, 0.0113, 0.0113).size(), 354u * 2);
}

TEST(PitchBend, ATrailingPartialFrameIsNotRead)
{
    std::vector<int16_t> input = frames({10, 20, 30, 40});
    ResamplerState whole{};
    ResamplerState partial{};
    // 15 bytes: three whole frames and three bytes of a fourth.
    EXPECT_EQ(bend(input, 0.7, 0.7, partial, 15), bend({input.begin(), input.begin() + 6}, 0.7, 0.7, whole));
    EXPECT_EQ(std::memcmp(&partial, &whole, sizeof whole), 0);
}

struct RatioCase {
    double start;
    double end;
};

class PitchBendRatios : public testing::TestWithParam<RatioCase> {};

// The toolkit's loops are faster than the plain definition; they must give the same frames and
// the same state, block after block, at any ratio and glide.
TEST_P(PitchBendRatios, GiveExactlyTheFramesOfTheDefinition)
{
    const RatioCase& c = GetParam();
    std::mt19937 random(static_cast<unsigned>(c.start * 1000 + c.end * 7));
    ResamplerState state{};
    ReferenceState reference;
    for (size_t block = 0; block < 40; ++block) {
        // Small ratios multiply the output frames; keep each block's output in the tens of thousands.
        auto longest = static_cast<size_t>(std::clamp(60000.0 * std::min(c.start, c.end), 8.0, 6000.0));
        size_t size = block % 5 == 0 ? 2 + random() % 3 : 2 + random() % longest;
        std::vector<int16_t> input = randomSamples(size, static_cast<unsigned>(block));
        std::vector<int16_t> expected = wavelark::testing::referencePitchBend(input, c.start, c.end, reference);
        ASSERT_EQ(bend(input, c.start, c.end, state), expected) << "block " << block << " of " << size << " frames";
        ASSERT_TRUE(sameState(state, reference)) << "block " << block;
    }
}

INSTANTIATE_TEST_SUITE_P(Ratios, PitchBendRatios,
                         testing::Values(RatioCase{1.0, 1.0}, RatioCase{2.0, 2.0}, RatioCase{0.5, 0.5},
                                         RatioCase{44100.0 / 48000.0, 44100.0 / 48000.0},
                                         RatioCase{48000.0 / 44100.0, 48000.0 / 44100.0},
                                         RatioCase{22050.0 / 44100.0, 22050.0 / 44100.0},
                                         RatioCase{44100.0 / 8000.0, 44100.0 / 8000.0}, RatioCase{0.3, 0.3},
                                         RatioCase{0.01127, 0.01127}, RatioCase{0.9, 1.3}, RatioCase{1.5, 0.6},
                                         RatioCase{0.07, 0.2}, RatioCase{3.0, 1.0}));

// A stream at ratio one from its start takes a short way (the input delayed by one frame); one that
// reaches ratio one after other ratios sits between whole frames and must still interpolate.
TEST(PitchBend, RatioOneAfterOtherRatiosFollowsTheDefinition)
{
    const std::pair<double, double> blocks[] = {{1.0, 1.0}, {1.0, 1.0}, {0.9, 1.0}, {1.0, 1.0}, {1.0, 1.25},
                                                {1.25, 1.0}, {1.0, 1.0}, {2.0, 2.0}, {1.0, 1.0}, {1.0, 1.0}};
    ResamplerState state{};
    ReferenceState reference;
    unsigned seed = 0;
    for (const auto& [start, end] : blocks) {
        std::vector<int16_t> input = randomSamples(777 + seed, seed);
        std::vector<int16_t> expected = wavelark::testing::referencePitchBend(input, start, end, reference);
        ASSERT_EQ(bend(input, start, end, state), expected) << "block " << seed << " at " << start << " to " << end;
        ASSERT_TRUE(sameState(state, reference)) << "block " << seed;
        ++seed;
    }
}

struct StreamCase {
    double ratio;
    bool exactSteps;  // 1 / ratio and its sums are exact in doubles
};

class BlockSizes : public testing::TestWithParam<StreamCase> {};

// Blocks of any size of two frames or more continue the stream where the last block ended.
TEST_P(BlockSizes, GiveTheSameStreamAsOneBlock)
{
    const StreamCase& c = GetParam();
    std::vector<int16_t> input = randomSamples(50000, 99);
    std::vector<int16_t> whole = bend(input, c.ratio, c.ratio);
    for (size_t seed : {1u, 2u, 3u}) {
        std::mt19937 random(static_cast<unsigned>(seed));
        ResamplerState state{};
        std::vector<int16_t> pieces;
        for (size_t first = 0; first < input.size() / 2;) {
            size_t size = seed == 1 ? 2 : 2 + random() % (seed == 2 ? 7 : 9000);
            size = std::min(size, input.size() / 2 - first);
            if (input.size() / 2 - first - size == 1)
                ++size;
            std::vector<int16_t> block(input.begin() + static_cast<long>(2 * first),
                                       input.begin() + static_cast<long>(2 * (first + size)));
            std::vector<int16_t> out = bend(block, c.ratio, c.ratio, state);
            pieces.insert(pieces.end(), out.begin(), out.end());
            first += size;
        }
        if (c.exactSteps) {
            EXPECT_EQ(pieces, whole) << "seed " << seed;
        } else {
            // Positions restart near zero in every block, while one long block sums them up to
            // large values whose last bits round differently: the same frames, each within one
            // step of the one-block stream.
            ASSERT_EQ(pieces.size(), whole.size()) << "seed " << seed;
            int largest = 0;
            for (size_t index = 0; index < whole.size(); ++index)
                largest = std::max(largest, std::abs(pieces[index] - whole[index]));
            EXPECT_LE(largest, 1) << "seed " << seed;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Ratios, BlockSizes,
                         testing::Values(StreamCase{1.0, true}, StreamCase{2.0, true}, StreamCase{0.5, true},
                                         StreamCase{0.8, true}, StreamCase{1.6, true}, StreamCase{4.0, true},
                                         StreamCase{44100.0 / 48000.0, false}, StreamCase{48000.0 / 44100.0, false},
                                         StreamCase{44100.0 / 32000.0, false}));

}
