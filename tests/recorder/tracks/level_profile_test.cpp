// The level profile: known signals measured window by window against their formula, the same
// profile however the take is handed over, and the single read of a file.

#include "tracks/level_profile.h"

#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace wavelark {
namespace {

// Stereo frames of a sine of the given amplitude (1 is full scale) at the given frequency.
std::vector<int16_t> sine(double hertz, double amplitude, std::size_t frames)
{
    std::vector<int16_t> samples(frames * 2);
    for (std::size_t frame = 0; frame < frames; ++frame) {
        const double value = amplitude * 32767.0 * std::sin(2.0 * std::numbers::pi * hertz * double(frame) / 44100.0);
        samples[2 * frame] = samples[2 * frame + 1] = int16_t(std::lround(value));
    }
    return samples;
}

struct SineRow {
    double hertz;
    double amplitudeDb;
    float lowestDb; // every settled window lies in [lowestDb, highestDb]
    float highestDb;
};

class SineLevel : public ::testing::TestWithParam<SineRow> {};

TEST_P(SineLevel, SettledWindowsMeasureTheSineAfterTheHighPass)
{
    const SineRow row = GetParam();
    const LevelProfile profile = measureLevels(sine(row.hertz, std::pow(10.0, row.amplitudeDb / 20.0), 44100));
    ASSERT_EQ(profile.levels.size(), 100u);
    EXPECT_EQ(profile.frames, 44100u);
    // The filter settles within the first 50 ms.
    for (std::size_t window = 5; window < profile.levels.size(); ++window) {
        EXPECT_GE(profile.levels[window], row.lowestDb) << "window " << window;
        EXPECT_LE(profile.levels[window], row.highestDb) << "window " << window;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, SineLevel, ::testing::Values(
    SineRow{1000, -20, -20.3f, -19.7f},   // in the pass band: the sine's own level
    SineRow{441, -6, -6.3f, -5.7f},       // a whole number of cycles a window
    SineRow{50, -20, -70.0f, -50.0f},     // mains hum: some 38 dB down
    SineRow{60, -20, -65.0f, -48.0f},
    SineRow{20, -6, -120.0f, -60.0f}));   // rumble

TEST(LevelProfile, SilenceIsTheSilenceLevelInEveryWindow)
{
    const LevelProfile profile = measureLevels(std::vector<int16_t>(44100 * 2, 0));
    ASSERT_EQ(profile.levels.size(), 100u);
    for (float level : profile.levels)
        EXPECT_EQ(level, kSilenceDb);
}

TEST(LevelProfile, ABurstShowsInItsOwnWindowsOnly)
{
    // A second of silence, 0.2 s of a -10 dB sine, a second of silence.
    std::vector<int16_t> samples(44100 * 2, 0);
    const std::vector<int16_t> burst = sine(1000, std::pow(10.0, -10.0 / 20.0), 8820);
    samples.insert(samples.end(), burst.begin(), burst.end());
    samples.resize(samples.size() + 44100 * 2, 0);
    const LevelProfile profile = measureLevels(samples);
    ASSERT_EQ(profile.levels.size(), 220u);
    for (std::size_t window = 0; window < 100; ++window)
        EXPECT_EQ(profile.levels[window], kSilenceDb) << "window " << window;
    for (std::size_t window = 101; window < 120; ++window)
        EXPECT_NEAR(profile.levels[window], -10.0f, 0.5f) << "window " << window;
    // The filter's ring dies away within two windows.
    for (std::size_t window = 122; window < 220; ++window)
        EXPECT_LT(profile.levels[window], -60.0f) << "window " << window;
}

TEST(LevelProfile, APartialLastWindowIsAWindowOfItsOwn)
{
    const LevelProfile profile = measureLevels(sine(1000, 0.1, 441 * 3 + 100));
    ASSERT_EQ(profile.levels.size(), 4u);
    EXPECT_EQ(profile.frames, 441u * 3 + 100);
    EXPECT_NEAR(profile.levels[3], -20.0f, 0.6f);
}

class PiecewiseFeeding : public ::testing::TestWithParam<std::size_t> {};

TEST_P(PiecewiseFeeding, GivesTheProfileOfOnePiece)
{
    const std::vector<int16_t> samples = sine(700, 0.3, 10000);
    const LevelProfile whole = measureLevels(samples);
    LevelMeter meter;
    const std::size_t piece = GetParam() * 2;
    for (std::size_t start = 0; start < samples.size(); start += piece)
        meter.add(std::span(samples).subspan(start, std::min(piece, samples.size() - start)));
    const LevelProfile pieces = meter.finish();
    EXPECT_EQ(pieces.frames, whole.frames);
    EXPECT_EQ(pieces.levels, whole.levels);
}

INSTANTIATE_TEST_SUITE_P(FrameCounts, PiecewiseFeeding, ::testing::Values(1u, 440u, 441u, 1000u, 4096u));

TEST(LevelProfile, ReadingTheFileGivesTheProfileOfItsSamples)
{
    testing::TemporaryFolder folder;
    // Longer than a read block, and not a whole number of blocks.
    const std::vector<int16_t> samples = sine(300, 0.2, kLevelReadBlockBytes / 4 * 2 + 777);
    const std::string path = folder.file("take.raw");
    testing::writeFile(path, std::string_view(reinterpret_cast<const char*>(samples.data()), samples.size() * 2));
    PcmRegion region;
    ASSERT_TRUE(region.openForReading(path, 0, 0));
    std::string error;
    const std::optional<LevelProfile> profile = readLevelProfile(region, &error);
    ASSERT_TRUE(profile) << error;
    EXPECT_EQ(profile->levels, measureLevels(samples).levels);

    // A region that claims more than the file holds.
    PcmRegion longer;
    ASSERT_TRUE(longer.openForReading(path, 0, samples.size() * 2 + 4096));
    EXPECT_FALSE(readLevelProfile(longer, &error));
    EXPECT_FALSE(error.empty());
}

}
}
