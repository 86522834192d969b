// Playback and monitor-through: the player's fill from the take, the monitor FIFO or silence,
// driven directly and through the toolkit's player with the test device's output file.

#include "capture_test_support.h"

#include "audio/capture_engine.h"
#include "core/take_format.h"
#include "audio/take_player.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cmath>
#include <filesystem>

namespace wavelark {
namespace {

using testing::CaptureFixtureState;
using testing::pumpUntil;
using testing::readSamples;
using testing::useTestDevice;
using testing::writeSamples;

constexpr uint32_t kBuffer = 8192;

class TakePlayerTest : public ::testing::Test {
protected:
    TakePlayerTest()
    {
        // Five seconds of distinct samples.
        m_take.resize(5 * 44100 * 2);
        for (std::size_t index = 0; index < m_take.size(); ++index)
            m_take[index] = static_cast<int16_t>((index * 7919) % 60000 - 30000);
        writeSamples(m_fixture.takePath(), m_take);
        m_player = std::make_unique<TakePlayer>(m_fixture.paths.take(), m_fixture.playbackChoice(), *m_fixture.monitor,
                                                [this] { ++m_ended; });
    }

    // Fills buffers until the end reaches the window; returns everything filled.
    std::vector<int16_t> playToTheEnd(std::size_t* buffers = nullptr)
    {
        std::vector<int16_t> played;
        std::vector<uint8_t> buffer(kBuffer);
        std::size_t count = 0;
        while (m_ended == 0 && count < 10000) {
            m_player->fill(buffer.data());
            ++count;
            const auto* samples = reinterpret_cast<const int16_t*>(buffer.data());
            played.insert(played.end(), samples, samples + kBuffer / 2);
            QCoreApplication::processEvents();
        }
        if (buffers)
            *buffers = count;
        return played;
    }

    std::vector<int16_t> expectedRange(uint32_t start, uint32_t end, double gain) const
    {
        std::vector<int16_t> expected;
        for (uint32_t index = start / 2; index < end / 2; ++index)
            expected.push_back(static_cast<int16_t>(m_take[index] * gain));
        return expected;
    }

    uint32_t takeLength() const { return static_cast<uint32_t>(m_take.size() * 2); }

    CaptureFixtureState m_fixture;
    std::vector<int16_t> m_take;
    std::unique_ptr<TakePlayer> m_player;
    int m_ended = 0;
};

TEST_F(TakePlayerTest, SelectionPlaysExactlyItsBytesTimesThePlayGain)
{
    m_player->setPlayGain(0.7);
    ASSERT_TRUE(m_player->startPlaying(300, 100, false));
    const uint32_t start = wholeFrames(columnToOffset(100, takeLength()));
    const uint32_t end = wholeFrames(columnToOffset(300, takeLength()));
    EXPECT_EQ(m_player->playStart(), start);
    EXPECT_EQ(m_player->playEnd(), end);
    std::vector<int16_t> played = playToTheEnd();
    const std::vector<int16_t> expected = expectedRange(start, end, 0.7);
    ASSERT_GE(played.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), played.begin()));
    EXPECT_TRUE(std::all_of(played.begin() + expected.size(), played.end(), [](int16_t sample) { return sample == 0; }));
    EXPECT_EQ(m_ended, 1);
    // The cursor goes back to the first edge, where the drag began, even when it is the larger.
    EXPECT_EQ(m_player->playCursor(), 300.0);
}

TEST_F(TakePlayerTest, TailPlayKeepsTheLastTwoSeconds)
{
    ASSERT_TRUE(m_player->startPlaying(20, 500, true));
    const uint32_t end = wholeFrames(columnToOffset(500, takeLength()));
    EXPECT_EQ(m_player->playStart(), wholeFrames(columnToOffset(500, takeLength()) - kTailBytes));
    EXPECT_EQ(m_player->playEnd(), end);
    // A selection shorter than two seconds plays whole.
    ASSERT_TRUE(m_player->startPlaying(20, 60, true));
    EXPECT_EQ(m_player->playStart(), wholeFrames(columnToOffset(20, takeLength())));
}

TEST_F(TakePlayerTest, SelectionEndingAtTheLastColumnEndsAtTheTakeLength)
{
    ASSERT_TRUE(m_player->startPlaying(0, 600, false));
    EXPECT_EQ(m_player->playStart(), 0u);
    EXPECT_EQ(m_player->playEnd(), takeLength());
}

TEST_F(TakePlayerTest, EmptySelectionPlaysToTheEndOfTheTake)
{
    ASSERT_TRUE(m_player->startPlaying(400, 400, false));
    const uint32_t start = wholeFrames(columnToOffset(400, takeLength()));
    const std::vector<int16_t> played = playToTheEnd();
    const std::vector<int16_t> expected = expectedRange(start, takeLength(), 1.0);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), played.begin()));
    EXPECT_EQ(m_player->playCursor(), 400.0);
}

