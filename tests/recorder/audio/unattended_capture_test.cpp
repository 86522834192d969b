// Unattended recording in the recording engine with the test audio device: a take armed to start
// on sound begins with the two seconds before the sound, frame for frame; the end of a side and
// the timer ask for the stop once, and the take keeps its trailing silence until it is stopped.

#include "capture_test_support.h"

#include "toolkit/audiofiles/media/audio_test_tools.h"

#include "audio/capture_engine.h"
#include "audio/capture_scaling.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace wavelark {
namespace {

using testing::pumpUntil;
using testing::readSamples;
using testing::useTestDevice;

constexpr std::size_t kBufferFrames = 8192 / 4;  // the fixture's buffer size
constexpr std::size_t kPreRollFrames = 2 * 44100;

class UnattendedCaptureTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        m_engine.reset();
        useTestDevice("test");
    }

    CaptureEngine& startEngine(const UnattendedRules& rules)
    {
        CaptureEngine::Handlers handlers;
        handlers.takeStarted = [this] { ++m_takeStarts; };
        handlers.unattendedStop = [this] {
            if (m_stopAsks++ == 0)
                m_secondsAtStopAsk = m_engine->elapsedSeconds();
        };
        m_engine = std::make_unique<CaptureEngine>(m_fixture.paths.take(), m_fixture.recordChoice(),
                                                   *m_fixture.monitor, std::move(handlers));
        QString error;
        EXPECT_TRUE(m_engine->startRecording(&error, rules)) << error.toStdString();
        EXPECT_EQ(m_engine->start(), CaptureEngine::StartResult::Started);
        return *m_engine;
    }

    // Stops as the window would on the stop ask, and returns the take's samples.
    std::vector<int16_t> stopOnTheAsk()
    {
        EXPECT_TRUE(pumpUntil([this] { return m_stopAsks > 0; }));
        EXPECT_TRUE(m_engine->stopRecording().started);
        m_engine->stop();
        QCoreApplication::processEvents();
        return readSamples(m_fixture.takePath());
    }

    // A WAV input of stretches of a half-scale 1 kHz tone (true) and digital silence (false).
    std::string writeInput(const std::vector<std::pair<bool, double>>& stretches)
    {
        double total = 0.0;
        for (const auto& stretch : stretches)
            total += stretch.second;
        std::string wav = testing::sineWav(44100, 2, total, 1000, 0.5);
        EXPECT_EQ(testing::littleEndianAt(wav, 40) + 44, wav.size()) << "a canonical header";
        std::size_t frame = 0;
        for (const auto& [tone, seconds] : stretches) {
            const auto frames = static_cast<std::size_t>(std::lround(seconds * 44100));
            if (!tone)
                std::memset(wav.data() + 44 + frame * 4, 0, std::min(frames * 4, wav.size() - 44 - frame * 4));
            frame += frames;
        }
        const std::string path = m_fixture.folder.file("input.wav");
        testing::writeFile(path, wav);
        return path;
    }

    testing::CaptureFixtureState m_fixture;
    std::unique_ptr<CaptureEngine> m_engine;
    int m_takeStarts = 0;
    int m_stopAsks = 0;
    double m_secondsAtStopAsk = 0.0;
};

int16_t scaled(int value)
{
    return scaledSample(static_cast<int16_t>(value), 1.0);
}

