// The zoomed waveform's columns read from the take: against a plain walk over the frames of each
// pixel at fine zooms, and over the whole summary bins a pixel touches at coarse ones; past the
// take's end, a take that cannot be read, and a take replaced by a longer one.

#include "take/zoomed_peaks.h"

#include "capture_test_support.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace wavelark {
namespace {

// Noise whose level changes every 1000 frames, left and right apart.
std::vector<int16_t> noiseTake(std::size_t frames, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<int16_t> samples(frames * 2);
    for (std::size_t frame = 0; frame < frames; ++frame) {
        const int level = 500 + int((frame / 1000) % 37) * 800;
        std::uniform_int_distribution<int> value(-level, level);
        samples[frame * 2] = static_cast<int16_t>(value(random));
        samples[frame * 2 + 1] = static_cast<int16_t>(value(random));
    }
    return samples;
}

// The extremes of the mono mix over frames from..to, starting at 0.
ColumnExtremes plainExtremes(const std::vector<int16_t>& samples, uint64_t from, uint64_t to)
{
    ColumnExtremes extremes;
    for (uint64_t frame = from; frame < to && frame * 2 < samples.size(); ++frame) {
        const int mixed = (samples[frame * 2] >> 1) + (samples[frame * 2 + 1] >> 1);
        extremes.maximum = static_cast<int16_t>(std::max<int>(extremes.maximum, mixed));
        extremes.minimum = static_cast<int16_t>(std::min<int>(extremes.minimum, mixed));
    }
    return extremes;
}

struct ZoomCase {
    uint64_t firstFrame;
    double framesPerPixel;
};

class ZoomedPeaksTest : public ::testing::TestWithParam<ZoomCase> {
protected:
    QTemporaryDir m_folder;
    QString path() const { return m_folder.filePath(QStringLiteral("recording.raw")); }
};

TEST_P(ZoomedPeaksTest, ColumnsHoldTheExtremesOfTheirFrames)
{
    constexpr std::size_t kFrames = 3'000'017;
    const std::vector<int16_t> samples = noiseTake(kFrames, 7);
    testing::writeSamples(path().toStdString(), samples);
    const ZoomCase row = GetParam();
    ZoomedPeaks peaks(path());
    std::vector<ColumnExtremes> columns;
    std::string error;
    ASSERT_TRUE(peaks.read(row.firstFrame, row.framesPerPixel, 555, columns, &error)) << error;
    ASSERT_EQ(columns.size(), 555u);
    const bool summary = row.framesPerPixel > ZoomedPeaks::kDirectFramesPerPixel;
    for (int x = 0; x < 555; ++x) {
        uint64_t from = std::min<uint64_t>(kFrames, row.firstFrame + uint64_t(std::floor(x * row.framesPerPixel)));
        uint64_t to = std::min<uint64_t>(kFrames, row.firstFrame + uint64_t(std::floor((x + 1) * row.framesPerPixel)));
        if (summary && to > from) {
            // Whole bins of 256 frames.
            from = from / 256 * 256;
            to = (to + 255) / 256 * 256;
        }
        ASSERT_EQ(columns[x], plainExtremes(samples, from, to)) << x;
    }
}

INSTANTIATE_TEST_SUITE_P(Zooms, ZoomedPeaksTest,
                         ::testing::Values(ZoomCase{0, 1.0}, ZoomCase{1'234'567, 12.4}, ZoomCase{999'999, 441.0},
                                           ZoomCase{0, 4096.0}, ZoomCase{17, 5000.5}, ZoomCase{100'000, 5405.4},
                                           ZoomCase{2'999'000, 12.0}),  // past the take's end: zeros
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

TEST(ZoomedPeaks, AMissingTakeIsAFailureWithItsReason)
{
    QTemporaryDir folder;
    ZoomedPeaks peaks(folder.filePath(QStringLiteral("none.raw")));
    std::vector<ColumnExtremes> columns(3);
    std::string error;
    EXPECT_FALSE(peaks.read(0, 10.0, 555, columns, &error));
    EXPECT_TRUE(columns.empty());
    EXPECT_FALSE(error.empty());
}

// The summary of a coarse zoom is made again when the take's length changes, and after reset().
TEST(ZoomedPeaks, AReplacedTakeIsSummarisedAgain)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("recording.raw"));
    testing::writeSamples(path.toStdString(), std::vector<int16_t>(2'000'000, 100));
    ZoomedPeaks peaks(path);
    std::vector<ColumnExtremes> columns;
    std::string error;
    ASSERT_TRUE(peaks.read(0, 1800.0 * 4, 100, columns, &error));
    EXPECT_EQ(columns[0].maximum, 100);
    testing::writeSamples(path.toStdString(), std::vector<int16_t>(2'000'008, 300));
    ASSERT_TRUE(peaks.read(0, 1800.0 * 4, 100, columns, &error));
    EXPECT_EQ(columns[0].maximum, 300);
    testing::writeSamples(path.toStdString(), std::vector<int16_t>(2'000'008, 500));
    peaks.reset();
    ASSERT_TRUE(peaks.read(0, 1800.0 * 4, 100, columns, &error));
    EXPECT_EQ(columns[0].maximum, 500);
}

}
}
