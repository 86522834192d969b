// The peak cache wd.dat: its vertices against the column walk written out plainly, and the
// drawing of the waveform image.

#include "capture_test_support.h"

#include "take/peak_cache.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <filesystem>
#include <random>

namespace wavelark {
namespace {

using testing::CaptureFixtureState;
using testing::readSamples;
using testing::writeSamples;

const QRgb kNavy = qRgb(0, 0, 128);

// The build's vertices as the algorithm states them, with fmod and the first vertex twice.
std::vector<std::pair<int, int>> referenceVertices(const std::vector<int16_t>& samples, int width, int height)
{
    std::vector<std::pair<int, int>> vertices;
    const std::size_t frames = samples.size() / 2;
    if (frames == 0)
        return vertices;
    const double step = static_cast<double>(width + 1) / static_cast<double>(frames);
    const int mid = height / 2;
    const int scale = 70000 / height;
    double x = 0.0;
    int maximum = 0;
    int minimum = 0;
    for (std::size_t frame = 0; frame < frames; ++frame) {
        const int16_t mixed = static_cast<int16_t>((samples[frame * 2] >> 1) + (samples[frame * 2 + 1] >> 1));
        if (mixed < 0 && mixed < minimum)
            minimum = mixed;
        if (mixed >= 0 && mixed > maximum)
            maximum = mixed;
        if (std::fmod(x, 1.0) + step >= 1.0) {
            const int column = static_cast<int>(x);
            for (int value : {maximum, minimum}) {
                if (value == 0)
                    continue;
                if (vertices.empty())
                    vertices.emplace_back(column, mid - value / scale);
                vertices.emplace_back(column, mid - value / scale);
            }
            maximum = minimum = 0;
        }
        x += step;
    }
    return vertices;
}

std::vector<std::pair<int, int>> cacheVertices(const std::string& path)
{
    const std::vector<int16_t> values = readSamples(path);
    std::vector<std::pair<int, int>> vertices;
    for (std::size_t index = 0; index + 1 < values.size(); index += 2)
        vertices.emplace_back(values[index], values[index + 1]);
    return vertices;
}

class PeakCacheTest : public ::testing::Test {
protected:
    PeakCacheResult build(const std::vector<int16_t>& samples, int width = 555, int height = 115)
    {
        writeSamples(m_fixture.takePath(), samples);
        m_image = QImage(width, height, QImage::Format_RGB32);
        m_image.fill(Qt::white);
        return buildPeakCache(m_fixture.paths.take(), cachePath(), m_image);
    }
    QString cachePath() const { return m_fixture.paths.peakCache(); }