TEST_F(UnattendedCaptureTest, StartOnSoundKeepsTheTwoSecondsBeforeTheSoundInOrder)
{
    // Quiet frame numbers for 3 s, then the loud ramp: the sound starts at frame 132300.
    constexpr uint32_t kOnset = 3 * 44100;
    useTestDevice("test:input=ramp,3;pace=fast");
    UnattendedRules rules;
    rules.startOnSound = true;
    CaptureEngine& engine = startEngine(rules);
    EXPECT_TRUE(engine.waitingForSound());
    ASSERT_TRUE(pumpUntil([&] { return !engine.waitingForSound() && engine.elapsedSeconds() >= 3.0; }));
    EXPECT_TRUE(engine.stopRecording().started);
    engine.stop();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_takeStarts, 1);

    const std::vector<int16_t> take = readSamples(m_fixture.takePath());
    const std::size_t frames = take.size() / 2;
    // The first loud frame is the sound's first; everything before it is pre-roll.
    std::size_t quiet = 0;
    while (quiet < frames && std::abs(take[quiet * 2]) < 64 && std::abs(take[quiet * 2 + 1]) < 64)
        ++quiet;
    ASSERT_LT(quiet, frames) << "the sound is in the take";
    // Two seconds before the block that brought the sound, and that block's quiet start.
    EXPECT_GE(quiet, kPreRollFrames);
    EXPECT_LT(quiet, kPreRollFrames + kBufferFrames);
    ASSERT_LE(quiet, kOnset);
    const uint32_t first = kOnset - static_cast<uint32_t>(quiet);
    for (std::size_t index = 0; index < frames; ++index) {
        const uint32_t frame = first + static_cast<uint32_t>(index);
        const bool loud = frame >= kOnset;
        ASSERT_EQ(take[index * 2], scaled(loud ? frame & 0xFFFF : frame & 0x3F)) << "frame " << frame;
        ASSERT_EQ(take[index * 2 + 1], scaled(loud ? frame >> 16 : (frame >> 6) & 0x3F)) << "frame " << frame;
    }
}

TEST_F(UnattendedCaptureTest, WaitingForSoundThatNeverComesRecordsNothing)
{
    // A tone clearly above digital silence but under -60 dBFS never starts the take.
    useTestDevice("test:input=sine,1000,-70;pace=fast");
    UnattendedRules rules;
    rules.startOnSound = true;
    CaptureEngine& engine = startEngine(rules);
    engine.levels().set(0.0, 0.0);
    ASSERT_TRUE(pumpUntil([&] { return engine.levels().left() > 0.0; }));
    // Let more of it pass through the pre-roll; whatever passed, none of it is in the take.
    pumpUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_TRUE(engine.waitingForSound());
    EXPECT_EQ(engine.health().takeBytes, 0u);
    const CaptureEngine::TakeEnding ending = engine.stopRecording();
    EXPECT_TRUE(ending.started);
    EXPECT_EQ(ending.health.takeBytes, 0u);
    EXPECT_FALSE(engine.waitingForSound());
    EXPECT_EQ(m_takeStarts, 0);
}

TEST_F(UnattendedCaptureTest, TheEndOfTheSideAsksForTheStopOnceAndTheSilenceIsKept)
{
    // A tone, a pause shorter than the chosen silence, the tone again, then the run-out.
    useTestDevice("test:pace=fast;input=wav," + writeInput({{true, 3.0}, {false, 0.5}, {true, 1.0}, {false, 4.0}}));
    UnattendedRules rules;
    rules.stopAtSideEnd = true;
    rules.sideEndSilenceSeconds = 1.0;
    rules.shortestSideSeconds = 2.0;
    startEngine(rules);
    const std::vector<int16_t> take = stopOnTheAsk();
    EXPECT_EQ(m_stopAsks, 1);
    // Not at the pause: the second tone is in the take, and a second of silence after it.
    EXPECT_GE(m_secondsAtStopAsk, 5.5 - 8192 / 176400.0);
    ASSERT_GE(take.size() / 2, static_cast<std::size_t>(5.5 * 44100));
    EXPECT_NE(take[(static_cast<std::size_t>(4.0 * 44100) + 11) * 2], 0);  // a quarter period in
    for (std::size_t frame = static_cast<std::size_t>(4.5 * 44100) + 1; frame < take.size() / 2; ++frame)
        ASSERT_EQ(take[frame * 2], 0) << "frame " << frame;
}

TEST_F(UnattendedCaptureTest, StopAfterAsksOnceItsTimeIsRecorded)
{
    useTestDevice("test:input=sine;pace=fast");
    UnattendedRules rules;
    rules.stopAfterSeconds = 1.5;
    startEngine(rules);
    const std::vector<int16_t> take = stopOnTheAsk();
    EXPECT_EQ(m_stopAsks, 1);
    EXPECT_GE(take.size() / 2, static_cast<std::size_t>(1.5 * 44100));
    EXPECT_GE(m_secondsAtStopAsk, 1.5 - 8192 / 176400.0);
}

}
}
