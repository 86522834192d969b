// The noise floor of planted levels, the median smoothing of clicks and the score of a gap.

#include "tracks/noise_floor.h"
#include "tracks/side_gaps.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace wavelark {
namespace {

// A deterministic spread of -1..1.
float spread(uint64_t index)
{
    const uint64_t mixed = (index * 0x9E3779B97F4A7C15ull) >> 40;
    return float(mixed % 2001) / 1000.0f - 1.0f;
}

struct FloorRow {
    float floorDb;        // planted: the quiet windows at floorDb ± 1
    double quietShare;    // the share of quiet windows
    float musicDb;        // the others at musicDb ± 8
    double silentShare;   // windows of digital silence
};

class PlantedFloor : public ::testing::TestWithParam<FloorRow> {};

TEST_P(PlantedFloor, IsFoundWithinADecibel)
{
    const FloorRow row = GetParam();
    std::vector<float> levels;
    const std::size_t count = 60000;
    for (std::size_t index = 0; index < count; ++index) {
        const double position = double(index) / count;
        if (position < row.silentShare)
            levels.push_back(-120.0f);
        else if (position < row.silentShare + row.quietShare)
            levels.push_back(row.floorDb + spread(index));
        else
            levels.push_back(row.musicDb + 8.0f * spread(index));
    }
    const NoiseFloor floor = estimateNoiseFloor(levels);
    EXPECT_NEAR(floor.floorDb, row.floorDb, 1.0f);
    EXPECT_NEAR(floor.musicDb, row.musicDb, 1.5f);
    EXPECT_GE(floor.thresholdDb, floor.floorDb + kMinimumMarginDb);
    EXPECT_LE(floor.thresholdDb, floor.floorDb + kMaximumMarginDb);
    EXPECT_LT(floor.thresholdDb, row.musicDb - 8.0f) << "the threshold must stay under the music";
}

INSTANTIATE_TEST_SUITE_P(Rows, PlantedFloor, ::testing::Values(
    FloorRow{-50, 0.02, -18, 0},
    FloorRow{-65, 0.01, -20, 0},
    FloorRow{-80, 0.05, -25, 0},
    FloorRow{-58, 0.006, -16, 0},     // gaps are few: under one percent of the side
    FloorRow{-60, 0.02, -18, 0.03})); // edited digital silence beside the noise

TEST(NoiseFloor, ASideOfDigitalSilenceHasItsFloorAtTheSilenceLevel)
{
    const NoiseFloor floor = estimateNoiseFloor(std::vector<float>(1000, -120.0f));
    EXPECT_EQ(floor.floorDb, -120.0f);
    EXPECT_GT(floor.thresholdDb, floor.floorDb);
}

TEST(NoiseFloor, MedianSmoothingRemovesClicksButKeepsGapsAndNotes)
{
    std::vector<float> levels(100, -60.0f);
    levels[20] = -10.0f;                 // a click
    levels[40] = levels[41] = -12.0f;    // a double click
    for (std::size_t index = 60; index < 80; ++index)
        levels[index] = -20.0f;          // a note of 200 ms
    const std::vector<float> smoothed = medianSmooth(levels);
    EXPECT_EQ(smoothed[20], -60.0f);
    EXPECT_EQ(smoothed[40], -60.0f);
    EXPECT_EQ(smoothed[41], -60.0f);
    for (std::size_t index = 62; index < 78; ++index)
        EXPECT_EQ(smoothed[index], -20.0f) << index;
    EXPECT_EQ(smoothed.size(), levels.size());
}

struct ScoreRow {
    float depthDb;
    double seconds;
    float aboveFloorDb;
    bool convincing; // at least 0.5
};

class GapScore : public ::testing::TestWithParam<ScoreRow> {};

TEST_P(GapScore, ConvincesOnlyWhenDeepLongAndNearTheFloor)
{
    const ScoreRow row = GetParam();
    const float confidence = gapConfidence(row.depthDb, row.seconds, row.aboveFloorDb);
    EXPECT_GE(confidence, 0.0f);
    EXPECT_LE(confidence, 1.0f);
    EXPECT_EQ(confidence >= 0.5f, row.convincing) << confidence;
    // Deeper, longer or nearer the floor never scores lower.
    EXPECT_GE(gapConfidence(row.depthDb + 5, row.seconds, row.aboveFloorDb), confidence);
    EXPECT_GE(gapConfidence(row.depthDb, row.seconds + 0.5, row.aboveFloorDb), confidence);
    EXPECT_GE(gapConfidence(row.depthDb, row.seconds, row.aboveFloorDb - 3), confidence);
}

INSTANTIATE_TEST_SUITE_P(Rows, GapScore, ::testing::Values(
    ScoreRow{40, 2.0, 0, true},     // a gap between songs
    ScoreRow{30, 0.8, 1, true},     // the shortest gap of a side
    ScoreRow{22, 0.7, 2, true},
    ScoreRow{40, 0.35, 0, false},   // the pause between two sparse notes
    ScoreRow{25, 3.0, 9, false},    // a long quiet passage 9 dB over the floor
    ScoreRow{25, 3.0, 4.5, false},  // and one 4.5 dB over it
    ScoreRow{10, 0.4, 9, false},    // a pause between notes
    ScoreRow{5, 3.0, 12, false},    // a quiet passage well over the floor
    ScoreRow{12, 0.3, 10, false}));

}
}