TEST_F(TakePlayerTest, PlayDisabledPlaysSilenceForTheSelectionsTime)
{
    m_player->setPlayEnabled(false);
    ASSERT_TRUE(m_player->startPlaying(0, 111, false));
    const uint32_t end = wholeFrames(columnToOffset(111, takeLength()));
    std::size_t buffers = 0;
    const std::vector<int16_t> played = playToTheEnd(&buffers);
    EXPECT_TRUE(std::all_of(played.begin(), played.end(), [](int16_t sample) { return sample == 0; }));
    // Every buffer of the selection, then the one empty read that ends it.
    EXPECT_EQ(buffers, (end + kBuffer - 1) / kBuffer + 1);
    EXPECT_EQ(m_ended, 1);
}

TEST_F(TakePlayerTest, PlayWithoutATakeStaysIdle)
{
    std::filesystem::remove(m_fixture.takePath());
    EXPECT_FALSE(m_player->startPlaying(0, 100, false));
    EXPECT_FALSE(m_player->playing());
    std::vector<uint8_t> buffer(kBuffer, 0xAA);
    m_player->fill(buffer.data());
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t byte) { return byte == 0; }));
}

TEST_F(TakePlayerTest, EndOfAnEarlierPlayDoesNotStopALaterOne)
{
    ASSERT_TRUE(m_player->startPlaying(554, 555, false));
    std::vector<uint8_t> buffer(kBuffer);
    for (int index = 0; index < 4; ++index)
        m_player->fill(buffer.data());
    // The end is posted but not yet handled; the user starts another play.
    m_player->stopPlaying();
    ASSERT_TRUE(m_player->startPlaying(0, 100, false));
    QCoreApplication::processEvents();
    EXPECT_EQ(m_ended, 0);
    EXPECT_TRUE(m_player->playing());
}

TEST_F(TakePlayerTest, MonitorThruPassesTheInputScaledByBothGains)
{
    MonitorFifo& monitor = *m_fixture.monitor;
    monitor.setThru(true);
    m_player->setPlayGain(0.5);
    CaptureEngine engine(m_fixture.paths.take(), m_fixture.recordChoice(), monitor, {});
    engine.setRecordGain(0.9);
    std::vector<int16_t> input(kBuffer / 2);
    for (std::size_t index = 0; index < input.size(); ++index)
        input[index] = static_cast<int16_t>(index * 13 - 20000);
    std::vector<int16_t> captured = input;
    engine.processBuffer(reinterpret_cast<uint8_t*>(captured.data()), kBuffer);
    EXPECT_EQ(monitor.writePosition(), kBuffer);

    std::vector<int16_t> played(kBuffer / 2);
    m_player->fill(reinterpret_cast<uint8_t*>(played.data()));
    for (std::size_t index = 0; index < input.size(); ++index) {
        const auto recorded = static_cast<int16_t>(input[index] * (1.0 / 32767.0) * 0.9 * 32767.0);
        ASSERT_EQ(played[index], static_cast<int16_t>(recorded * 0.5)) << index;
    }
    EXPECT_EQ(monitor.writePosition(), 0u);
    // Playing the take mutes the monitor.
    engine.processBuffer(reinterpret_cast<uint8_t*>(input.data()), kBuffer);
    ASSERT_TRUE(m_player->startPlaying(0, 10, false));
    m_player->fill(reinterpret_cast<uint8_t*>(played.data()));
    EXPECT_EQ(played[0], static_cast<int16_t>(m_take[0] * 0.5));
}

TEST_F(TakePlayerTest, ToolkitPlayerWritesTheSelectionToTheDevice)
{
    const std::string output = m_fixture.folder.file("played.wav");
    useTestDevice("test:pace=fast;output=" + output);
    m_player->setPlayGain(0.25);
    ASSERT_TRUE(m_player->open());
    ASSERT_TRUE(m_player->startPlaying(50, 80, false));
    ASSERT_TRUE(pumpUntil([&] { return m_ended > 0; }));
    m_player->stopPlaying();
    m_player->close();
    EXPECT_FALSE(m_player->isOpen());

    const std::vector<int16_t> written = readSamples(output);
    ASSERT_GT(written.size(), 22u);
    const std::vector<int16_t> played(written.begin() + 22, written.end());  // after the 44-byte header
    const std::vector<int16_t> expected = expectedRange(wholeFrames(columnToOffset(50, takeLength())),
                                                        wholeFrames(columnToOffset(80, takeLength())), 0.25);
    const auto found = std::search(played.begin(), played.end(), expected.begin(), expected.end());
    ASSERT_NE(found, played.end());
    // Silence on both sides: the selection, nothing more.
    EXPECT_TRUE(std::all_of(played.begin(), found, [](int16_t sample) { return sample == 0; }));
    EXPECT_TRUE(std::all_of(found + static_cast<std::ptrdiff_t>(expected.size()), played.end(),
                            [](int16_t sample) { return sample == 0; }));
}

}
}