    CaptureFixtureState m_fixture;
    QImage m_image;
};

TEST_F(PeakCacheTest, SilentTakeDrawsOnlyTheCentreLineAndLeavesTheCacheEmpty)
{
    const PeakCacheResult result = build(std::vector<int16_t>(44100 * 2, 0));
    EXPECT_TRUE(result.takeOpened);
    EXPECT_TRUE(result.cacheWritten);
    EXPECT_EQ(std::filesystem::file_size(cachePath().toStdString()), 0u);
    for (int x = 0; x < 555; ++x) {
        ASSERT_EQ(m_image.pixel(x, 57), kNavy) << x;
        ASSERT_EQ(m_image.pixel(x, 20), qRgb(255, 255, 255)) << x;
    }
    // An empty cache is not drawn: the caller rebuilds.
    QImage loaded(555, 115, QImage::Format_RGB32);
    EXPECT_FALSE(loadPeakCache(cachePath(), loaded));
}

TEST_F(PeakCacheTest, SquareWaveReachesRowsFourAndOneHundredTen)
{
    std::vector<int16_t> samples(44100 * 2);
    for (std::size_t frame = 0; frame < 44100; ++frame)
        samples[frame * 2] = samples[frame * 2 + 1] = (frame / 20) % 2 ? 32767 : -32767;
    build(samples);
    const auto vertices = cacheVertices(cachePath().toStdString());
    ASSERT_GE(vertices.size(), 3u);
    EXPECT_EQ(vertices[0], vertices[1]);
    for (const auto& [x, y] : vertices)
        ASSERT_TRUE(y == 4 || y == 110) << x << "," << y;
    EXPECT_EQ(m_image.pixel(vertices[1].first, 4), kNavy);
    EXPECT_EQ(vertices, referenceVertices(samples, 555, 115));
}

TEST_F(PeakCacheTest, PositiveOnlyTakeHasOneVertexPerColumn)
{
    std::vector<int16_t> samples(20000 * 2, 0);
    for (std::size_t index = 0; index < samples.size(); ++index)
        samples[index] = static_cast<int16_t>(1000 + index % 5000);
    build(samples);
    const auto vertices = cacheVertices(cachePath().toStdString());
    // 556 columns, the first vertex twice.
    ASSERT_EQ(vertices.size(), 557u);
    EXPECT_EQ(vertices[0], vertices[1]);
    for (std::size_t index = 1; index < vertices.size(); ++index) {
        EXPECT_LT(vertices[index].second, 57);
        if (index > 1) {
            EXPECT_EQ(vertices[index].first, vertices[index - 1].first + 1);
        }
    }
}

TEST_F(PeakCacheTest, TakeWithFewerFramesThanColumnsEndsAColumnAtEveryFrame)
{
    std::vector<int16_t> samples;
    for (int frame = 0; frame < 100; ++frame) {
        samples.push_back(static_cast<int16_t>(frame % 2 ? 20000 : -20000));
        samples.push_back(static_cast<int16_t>(frame % 2 ? 20000 : -20000));
    }
    build(samples);
    const auto vertices = cacheVertices(cachePath().toStdString());
    ASSERT_EQ(vertices.size(), 101u);
    const double step = 556.0 / 100.0;
    double x = 0.0;
    for (int frame = 0; frame < 100; ++frame, x += step)
        EXPECT_EQ(vertices[frame + 1].first, static_cast<int>(x));
}

TEST_F(PeakCacheTest, MusicLikeTakeMatchesThePlainColumnWalk)
{
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0.0, 4000.0);
    std::vector<int16_t> samples(3 * 1048576 / 2 + 2 * 777);
    for (std::size_t index = 0; index < samples.size(); ++index)
        samples[index] = static_cast<int16_t>(std::clamp(noise(random) * std::sin(index * 1e-5), -32768.0, 32767.0));
    build(samples);
    EXPECT_EQ(cacheVertices(cachePath().toStdString()), referenceVertices(samples, 555, 115));
}

TEST_F(PeakCacheTest, LoadDrawsTheStoredPolyline)
{
    build(std::vector<int16_t>{16000, 16000, -16000, -16000, 8000, 8000});
    QImage loaded(555, 115, QImage::Format_RGB32);
    loaded.fill(Qt::white);
    ASSERT_TRUE(loadPeakCache(cachePath(), loaded));
    for (const auto& [x, y] : cacheVertices(cachePath().toStdString()))
        EXPECT_EQ(loaded.pixel(x, y), kNavy);
}

TEST_F(PeakCacheTest, MissingTakeLeavesTheCacheAsItWas)
{
    testing::writeFile(cachePath().toStdString(), "12345678");
    m_image = QImage(555, 115, QImage::Format_RGB32);
    const PeakCacheResult result = buildPeakCache(m_fixture.paths.take(), cachePath(), m_image);
    EXPECT_FALSE(result.takeOpened);
    EXPECT_EQ(testing::readFile(cachePath().toStdString()), "12345678");
}

// The cache is replaced whole or not at all: a cache that cannot be put in place (here a folder
// stands where wd.dat goes) leaves nothing half-written beside it.
TEST_F(PeakCacheTest, CacheIsReplacedWholeOrNotAtAll)
{
    testing::writeFile(cachePath().toStdString(), std::string(4000, '\x11'));
    PeakCacheResult result = build(std::vector<int16_t>{16000, 16000, -16000, -16000, 8000, 8000});
    EXPECT_TRUE(result.cacheWritten);
    EXPECT_EQ(std::filesystem::file_size(cachePath().toStdString()), result.vertices.size() * 4);
    EXPECT_FALSE(std::filesystem::exists(cachePath().toStdString() + ".part"));

    std::filesystem::remove(cachePath().toStdString());
    std::filesystem::create_directory(cachePath().toStdString());
    result = build(std::vector<int16_t>{16000, 16000, -16000, -16000, 8000, 8000});
    EXPECT_TRUE(result.takeOpened);
    EXPECT_FALSE(result.cacheWritten);
    EXPECT_TRUE(std::filesystem::is_directory(cachePath().toStdString()));
    EXPECT_FALSE(std::filesystem::exists(cachePath().toStdString() + ".part"));
}

TEST_F(PeakCacheTest, ViewWithoutHeightStillBuilds)
{
    const PeakCacheResult result = build(std::vector<int16_t>{16000, 16000, -16000, -16000}, 555, 0);
    EXPECT_TRUE(result.takeOpened);
    EXPECT_FALSE(result.vertices.empty());
}

}
}
