// The recording engine with the test audio device: what reaches recording.raw, the meters, the
// status texts, and the faults of the take file.

#include "capture_test_support.h"

#include "audio/capture_engine.h"
#include "audio/capture_scaling.h"
#include "take/raw_take_maximise.h"

#include "core/toolkit_binding.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <QThread>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wavelark {
namespace {

using testing::CaptureFixtureState;
using testing::pumpUntil;
using testing::readSamples;
using testing::useTestDevice;

// The record gain's scaling written out from its definition: sample ÷ 32767 with the reciprocal
// stored as a double, times the gain, times 32767, truncated toward zero.
int16_t expectedScaled(int16_t sample, double gain)
{
    const double reciprocal = 1.0 / 32767.0;
    const double value = sample * reciprocal * gain;
    return static_cast<int16_t>(std::trunc(value * 32767.0));
}

struct ScalingCase {
    int16_t sample;
    double gain;
    int16_t expected;
};

class CaptureScaling : public ::testing::TestWithParam<ScalingCase> {};

TEST_P(CaptureScaling, TruncatesTowardZero)
{
    const ScalingCase row = GetParam();
    EXPECT_EQ(scaledSample(row.sample, row.gain), row.expected);
    int16_t frame[2] = {row.sample, row.sample};
    scaleCapturedFrames(reinterpret_cast<uint8_t*>(frame), 4, row.gain);
    EXPECT_EQ(frame[0], row.expected);
    EXPECT_EQ(frame[1], row.expected);
}

INSTANTIATE_TEST_SUITE_P(Values, CaptureScaling,
                         ::testing::Values(ScalingCase{32576, 1.0, 32575}, ScalingCase{100, 1.0, 100},
                                           ScalingCase{-32768, 1.0, -32768}, ScalingCase{32767, 0.0, 0},
                                           ScalingCase{-1000, 0.5, -500}, ScalingCase{1001, 0.5, 500}),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

TEST(CaptureScaling, GainOneChangesExactly896Values)
{
    int changed = 0;
    for (int value = -32768; value <= 32767; ++value)
        changed += scaledSample(static_cast<int16_t>(value), 1.0) != value;
    EXPECT_EQ(changed, 896);
}

TEST(CaptureScaling, MetersKeepOnlyPositiveExcursions)
{
    int16_t frames[4] = {-32000, 16000, -100, -200};
    const ChannelPeaks peaks = scaleCapturedFrames(reinterpret_cast<uint8_t*>(frames), sizeof frames, 1.0);
    EXPECT_EQ(peaks.left, 0.0);
    EXPECT_DOUBLE_EQ(peaks.right, 16000.0 / 32767.0);
}

class CaptureEngineTest : public ::testing::Test {
protected:
    CaptureEngine& makeEngine(uint64_t largestTake = kLargestTake)
    {
        m_engine = std::make_unique<CaptureEngine>(
            m_fixture.paths.take(), m_fixture.recordChoice(), *m_fixture.monitor,
            CaptureEngine::Handlers{[this](double elapsed) { m_statuses.push_back(recordingStatusText(elapsed)); },
                                    [this] { ++m_stopsPosted; }},
            largestTake);
        return *m_engine;
    }

    // Records from the first captured buffer on (recording starts before capture does) until
    // at least seconds of take are written.
    void recordFor(double seconds)
    {
        CaptureEngine& engine = *m_engine;
        QString error;
        ASSERT_TRUE(engine.startRecording(&error)) << error.toStdString();
        ASSERT_EQ(engine.start(), CaptureEngine::StartResult::Started);
        ASSERT_TRUE(pumpUntil([&] { return engine.elapsedSeconds() >= seconds; }));
        EXPECT_TRUE(engine.stopRecording().started);
        engine.stop();
        QCoreApplication::processEvents();
    }

    // A recording into a take file that is a link to /dev/full: every write fails.
    CaptureEngine& recordOntoAFullDisk()
    {
        useTestDevice("test:input=sine;pace=fast");
        std::filesystem::create_symlink("/dev/full", m_fixture.takePath());
        CaptureEngine& engine = makeEngine();
        QString error;
        EXPECT_TRUE(engine.startRecording(&error)) << error.toStdString();
        EXPECT_EQ(engine.start(), CaptureEngine::StartResult::Started);
        return engine;
    }

    CaptureFixtureState m_fixture;
    std::unique_ptr<CaptureEngine> m_engine;
    std::vector<QString> m_statuses;
    int m_stopsPosted = 0;
};

TEST_F(CaptureEngineTest, RecordedToneIsTheInputScaledTruncatedAndMaximised)
{
    useTestDevice("test:input=sine,1000,-6;pace=fast");
    makeEngine().setRecordGain(0.8);
    recordFor(2.5);
    const uint64_t length = std::filesystem::file_size(m_fixture.takePath());
    ASSERT_EQ(length % 8192, 0u);
    EXPECT_EQ(length / 8192, m_statuses.size());
    EXPECT_NEAR(length * 0.25 / 44100.0, m_engine->elapsedSeconds(), 1e-9);

    const MaximiseResult result = maximiseRawTake(m_fixture.takePath(), {}, {});
    ASSERT_TRUE(result.rewritten);
    const std::vector<int16_t> take = readSamples(m_fixture.takePath());

    // The test device's sine, frame by frame from the first frame captured.
    const double amplitude = 32767.0 * std::pow(10.0, -6.0 / 20.0);
    const double radiansPerFrame = 2.0 * std::numbers::pi * 1000.0 / 44100.0;
    std::vector<int16_t> scaled(take.size());
    int16_t peak = 0;
    for (std::size_t frame = 0; frame < take.size() / 2; ++frame) {
        const double phase = std::fmod(static_cast<double>(frame) * radiansPerFrame, 2.0 * std::numbers::pi);
        const int16_t input = static_cast<int16_t>(std::lround(amplitude * std::sin(phase)));
        scaled[frame * 2] = scaled[frame * 2 + 1] = expectedScaled(input, 0.8);
        peak = std::max(peak, scaled[frame * 2]);
    }
    const double gain = 32767.0 / peak;
    int16_t largest = 0;
    for (std::size_t index = 0; index < take.size(); ++index) {
        const double value = std::clamp(scaled[index] * gain, -32766.0, 32766.0);
        ASSERT_EQ(take[index], static_cast<int16_t>(std::trunc(value))) << "sample " << index;
        largest = std::max(largest, take[index]);
    }
    EXPECT_EQ(largest, 32766);
}

TEST_F(CaptureEngineTest, RecordingWithInputDisabledWritesSilenceOfTheRightLengthWithMetersAtRest)
{
    useTestDevice("test:input=sine,1000,-6;pace=fast");
    makeEngine().setRecordEnabled(false);
    m_engine->levels().set(0.0, 0.0);
    recordFor(1.0);
    const std::vector<int16_t> take = readSamples(m_fixture.takePath());
    EXPECT_EQ(take.size() * 2, m_statuses.size() * 8192);
    EXPECT_TRUE(std::all_of(take.begin(), take.end(), [](int16_t sample) { return sample == 0; }));
    EXPECT_EQ(m_engine->levels().left(), 0.0);
    EXPECT_EQ(m_engine->levels().right(), 0.0);
    // A silent take has no gain to maximise with: it stays as it is.
    const MaximiseResult result = maximiseRawTake(m_fixture.takePath(), {}, {});
    EXPECT_TRUE(result.opened);
    EXPECT_FALSE(result.rewritten);
    EXPECT_EQ(readSamples(m_fixture.takePath()), take);
}

TEST_F(CaptureEngineTest, RecordSliderAtTheBottomRecordsZeros)
{
    useTestDevice("test:input=sine,1000,-6;pace=fast");
    makeEngine().setRecordGain(1.0 - 100 * 0.01);
    recordFor(0.5);
    const std::vector<int16_t> take = readSamples(m_fixture.takePath());
    ASSERT_FALSE(take.empty());
    EXPECT_TRUE(std::all_of(take.begin(), take.end(), [](int16_t sample) { return sample == 0; }));
}

TEST_F(CaptureEngineTest, StatusFirstShowsOneSecondInTheTwentyThirdBuffer)
{
    useTestDevice("test:input=silence;pace=fast");
    makeEngine();
    recordFor(1.5);
    ASSERT_GE(m_statuses.size(), 23u);
    const QString zero = QStringLiteral(" Recording : ") + QString::fromUtf8(g_toolkit.nanosec2time(0))
                         + QStringLiteral(" Elapsed");
    const QString one = QStringLiteral(" Recording : ") + QString::fromUtf8(g_toolkit.nanosec2time(10000000))
                        + QStringLiteral(" Elapsed");
    EXPECT_EQ(m_statuses[0], zero);
    EXPECT_EQ(m_statuses[21], zero);
    EXPECT_EQ(m_statuses[22], one);
}

TEST_F(CaptureEngineTest, RecordedRampHasNoLostOrRepeatedFrame)
{
    useTestDevice("test:input=ramp;pace=fast");
    makeEngine();
    recordFor(3.0);
    const std::vector<int16_t> take = readSamples(m_fixture.takePath());
    ASSERT_GE(take.size() / 2, 3u * 44100);
    for (std::size_t frame = 0; frame < take.size() / 2; ++frame) {
        ASSERT_EQ(take[frame * 2], expectedScaled(static_cast<int16_t>(frame & 0xFFFF), 1.0)) << "frame " << frame;
        ASSERT_EQ(take[frame * 2 + 1], expectedScaled(static_cast<int16_t>(frame >> 16), 1.0)) << "frame " << frame;
    }
}

TEST_F(CaptureEngineTest, TakeThatCannotBeCreatedLeavesTheEngineIdle)
{
    useTestDevice("test:input=sine;pace=fast");
    m_fixture.paths.folder = QString::fromStdString(m_fixture.folder.path().string() + "/missing/");
    CaptureEngine& engine = makeEngine();
    ASSERT_EQ(engine.start(), CaptureEngine::StartResult::Started);
    QString error;
    EXPECT_FALSE(engine.startRecording(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("could not be created")));
    EXPECT_FALSE(engine.recording());
    EXPECT_FALSE(engine.stopRecording().started);
}

TEST_F(CaptureEngineTest, FullDiskStopsTheRecordingAndTheStopSaysWhy)
{
    CaptureEngine& engine = recordOntoAFullDisk();
    ASSERT_TRUE(pumpUntil([&] { return m_stopsPosted > 0; }));
    EXPECT_FALSE(engine.recording());
    const CaptureEngine::TakeEnding ending = engine.stopRecording();
    EXPECT_TRUE(ending.started);
    EXPECT_TRUE(ending.faultMessage.contains(QStringLiteral("could not be written")));
    EXPECT_TRUE(ending.faultMessage.contains(QStringLiteral("kept")));
}

TEST_F(CaptureEngineTest, AFaultMetBeforeStopIsReportedByStopEvenWhenItsPostHasNotRun)
{
    CaptureEngine& engine = recordOntoAFullDisk();
    // No events run: the worker's post waits while the window thread stops the take.
    for (int wait = 0; wait < 2000 && engine.recording(); ++wait)
        QThread::msleep(5);
    ASSERT_FALSE(engine.recording());
    engine.stop();
    const CaptureEngine::TakeEnding ending = engine.stopRecording();
    EXPECT_TRUE(ending.faultMessage.contains(QStringLiteral("could not be written")));
    // The post that comes late finds nothing left to report.
    QCoreApplication::processEvents();
    EXPECT_TRUE(engine.stopRecording().faultMessage.isEmpty());
}

TEST_F(CaptureEngineTest, TakeReachingItsLargestSizeStopsCleanlyAndKeepsWhatWasWritten)
{
    useTestDevice("test:input=sine;pace=fast");
    CaptureEngine& engine = makeEngine(5 * 8192 + 100);
    QString error;
    ASSERT_TRUE(engine.startRecording(&error));
    ASSERT_EQ(engine.start(), CaptureEngine::StartResult::Started);
    ASSERT_TRUE(pumpUntil([&] { return m_stopsPosted > 0; }));
    EXPECT_FALSE(engine.recording());
    const CaptureEngine::TakeEnding ending = engine.stopRecording();
    EXPECT_TRUE(ending.started);
    EXPECT_TRUE(ending.faultMessage.contains(QStringLiteral("4 GB")));
    engine.stop();
    EXPECT_EQ(std::filesystem::file_size(m_fixture.takePath()), 5u * 8192);
}

TEST_F(CaptureEngineTest, ADeviceThatCannotBeOpenedIsReportedAndRecordKeepsTheOldTake)
{
    useTestDevice("test:inputs=1");
    m_fixture.settings.recordDevice = 2;
    testing::writeSamples(m_fixture.takePath(), {1, 2, 3, 4});
    CaptureEngine& engine = makeEngine();
    QString error;
    EXPECT_EQ(engine.start(&error), CaptureEngine::StartResult::NotOpened);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(engine.running());
    EXPECT_FALSE(engine.startRecording(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("kept")));
    EXPECT_EQ(readSamples(m_fixture.takePath()), (std::vector<int16_t>{1, 2, 3, 4}));
}

// The take is a pipe nobody reads: the capture worker blocks on it as on a disk that stalls, and
// the layer's ring (about six seconds) runs over.
TEST_F(CaptureEngineTest, FramesDroppedWhileTheDiskStallsAreReportedWhenTheTakeStops)
{
    useTestDevice("test:input=sine;pace=realtime");
    ASSERT_EQ(::mkfifo(m_fixture.takePath().c_str(), 0600), 0);
    CaptureEngine& engine = makeEngine();
    QString error;
    ASSERT_EQ(engine.start(), CaptureEngine::StartResult::Started);
    ASSERT_TRUE(engine.startRecording(&error)) << error.toStdString();
    QThread::sleep(8);
    // Drain the pipe so that the worker and the stop can go on.
    std::atomic<bool> draining{true};
    std::thread reader([&] {
        const int pipe = ::open(m_fixture.takePath().c_str(), O_RDONLY | O_NONBLOCK);
        char sink[65536];
        while (draining.load()) {
            if (::read(pipe, sink, sizeof sink) <= 0)
                QThread::msleep(1);
        }
        ::close(pipe);
    });
    // Shown while the take still runs, not only when it stops.
    EXPECT_GT(engine.health().losses.droppedFrames, 44100u);
    const CaptureEngine::TakeEnding ending = engine.stopRecording();
    engine.stop();
    draining = false;
    reader.join();
    EXPECT_TRUE(ending.losses.any());
    EXPECT_EQ(ending.health.losses.droppedFrames, ending.losses.droppedFrames);
    EXPECT_GT(ending.losses.droppedFrames, 44100u);
    EXPECT_TRUE(recordingLossText(ending.losses).contains(QStringLiteral("seconds of audio are missing")));
}

// Full-scale input is counted per channel before the record gain, only while a take runs and
// never for a disabled input; the loudest value is the scaled one; Stop hands over the totals.
TEST_F(CaptureEngineTest, HealthCountsFullScaleInputPerChannelWhileRecording)
{
    CaptureEngine& engine = makeEngine();
    // 1000 frames. Left: 32767 on every 10th frame, -32768 on the other multiples of 25, that is
    // 100 + 20 full-scale samples. Right: -32768 on every 50th frame, 20 of them.
    std::vector<int16_t> frames;
    for (int frame = 0; frame < 1000; ++frame) {
        frames.push_back(static_cast<int16_t>(frame % 10 == 0 ? 32767 : frame % 25 == 0 ? -32768 : 1000));
        frames.push_back(static_cast<int16_t>(frame % 50 == 0 ? -32768 : -500));
    }
    auto feed = [&] {
        std::vector<int16_t> copy = frames;
        engine.processBuffer(reinterpret_cast<uint8_t*>(copy.data()), static_cast<uint32_t>(copy.size() * 2));
    };
    feed();  // before the take: not its input
    QString error;
    ASSERT_TRUE(engine.startRecording(&error)) << error.toStdString();
    EXPECT_EQ(engine.health().clippedLeft, 0u);
    engine.setRecordGain(0.5);
    feed();
    feed();
    RecordingHealth health = engine.health();
    EXPECT_EQ(health.clippedLeft, 240u);
    EXPECT_EQ(health.clippedRight, 40u);
    EXPECT_DOUBLE_EQ(health.loudest, 0.5);
    EXPECT_EQ(health.takeBytes, 8000u);
    engine.setRecordEnabled(false);
    feed();
    const CaptureEngine::TakeEnding ending = engine.stopRecording();
    EXPECT_EQ(ending.health.clippedLeft, 240u);
    EXPECT_EQ(ending.health.clippedRight, 40u);
    EXPECT_DOUBLE_EQ(ending.health.loudest, 0.5);
    EXPECT_EQ(ending.health.takeBytes, 12000u);
}

TEST_F(CaptureEngineTest, StoppingCaptureDuringARecordingKeepsTheTake)
{
    useTestDevice("test:input=sine;pace=realtime");
    CaptureEngine& engine = makeEngine();
    QString error;
    ASSERT_TRUE(engine.startRecording(&error));
    ASSERT_EQ(engine.start(), CaptureEngine::StartResult::Started);
    ASSERT_TRUE(pumpUntil([&] { return engine.elapsedSeconds() > 0.2; }));
    // The window thread does not run events here: the worker's status posts must not block it.
    engine.stop();
    EXPECT_FALSE(engine.recording());
    const uint64_t length = std::filesystem::file_size(m_fixture.takePath());
    EXPECT_GT(length, 0u);
    EXPECT_EQ(length % 8192, 0u);
    EXPECT_TRUE(engine.stopRecording().started);
}

TEST_F(CaptureEngineTest, NoInputDeviceIsReported)
{
    useTestDevice("test:inputs=0");
    EXPECT_EQ(makeEngine().start(), CaptureEngine::StartResult::NoInputDevice);
}

}
}
